// The lapwatch command: reads its options, applies them, reports the
// settings and saves them when asked.
#include "command.h"
#include "help_text.h"
#include "settings.h"
#include "tokenizer.h"

#include "../timing/timing.h"
#include "../variables/clock_text.h"

#include <wchar.h>
#include <wctype.h>

namespace {

enum {
    VALUE_AFTER_SEPARATOR = 3,     // /T:5 -> "5"
    VALUE_WITHOUT_SEPARATOR = 2,   // /T5 -> "5"
    OPTION_PREFIX_CHARS = 2,       // "/B" of /B:T
    COLOR_UNSET = 255,             // ParseColors left this colour alone
    NIBBLE_BITS = 4,
};

enum SaveScope { SAVE_NONE, SAVE_CURRENT_USER, SAVE_LOCAL_MACHINE };

// What one run has been asked to change; applied after a clean scan.
struct PendingValues {
    int hasShowTimer;
    uint32_t showTimer;
    int hasColors;
    uint32_t colors;
    int hasSlowSeconds;
    uint32_t slowSeconds;
    const wchar_t* slowCommand;    // in the argument table, or null
    int restoreDefaults;
    int restoreRegistry;
    int resetTotal;
    SaveScope saveScope;
};

wchar_t UpperAscii(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// The value of an option argument: after "/X:" or "/X=", else after "/X".
wchar_t* OptionValue(wchar_t* argument, int length) {
    if (length > VALUE_WITHOUT_SEPARATOR && IsValueSeparator(argument[VALUE_WITHOUT_SEPARATOR]))
        return argument + VALUE_AFTER_SEPARATOR;
    return argument + (length < VALUE_WITHOUT_SEPARATOR ? length : VALUE_WITHOUT_SEPARATOR);
}

// Error of the scan that quotes part of the upper-cased argument. Returns 1.
int UpperCasedError(const wchar_t* format, wchar_t* argument, const wchar_t* shown) {
    UpperCaseAscii(argument);
    WriteError(format, shown);
    return 1;
}

// Show-timer mode from the first letter of a /B value, or -1.
int ShowTimerModeFor(wchar_t letter) {
    switch (UpperAscii(letter)) {
    case L'B': return 3;
    case L'D': return 5;
    case L'O': return 0;
    case L'S': return 1;
    case L'T': return 2;
    default: return -1;
    }
}

// Timer colours from a /C value: a number, or a description read by the
// shell. 0 and the attribute stored, -1 not a number, 1 not a valid pair.
int ReadColors(wchar_t* value, uint32_t* colors) {
    uint32_t candidate = 0;
    if (iswdigit(value[0])) {
        if (ParseNumber32(value, &candidate) != 0)
            return -1;
    } else {
        int foreground = COLOR_UNSET;
        int background = COLOR_UNSET;
        ParseColors(value, &foreground, &background);
        candidate = (static_cast<uint32_t>(background) << NIBBLE_BITS) | static_cast<uint32_t>(foreground);
    }
    if (!IsValidColorPair(candidate))
        return 1;
    *colors = candidate;
    return 0;
}

// Handles one argument of the scan. Returns -1 to go on, or the result of
// the run when the argument ends it (help written, or an error reported).
int ScanArgument(wchar_t* arg, int length, PendingValues* pending) {
    if (wcscmp(arg, L"/?") == 0) {
        QPuts(COMMAND_HELP_TEXT);
        return 0;
    }
    if (wcscmp(arg, L"/??") == 0) {
        QPuts(COMMAND_HELP_TEXT);
        Printf(L"\r\n\t\t\t\t%s  %u.%u.%u.%u (%s)\r\n", PLUGIN_NAME, PLUGIN_MAJOR, PLUGIN_MINOR,
               PLUGIN_BUILD, PLUGIN_REVISION, PLUGIN_PLATFORM);
        return 0;
    }
    wchar_t* value = OptionValue(arg, length);
    if (EqualNoCaseN(arg, L"/B", OPTION_PREFIX_CHARS)) {
        int mode = ShowTimerModeFor(value[0]);
        if (mode < 0)
            return UpperCasedError(L"Bad suboption: \"%s\"\r\n", arg, arg);
        pending->hasShowTimer = 1;
        pending->showTimer = static_cast<uint32_t>(mode);
    } else if (EqualNoCaseN(arg, L"/C", OPTION_PREFIX_CHARS)) {
        int rc = ReadColors(value, &pending->colors);
        if (rc < 0)
            return UpperCasedError(L"Bad number: \"%s\"\r\n", arg, value);
        if (rc > 0)
            return UpperCasedError(L"Bad colors: \"%s\"\r\n", arg, value);
        pending->hasColors = 1;
    } else if (EqualNoCase(arg, L"/D")) {
        pending->restoreDefaults = 1;
    } else if (EqualNoCase(arg, L"/K")) {
        g_timing.commandCount = 0;
    } else if (EqualNoCaseN(arg, L"/K", OPTION_PREFIX_CHARS)) {
        uint64_t count = 0;
        if (ParseNumber64(value, &count) != 0)
            return UpperCasedError(L"Bad number: \"%s\"\r\n", arg, value);
        g_timing.commandCount = count;
    } else if (EqualNoCase(arg, L"/R")) {
        pending->restoreRegistry = 1;
    } else if (EqualNoCase(arg, L"/S")) {
        pending->saveScope = SAVE_CURRENT_USER;
    } else if (EqualNoCase(arg, L"/S!")) {
        pending->saveScope = SAVE_LOCAL_MACHINE;
    } else if (EqualNoCaseN(arg, L"/T", OPTION_PREFIX_CHARS)) {
        uint32_t seconds = 0;
        if (!EqualNoCase(value, L"Off") && ParseNumber32(value, &seconds) != 0)
            return UpperCasedError(L"Bad number: \"%s\"\r\n", arg, value);
        pending->hasSlowSeconds = 1;
        pending->slowSeconds = seconds;
    } else if (EqualNoCase(arg, L"/Z")) {
        pending->resetTotal = 1;
    } else if (arg[0] == L'/') {
        WriteError(L"Unknown option \"%s\"\r\n", arg);
        return 1;
    } else {
        pending->slowCommand = arg;
    }
    return -1;
}

// Applies the pending values of a clean scan. 0, or 1 for /D with /R.
int ApplyPending(const PendingValues* pending) {
    if (pending->restoreDefaults) {
        if (pending->restoreRegistry) {
            WriteErrorPrefix();
            Qprintf(GetStdHandle(STD_ERROR_HANDLE), L"Can't combine /D and /R\r\n");
            return 1;
        }
        RestoreDefaultSettings();
        Printf(L"Default plugin settings restored.\r\n");
    } else if (pending->restoreRegistry) {
        if (LoadSettings(HKEY_CURRENT_USER) == 0)
            Printf(L"Settings restored from the registry (%s\\%s).\r\n", L"HKCU", SETTINGS_KEY);
        else if (LoadSettings(HKEY_LOCAL_MACHINE) == 0)
            Printf(L"Settings restored from the registry (%s\\%s).\r\n", L"HKLM", SETTINGS_KEY);
        else
            Printf(L"Settings not found in the registry.\r\n");
    }
    if (pending->hasShowTimer)
        g_settings.showTimer = pending->showTimer;
    if (pending->hasColors)
        g_settings.timerColors = static_cast<uint16_t>(pending->colors);
    if (pending->hasSlowSeconds)
        g_settings.slowSeconds = pending->slowSeconds;
    if (pending->slowCommand != nullptr)
        SetSlowCommand(wcscmp(pending->slowCommand, L"-") == 0 ? nullptr : pending->slowCommand);
    if (pending->resetTotal)
        g_timing.resetPending = 1;
    return 0;
}

// Saves the settings below the chosen root and reports it. 0, or 2 when the
// save failed.
int SaveToRegistry(SaveScope scope) {
    HKEY root = scope == SAVE_LOCAL_MACHINE ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const wchar_t* rootText = scope == SAVE_LOCAL_MACHINE ? L"HKLM" : L"HKCU";
    if (SaveSettings(root) == 0) {
        Printf(L"\r\nSettings saved to the registry (%s\\%s).\r\n", rootText, SETTINGS_KEY);
        return 0;
    }
    CrLf();
    WriteErrorPrefix();
    Qprintf(GetStdHandle(STD_ERROR_HANDLE), L"Error saving settings to the registry (%s\\%s)\r\n",
            rootText, SETTINGS_KEY);
    return 2;
}

}  // namespace

int EqualNoCaseN(const wchar_t* a, const wchar_t* b, size_t chars) {
    for (size_t i = 0; i < chars; i++) {
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return 0;
        if (a[i] == L'\0')
            return 1;
    }
    return 1;
}

int EqualNoCase(const wchar_t* a, const wchar_t* b) {
    for (size_t i = 0;; i++) {
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return 0;
        if (a[i] == L'\0')
            return 1;
    }
}

// The command. -1 for a missing argument text, 1 after a user error, 2 when
// the requested save failed, else 0.
extern "C" int PLUGIN_API lapwatch(wchar_t* arguments) {
    if (arguments == nullptr)
        return -1;
    TokenizeArguments(arguments);

    PendingValues pending = {};
    for (int i = 0; i < g_args.count; i++) {
        ArgEntry* entry = &g_args.entries[i];
        if (entry->length == 0)
            continue;
        int result = ScanArgument(entry->start, entry->length, &pending);
        if (result >= 0)
            return result;
    }
    if (ApplyPending(&pending) != 0)
        return 1;

    WriteSettingsReport();
    return pending.saveScope == SAVE_NONE ? 0 : SaveToRegistry(pending.saveScope);
}
