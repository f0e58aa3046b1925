// What the tests expect of the one architecture they are built for: every
// name, text and layout that differs between Lapwatch-x86.dll and
// Lapwatch-x64.dll, written out here once rather than taken from the code.
#pragma once

#include <windows.h>

#include <stddef.h>

struct ArchitectureExpectations {
    const wchar_t* dllName;             // file name, and the version resource's
    const wchar_t* platform;            // in the product version and the /?? line
    WORD machine;                       // PE file header
    WORD optionalHeaderMagic;           // PE32 or PE32+
    const char* statusBarImport;        // TakeCmd.dll's decorated IPC name
    size_t pluginInfoSize;
    size_t pluginInfoVersionOffset;     // major, minor, third follow at +4, +8
    size_t pluginInfoModuleOffset;      // the shell's module handle
    size_t pluginInfoModuleNameOffset;  // the shell's module name
    size_t keyEventSize;
    size_t keyEventCommandLineOffset;
    size_t keyEventEditPositionOffset;  // a pointer, not read by the plug-in
    size_t keyEventRedrawOffset;        // a 32-bit flag, not read
    size_t keyEventKeyNameOffset;
};

#if defined(_WIN64)
constexpr ArchitectureExpectations kArch = {
    L"Lapwatch-x64.dll", L"x64", IMAGE_FILE_MACHINE_AMD64, IMAGE_NT_OPTIONAL_HDR64_MAGIC,
    "?TakeCommandIPC@@YAHPEA_W0@Z",
    80, 48, 64, 72,
    56, 24, 32, 40, 48,
};
#else
constexpr ArchitectureExpectations kArch = {
    L"Lapwatch-x86.dll", L"x86", IMAGE_FILE_MACHINE_I386, IMAGE_NT_OPTIONAL_HDR32_MAGIC,
    "?TakeCommandIPC@@YAHPA_W0@Z",
    44, 24, 36, 40,
    36, 20, 24, 28, 32,
};
#endif
