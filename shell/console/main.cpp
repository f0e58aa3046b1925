// lapshell: the stand-in shell's console program. It loads plug-ins through
// TakeCmd.dll, shows a prompt, feeds every keystroke of the line being edited
// to the plug-ins' key handlers and runs the entered line.
//
//   lapshell [--plugin PATH]... [--script FILE] [--version N] [--statusbar]
//            [--screen-log FILE [--screen-rows N]] [--note TEXT]... [-c LINE]
//
// --note TEXT prints TEXT on a line of its own before the plug-ins load (the
// demo's hint, on the console's own screen).
//
// Lines come from the console (ReadConsoleInputW), from --script FILE
// (UTF-8; each character goes through the key path, then Enter, and the
// line is echoed after the prompt; the character U+001B is the Esc key and
// U+0003 is Ctrl+C), or, when standard input is not a console, from
// standard input the same way.
//
// At the console: Up and Down walk the non-blank lines entered so far
// (Down past the newest gives an empty line); a tab echoes as the blanks up
// to the next multiple of 8 columns, and Backspace and Esc take off the
// cells the echo took, over wrapped rows too. Ctrl+C and Ctrl+Break stop a
// running delay or batch file, or drop the line typed at the prompt; they
// never end the shell.
//
// Screen log (--screen-log FILE): after each prompt event one UTF-8 line is
// appended, tab-separated key=value fields in this order:
//   prompt=<n>        1 for the first prompt, counting up
//   row=<r>           screen-buffer row of the console window's top line
//   width=<w>         screen-buffer width, the number of cells read
//   status=<count>    status-bar requests taken so far
//   statustext=<t>    the status bar's last text (tabs made blanks)
//   attrs=<hex>       two upper-case hex digits per cell, the low byte of
//                     each cell's attribute (1F is bright white on blue)
//   text=<chars>      the row's w characters (tabs made blanks)
// With --screen-rows N (N > 1) the next N - 1 rows of the window follow as
// attrs1=, text1=, attrs2=, text2= and so on. The line ends after the last
// field. When no console can be read the line is "prompt=<n>\tconsole=none".
#include "shell/engine/standin.h"
#include "shell/utf8.h"
#include "version.h"

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

namespace {

const wchar_t kPrompt[] = L"[lapshell] $ ";
const wchar_t kDefaultPlugin[] = PLUGIN_FILE_NAME;
enum { EXIT_OK = 0, EXIT_NO_SCRIPT = 1, EXIT_USAGE = 2 };
enum { KEY_BACKSPACE = 8, CTRL_C = 3, CTRL_D = 4, CTRL_Z = 26, TAB_STOP = 8, FALLBACK_WIDTH = 80 };

struct Options {
    std::vector<std::wstring> plugins;
    std::vector<std::wstring> notes;
    std::wstring script;
    std::wstring version;
    std::wstring screenLog;
    int screenRows = 1;
    std::wstring transientLine;
    bool transient = false;
    bool statusBar = false;
};

void Out(const std::wstring& text) { StandInWrite(STANDIN_OUT, text.c_str()); }
void Err(const std::wstring& text) { StandInWrite(STANDIN_ERR, text.c_str()); }

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring folder(path, length);
    size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : folder.substr(0, slash);
}

bool ParseOptions(int argc, wchar_t** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == L"--plugin" && hasValue) options->plugins.push_back(argv[++i]);
        else if (arg == L"--script" && hasValue) options->script = argv[++i];
        else if (arg == L"--version" && hasValue) options->version = argv[++i];
        else if (arg == L"--screen-log" && hasValue) options->screenLog = argv[++i];
        else if (arg == L"--screen-rows" && hasValue) options->screenRows = _wtoi(argv[++i]);
        else if (arg == L"--note" && hasValue) options->notes.push_back(argv[++i]);
        else if (arg == L"--statusbar") options->statusBar = true;
        else if ((arg == L"-c" || arg == L"/c") && hasValue) {
            options->transient = true;
            options->transientLine = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

bool IsPipe(DWORD which) { return GetFileType(GetStdHandle(which)) == FILE_TYPE_PIPE; }

// Hands one key to the plug-ins with a writable copy of the line so far.
void SendKey(int code, const std::wstring& name, const std::wstring& line) {
    std::vector<wchar_t> text(line.begin(), line.end());
    text.push_back(L'\0');
    std::wstring keyName = name;
    StandInSendKey(code, keyName.c_str(), text.data());
}

// A key with no character; the engine picks its key code for the host.
void SendNamedKey(WORD virtualKey, const std::wstring& name, const std::wstring& line) {
    std::vector<wchar_t> text(line.begin(), line.end());
    text.push_back(L'\0');
    std::wstring keyName = name;
    StandInSendNamedKey(virtualKey, keyName.c_str(), text.data());
}

std::wstring KeyName(wchar_t c) {
    if (c == L'\t') return L"Tab";
    return std::wstring(1, c);
}

// Lines from a byte stream (a script file or redirected standard input).
struct StreamSource {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string pending;
    bool atEnd = false;
    bool first = true;

    bool ReadLine(std::wstring* line) {
        for (;;) {
            size_t newline = pending.find('\n');
            if (newline != std::string::npos || (atEnd && !pending.empty())) {
                std::string bytes = pending.substr(0, newline);
                pending.erase(0, newline == std::string::npos ? pending.size() : newline + 1);
                if (first && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
                first = false;
                if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
                *line = Utf8ToWide(bytes);
                return true;
            }
            if (atEnd) return false;
            char chunk[4096];
            DWORD got = 0;
            if (!ReadFile(handle, chunk, sizeof(chunk), &got, nullptr) || got == 0) atEnd = true;
            else pending.append(chunk, got);
        }
    }
};

enum class LineEnd { Entered, Interrupted, InputEnded, Editing };

// Ctrl+C at the prompt drops the line as Esc does (the plug-ins get Esc,
// before the line end that may scroll the screen); what was typed stays
// on the screen, followed by "^C".
LineEnd Interrupt(const std::wstring& line) {
    SendKey(KEY_CODE_ESC, L"Esc", line);
    Out(L"^C\r\n");
    return LineEnd::Interrupted;
}

// Feeds a scripted line through the key path and echoes it like typing,
// Enter before the line end; the character U+0003 is Ctrl+C. *entered is
// the line as entered (after any Esc).
LineEnd TypeScriptedLine(const std::wstring& script, std::wstring* entered) {
    std::wstring line;
    for (wchar_t c : script) {
        if (c == CTRL_C) {
            Out(line);
            return Interrupt(line);
        }
        if (c == 0x1B) {
            SendKey(KEY_CODE_ESC, L"Esc", line);
            line.clear();
        } else {
            SendKey(c, KeyName(c), line);
            line += c;
        }
    }
    Out(line);
    SendKey(KEY_CODE_ENTER, L"Enter", line);
    Out(L"\r\n");
    *entered = line;
    return LineEnd::Entered;
}

// The lines entered at the console in this session (non-blank ones, oldest
// first), and the one Up and Down have reached: lines.size() stands for the
// line being typed.
struct History {
    std::vector<std::wstring> lines;
    size_t at = 0;
};

bool IsBlank(const std::wstring& text) {
    for (wchar_t c : text) {
        if (!std::iswspace(c))
            return false;
    }
    return true;
}

// The line being edited at the console, and how many cells the echo of each
// of its characters took: a tab takes the blanks up to the next tab stop.
struct EditedLine {
    HANDLE output;    // standard output (maybe not a console)
    int startColumn;  // where the echo began, when it is not
    std::wstring text;
    std::vector<int> cells;
};

int CellsOf(const EditedLine& line) {
    int total = 0;
    for (int n : line.cells)
        total += n;
    return total;
}

// The cursor's column and the row width: the console's, or counted from
// the prompt when the output is no console.
void CursorColumn(const EditedLine& line, int* column, int* width) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(line.output, &info) && info.dwSize.X > 0) {
        *column = info.dwCursorPosition.X;
        *width = info.dwSize.X;
    } else {
        *width = FALLBACK_WIDTH;
        *column = (line.startColumn + CellsOf(line)) % FALLBACK_WIDTH;
    }
}

// Echoes text at the end of the line in one write, tabs as blanks up to the
// next multiple of TAB_STOP columns (or the row's end).
void Echo(EditedLine* line, const std::wstring& text) {
    int column = 0, width = 0;
    CursorColumn(*line, &column, &width);
    std::wstring echo;
    for (wchar_t c : text) {
        int cells = c == L'\t' ? std::min(TAB_STOP - column % TAB_STOP, width - column) : 1;
        echo.append(static_cast<size_t>(cells), c == L'\t' ? L' ' : c);
        line->cells.push_back(cells);
        column = (column + cells) % width;
    }
    line->text += text;
    Out(echo);
}

// Blanks cells from a place in the buffer on, a row at a time: Wine's
// console redraws the terminal only from the first cell's column on in every
// row of a fill that spans rows.
void BlankCells(HANDLE output, WORD attributes, int width, int start, int end) {
    for (int at = start; at < end;) {
        int rowEnd = std::min(end, (at / width + 1) * width);
        COORD from = {static_cast<SHORT>(at % width), static_cast<SHORT>(at / width)};
        DWORD written = 0;
        FillConsoleOutputCharacterW(output, L' ', static_cast<DWORD>(rowEnd - at), from, &written);
        FillConsoleOutputAttribute(output, attributes, static_cast<DWORD>(rowEnd - at), from, &written);
        at = rowEnd;
    }
}

// Blanks the last n cells of the echo and puts the cursor where they began.
// Wine's console does not take a backspace at column 0 up to the row above,
// so the cursor is placed rather than moved back.
void TakeOffCells(const EditedLine& line, int n) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (n <= 0)
        return;
    if (!GetConsoleScreenBufferInfo(line.output, &info) || info.dwSize.X <= 0) {
        std::wstring back;
        for (int i = 0; i < n; ++i)
            back += L"\b \b";
        Out(back);
        return;
    }
    int width = info.dwSize.X;
    int end = info.dwCursorPosition.Y * width + info.dwCursorPosition.X;
    int start = std::max(0, end - n);
    BlankCells(line.output, info.wAttributes, width, start, end);
    SetConsoleCursorPosition(line.output, COORD{static_cast<SHORT>(start % width), static_cast<SHORT>(start / width)});
}

void TakeOffLast(EditedLine* line) {
    TakeOffCells(*line, line->cells.back());
    line->text.pop_back();
    line->cells.pop_back();
}

void TakeOffAll(EditedLine* line) {
    TakeOffCells(*line, CellsOf(*line));
    line->text.clear();
    line->cells.clear();
}

// Up (step -1) and Down (+1): the key goes to the plug-ins by name first,
// then the recalled line replaces the typed one at once, in one write.
void Recall(EditedLine* line, History* history, int step, WORD virtualKey, const wchar_t* name) {
    SendNamedKey(virtualKey, name, line->text);
    size_t newest = history->lines.size();
    if ((step < 0 && history->at == 0) || (step > 0 && history->at == newest))
        return;
    history->at = step < 0 ? history->at - 1 : history->at + 1;
    TakeOffAll(line);
    Echo(line, history->at == newest ? std::wstring() : history->lines[history->at]);
}

// One keystroke of the line editor. Like the shell, it hands each key to
// the plug-ins before acting on it: Enter reaches them while the line is
// still open, before the line end that may scroll the screen.
LineEnd EditKey(const KEY_EVENT_RECORD& key, EditedLine* line, History* history) {
    wchar_t c = key.uChar.UnicodeChar;
    if (key.wVirtualKeyCode == VK_RETURN || c == L'\r' || c == L'\n') {
        SendKey(KEY_CODE_ENTER, L"Enter", line->text);
        Out(L"\r\n");
        if (!IsBlank(line->text))
            history->lines.push_back(line->text);
        return LineEnd::Entered;
    }
    if (c == CTRL_C)
        return Interrupt(line->text);
    if (key.wVirtualKeyCode == VK_ESCAPE || c == 0x1B) {
        SendKey(KEY_CODE_ESC, L"Esc", line->text);
        TakeOffAll(line);
    } else if (key.wVirtualKeyCode == VK_BACK || c == KEY_BACKSPACE) {
        SendKey(KEY_BACKSPACE, L"Backspace", line->text);
        if (!line->text.empty())
            TakeOffLast(line);
    } else if ((c == CTRL_D || c == CTRL_Z) && line->text.empty()) {
        Out(L"\r\n");
        return LineEnd::InputEnded;
    } else if (c == 0 && key.wVirtualKeyCode == VK_UP) {
        Recall(line, history, -1, VK_UP, L"Up");
    } else if (c == 0 && key.wVirtualKeyCode == VK_DOWN) {
        Recall(line, history, +1, VK_DOWN, L"Down");
    } else if (c >= L' ' || c == L'\t') {
        SendKey(c, KeyName(c), line->text);
        Echo(line, std::wstring(1, c));
    }
    return LineEnd::Editing;
}

// Reads one line from the console, keystroke by keystroke, until Enter;
// Ctrl+C (the control handler's event, or a key with the character 3)
// drops it; Ctrl+D or Ctrl+Z on an empty line, or a failed read, ends the
// input.
LineEnd ReadConsoleLine(HANDLE input, History* history, std::wstring* result) {
    EditedLine line = {GetStdHandle(STD_OUTPUT_HANDLE), static_cast<int>(wcslen(kPrompt)), L"", {}};
    history->at = history->lines.size();
    HANDLE waits[] = {input, StandInInterruptEvent()};
    for (;;) {
        DWORD ready = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (ready == WAIT_OBJECT_0 + 1) {
            ResetEvent(waits[1]);
            return Interrupt(line.text);
        }
        INPUT_RECORD record;
        DWORD got = 0;
        if (ready != WAIT_OBJECT_0 || !ReadConsoleInputW(input, &record, 1, &got))
            return LineEnd::InputEnded;
        if (got == 0 || record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        for (WORD repeat = 0; repeat < (key.wRepeatCount == 0 ? 1 : key.wRepeatCount); ++repeat) {
            LineEnd end = EditKey(key, &line, history);
            if (end == LineEnd::Editing)
                continue;
            *result = line.text;
            return end;
        }
    }
}

std::wstring NoTabs(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'\t' || c == L'\r' || c == L'\n') c = L' ';
    }
    return text;
}

// One row of the screen buffer as the screen log writes it: two hex digits
// per cell's attribute, and the cells' characters.
void ReadRow(HANDLE console, SHORT width, SHORT row, std::wstring* attrs, std::wstring* text) {
    std::vector<CHAR_INFO> cells(static_cast<size_t>(width));
    SMALL_RECT rect = {0, row, static_cast<SHORT>(width - 1), row};
    ReadConsoleOutputW(console, cells.data(), COORD{width, 1}, COORD{0, 0}, &rect);
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    for (const CHAR_INFO& cell : cells) {
        *attrs += kHex[(cell.Attributes >> 4) & 0xF];
        *attrs += kHex[cell.Attributes & 0xF];
        *text += cell.Char.UnicodeChar == L'\0' ? L' ' : cell.Char.UnicodeChar;
    }
}

// Appends the window's top rows to the screen log (format at the top).
void LogScreen(const std::wstring& path, int prompt, int rows) {
    std::wstring entry = L"prompt=" + std::to_wstring(prompt);
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (console != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(console, &info) && info.dwSize.X > 0) {
        SHORT width = info.dwSize.X;
        SHORT top = info.srWindow.Top;
        std::wstring attrs, text;
        ReadRow(console, width, top, &attrs, &text);
        entry += L"\trow=" + std::to_wstring(top) + L"\twidth=" + std::to_wstring(width) +
                 L"\tstatus=" + std::to_wstring(StandInStatusCount()) +
                 L"\tstatustext=" + NoTabs(StandInStatusText()) + L"\tattrs=" + attrs +
                 L"\ttext=" + NoTabs(text);
        for (int i = 1; i < rows && top + i < info.dwSize.Y; ++i) {
            std::wstring rowAttrs, rowText;
            ReadRow(console, width, static_cast<SHORT>(top + i), &rowAttrs, &rowText);
            entry += L"\tattrs" + std::to_wstring(i) + L"=" + rowAttrs + L"\ttext" + std::to_wstring(i) + L"=" +
                     NoTabs(rowText);
        }
    } else {
        entry += L"\tconsole=none";
    }
    if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
    entry += L"\r\n";
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string bytes = WideToUtf8(entry);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void LoadPlugins(const Options& options) {
    std::vector<std::wstring> paths = options.plugins;
    if (paths.empty()) paths.push_back(ProgramFolder() + L"\\" + kDefaultPlugin);
    for (const std::wstring& path : paths) {
        if (StandInLoadPlugin(path.c_str()) == nullptr) {
            Err(L"lapshell: cannot load the plug-in \"" + path + L"\" (error " +
                std::to_wstring(GetLastError()) + L")\r\n");
        }
    }
    StandInStartPlugins();
}

// The prompt loop; lines come from `stream` when given, else the console.
void RunSession(const Options& options, StreamSource* stream) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    History history;
    int statusShown = StandInStatusCount();
    for (int prompt = 1;; ++prompt) {
        Out(kPrompt);
        StandInPromptEvent();
        if (StandInStatusCount() != statusShown) {
            // The status bar of this console shell is the window title.
            statusShown = StandInStatusCount();
            SetConsoleTitleW(StandInStatusText());
        }
        if (!options.screenLog.empty()) LogScreen(options.screenLog, prompt, options.screenRows);
        std::wstring line;
        LineEnd end = LineEnd::InputEnded;
        if (stream != nullptr) {
            std::wstring scripted;
            if (!stream->ReadLine(&scripted)) {
                Out(L"\r\n");
                break;
            }
            end = TypeScriptedLine(scripted, &line);
        } else {
            end = ReadConsoleLine(input, &history, &line);
        }
        if (end == LineEnd::InputEnded)
            break;
        if (end == LineEnd::Interrupted)
            continue;
        StandInRunLine(line.c_str());
        if (StandInExitRequested()) break;
    }
}

// Runs on a thread of its own: the engine's event stops a running delay or
// batch file, or drops the line at the prompt. The shell never ends on it.
BOOL WINAPI OnControlKey(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    SetEvent(StandInInterruptEvent());
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        Err(L"usage: lapshell [--plugin PATH]... [--script FILE] [--version N] [--statusbar]\r\n"
            L"                [--screen-log FILE [--screen-rows N]] [--note TEXT]... [-c LINE]\r\n");
        return EXIT_USAGE;
    }
    if (!options.version.empty()) StandInSetVariable(L"_4ver", options.version.c_str());
    StandInSetVariable(L"_transient", options.transient ? L"1" : L"0");
    bool piped = IsPipe(STD_INPUT_HANDLE) || IsPipe(STD_OUTPUT_HANDLE);
    StandInSetVariable(L"_pipe", piped ? L"1" : L"0");
    StandInSetStatusBar(options.statusBar ? 1 : 0);
    SetConsoleCtrlHandler(nullptr, FALSE);  // heeds Ctrl+C even where the parent ignored it
    SetConsoleCtrlHandler(OnControlKey, TRUE);
    for (const std::wstring& note : options.notes) Out(note + L"\r\n");
    LoadPlugins(options);

    int exitCode = EXIT_OK;
    if (options.transient) {
        StandInRunLine(options.transientLine.c_str());
    } else if (!options.script.empty()) {
        StreamSource script;
        script.handle = CreateFileW(options.script.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (script.handle == INVALID_HANDLE_VALUE) {
            Err(L"lapshell: cannot open the script \"" + options.script + L"\"\r\n");
            exitCode = EXIT_NO_SCRIPT;
        } else {
            RunSession(options, &script);
            CloseHandle(script.handle);
        }
    } else {
        HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        DWORD mode = 0;
        if (GetConsoleMode(input, &mode)) {
            RunSession(options, nullptr);
        } else {
            StreamSource standardInput;
            standardInput.handle = input;
            RunSession(options, &standardInput);
        }
    }
    StandInUnloadPlugins();
    return exitCode;
}
