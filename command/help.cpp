// Help and Usage: the shell's help system asks about the plug-in's names.
#include "help_text.h"

#include "../plugin/exports.h"
#include "../plugin/plugin.h"

namespace {

typedef struct HelpEntry {
    const wchar_t* name;           // as listed in the function list
    const wchar_t* text;           // null for the key handler, which has none
} HelpEntry;

#define HELP_ENTRY(kind, name, help) {LISTED_NAME(kind, name, help), help},
const HelpEntry HELP_ENTRIES[] = {LAPWATCH_ENTRIES(HELP_ENTRY, )};

// The entry with a help text listed as name, compared without case; null
// when there is none, or no name.
const HelpEntry* FindHelp(const wchar_t* name) {
    for (const HelpEntry& entry : HELP_ENTRIES) {
        if (name != nullptr && entry.text != nullptr && IsEqualNoCase(name, entry.name))
            return &entry;
    }
    return nullptr;
}

}  // namespace

// Shows the help text of one of the plug-in's names in a message box.
// 1 when shown, 0 when the name is not the plug-in's.
extern "C" int PLUGIN_API Help(wchar_t* name) {
    const HelpEntry* entry = FindHelp(name);
    if (entry == nullptr)
        return 0;
    MessageBoxW(GetForegroundWindow(), entry->text, PLUGIN_NAME L" Plugin Help", MB_OK);
    return 1;
}

// Copies the command's syntax and explanation (its help text from the first
// line after the title on) into the shell's Usage buffer. 1 for the
// command's name, else 0 with the buffer untouched.
extern "C" int PLUGIN_API Usage(wchar_t* name, wchar_t* buffer) {
    const HelpEntry* entry = FindHelp(name);
    if (entry == nullptr || entry->text != COMMAND_HELP_TEXT || buffer == nullptr)
        return 0;
    const wchar_t* text = COMMAND_HELP_TEXT;
    while (*text != L'\0' && *text != L'\n')
        text++;
    while (*text == L'\n')
        text++;
    CopyText(buffer, SHELL_USAGE_BUFFER_CHARS, text);
    return 1;
}
