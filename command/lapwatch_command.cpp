// The lapwatch command: reads its options, applies them, reports the
// settings and saves them when asked.
#include "help_text.h"
#include "settings_report.h"

#include "../plugin/errors.h"
#include "../plugin/exports.h"
#include "../settings/settings.h"
#include "../text/option_scan.h"
#include "../text/tokenizer.h"
#include "../timing/timing_state.h"

namespace {

// The shell's colour description reader, in the scan's calling convention.
int ReadShellColors(wchar_t* text, int* foreground, int* background) {
    return ParseColors(text, foreground, background);
}

// The message of an error of the scan (the outcomes after SCAN_HELP_VERSION);
// it quotes the shown text.
const wchar_t* ScanErrorFormat(ScanOutcome error) {
    switch (error) {
    case SCAN_BAD_SUBOPTION: return L"Bad suboption: \"%s\"\r\n";
    case SCAN_BAD_COLORS: return L"Bad colors: \"%s\"\r\n";
    case SCAN_BAD_NUMBER: return L"Bad number: \"%s\"\r\n";
    default: return L"Unknown option \"%s\"\r\n";
    }
}

// The tokenizer ran out of its buffer at slot counter b: the message names
// the buffer's size as MAX_ARG_LEN. The command goes on with no arguments.
void ReportArgumentOverflow(int slot) {
    WriteError(L"Buffer overflow: b = %d, MAX_ARG_LEN = %d \r\n", slot, int{SHELL_TEXT_BUFFER_CHARS});
}

// Writes the help text, or the message of the error, of a scan that ended
// early. Returns the result of the run: 0 after help, 1 after an error.
int ReportScanEnd(ScanOutcome outcome, const wchar_t* shown) {
    if (outcome == SCAN_HELP || outcome == SCAN_HELP_VERSION) {
        QPuts(COMMAND_HELP_TEXT);
        if (outcome == SCAN_HELP_VERSION)
            Printf(L"\r\n\t\t\t\t%s  %u.%u.%u.%u (%s)\r\n", PLUGIN_NAME, PLUGIN_MAJOR, PLUGIN_MINOR,
                   PLUGIN_BUILD, PLUGIN_REVISION, PLUGIN_PLATFORM);
        return 0;
    }
    WriteError(ScanErrorFormat(outcome), shown);
    return 1;
}

// Restores the defaults or the saved settings when asked. 0, or 1 for /D
// with /R.
int RestoreAsAsked(const PendingValues* pending) {
    if (pending->restoreDefaults && pending->restoreRegistry) {
        WriteError(L"Can't combine /D and /R\r\n");
        return 1;
    }
    if (pending->restoreDefaults) {
        RestoreDefaultSettings();
        Printf(L"Default plugin settings restored.\r\n");
    } else if (pending->restoreRegistry) {
        enum SettingsScope found = LoadSavedSettings();
        if (found == SCOPE_NONE)
            Printf(L"Settings not found in the registry.\r\n");
        else
            Printf(L"Settings restored from the registry (%s\\%s).\r\n", ScopeName(found), SETTINGS_KEY);
    }
    return 0;
}

// Saves the settings below the chosen root and reports it. 0, or 2 when the
// save failed.
int SaveToRegistry(SettingsScope scope) {
    if (SaveSettings(ScopeRoot(scope)) == 0) {
        Printf(L"\r\nSettings saved to the registry (%s\\%s).\r\n", ScopeName(scope), SETTINGS_KEY);
        return 0;
    }
    CrLf();
    WriteError(L"Error saving settings to the registry (%s\\%s)\r\n", ScopeName(scope), SETTINGS_KEY);
    return 2;
}

}  // namespace

// The command. -1 for a missing argument text, 1 after a user error, 2 when
// the requested save failed, else 0.
extern "C" int PLUGIN_API lapwatch(wchar_t* arguments) {
    if (arguments == nullptr)
        return -1;
    if (TokenizeArguments(arguments) < 0)    // not null: the buffer overflowed
        ReportArgumentOverflow(g_args.overflowSlot);

    PendingValues pending;
    const wchar_t* shown = nullptr;
    ScanOutcome outcome = ScanArguments(&g_args, ReadShellColors, &pending, &shown);
    // /K takes effect as it is reached, so also when a later argument ends
    // the run.
    if (pending.hasCommandCount)
        SetCommandCount(pending.commandCount);
    if (outcome != SCAN_DONE)
        return ReportScanEnd(outcome, shown);
    if (RestoreAsAsked(&pending) != 0)
        return 1;
    ApplySettingChanges(&pending);
    if (pending.resetTotal)
        RequestTotalReset();

    WriteSettingsReport();
    return pending.saveScope == SCOPE_NONE ? 0 : SaveToRegistry(pending.saveScope);
}
