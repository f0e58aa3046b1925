// The timer text after each timed line: on the shell's status bar, or drawn
// in the timer colours at the right end of the console window's top row.
#pragma once

#include "../plugin/plugin.h"

// Expands the timer format and shows it as the show-timer mode says.
void ShowTimerText(void);

// Writes back the cells under the overlay, if one is showing. 0.
int EraseTimerOverlay(void);

// Draws text (the caller's buffer, unchanged afterwards) over the top row's
// right end, after erasing any overlay. 0.
int DrawTimerOverlay(wchar_t* text);
