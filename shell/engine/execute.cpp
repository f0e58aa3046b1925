// The line executor: expansion, plug-in commands, built-in commands and
// batch files. Typed lines, batch lines and Command() all go through it.
#include "engine.h"

#include "shell/utf8.h"

#include <cwctype>

namespace engine {
namespace {

struct ExecutorState {
    std::wstring commandLog;
    bool exitRequested = false;
    bool quitRequested = false;     // ends the innermost batch file
};

ExecutorState& State() {
    static ExecutorState state;
    return state;
}

enum { RESULT_OK = 0, RESULT_ERROR = 1, RESULT_UNKNOWN_COMMAND = 2, RESULT_INTERRUPTED = 3 };

std::wstring TrimLeft(const std::wstring& text) {
    size_t start = 0;
    while (start < text.size() && std::iswspace(text[start])) ++start;
    return text.substr(start);
}

std::wstring Trim(const std::wstring& text) {
    std::wstring trimmed = TrimLeft(text);
    while (!trimmed.empty() && std::iswspace(trimmed.back())) trimmed.pop_back();
    return trimmed;
}

bool EndsWithNoCase(const std::wstring& text, const wchar_t* suffix) {
    std::wstring end = suffix;
    return text.size() >= end.size() && EqualsNoCase(text.substr(text.size() - end.size()), end);
}

bool IsFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The batch file a command word names, or empty: the word itself when it
// ends in .btm, .bat or .cmd, else the word with one of those added.
std::wstring FindBatchFile(std::wstring word) {
    if (word.size() >= 2 && word.front() == L'"' && word.back() == L'"') {
        word = word.substr(1, word.size() - 2);
    }
    static const wchar_t* const kExtensions[] = {L".btm", L".bat", L".cmd"};
    std::wstring found;
    for (const wchar_t* extension : kExtensions) {
        if (EndsWithNoCase(word, extension)) {
            found = IsFile(word) ? word : L"";
            break;
        }
    }
    if (found.empty() && word.find(L'.') == std::wstring::npos) {
        for (const wchar_t* extension : kExtensions) {
            if (IsFile(word + extension)) {
                found = word + extension;
                break;
            }
        }
    }
    if (found.empty()) {
        return found;
    }
    wchar_t full[MAX_PATH * 4];
    DWORD length = GetFullPathNameW(found.c_str(), static_cast<DWORD>(sizeof(full) / sizeof(full[0])), full, nullptr);
    return length > 0 && length < sizeof(full) / sizeof(full[0]) ? std::wstring(full, length) : found;
}

// Reads a UTF-8 text file (a byte-order mark is skipped) into lines.
bool ReadLines(const std::wstring& path, std::vector<std::wstring>* lines) {
    std::wstring text;
    if (!ReadUtf8File(path, &text)) {
        return false;
    }
    *lines = SplitLines(text);
    return true;
}

// Splits a batch file's argument text at blanks, keeping quoted parts whole.
std::vector<std::wstring> SplitArguments(const std::wstring& text) {
    std::vector<std::wstring> words;
    std::wstring word;
    bool quoted = false, any = false;
    for (wchar_t c : text) {
        if (c == L'"') quoted = !quoted;
        if (std::iswspace(c) && !quoted) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) words.push_back(word);
    return words;
}

// Runs a batch file's lines one by one with _batch (the nesting depth),
// _batchname and _batchline set; puts their previous values back after.
int RunBatchFile(const std::wstring& path, const std::wstring& arguments) {
    std::vector<std::wstring> lines;
    if (!ReadLines(path, &lines)) {
        WriteErr(L"Cannot read the batch file \"" + path + L"\"\r\n");
        return RESULT_ERROR;
    }
    static const wchar_t* const kNames[] = {L"_batch", L"_batchname", L"_batchline"};
    std::wstring saved[3];
    bool had[3];
    for (int i = 0; i < 3; ++i) had[i] = GetShellVariable(kNames[i], &saved[i]);

    std::vector<std::wstring> parameters = SplitArguments(arguments);
    parameters.insert(parameters.begin(), path);
    BatchArguments().push_back(parameters);
    SetShellVariable(L"_batch", std::to_wstring(BatchArguments().size()).c_str());
    SetShellVariable(L"_batchname", path.c_str());

    int result = RESULT_OK;
    for (size_t i = 0; i < lines.size() && !State().exitRequested && !State().quitRequested && !Interrupted(); ++i) {
        std::wstring line = TrimLeft(lines[i]);
        if (line.empty() || line[0] == L':') continue;  // blank or a label
        SetShellVariable(L"_batchline", std::to_wstring(i + 1).c_str());
        result = ExecuteLine(line);
    }

    State().quitRequested = false;
    BatchArguments().pop_back();
    for (int i = 0; i < 3; ++i) SetShellVariable(kNames[i], had[i] ? saved[i].c_str() : nullptr);
    return result;
}

// Runs a plug-in command with its argument text in a writable buffer.
int RunPluginCommand(FARPROC proc, const std::wstring& arguments) {
    std::vector<wchar_t> buffer = ResultBuffer(arguments);
    return As<CommandFn>(proc)(buffer.data());
}

// set name=value: the value is kept as typed, blanks at its end included
// (as Windows' command shell keeps them); "set name=" removes the variable.
int SetCommand(const std::wstring& arguments) {
    std::wstring text = TrimLeft(arguments);
    size_t equals = text.find(L'=');
    if (equals == std::wstring::npos) {
        // "set" lists the environment; "set prefix" the variables starting so.
        text = Trim(text);
        std::wstring prefix = Lower(text);
        bool any = false;
        wchar_t* block = GetEnvironmentStringsW();
        for (const wchar_t* entry = block; entry != nullptr && *entry != L'\0'; entry += wcslen(entry) + 1) {
            if (entry[0] == L'=') continue;  // per-drive current directories
            std::wstring item = entry;
            if (Lower(item.substr(0, prefix.size())) == prefix) {
                WriteOut(item + L"\r\n");
                any = true;
            }
        }
        if (block != nullptr) FreeEnvironmentStringsW(block);
        if (!any && !prefix.empty()) {
            WriteErr(L"Not in environment \"" + text + L"\"\r\n");
            return RESULT_ERROR;
        }
        return RESULT_OK;
    }
    std::wstring name = Trim(text.substr(0, equals));
    std::wstring value = text.substr(equals + 1);
    if (name.empty()) {
        WriteErr(L"Syntax: set name=value\r\n");
        return RESULT_ERROR;
    }
    SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
    return RESULT_OK;
}

int DelayCommand(const std::wstring& arguments) {
    std::wstring text = Trim(arguments);
    double seconds = 1.0;
    if (!text.empty()) {
        wchar_t* end = nullptr;
        seconds = wcstod(text.c_str(), &end);
        if (end == text.c_str() || *end != L'\0' || !(seconds >= 0.0) || seconds > 86400.0) {
            WriteErr(L"Invalid delay \"" + text + L"\"\r\n");
            return RESULT_ERROR;
        }
    }
    return SleepUnlessInterrupted(static_cast<DWORD>(seconds * 1000.0 + 0.5)) ? RESULT_OK : RESULT_INTERRUPTED;
}

// help NAME: every plug-in's Help, then the usage text of those that know it.
int HelpCommand(const std::wstring& arguments) {
    std::wstring name = Trim(arguments);
    std::vector<HMODULE> modules;
    for (const LoadedPlugin& plugin : Plugins()) modules.push_back(plugin.module);
    bool known = false;
    for (HMODULE module : modules) {
        std::vector<wchar_t> nameBuffer(name.begin(), name.end());
        nameBuffer.push_back(L'\0');
        auto help = As<HelpFn>(GetProcAddress(module, "Help"));
        if (help != nullptr && help(nameBuffer.data()) == 1) known = true;
        auto usage = As<UsageFn>(GetProcAddress(module, "Usage"));
        std::vector<wchar_t> usageBuffer(USAGE_BUFFER_CHARS, L'\0');
        if (usage != nullptr && usage(nameBuffer.data(), usageBuffer.data()) == 1) {
            usageBuffer[USAGE_BUFFER_CHARS - 1] = L'\0';
            WriteOut(std::wstring(usageBuffer.data()) + L"\r\n");
            known = true;
        }
    }
    if (!known) {
        WriteErr(L"No help for \"" + name + L"\"\r\n");
        return RESULT_ERROR;
    }
    return RESULT_OK;
}

int ChangeDirectory(const std::wstring& arguments) {
    std::wstring path = Trim(arguments);
    if (path.empty()) {
        wchar_t current[MAX_PATH * 4];
        DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(sizeof(current) / sizeof(current[0])), current);
        WriteOut(std::wstring(current, length) + L"\r\n");
        return RESULT_OK;
    }
    if (!SetCurrentDirectoryW(path.c_str())) {
        WriteErr(L"Cannot change to \"" + path + L"\"\r\n");
        return RESULT_ERROR;
    }
    return RESULT_OK;
}

// cls: blanks in the current colours over the whole screen buffer, the
// cursor and the window at its top left, as a console shell does.
int ClearScreen() {
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (console == INVALID_HANDLE_VALUE) return RESULT_OK;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(console, &info)) {
        DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
        COORD home = {0, 0};
        DWORD written = 0;
        FillConsoleOutputCharacterW(console, L' ', cells, home, &written);
        FillConsoleOutputAttribute(console, info.wAttributes, cells, home, &written);
        SMALL_RECT window = {0, 0, static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left),
                             static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top)};
        SetConsoleWindowInfo(console, TRUE, &window);
        SetConsoleCursorPosition(console, home);
    }
    CloseHandle(console);
    return RESULT_OK;
}

// quit: ends the batch file it is in; typed at the prompt, the shell.
int QuitCommand() {
    if (BatchArguments().empty()) State().exitRequested = true;
    else State().quitRequested = true;
    return RESULT_OK;
}

int RunExpandedLine(std::wstring line);

// if [not] A op B command: runs the command, already expanded with the
// rest of the line, when the condition holds.
int IfCommand(const std::wstring& arguments) {
    size_t pos = 0;
    bool holds = false;
    if (!ReadCondition(arguments, &pos, &holds) || TrimLeft(arguments.substr(pos)).empty()) {
        WriteErr(L"Syntax: if [not] A op B command\r\n");
        return RESULT_ERROR;
    }
    return holds ? RunExpandedLine(arguments.substr(pos)) : RESULT_OK;
}

int RunExpandedLine(std::wstring line) {
    line = TrimLeft(line);
    while (!line.empty() && line[0] == L'@') line = TrimLeft(line.substr(1));
    if (line.empty()) {
        return RESULT_OK;
    }
    size_t wordEnd = 0;
    bool quoted = false;
    while (wordEnd < line.size() && (quoted || !std::iswspace(line[wordEnd]))) {
        if (line[wordEnd] == L'"') quoted = !quoted;
        ++wordEnd;
    }
    std::wstring word = line.substr(0, wordEnd);
    // The arguments: what follows the name and one blank.
    std::wstring arguments = wordEnd < line.size() ? line.substr(wordEnd + 1) : L"";
    std::wstring lower = Lower(word);

    if (FARPROC command = FindPluginEntry(word, ENTRY_COMMAND)) {
        return RunPluginCommand(command, arguments);
    }
    if (lower.rfind(L"echo.", 0) == 0) {
        WriteOut(line.substr(5) + L"\r\n");
        return RESULT_OK;
    }
    if (lower == L"echo") {
        std::wstring trimmed = Lower(Trim(arguments));
        if (trimmed != L"on" && trimmed != L"off") WriteOut(arguments + L"\r\n");
        return RESULT_OK;
    }
    if (lower == L"set") return SetCommand(arguments);
    if (lower == L"delay") return DelayCommand(arguments);
    if (lower == L"help") return HelpCommand(arguments);
    if (lower == L"cd" || lower == L"chdir") return ChangeDirectory(arguments);
    if (lower == L"rem") return RESULT_OK;
    if (lower == L"cls") return ClearScreen();
    if (lower == L"if") return IfCommand(arguments);
    if (lower == L"quit") return QuitCommand();
    if (lower == L"exit") {
        State().exitRequested = true;
        return RESULT_OK;
    }
    std::wstring batch = FindBatchFile(word);
    if (!batch.empty()) {
        return RunBatchFile(batch, arguments);
    }
    WriteErr(L"Unknown command \"" + word + L"\"\r\n");
    return RESULT_UNKNOWN_COMMAND;
}

}  // namespace

int ExecuteLine(const std::wstring& rawLine) {
    std::wstring line = ExpandText(rawLine);
    if (line.size() > MAX_RESULT_CHARS) line.resize(MAX_RESULT_CHARS);
    return RunExpandedLine(line);
}

void ResetExecutor() {
    State() = ExecutorState();
    ResetEvent(InterruptEvent());
}

void LogCommand(const std::wstring& line) { State().commandLog += line + L"\n"; }
const std::wstring& CommandLog() { return State().commandLog; }
bool& ExitRequested() { return State().exitRequested; }

}  // namespace engine

using namespace engine;

extern "C" int HOST_API Command(wchar_t* line, int /*flags*/) {
    if (line == nullptr) {
        return -1;
    }
    std::wstring text = BufferText(line);
    LogCommand(text);
    return ExecuteLine(text);
}

// A line that Ctrl+C stopped ends in "^C" on a line of its own; so does one
// during which Ctrl+C came too late to stop anything.
STANDIN_API int StandInRunLine(const wchar_t* line) {
    int result = line == nullptr ? RESULT_OK : ExecuteLine(line);
    if (!TakeInterrupt())
        return result;
    WriteOut(L"^C\r\n");
    return RESULT_INTERRUPTED;
}

STANDIN_API const wchar_t* StandInCommandLog(void) { return CommandLog().c_str(); }
STANDIN_API int StandInExitRequested(void) { return ExitRequested() ? 1 : 0; }

STANDIN_API void StandInReset(void) {
    ResetCapture();
    ResetVariables();
    ResetExecutor();
    ResetStatusBar();
}
