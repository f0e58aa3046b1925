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
// types above and their natural alignment, so x64 moves the texts and pads.
#if defined(_WIN64)
static_assert(sizeof(PluginInfo) == 72, "plug-in information record is 72 bytes on x64");
static_assert(offsetof(PluginInfo, name) == 0 && offsetof(PluginInfo, author) == 8 &&
              offsetof(PluginInfo, email) == 16 && offsetof(PluginInfo, webPage) == 24 &&
              offsetof(PluginInfo, description) == 32 && offsetof(PluginInfo, functionList) == 40,
              "texts at 0, 8, ..., 40");
static_assert(offsetof(PluginInfo, majorVersion) == 48 && offsetof(PluginInfo, minorVersion) == 52 &&
              offsetof(PluginInfo, buildVersion) == 56, "version numbers at 48, 52, 56");
static_assert(offsetof(PluginInfo, reserved1) == 60 && offsetof(PluginInfo, reserved2) == 64,
              "reserved fields at 60, 64");
static_assert(sizeof(KeyEvent) == 48, "key event record is 48 bytes on x64");
static_assert(offsetof(KeyEvent, keyCode) == 0 && offsetof(KeyEvent, unused1) == 4, "key code at 0");
static_assert(offsetof(KeyEvent, commandLine) == 24, "command line at 24, after 4 bytes of padding");
static_assert(offsetof(KeyEvent, unused2) == 32, "unread fields at 32, 36");
static_assert(offsetof(KeyEvent, keyName) == 40, "key name at 40");
#else
static_assert(sizeof(PluginInfo) == 44, "plug-in information record is 44 bytes on x86");
static_assert(offsetof(PluginInfo, name) == 0 && offsetof(PluginInfo, author) == 4 &&
              offsetof(PluginInfo, email) == 8 && offsetof(PluginInfo, webPage) == 12 &&
              offsetof(PluginInfo, description) == 16 && offsetof(PluginInfo, functionList) == 20,
              "texts at 0, 4, ..., 20");
static_assert(offsetof(PluginInfo, majorVersion) == 24 && offsetof(PluginInfo, minorVersion) == 28 &&
              offsetof(PluginInfo, buildVersion) == 32, "version numbers at 24, 28, 32");
static_assert(offsetof(PluginInfo, reserved1) == 36 && offsetof(PluginInfo, reserved2) == 40,
              "reserved fields at 36, 40");
static_assert(sizeof(KeyEvent) == 36, "key event record is 36 bytes on x86");
static_assert(offsetof(KeyEvent, keyCode) == 0 && offsetof(KeyEvent, unused1) == 4, "key code at 0");
static_assert(offsetof(KeyEvent, commandLine) == 20, "command line at 20");
static_assert(offsetof(KeyEvent, unused2) == 24, "unread fields at 24, 28");
static_assert(offsetof(KeyEvent, keyName) == 32, "key name at 32");
#endif

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
