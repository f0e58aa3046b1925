// Help and Usage: the shell's help system asks about the plug-in's names.
#include "help_text.h"

#include "../plugin/exports.h"
#include "../plugin/plugin.h"

namespace {

struct HelpEntry {
    const wchar_t* name;
    const wchar_t* text;
};

const HelpEntry HELP_ENTRIES[] = {
    {L"lapwatch", COMMAND_HELP_TEXT},
    {L"_cmdcount", L"_CMDCOUNT \r\n\nReturns the number of times the command  \ncounter has been started.\n"},
    {L"_cmdticks", L"_CMDTICKS \r\n\nReturns the duration of the last command,  \nin 100 ns ticks.\n"},
    {L"_cmdtime", L"_CMDTIME \r\n\nReturns the duration of the last command,  \nas H:MM:SS.mmm\n"},
    {L"_cmdtotalticks", L"_CMDTOTALTICKS \r\n\nReturns the total of command durations,  \nin 100 ns ticks.\n"},
    {L"_cmdtotaltime", L"_CMDTOTALTIME \r\n\nReturns the total of command durations, as  \nH:MM:SS.mmm\n"},
    {L"_lastcmd", L"_LASTCMD \r\n\nReturns the first word from the last command  \nline entered.\n"},
    {L"_ticks", L"_TICKS \r\n\nReturns the number of 100 ns ticks since  \n1601-01-01 00:00:00 UTC.\n"},
    {L"@tickstotime", L"@TICKSTOTIME \r\n\nConverts a count of 100 ns ticks to  \nH:MM:SS.mmm format.\n"},
    {L"@tickstotimed", L"@TICKSTOTIMED \r\n\nConverts a count of 100 ns ticks to  \nDDD HH:MM:SS.mmm format.\n"},
};

}  // namespace

// Shows the help text of one of the plug-in's names in a message box.
// 1 when shown, 0 when the name is not the plug-in's.
extern "C" int PLUGIN_API Help(wchar_t* name) {
    if (name == nullptr)
        return 0;
    for (size_t i = 0; i < COUNT_OF(HELP_ENTRIES); i++) {
        if (EqualNoCase(name, HELP_ENTRIES[i].name)) {
            MessageBoxW(GetForegroundWindow(), HELP_ENTRIES[i].text, L"Lapwatch Plugin Help", MB_OK);
            return 1;
        }
    }
    return 0;
}

// Copies the command's syntax and explanation (the help text from its first
// line after the title on) into the shell's 1024-character buffer. 1 for
// "lapwatch", else 0 with the buffer untouched.
extern "C" int PLUGIN_API Usage(wchar_t* name, wchar_t* buffer) {
    if (name == nullptr || buffer == nullptr || !EqualNoCase(name, L"lapwatch"))
        return 0;
    const wchar_t* text = COMMAND_HELP_TEXT;
    while (*text != L'\0' && *text != L'\n')
        text++;
    while (*text == L'\n')
        text++;
    CopyText(buffer, SHORT_BUFFER_CHARS, text);    // the shell's Usage buffer
    return 1;
}
