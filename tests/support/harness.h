// Shared test fixtures: a controllable clock, captured shell output, a clean
// registry key and the real plug-in DLL loaded as the shell loads it.
#pragma once

#include "host/takecmd.h"
#include "iat_patch.h"
#include "shell/engine/standin.h"

#include <stdint.h>
#include <memory>
#include <string>
#include <vector>

// The module of the test program itself, whose linked-in copy of the
// plug-in's sources imports Windows functions through its own table.
HMODULE TestProgramModule();

// While alive, GetSystemTimeAsFileTime as imported by `module` returns
// Now(), which only Set and Advance change.
struct FakeClock {
    explicit FakeClock(HMODULE module = TestProgramModule(), uint64_t start = 125911584000000000ull);
    void Set(uint64_t ticks);
    void Advance(uint64_t ticks);
    uint64_t Now() const;
    ImportPatch patch;
};

// Captures what the shell's output functions write to standard output and
// standard error while alive.
struct CapturedOutput {
    CapturedOutput();
    ~CapturedOutput();
    std::wstring Out() const;
    std::wstring Err() const;
    void Clear();
};

// Deletes Software\RUDeviruv\Lapwatch below both roots on construction and
// destruction, so that every test starts without saved settings.
struct CleanSettingsKey {
    CleanSettingsKey();
    ~CleanSettingsKey();
    static void Remove();
};
void WriteDword(HKEY root, const wchar_t* name, DWORD value);
void WriteRaw(HKEY root, const wchar_t* name, DWORD type, const void* data, DWORD bytes);
bool ReadValue(HKEY root, const wchar_t* name, DWORD* type, std::string* data);

// The real Lapwatch-x86.dll or Lapwatch-x64.dll, freshly loaded (its state as at load) and
// registered with the stand-in shell library; unloaded again at the end.
struct LoadedPlugin {
    LoadedPlugin();
    ~LoadedPlugin();
    FARPROC Export(const char* name) const;
    template <typename Fn> Fn Get(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(Export(name)));
    }
    HMODULE module;
};

// Wide text of a console row, for screen checks.
std::wstring ReadConsoleRow(HANDLE console, SHORT row, SHORT left, SHORT width, std::wstring* attributes = nullptr);

// The console window's top row, where the timer overlay is drawn.
struct ConsoleTopRow {
    ConsoleTopRow();
    ~ConsoleTopRow();
    // Fills the row with a pattern of letters from `first` on and
    // alternating attributes, and keeps it as `original`.
    void Prefill(wchar_t first = L'a');
    // Writes one character in one attribute over the whole row, as output
    // that rewrites it would; `original` stays.
    void Overwrite(wchar_t c, WORD attributes);
    std::wstring Row(std::wstring* attributes = nullptr);

    HANDLE handle;
    CONSOLE_SCREEN_BUFFER_INFO info;
    SHORT width = 0, top = 0;
    std::wstring original, originalAttributes;
};

// Every cell of a console's screen buffer, read row by row.
struct ScreenCells {
    explicit ScreenCells(HANDLE console);
    SHORT width = 0, height = 0;
    std::vector<CHAR_INFO> cells;
};

// The cells where two snapshots of one buffer differ, as "column,row"
// texts joined by blanks (empty when none does), so that a check names them.
std::string ChangedCells(const ScreenCells& before, const ScreenCells& after);

// Appends "column,row" to a list of cells in ChangedCells' form.
void AddCellName(std::string* cells, int column, int row);

// What drawing may not change, as text for a check: the cursor, the text
// attributes and the window.
std::string CursorAttributesAndWindow(HANDLE console);
