// The slow command, run through the shell after a slow line.
#include "slow_command.h"

#include "../settings/settings.h"

#include <wchar.h>

// The shell gets a copy: the command it runs may replace or remove the slow
// command while it runs. A command too long for the copy is not run at all
// rather than run cut short.
int RunSlowCommand(void) {
    if (!g_settings.slowCommand || wcslen(g_settings.slowCommand) > SHELL_TEXT_MAX_CHARS)
        return 0;
    wchar_t line[SHELL_TEXT_BUFFER_CHARS];    // user text: the slow command, run by the shell
    wmemset(line, L'\0', COUNT_OF(line));
    CopyText(line, COUNT_OF(line), g_settings.slowCommand);
    if (line[0])
        Command(line, 0);
    return 0;
}
