// Help and Usage: the shell's help system asks about the plug-in's names.
#include "help_text.h"

#include "../plugin/exports.h"
#include "../plugin/plugin.h"

namespace {

// The help texts, in the order of the function list: the command's, then a
// title line and a description for each variable and variable function.
const wchar_t* const HELP_TEXTS[] = {
    COMMAND_HELP_TEXT,
    L"_CMDCOUNT \r\n\nReturns the number of times the command  \ncounter has been started.\n",
    L"_CMDTICKS \r\n\nReturns the duration of the last command,  \nin 100 ns ticks.\n",
    L"_CMDTIME \r\n\nReturns the duration of the last command,  \nas H:MM:SS.mmm\n",
    L"_CMDTOTALTICKS \r\n\nReturns the total of command durations,  \nin 100 ns ticks.\n",
    L"_CMDTOTALTIME \r\n\nReturns the total of command durations, as  \nH:MM:SS.mmm\n",
    L"_LASTCMD \r\n\nReturns the first word from the last command  \nline entered.\n",
    L"_TICKS \r\n\nReturns the number of 100 ns ticks since  \n1601-01-01 00:00:00 UTC.\n",
    L"@TICKSTOTIME \r\n\nConverts a count of 100 ns ticks to  \nH:MM:SS.mmm format.\n",
    L"@TICKSTOTIMED \r\n\nConverts a count of 100 ns ticks to  \nDDD HH:MM:SS.mmm format.\n",
};

// The names that have help: every entry of the function list but the key
// handler, under its listed name.
#define HELP_NAME_COMMAND(name) LISTED_COMMAND(name),
#define HELP_NAME_VARIABLE(name) LISTED_VARIABLE(name),
#define HELP_NAME_FUNCTION(name) LISTED_FUNCTION(name),
#define HELP_NAME_KEY_HANDLER(name)
#define HELP_NAME(kind, name) HELP_NAME_##kind(name)

const wchar_t* const HELP_NAMES[] = {LAPWATCH_ENTRIES(HELP_NAME, )};
static_assert(COUNT_OF(HELP_NAMES) == COUNT_OF(HELP_TEXTS), "one help text for each name");

}  // namespace

// Shows the help text of one of the plug-in's names in a message box.
// 1 when shown, 0 when the name is not the plug-in's.
extern "C" int PLUGIN_API Help(wchar_t* name) {
    if (name == nullptr)
        return 0;
    for (size_t i = 0; i < COUNT_OF(HELP_NAMES); i++) {
        if (IsEqualNoCase(name, HELP_NAMES[i])) {
            MessageBoxW(GetForegroundWindow(), HELP_TEXTS[i], L"Lapwatch Plugin Help", MB_OK);
            return 1;
        }
    }
    return 0;
}

// Copies the command's syntax and explanation (the help text from its first
// line after the title on) into the shell's Usage buffer. 1 for
// "lapwatch", else 0 with the buffer untouched.
extern "C" int PLUGIN_API Usage(wchar_t* name, wchar_t* buffer) {
    if (name == nullptr || buffer == nullptr || !IsEqualNoCase(name, L"lapwatch"))
        return 0;
    const wchar_t* text = COMMAND_HELP_TEXT;
    while (*text != L'\0' && *text != L'\n')
        text++;
    while (*text == L'\n')
        text++;
    CopyText(buffer, SHELL_USAGE_BUFFER_CHARS, text);
    return 1;
}
