// Windows calls that fail or are watched on purpose, put behind a module's
// import table while the object lives: registry writes refused, a file that
// cannot be opened, message boxes recorded instead of shown. One object of
// each kind at a time.
#pragma once

#include "iat_patch.h"

#include <string>
#include <vector>

// RegSetValueExW refuses (ERROR_ACCESS_DENIED) the value named `refused`, or
// every value when that is null, and passes the others to the system; every
// call is counted.
struct RefusedValueWrite {
    explicit RefusedValueWrite(HMODULE module, const wchar_t* refused = nullptr);
    bool Applied() const { return patch.Applied(); }
    int Attempts() const;
    ImportPatch patch;
};

// RegCreateKeyExW refuses every key (ERROR_ACCESS_DENIED).
struct RefusedKeyCreation {
    explicit RefusedKeyCreation(HMODULE module);
    bool Applied() const { return patch.Applied(); }
    ImportPatch patch;
};

// CreateFileW fails for the file `name` (compared without case) with the
// last error `error`, and opens every other file.
struct FailingCreateFile {
    FailingCreateFile(HMODULE module, const wchar_t* name, DWORD error);
    bool Applied() const { return patch.Applied(); }
    ImportPatch patch;
};

// ReadConsoleOutputW fails (ERROR_INVALID_HANDLE) after zeroing the cells it
// was to fill, as a read that found nothing would leave them.
struct FailingConsoleRead {
    explicit FailingConsoleRead(HMODULE module);
    bool Applied() const { return patch.Applied(); }
    ImportPatch patch;
};

// ReadConsoleOutputW passes every call to the system until Arm(n); from
// then on the nth call fails as FailingConsoleRead's do (cells zeroed,
// ERROR_INVALID_HANDLE) and the calls after it pass again. Arm(0) disarms.
struct ConsoleReadFailingOnce {
    explicit ConsoleReadFailingOnce(HMODULE module);
    bool Applied() const { return patch.Applied(); }
    void Arm(int nth);
    int Calls() const;      // calls since the arming
    bool Failed() const;    // the armed call came, and failed
    ImportPatch patch;
};

// Registry keys and files that a module opens through its import table
// (RegOpenKeyExW and RegCreateKeyExW, CreateFileW) and its closes of them
// (RegCloseKey, CloseHandle), counted while the calls go on to the system.
struct CountedHandles {
    explicit CountedHandles(HMODULE module);
    bool Applied() const;
    int Opened() const;           // keys and files opened since construction
    int OpenKeys() const;         // keys opened and not closed
    int OpenFiles() const;        // files opened and not closed
    int UnknownCloses() const;    // closes of handles not opened here, or closed twice
    ImportPatch openKey, createKey, closeKey, createFile, closeHandle;
};

// MessageBoxW records its arguments and returns IDOK at once;
// GetForegroundWindow answers kForegroundWindow.
struct MessageBoxCall {
    HWND owner;
    std::wstring text;  // "(null)" for a null pointer
    std::wstring caption;
    UINT type;
};
extern HWND const kForegroundWindow;
struct RecordedMessageBoxes {
    explicit RecordedMessageBoxes(HMODULE module);
    bool Applied() const { return box.Applied() && foreground.Applied(); }
    const std::vector<MessageBoxCall>& Calls() const;
    std::wstring LastText() const;  // empty when no box was shown
    void Clear();
    ImportPatch box;
    ImportPatch foreground;
};
