#include "shell_runner.h"

#include "shell/utf8.h"

namespace {

const DWORD kShellTimeoutMs = 60000;
const WORD kPlainAttributes = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE;

// The text of a file that lapshell wrote, or nothing when it wrote none.
std::wstring FileText(const std::wstring& path) {
    std::wstring text;
    ReadUtf8File(path, &text);
    return text;
}

HANDLE CreateInheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Blanks the window's top row so that an overlay left by an earlier run
// cannot be mistaken for one of this run.
void ClearTopRow() {
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (console == INVALID_HANDLE_VALUE) return;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(console, &info)) {
        COORD start = {0, info.srWindow.Top};
        DWORD written = 0;
        FillConsoleOutputCharacterW(console, L' ', static_cast<DWORD>(info.dwSize.X), start, &written);
        FillConsoleOutputAttribute(console, kPlainAttributes, static_cast<DWORD>(info.dwSize.X), start, &written);
    }
    CloseHandle(console);
}

ScreenEntry ParseScreenLine(const std::wstring& line) {
    ScreenEntry entry;
    size_t start = 0;
    while (start <= line.size()) {
        size_t tab = line.find(L'\t', start);
        std::wstring field = line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start);
        size_t equals = field.find(L'=');
        if (equals != std::wstring::npos) entry[field.substr(0, equals)] = field.substr(equals + 1);
        if (tab == std::wstring::npos) break;
        start = tab + 1;
    }
    return entry;
}

std::wstring Quote(const std::wstring& argument) { return L"\"" + argument + L"\""; }

// Reads everything from a pipe until the writer closes it.
DWORD WINAPI DrainPipe(void* context) {
    auto* job = static_cast<std::pair<HANDLE, std::string>*>(context);
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(job->first, chunk, sizeof(chunk), &got, nullptr) && got > 0) job->second.append(chunk, got);
    return 0;
}

}  // namespace

TempFolder::TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    path = std::wstring(temp) + L"lapshell-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
    CreateDirectoryW(path.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(File(found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

void WriteUtf8File(const std::wstring& path, const std::wstring& text) {
    std::string bytes = WideToUtf8(text);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH * 2];
    GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    return full;
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

ShellRun RunShell(const std::vector<std::wstring>& lines, const ShellOptions& options) {
    TempFolder folder;
    std::wstring script;
    for (const std::wstring& line : lines) script += line + L"\r\n";
    WriteUtf8File(folder.File(L"script.txt"), script);

    std::wstring program = ProgramFolder() + L"\\lapshell.exe";
    std::wstring commandLine = Quote(program) + L" --script " + Quote(folder.File(L"script.txt"));
    if (options.screenLog) commandLine += L" --screen-log " + Quote(folder.File(L"screen.txt"));
    for (const std::wstring& argument : options.arguments) commandLine += L" " + Quote(argument);

    HANDLE errFile = CreateInheritableFile(folder.File(L"err.txt"));
    HANDLE outFile = INVALID_HANDLE_VALUE, pipeRead = nullptr, pipeWrite = nullptr;
    if (options.stdoutKind == StdoutKind::File) {
        outFile = CreateInheritableFile(folder.File(L"out.txt"));
    } else {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        CreatePipe(&pipeRead, &pipeWrite, &inherit, 0);
        SetHandleInformation(pipeRead, HANDLE_FLAG_INHERIT, 0);
    }

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = options.stdoutKind == StdoutKind::File ? outFile : pipeWrite;
    startup.hStdError = errFile;
    PROCESS_INFORMATION process = {};
    ClearTopRow();

    ShellRun run;
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');
    BOOL started = CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &process);
    std::pair<HANDLE, std::string> drain(pipeRead, std::string());
    HANDLE drainThread = nullptr;
    if (pipeWrite != nullptr) {
        CloseHandle(pipeWrite);  // the child holds the only write end now
        drainThread = CreateThread(nullptr, 0, DrainPipe, &drain, 0, nullptr);
    }
    if (started) {
        run.finished = WaitForSingleObject(process.hProcess, kShellTimeoutMs) == WAIT_OBJECT_0;
        if (!run.finished) TerminateProcess(process.hProcess, 1);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (drainThread != nullptr) {
        WaitForSingleObject(drainThread, kShellTimeoutMs);
        CloseHandle(drainThread);
        CloseHandle(pipeRead);
    }
    if (outFile != INVALID_HANDLE_VALUE) CloseHandle(outFile);
    CloseHandle(errFile);

    run.out = options.stdoutKind == StdoutKind::File ? FileText(folder.File(L"out.txt")) : Utf8ToWide(drain.second);
    run.err = FileText(folder.File(L"err.txt"));
    for (const std::wstring& line : LinesOf(FileText(folder.File(L"screen.txt")))) {
        if (!line.empty()) run.screen.push_back(ParseScreenLine(line));
    }
    return run;
}

size_t CountOf(const std::wstring& text, const std::wstring& needle) {
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::wstring::npos; at = text.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

std::vector<std::wstring> LinesOf(const std::wstring& text) { return SplitLines(text); }

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }
