// The shell's version, whether it runs interactively, and the console.
#include "frame.h"

#include "shell_text.h"

#include "../text/number_text.h"

#include <stdlib.h>
#include <wchar.h>

// The major versions of a recent host; any other answer is an older one.
enum { HOST_VERSION_RECENT = 24, HOST_VERSION_MAX = 100 };

PluginFrame g_frame;

// "%_4ver" reads like "32.10"; the digits up to the first other character
// are the major version. A number too large for wcstoul reads as its
// largest value, above the range.
bool IsRecentHost(void) {
    wchar_t buffer[SHELL_TEXT_BUFFER_CHARS];
    ExpandInto(buffer, COUNT_OF(buffer), L"%_4ver");
    unsigned long major = wcstoul(buffer, nullptr, DECIMAL_BASE);
    return major >= HOST_VERSION_RECENT && major <= HOST_VERSION_MAX;
}

bool ExpandsToInteractive(const wchar_t* probe) {
    wchar_t buffer[SHELL_TEXT_BUFFER_CHARS];    // the shell's answers, and the user's text that probe names
    ExpandInto(buffer, COUNT_OF(buffer), probe);
    return wcscmp(buffer, L"00") == 0;
}

bool IsInteractive(void) { return ExpandsToInteractive(INTERACTIVE_VARIABLES); }

int OpenConsoleOutput(void) {
    CloseConsoleOutput();    // started twice: never leak the first handle
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (console == INVALID_HANDLE_VALUE || console == nullptr)
        return -1;
    g_frame.consoleOutput = console;
    return 0;
}

void CloseConsoleOutput(void) {
    if (g_frame.consoleOutput) {
        CloseHandle(g_frame.consoleOutput);
        g_frame.consoleOutput = nullptr;
    }
}
