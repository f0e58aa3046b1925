// The timer text after each timed line: on the shell's status bar, or drawn
// in the timer colours at the right end of the console window's top row.
#pragma once

#include "../plugin/plugin.h"

// Expands the timer format into text, a buffer of SHELL_TEXT_BUFFER_CHARS
// characters, and sends it to the status bar as the show-timer mode says.
// 1 when the mode wants it drawn on the console as well, else 0.
int ShowTimerText(wchar_t* text);

// Draws text in colors over the window's top row, one cell per character,
// ending one column short of the buffer's right edge (cut to fit), after
// erasing any overlay. 0.
int DrawTimerOverlay(const wchar_t* text, WORD colors);

// Writes back the cells under the overlay, if one is showing, wherever its
// cells are now and they still show what was drawn. 0.
int EraseTimerOverlay(void);

// A keystroke at the prompt, before the shell echoes it: erases the overlay
// when the line typed so far (line, may be null) and one more character
// would scroll the overlay's row out of the screen buffer.
void EraseOverlayBeforeItScrollsAway(const wchar_t* line);
