// What the plug-in learns about the shell at start-up: its major version and
// whether it runs interactively.
#include "plugin.h"

#include <errno.h>
#include <stdlib.h>
#include <wchar.h>

PluginFrame g_frame;

// "%_4ver" reads like "32.10"; the digits up to the first other character
// are the major version.
unsigned ProbeHostVersion(void) {
    wchar_t buffer[PROBE_BUFFER_CHARS];
    ExpandInto(buffer, COUNT_OF(buffer), L"%_4ver");
    errno = 0;
    unsigned long number = wcstoul(buffer, nullptr, 10);
    unsigned version = 0;
    if (errno != ERANGE && number <= 0xFFFFFFFFul && number >= HOST_VERSION_MIN &&
        number <= HOST_VERSION_MAX)
        version = static_cast<unsigned>(number);
    g_frame.recentHost = version >= HOST_VERSION_RECENT ? 1 : 0;
    return version;
}

int IsInteractive(void) {
    wchar_t buffer[PROBE_BUFFER_CHARS];
    ExpandInto(buffer, COUNT_OF(buffer), L"%[_transient]%[_pipe]");
    return wcscmp(buffer, L"00") == 0;
}
