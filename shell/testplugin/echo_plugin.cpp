// A small plug-in for testing the stand-in shell: variables that show the
// lookup order and the buffer bound, a variable function, commands that
// exercise each shell function, and a key handler that records key events.
#include "host/takecmd.h"

#include <algorithm>
#include <string>
#include <vector>

#define PLUGIN_EXPORT extern "C" __stdcall

namespace {

constexpr size_t BUFFER_CHARS = 8192;  // a shell result buffer
constexpr size_t MAX_CHARS = BUFFER_CHARS - 1;
constexpr size_t GUARD_CHARS = 64;     // checked after the buffer by "bound"
constexpr wchar_t GUARD = 0xABCD;

PluginInfo g_info = {L"EchoPlugin", L"stand-in tests", L"", L"", L"Test plug-in of the stand-in shell",
                     L"echocmd,printfs,colors,run,status,quiet,bound,_echovar,_echolong,_echofail,"
                     L"_echoenv,_4ver,_keylog,_echomodule,@upper,*key",
                     1, 2, 3, nullptr, nullptr};

std::wstring g_keyLog;

int CopyOut(wchar_t* buffer, const std::wstring& text) {
    size_t length = text.size() < MAX_CHARS ? text.size() : MAX_CHARS;
    text.copy(buffer, length);
    buffer[length] = L'\0';
    return 0;
}

}  // namespace

PLUGIN_EXPORT PluginInfo* GetPluginInfo(void) { return &g_info; }

// Reports what the shell's interactive probe gives, then succeeds.
PLUGIN_EXPORT int InitializePlugin(void) {
    wchar_t probe[BUFFER_CHARS] = L"%[_transient]%[_pipe]";
    ExpandVariables(probe, 1);
    Printf(L"EchoPlugin started [%s]\r\n", probe);
    return 0;
}

PLUGIN_EXPORT int ShutdownPlugin(int) {
    Printf(L"EchoPlugin stopped\r\n");
    return 0;
}

// Records "code:name:line@edit/redraw;" for every key event: the edit
// position as an index into the line; a null field shows as "-".
PLUGIN_EXPORT int key(KeyEvent* event) {
    std::wstring edit = event->editPosition && event->commandLine
                            ? std::to_wstring(event->editPosition - event->commandLine)
                            : L"-";
    g_keyLog += std::to_wstring(event->keyCode) + L":" + (event->keyName ? event->keyName : L"-") + L":" +
                (event->commandLine ? event->commandLine : L"-") + L"@" + edit + L"/" +
                std::to_wstring(event->redraw) + L";";
    return 0;
}

PLUGIN_EXPORT int _echovar(wchar_t* buffer) { return CopyOut(buffer, L"echo-value"); }
PLUGIN_EXPORT int _echolong(wchar_t* buffer) { return CopyOut(buffer, std::wstring(MAX_CHARS, L'x')); }
PLUGIN_EXPORT int _echofail(wchar_t* buffer) {
    CopyOut(buffer, L"not-this");
    return -1;
}
PLUGIN_EXPORT int _echoenv(wchar_t* buffer) { return CopyOut(buffer, L"from-plugin"); }
PLUGIN_EXPORT int _4ver(wchar_t* buffer) { return CopyOut(buffer, L"plugin-version"); }
// What the shell wrote into the information record after GetPluginInfo.
PLUGIN_EXPORT int _echomodule(wchar_t* buffer) {
    bool ours = g_info.moduleHandle == GetModuleHandleW(L"echo_plugin.dll");
    return CopyOut(buffer, std::wstring(ours ? L"handle " : L"other handle ") +
                               (g_info.moduleName ? g_info.moduleName : L"-"));
}
PLUGIN_EXPORT int _keylog(wchar_t* buffer) {
    CopyOut(buffer, g_keyLog);
    g_keyLog.clear();
    return 0;
}

// @upper[text]: the argument in capitals (ASCII letters).
PLUGIN_EXPORT int f_upper(wchar_t* buffer) {
    for (wchar_t* c = buffer; *c != L'\0'; ++c) {
        if (*c >= L'a' && *c <= L'z') *c = static_cast<wchar_t>(*c - L'a' + L'A');
    }
    return 0;
}

PLUGIN_EXPORT int echocmd(wchar_t* arguments) {
    Printf(L"echocmd [%s]\r\n", arguments);
    return 0;
}

// Every output function once, with the formats plug-ins use.
PLUGIN_EXPORT int printfs(wchar_t*) {
    Printf(L"d=%d u=%u s=%s pct=%% big=%I64u pad=%02u:%03u neg=%d\r\n", -42, 4000000000u, L"wide",
           12345678901234ull, 7u, 5u, -1);
    Qprintf(GetStdHandle(STD_ERROR_HANDLE), L"err=%s %d\r\n", L"to stderr", 3);
    QPuts(L"puts 100% literal");
    CrLf();
    return 0;
}

// colors TEXT: what ParseColors makes of TEXT, with both values preset to 255.
PLUGIN_EXPORT int colors(wchar_t* arguments) {
    int foreground = 255, background = 255;
    int result = ParseColors(arguments, &foreground, &background);
    Printf(L"colors %d %d %d\r\n", result, foreground, background);
    return 0;
}

PLUGIN_EXPORT int run(wchar_t* arguments) { return Command(arguments, 0); }

PLUGIN_EXPORT int status(wchar_t* arguments) {
    wchar_t request[] = L"STATUSBAR";
    Printf(L"status %d\r\n", TakeCommandIPC(request, arguments));
    return 0;
}

// Writes once with standard output and error on "nul", once without.
PLUGIN_EXPORT int quiet(wchar_t*) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    HANDLE nul = CreateFileW(L"nul", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    SetStdHandle(STD_ERROR_HANDLE, nul);
    SetStdHandle(STD_OUTPUT_HANDLE, nul);
    Printf(L"hidden out\r\n");
    Qprintf(GetStdHandle(STD_ERROR_HANDLE), L"hidden err\r\n");
    SetStdHandle(STD_ERROR_HANDLE, err);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    CloseHandle(nul);
    Printf(L"shown out\r\n");
    return 0;
}

// bound TEXT: expands TEXT in an 8192-character buffer followed by guard
// characters and reports the result's length and whether the guard held.
PLUGIN_EXPORT int bound(wchar_t* arguments) {
    std::vector<wchar_t> buffer(BUFFER_CHARS + GUARD_CHARS, GUARD);
    std::fill(buffer.begin(), buffer.begin() + BUFFER_CHARS, L'\0');
    std::wstring text = arguments;
    text.copy(buffer.data(), text.size() < MAX_CHARS ? text.size() : MAX_CHARS);
    ExpandVariables(buffer.data(), 1);
    bool guardIntact = true;
    for (size_t i = BUFFER_CHARS; i < buffer.size(); ++i) guardIntact = guardIntact && buffer[i] == GUARD;
    size_t length = 0;
    while (length < BUFFER_CHARS && buffer[length] != L'\0') ++length;
    Printf(L"bound %u %s\r\n", static_cast<unsigned>(length), guardIntact ? L"intact" : L"overrun");
    return 0;
}

PLUGIN_EXPORT int Help(wchar_t* name) { return lstrcmpiW(name, L"echocmd") == 0 ? 1 : 0; }

PLUGIN_EXPORT int Usage(wchar_t* name, wchar_t* buffer) {
    if (lstrcmpiW(name, L"echocmd") != 0) return 0;
    lstrcpyW(buffer, L"echocmd [text]");
    return 1;
}
