// Declarations of the shell library TakeCmd.dll and of the records that the
// shell and its plug-ins exchange. Both sides of the interface include this
// file: the plug-in to call the shell, the stand-in shell to implement it.
#pragma once

#include <windows.h>
#include <stddef.h>

#ifdef __cplusplus
#define HOST_EXTERN_C extern "C"
#else
#define HOST_EXTERN_C
#endif

// Every plug-in export and every fixed-argument shell function is __stdcall
// on x86; the two formatting functions and the IPC request are __cdecl. x64
// has one calling convention, which the compiler uses whatever these say.
#define PLUGIN_API __stdcall
#define HOST_API __stdcall

// The plug-in information record handed to the shell by GetPluginInfo.
typedef struct PluginInfo {
    const wchar_t* name;
    const wchar_t* author;
    const wchar_t* email;
    const wchar_t* webPage;
    const wchar_t* description;
    const wchar_t* functionList;   // comma-separated names, no blanks
    unsigned majorVersion;
    unsigned minorVersion;
    unsigned buildVersion;         // the third version number
    unsigned reserved1;            // the shell's; zero
    unsigned reserved2;            // the shell's; zero
} PluginInfo;

// The key event record passed to a plug-in's key handler.
typedef struct KeyEvent {
    int keyCode;                   // 13 Enter, 27 Esc, 0 none
    int unused1[4];
    wchar_t* commandLine;          // text being edited; may be null
    int unused2[2];
    wchar_t* keyName;              // "Enter", "Esc", ...; may be null
} KeyEvent;

enum {
    KEY_CODE_NONE = 0,
    KEY_CODE_ENTER = 13,
    KEY_CODE_ESC = 27,
};

// Both layouts of the records, every offset checked: the fields keep the
// types above and their natural alignment, so on x64 the texts grow to 8
// bytes, the version numbers and reserved fields move, and the key event
// pads 4 bytes before its command line. One table per architecture:
#if defined(_WIN64)
enum RecordLayout : size_t {
    LAYOUT_TEXT_BYTES = 8, LAYOUT_INFO_VERSION_AT = 48, LAYOUT_INFO_BYTES = 72,
    LAYOUT_KEY_LINE_AT = 24, LAYOUT_KEY_UNUSED2_AT = 32, LAYOUT_KEY_NAME_AT = 40,
    LAYOUT_KEY_BYTES = 48,
};
#else
enum RecordLayout : size_t {
    LAYOUT_TEXT_BYTES = 4, LAYOUT_INFO_VERSION_AT = 24, LAYOUT_INFO_BYTES = 44,
    LAYOUT_KEY_LINE_AT = 20, LAYOUT_KEY_UNUSED2_AT = 24, LAYOUT_KEY_NAME_AT = 32,
    LAYOUT_KEY_BYTES = 36,
};
#endif
static_assert(offsetof(PluginInfo, name) == 0 && offsetof(PluginInfo, author) == 1 * LAYOUT_TEXT_BYTES &&
              offsetof(PluginInfo, email) == 2 * LAYOUT_TEXT_BYTES &&
              offsetof(PluginInfo, webPage) == 3 * LAYOUT_TEXT_BYTES &&
              offsetof(PluginInfo, description) == 4 * LAYOUT_TEXT_BYTES &&
              offsetof(PluginInfo, functionList) == 5 * LAYOUT_TEXT_BYTES, "six texts first");
static_assert(offsetof(PluginInfo, majorVersion) == LAYOUT_INFO_VERSION_AT &&
              offsetof(PluginInfo, minorVersion) == LAYOUT_INFO_VERSION_AT + 4 &&
              offsetof(PluginInfo, buildVersion) == LAYOUT_INFO_VERSION_AT + 8 &&
              offsetof(PluginInfo, reserved1) == LAYOUT_INFO_VERSION_AT + 12 &&
              offsetof(PluginInfo, reserved2) == LAYOUT_INFO_VERSION_AT + 16, "five 32-bit numbers after them");
static_assert(sizeof(PluginInfo) == LAYOUT_INFO_BYTES, "44 bytes on x86, 72 on x64");
static_assert(offsetof(KeyEvent, keyCode) == 0 && offsetof(KeyEvent, unused1) == 4, "key code, then four unread");
static_assert(offsetof(KeyEvent, commandLine) == LAYOUT_KEY_LINE_AT, "command line at 20 on x86, 24 on x64");
static_assert(offsetof(KeyEvent, unused2) == LAYOUT_KEY_UNUSED2_AT, "two unread fields after it");
static_assert(offsetof(KeyEvent, keyName) == LAYOUT_KEY_NAME_AT, "key name at 32 on x86, 40 on x64");
static_assert(sizeof(KeyEvent) == LAYOUT_KEY_BYTES, "36 bytes on x86, 48 on x64");

// The shell's library. Buffers handed to ExpandVariables hold 8192 wide
// characters (1024 for short probes); the shell writes at most 8191 and the
// terminator.
HOST_EXTERN_C int __cdecl Printf(const wchar_t* format, ...);
HOST_EXTERN_C int __cdecl Qprintf(HANDLE handle, const wchar_t* format, ...);
HOST_EXTERN_C int HOST_API QPuts(const wchar_t* text);
HOST_EXTERN_C void HOST_API CrLf(void);
HOST_EXTERN_C int HOST_API ExpandVariables(wchar_t* buffer, int full);
HOST_EXTERN_C int HOST_API ParseColors(wchar_t* text, int* foreground, int* background);
HOST_EXTERN_C int HOST_API Command(wchar_t* line, int flags);
// Exported with C++ linkage as ?TakeCommandIPC@@YAHPA_W0@Z (x86) or
// ?TakeCommandIPC@@YAHPEA_W0@Z (x64); the import library made from
// takecmd-<arch>.def maps this plain name onto that one.
HOST_EXTERN_C int __cdecl TakeCommandIPC(wchar_t* request, wchar_t* text);

// The plug-in's exports as the shell calls them.
typedef PluginInfo* (PLUGIN_API *GetPluginInfoFn)(void);
typedef int (PLUGIN_API *InitializePluginFn)(void);
typedef int (PLUGIN_API *ShutdownPluginFn)(int endProcess);
typedef int (PLUGIN_API *KeyHandlerFn)(KeyEvent* event);
typedef int (PLUGIN_API *VariableFn)(wchar_t* buffer);
typedef int (PLUGIN_API *CommandFn)(wchar_t* arguments);
typedef int (PLUGIN_API *HelpFn)(wchar_t* name);
typedef int (PLUGIN_API *UsageFn)(wchar_t* name, wchar_t* buffer);
