// Help text of the lapwatch command: shown by Help, printed for /? and /??,
// and, from its syntax line on, handed to the shell by Usage.
#include "help_text.h"

#include "../settings/setting_table.h"

const wchar_t COMMAND_HELP_TEXT[] =
    L"Display or change Lapwatch plugin settings. \n"
    L"\n"
    L"LAPWATCH /B:n /C:n /D /K /R /S /T:n /Z slow-command \r\n"
    L"\n"
    L"\t/B:\tshow timer: Default Statusbar Text Both Off\n"
    L"\t/C:\tset timer text colors\n"
    L"\t/D \trestore plugin defaults\n"
    L"\t/K \treset the command counter to zero\n"
    L"\t/R \trestore settings from the registry\n"
    L"\t/S \tsave current settings to the registry \n"
    L"\t/T:\ttime in seconds for a slow command\n"
    L"\t/Z \treset the total time to zero\n"
    L"\n"
    L"A \u2018command\u2019 is any line you type at the command line.  It might\n"
    L"be several commands, a batch file, or whatever.  The timer starts\n"
    L"when you press Enter, and stops when the prompt is displayed again.  \n"
    L"If a command takes a long time, slow-command will be executed\n"
    L"automatically when it finishes.  Use /T: to define the duration of\n"
    L"a \u2018slow\u2019 command; " SLOW_SECONDS_ROW(SETTING_DEFAULT_TEXT_OF) L" is the default, 0 disables this feature.\n";
