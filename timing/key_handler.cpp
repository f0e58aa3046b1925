// The key handler: Enter on a non-blank line starts the timing, the prompt
// event stops it, shows the timer and runs the slow command.
#include "timing.h"

#include "../settings/settings.h"

#include <wchar.h>

static void EnterAction(const wchar_t* commandLine) {
    if (IsNonBlank(commandLine)) {
        StartTiming();
        CaptureFirstWord(commandLine);
    }
    EraseTimerOverlay();
}

static int IsSlow(uint64_t duration) {
    uint64_t threshold = static_cast<uint64_t>(g_settings.slowSeconds) * TICKS_PER_SECOND;
    return g_settings.slowSeconds != 0 && duration >= threshold;
}

static void PromptEvent(void) {
    int wasActive = g_timing.active;
    StopTiming();
    EraseTimerOverlay();
    if (!wasActive)
        return;
    if (g_settings.showTimer != 0)
        ShowTimerText();
    if (IsSlow(g_timing.lastDuration))
        RunSlowCommand();
}

// Ordinary keystrokes cost one or two comparisons: no call, no allocation.
extern "C" int PLUGIN_API key(KeyEvent* event) {
    if (!event)
        return 0;
    if (event->keyCode == KEY_CODE_ENTER) {
        EnterAction(event->commandLine);
    } else if (event->keyCode == KEY_CODE_ESC) {
        EraseTimerOverlay();
    } else if (event->keyCode != KEY_CODE_NONE) {
        return 0;
    } else if (!g_frame.recentHost || !event->keyName) {
        PromptEvent();
    } else if (wcscmp(event->keyName, L"Enter") == 0) {
        EnterAction(event->commandLine);
    } else if (wcscmp(event->keyName, L"Esc") == 0) {
        EraseTimerOverlay();
    }
    return 0;
}
