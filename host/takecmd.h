// Declarations of the shell library TakeCmd.dll and of the records that the
// shell and its plug-ins exchange. Both sides of the interface include this
// file: the plug-in to call the shell, the stand-in shell to implement it.
#pragma once

#include "shell_buffers.h"

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

// The plug-in information record handed to the shell by GetPluginInfo. The
// plug-in fills the first nine fields; the last two are the shell's, which
// it may fill in after GetPluginInfo returns, so the record must reserve
// them at their full width. The plug-in never reads or writes them.
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
    HMODULE moduleHandle;          // the shell's: the plug-in's module
    wchar_t* moduleName;           // the shell's: the plug-in's file name
} PluginInfo;

// The key event record passed to a plug-in's key handler. The plug-in reads
// the key code, the command line and (from a recent host) the key name, and
// nothing else: the shell promises nothing about the other fields.
typedef struct KeyEvent {
    int keyCode;                   // 13 Enter, 27 Esc, 0 none
    int unused[4];
    wchar_t* commandLine;          // text being edited; may be null
    wchar_t* editPosition;         // the cursor's place in that text
    int redraw;                    // the shell's redraw flag
    wchar_t* keyName;              // "Enter", "Esc", ...; may be null
} KeyEvent;

enum {
    KEY_CODE_NONE = 0,
    KEY_CODE_ENTER = 13,
    KEY_CODE_ESC = 27,
};

// Both layouts as the shell declares them, every offset checked. Fields
// keep their natural alignment: on x64 the pointers (the texts, the module
// handle, the edit position) grow to 8 bytes, which pads 4 bytes after the
// version numbers, before the command line and after the redraw flag.
#if defined(_WIN64)
#define X86_OR_X64(x86, x64) x64
#else
#define X86_OR_X64(x86, x64) x86
#endif
enum RecordLayout : size_t {
    LAYOUT_POINTER_BYTES = X86_OR_X64(4, 8),
    LAYOUT_INFO_VERSION_AT = X86_OR_X64(24, 48),
    LAYOUT_INFO_MODULE_AT = X86_OR_X64(36, 64),
    LAYOUT_INFO_MODULE_NAME_AT = X86_OR_X64(40, 72),
    LAYOUT_INFO_BYTES = X86_OR_X64(44, 80),
    LAYOUT_KEY_LINE_AT = X86_OR_X64(20, 24),
    LAYOUT_KEY_EDIT_AT = X86_OR_X64(24, 32),
    LAYOUT_KEY_REDRAW_AT = X86_OR_X64(28, 40),
    LAYOUT_KEY_NAME_AT = X86_OR_X64(32, 48),
    LAYOUT_KEY_BYTES = X86_OR_X64(36, 56),
};
static_assert(offsetof(PluginInfo, name) == 0 && offsetof(PluginInfo, author) == 1 * LAYOUT_POINTER_BYTES &&
              offsetof(PluginInfo, email) == 2 * LAYOUT_POINTER_BYTES &&
              offsetof(PluginInfo, webPage) == 3 * LAYOUT_POINTER_BYTES &&
              offsetof(PluginInfo, description) == 4 * LAYOUT_POINTER_BYTES &&
              offsetof(PluginInfo, functionList) == 5 * LAYOUT_POINTER_BYTES, "six texts first");
static_assert(offsetof(PluginInfo, majorVersion) == LAYOUT_INFO_VERSION_AT &&
              offsetof(PluginInfo, minorVersion) == LAYOUT_INFO_VERSION_AT + 4 &&
              offsetof(PluginInfo, buildVersion) == LAYOUT_INFO_VERSION_AT + 8, "three version numbers");
static_assert(offsetof(PluginInfo, moduleHandle) == LAYOUT_INFO_MODULE_AT &&
              offsetof(PluginInfo, moduleName) == LAYOUT_INFO_MODULE_NAME_AT, "the shell's two fields last");
static_assert(sizeof(PluginInfo) == LAYOUT_INFO_BYTES, "44 bytes on x86, 80 on x64");
static_assert(offsetof(KeyEvent, keyCode) == 0 && offsetof(KeyEvent, unused) == 4, "key code, then four unread");
static_assert(offsetof(KeyEvent, commandLine) == LAYOUT_KEY_LINE_AT, "command line at 20 on x86, 24 on x64");
static_assert(offsetof(KeyEvent, editPosition) == LAYOUT_KEY_EDIT_AT, "edit position at 24 on x86, 32 on x64");
static_assert(offsetof(KeyEvent, redraw) == LAYOUT_KEY_REDRAW_AT, "redraw flag at 28 on x86, 40 on x64");
static_assert(offsetof(KeyEvent, keyName) == LAYOUT_KEY_NAME_AT, "key name at 32 on x86, 48 on x64");
static_assert(sizeof(KeyEvent) == LAYOUT_KEY_BYTES, "36 bytes on x86, 56 on x64");

// The shell's library. The texts handed to ExpandVariables and Command are
// buffers of SHELL_TEXT_BUFFER_CHARS.
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
