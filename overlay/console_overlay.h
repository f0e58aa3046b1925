// The console overlay: a line of text drawn in colours of its own at the
// right end of the console window's top row, over cells that are saved
// first and written back when it is erased, so that the console looks as
// before. It knows cells, rows, colours and the console output handle, and
// nothing of what the text means.
//
// One overlay shows at a time. It is written cell by cell, never through the
// console's text output, so the cursor, the text attributes and the window
// are never touched and every character takes exactly one cell (a control
// character shows as a blank).
//
// The console moves its content up, the overlay's row with it, when output
// reaches the bottom of a full screen buffer, and of every buffer no taller
// than its window (a console in a terminal). So the erasure finds the
// overlay where it moved, and a key whose echo could scroll it out of the
// buffer takes it off first: a row scrolled out is gone from the buffer, and
// a terminal keeps it in its history.
//
// The erasure writes only on the overlay's own row, which it knows by the
// row's other cells: those left of the overlay as they were when it was
// drawn (only those left of the cursor when the prompt was on that row,
// since what is typed there changes the rest). A row that merely shows the
// same text is not the overlay's.
#pragma once

#include "../plugin/plugin.h"

#include <stdint.h>

enum {
    // Cells saved under the overlay, and the width of every read or write of
    // its row: a text of more cells is drawn and erased a piece at a time,
    // and its cells past the first piece come back as blanks.
    OVERLAY_SAVE_CELLS = 200,
    // Rows read at once while looking for an overlay that moved up: the
    // search reads a band one column wide, nearest rows first.
    OVERLAY_SEARCH_ROWS = 256,
};

// Draws text in colors over the window's top row, one cell per character,
// ending one column short of the buffer's right edge (cut to fit, never
// inside a surrogate pair), after erasing any overlay. Nothing is drawn when
// the cells under it cannot be read.
void DrawTimerOverlay(const wchar_t* text, WORD colors);

// Writes back the saved cells of the overlay, if one is showing, on its own
// row wherever that is now: every cell that still shows what was drawn gets
// its old cell back, and a cell written since keeps what it shows. Writes
// nothing once the overlay has left the buffer or when its cells cannot be
// read.
void EraseTimerOverlay(void);

// Before the shell echoes a plain character: erases the overlay when the
// line typed so far (may be null) and one more character could scroll its
// row out of the screen buffer.
void EraseOverlayBeforeEcho(const wchar_t* line);

// Before the shell acts on a key that may write a whole line at once
// (history recall, completion, a paste): erases the overlay when a line as
// long as the longest the shell edits could scroll its row out.
void EraseOverlayBeforeLine(void);
