// Runs lapshell.exe (beside the test program) on a script in the test's
// console and collects its output and screen log.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// One line of lapshell's screen log: the key=value fields of that line.
using ScreenEntry = std::map<std::wstring, std::wstring>;

struct ShellRun {
    std::wstring out;                  // standard output, decoded from UTF-8
    std::wstring err;                  // standard error
    std::vector<ScreenEntry> screen;   // one entry per prompt event
    DWORD exitCode = 0;
    bool finished = false;             // false when it had to be killed
};

enum class StdoutKind { File, Pipe };

struct ShellOptions {
    std::vector<std::wstring> arguments;     // besides --script and --screen-log
    StdoutKind stdoutKind = StdoutKind::File;
    bool screenLog = true;
};

// A fresh folder below the temporary folder, removed with its files.
struct TempFolder {
    TempFolder();
    ~TempFolder();
    std::wstring File(const std::wstring& name) const { return path + L"\\" + name; }
    std::wstring path;
};

// Writes text to a file as UTF-8.
void WriteUtf8File(const std::wstring& path, const std::wstring& text);

// The absolute form of a path, as the shell names a batch file it runs.
std::wstring FullPath(const std::wstring& path);

// The folder of the test program (lapshell.exe and the DLLs are there).
std::wstring ProgramFolder();

// Starts lapshell with the script lines (joined with "\r\n"), waits for it
// and collects what it wrote. Clears the console window's top row first.
ShellRun RunShell(const std::vector<std::wstring>& lines, const ShellOptions& options = {});

// Number of times `needle` occurs in `text`.
size_t CountOf(const std::wstring& text, const std::wstring& needle);

// The lines of a text, split at "\r\n" or "\n".
std::vector<std::wstring> LinesOf(const std::wstring& text);

// Narrow copy for gtest messages.
std::string Narrow(const std::wstring& text);
