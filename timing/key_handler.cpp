// The key handler: Enter on a non-blank line starts the timing, the prompt
// event stops it, shows the timer and runs the slow command.
#include "slow_command.h"
#include "timer_display.h"
#include "timer_text.h"
#include "timing_state.h"

#include "../overlay/console_overlay.h"
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

static bool IsSlow(uint64_t duration) {
    uint64_t threshold = static_cast<uint64_t>(g_settings.slowSeconds) * TICKS_PER_SECOND;
    return g_settings.slowSeconds != 0 && duration >= threshold;
}

// A slow command runs with no overlay on the screen, so that nothing it
// prints can scroll one away: the line's timer text, made before it, is
// drawn after it, in the colours of the time it was made, on the window's
// top row as the window is then.
static void PromptEvent(void) {
    bool timed = StopTiming();
    EraseTimerOverlay();
    if (!timed)
        return;
    const bool slow = IsSlow(g_timing.lastDuration);
    wchar_t text[SHELL_TEXT_BUFFER_CHARS];    // user text: LAPWATCHFMT and what it names
    HeldOverlay held = {false, 0};
    if (g_settings.showTimer != 0) {
        MakeTimerText(text);
        held = ShowTimerText(text, slow);
    }
    if (slow)
        RunSlowCommand();
    if (held.wanted)
        DrawTimerOverlay(text, held.colors);
}

enum KeyAction { KEY_CHARACTER, KEY_OTHER, KEY_ENTER, KEY_ESC, KEY_PROMPT };

// A key that types one character: any code of a character that has a
// picture. Every other key may make the shell write a whole line at once
// (history recall, completion, a paste).
static bool IsPlainCharacter(int code) {
    return static_cast<unsigned>(code - 0x20) <= 0xFFFF - 0x20 && code != 0x7F;
}

// What a key event means. A recent host may give keys by name with no key
// code, Enter and Esc among them; an older one's key name is never read.
static enum KeyAction ClassifyKey(const KeyEvent* event) {
    if (IsPlainCharacter(event->keyCode))
        return KEY_CHARACTER;
    switch (event->keyCode) {
    case KEY_CODE_ENTER: return KEY_ENTER;
    case KEY_CODE_ESC: return KEY_ESC;
    case KEY_CODE_NONE: break;
    default: return KEY_OTHER;
    }
    if (!g_frame.recentHost || !event->keyName)
        return KEY_PROMPT;
    if (wcscmp(event->keyName, L"Enter") == 0)
        return KEY_ENTER;
    if (wcscmp(event->keyName, L"Esc") == 0)
        return KEY_ESC;
    return KEY_OTHER;
}

// Ordinary keystrokes cost a comparison or two, and no allocation; a system
// call only to take off an overlay that their echo could scroll away.
extern "C" int PLUGIN_API key(KeyEvent* event) {
    if (!event)
        return 0;
    switch (ClassifyKey(event)) {
    case KEY_CHARACTER: EraseOverlayBeforeEcho(event->commandLine); break;
    case KEY_OTHER: EraseOverlayBeforeLine(); break;
    case KEY_ENTER: EnterAction(event->commandLine); break;
    case KEY_ESC: EraseTimerOverlay(); break;
    case KEY_PROMPT: PromptEvent(); break;
    }
    return 0;
}
