// The lapwatch command's option scan: the argument table in, the pending
// changes (or the reason to stop) out. Writes no message and touches no
// process-wide state but the argument text it upper-cases for a message.
#include "option_scan.h"

#include "color_pair.h"
#include "number_text.h"
#include "show_timer.h"
#include "wide_text.h"

#include <wchar.h>
#include <wctype.h>

namespace {

enum {
    VALUE_AFTER_SEPARATOR = 3,     // /T:5 -> "5"
    VALUE_WITHOUT_SEPARATOR = 2,   // /T5 -> "5"
    OPTION_PREFIX_CHARS = 2,       // "/B" of /B:T
    COLOR_UNSET = 255,             // the colour reader left this colour alone
};

// The value of an option argument: after "/X:" or "/X=", else after "/X".
wchar_t* OptionValue(wchar_t* argument, int length) {
    if (length > VALUE_WITHOUT_SEPARATOR && IsValueSeparator(argument[VALUE_WITHOUT_SEPARATOR]))
        return argument + VALUE_AFTER_SEPARATOR;
    return argument + (length < VALUE_WITHOUT_SEPARATOR ? length : VALUE_WITHOUT_SEPARATOR);
}

// An error whose message quotes part of the upper-cased argument: upper-cases
// the argument, points *shown at the quoted part and returns the outcome.
ScanOutcome UpperCasedError(ScanOutcome outcome, wchar_t* argument, const wchar_t* quoted,
                            const wchar_t** shown) {
    UpperCaseAscii(argument);
    *shown = quoted;
    return outcome;
}

// Show-timer mode from the first letter of a /B value, or -1.
int ShowTimerModeFor(wchar_t letter) {
    switch (UpperAscii(letter)) {
    case L'B': return SHOW_TIMER_BOTH;
    case L'D': return SHOW_TIMER_DEFAULT;
    case L'O': return SHOW_TIMER_OFF;
    case L'S': return SHOW_TIMER_STATUS_BAR_ONLY;
    case L'T': return SHOW_TIMER_TEXT_ONLY;
    default: return -1;
    }
}

// Timer colours from a /C value: a number, or a description read by
// readColors (none given: no description reads). 0 and the attribute
// stored, -1 not a number, 1 not a valid pair.
int ReadColors(wchar_t* value, ColorReader readColors, uint32_t* colors) {
    uint32_t candidate = 0;
    if (iswdigit(static_cast<wint_t>(value[0]))) {
        if (ParseNumber32(value, &candidate) != 0)
            return -1;
    } else {
        int foreground = COLOR_UNSET;
        int background = COLOR_UNSET;
        if (readColors)
            readColors(value, &foreground, &background);
        // A colour left unset, or answered outside 0 to 15, is none: a 16
        // would otherwise carry into the background's bits.
        if (!IsColorIndex(foreground) || !IsColorIndex(background))
            return 1;
        candidate = MakeColorPair(static_cast<uint32_t>(foreground), static_cast<uint32_t>(background));
    }
    if (!IsValidColorPair(candidate))
        return 1;
    *colors = candidate;
    return 0;
}

// Takes one argument into pending. SCAN_DONE to go on, else the outcome that
// ends the scan (*shown set for an error).
ScanOutcome ScanArgument(wchar_t* arg, int length, ColorReader readColors, PendingValues* pending,
                         const wchar_t** shown) {
    if (wcscmp(arg, L"/?") == 0)
        return SCAN_HELP;
    if (wcscmp(arg, L"/??") == 0)
        return SCAN_HELP_VERSION;
    wchar_t* value = OptionValue(arg, length);
    if (IsEqualNoCaseN(arg, L"/B", OPTION_PREFIX_CHARS)) {
        int mode = ShowTimerModeFor(value[0]);
        if (mode < 0)
            return UpperCasedError(SCAN_BAD_SUBOPTION, arg, arg, shown);
        pending->hasShowTimer = 1;
        pending->showTimer = static_cast<uint32_t>(mode);
    } else if (IsEqualNoCaseN(arg, L"/C", OPTION_PREFIX_CHARS)) {
        int rc = ReadColors(value, readColors, &pending->colors);
        if (rc < 0)
            return UpperCasedError(SCAN_BAD_NUMBER, arg, value, shown);
        if (rc > 0)
            return UpperCasedError(SCAN_BAD_COLORS, arg, value, shown);
        pending->hasColors = 1;
    } else if (IsEqualNoCase(arg, L"/D")) {
        pending->restoreDefaults = 1;
    } else if (IsEqualNoCase(arg, L"/K")) {
        pending->hasCommandCount = 1;
        pending->commandCount = 0;
    } else if (IsEqualNoCaseN(arg, L"/K", OPTION_PREFIX_CHARS)) {
        uint64_t count = 0;
        if (ParseNumber64(value, &count) != 0)
            return UpperCasedError(SCAN_BAD_NUMBER, arg, value, shown);
        pending->hasCommandCount = 1;
        pending->commandCount = count;
    } else if (IsEqualNoCase(arg, L"/R")) {
        pending->restoreRegistry = 1;
    } else if (IsEqualNoCase(arg, L"/S")) {
        pending->saveScope = SCOPE_CURRENT_USER;
    } else if (IsEqualNoCase(arg, L"/S!")) {
        pending->saveScope = SCOPE_LOCAL_MACHINE;
    } else if (IsEqualNoCaseN(arg, L"/T", OPTION_PREFIX_CHARS)) {
        uint32_t seconds = 0;
        if (!IsEqualNoCase(value, L"Off") && ParseNumber32(value, &seconds) != 0)
            return UpperCasedError(SCAN_BAD_NUMBER, arg, value, shown);
        pending->hasSlowSeconds = 1;
        pending->slowSeconds = seconds;
    } else if (IsEqualNoCase(arg, L"/Z")) {
        pending->resetTotal = 1;
    } else if (arg[0] == L'/') {
        *shown = arg;
        return SCAN_UNKNOWN_OPTION;
    } else {
        pending->slowCommand = arg;
    }
    return SCAN_DONE;
}

}  // namespace

bool IsValueSeparator(wchar_t c) { return c == L':' || c == L'='; }

// Entries beyond MAX_ARGS, without a start or of length 0 are passed over;
// a missing table scans as no arguments.
ScanOutcome ScanArguments(ArgTable* args, ColorReader readColors, PendingValues* pending,
                          const wchar_t** shown) {
    const wchar_t* ignored = nullptr;
    if (!shown)
        shown = &ignored;
    *shown = nullptr;
    *pending = PendingValues{};
    if (!args)
        return SCAN_DONE;
    int count = args->count < MAX_ARGS ? args->count : MAX_ARGS;
    for (int i = 0; i < count; i++) {
        ArgEntry* entry = &args->entries[i];
        if (entry->start == nullptr || entry->length <= 0)
            continue;
        ScanOutcome outcome = ScanArgument(entry->start, entry->length, readColors, pending, shown);
        if (outcome != SCAN_DONE)
            return outcome;
    }
    return SCAN_DONE;
}
