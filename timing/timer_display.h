// Where a timed line's timer text goes, as the show-timer mode says: the
// shell's status bar, the console overlay, or both, and in which order.
#pragma once

#include "../plugin/plugin.h"

// An overlay held back until the slow command has run.
typedef struct HeldOverlay {
    bool wanted;                   // the mode wants the text drawn
    WORD colors;                   // the timer colours when the text was made
} HeldOverlay;

// Shows text, made by MakeTimerText: draws it on the console, then sends it
// to the status bar, drawing it (again) when the status bar does not show
// it, as the mode's bits say. When `holdOverlay` is set (a slow command is
// to run first), nothing is drawn: the result says whether to draw later.
HeldOverlay ShowTimerText(wchar_t* text, bool holdOverlay);
