// The timer text after each timed line: on the shell's status bar, or drawn
// in the timer colours at the right end of the console window's top row.
#pragma once

#include "../plugin/plugin.h"

// Expands the timer format and shows it as the show-timer mode says.
void ShowTimerText(void);

// Writes back the cells under the overlay, if one is showing, wherever
// they still show what was drawn. 0.
int EraseTimerOverlay(void);

// Draws text over the top row's right end, one cell per character, after
// erasing any overlay. 0.
int DrawTimerOverlay(const wchar_t* text);
