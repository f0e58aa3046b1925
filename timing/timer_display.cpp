#include "timer_display.h"

#include "status_bar.h"

#include "../overlay/console_overlay.h"
#include "../settings/settings.h"

// Draws at once, or notes the drawing for later.
static void DrawOrHold(const wchar_t* text, HeldOverlay* held, bool holdOverlay) {
    if (holdOverlay)
        held->wanted = true;
    else
        DrawTimerOverlay(text, held->colors);
}

HeldOverlay ShowTimerText(wchar_t* text, bool holdOverlay) {
    const uint32_t mode = g_settings.showTimer;
    HeldOverlay held = {false, g_settings.timerColors};
    if (mode & SHOW_TIMER_TEXT)
        DrawOrHold(text, &held, holdOverlay);
    if ((mode & SHOW_TIMER_STATUS_BAR) && !SendToStatusBar(text) && (mode & SHOW_TIMER_FALLBACK))
        DrawOrHold(text, &held, holdOverlay);
    return held;
}
