// The slow command, run through the shell after a slow line.
#include "slow_command.h"

#include "../settings/settings.h"

#include <wchar.h>

// The shell gets a copy: the command it runs may replace or remove the slow
// command while it runs. The copy holds it whole and never empty: it comes
// from the command's argument buffer or the registry read, neither longer
// than the copy, and the setter keeps no empty text.
void RunSlowCommand(void) {
    if (!g_settings.slowCommand)
        return;
    wchar_t line[SHELL_TEXT_BUFFER_CHARS];    // user text: the slow command, run by the shell
    wmemset(line, L'\0', COUNT_OF(line));
    CopyText(line, COUNT_OF(line), g_settings.slowCommand);
    Command(line, 0);
}
