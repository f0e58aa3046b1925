// The key handler: Enter on a non-blank line starts the timing, the prompt
// event stops it, shows the timer and runs the slow command.
#include "slow_command.h"
#include "timer_display.h"
#include "timing_state.h"

#include "../plugin/exports.h"
#include "../plugin/frame.h"
#include "../settings/settings.h"
#include "../text/clock_text.h"

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

// Stopping reports nothing (its result is 0 either way), so whether a line
// was being timed is asked first. The slow command runs with no overlay on
// the screen, so that nothing it prints can scroll one away; the line's
// timer text, made before it, is drawn after it, in the colours of the time
// it was made, on the window's top row as the window is then.
static void PromptEvent(void) {
    int wasActive = IsTiming();
    StopTiming();
    EraseTimerOverlay();
    if (!wasActive)
        return;
    wchar_t text[SHELL_TEXT_BUFFER_CHARS];    // user text: LAPWATCHFMT and what it names
    WORD colors = g_settings.timerColors;
    int draw = g_settings.showTimer != 0 && ShowTimerText(text);
    if (IsSlow(g_timing.lastDuration))
        RunSlowCommand();
    if (draw)
        DrawTimerOverlay(text, colors);
}

enum KeyAction { KEY_IGNORED, KEY_ENTER, KEY_ESC, KEY_PROMPT };

// What a key event means. A recent host may give Enter and Esc by name with
// no key code; an older one's key name is never read.
static enum KeyAction ClassifyKey(const KeyEvent* event) {
    switch (event->keyCode) {
    case KEY_CODE_ENTER: return KEY_ENTER;
    case KEY_CODE_ESC: return KEY_ESC;
    case KEY_CODE_NONE: break;
    default: return KEY_IGNORED;
    }
    if (!g_frame.recentHost || !event->keyName)
        return KEY_PROMPT;
    if (wcscmp(event->keyName, L"Enter") == 0)
        return KEY_ENTER;
    if (wcscmp(event->keyName, L"Esc") == 0)
        return KEY_ESC;
    return KEY_IGNORED;
}

// Ordinary keystrokes cost a comparison or two, and no allocation; a system
// call only to take off an overlay that their echo would scroll away.
extern "C" int PLUGIN_API key(KeyEvent* event) {
    if (!event)
        return 0;
    switch (ClassifyKey(event)) {
    case KEY_ENTER: EnterAction(event->commandLine); break;
    case KEY_ESC: EraseTimerOverlay(); break;
    case KEY_PROMPT: PromptEvent(); break;
    case KEY_IGNORED: EraseOverlayBeforeItScrollsAway(event->commandLine); break;
    }
    return 0;
}
