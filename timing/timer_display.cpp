// The timer text after each timed line: on the shell's status bar, or drawn
// in the timer colours at the right end of the console window's top row, over
// cells that are saved first and written back when the overlay is erased.
//
// The overlay is written cell by cell (WriteConsoleOutputW), never through
// the console's text output: that would move the cursor, scroll a window
// narrower than its buffer towards the overlay, and act on tabs, line ends
// and backspaces by writing outside the overlay's cells. So the cursor, the
// text attributes and the window are never touched, and every character
// takes exactly one cell.
#include "timer_display.h"

#include "../plugin/frame.h"
#include "../plugin/shell_text.h"
#include "../settings/settings.h"

#include <wchar.h>

// Cells saved under the overlay, and the width of every read or write of
// its row: a text of more cells is drawn and erased a piece at a time.
enum { OVERLAY_SAVE_CELLS = 200 };

#define DEFAULT_TIMER_FORMAT L" [%_cmdcount]  %_cmdtime "

typedef struct TimerOverlay {
    uint32_t length;                          // characters drawn; 0: none showing
    int left;                                 // screen-buffer column of the first one
    int row;                                  // screen-buffer row (window top when drawn)
    WORD colors;                              // the timer colours it was drawn in
    WORD textAttributes;                      // the console's when it was drawn
    CHAR_INFO saved[OVERLAY_SAVE_CELLS];      // the first cells under it as they were
    wchar_t drawn[MAX_TEXT_CHARS];            // what each cell shows, controls as blanks
} TimerOverlay;

static TimerOverlay g_overlay;

static const COORD PIECE_SIZE = {OVERLAY_SAVE_CELLS, 1};
static const COORD PIECE_ORIGIN = {0, 0};

// What a character's cell shows: a control character has no picture of its
// own in a cell, so its cell shows a blank.
static wchar_t CellCharacter(wchar_t c) {
    return (c < 0x20 || c == 0x7F) ? L' ' : c;
}

static int IsLeadSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The piece of row `row` from cell `offset` of `length` cells that start
// at column `left`: at most OVERLAY_SAVE_CELLS cells, never past the last.
static SMALL_RECT RowPiece(int row, int left, uint32_t length, uint32_t offset) {
    int first = left + static_cast<int>(offset);
    int right = first + OVERLAY_SAVE_CELLS - 1;
    int last = left + static_cast<int>(length) - 1;
    SMALL_RECT piece;
    piece.Left = static_cast<SHORT>(first);
    piece.Top = static_cast<SHORT>(row);
    piece.Right = static_cast<SHORT>(last < right ? last : right);
    piece.Bottom = static_cast<SHORT>(row);
    return piece;
}

// The piece of the recorded overlay from its cell `offset` on.
static SMALL_RECT OverlayPiece(uint32_t offset) {
    return RowPiece(g_overlay.row, g_overlay.left, g_overlay.length, offset);
}

// True while cell `offset` of the overlay shows what was drawn there: its
// character in the timer colours. Anything else was written since.
static int IsStillDrawn(const CHAR_INFO* cell, uint32_t offset) {
    return cell->Char.UnicodeChar == g_overlay.drawn[offset] && cell->Attributes == g_overlay.colors;
}

// Writes cells [from, to) of a piece read at `offset` from `source`, a
// piece-sized row of replacement cells.
static void WriteCellRun(const CHAR_INFO* source, uint32_t offset, int from, int to) {
    SMALL_RECT run = OverlayPiece(offset);
    run.Left = static_cast<SHORT>(run.Left + from);
    run.Right = static_cast<SHORT>(run.Left + (to - from) - 1);
    COORD at = {static_cast<SHORT>(from), 0};
    WriteConsoleOutputW(g_frame.consoleOutput, source, PIECE_SIZE, at, &run);
}

// Puts back the piece at `offset`: every cell that still shows what was
// drawn gets its cell from `source`; a cell written since keeps what it
// shows. A piece that cannot be read is left as it is.
static void RestorePiece(uint32_t offset, const CHAR_INFO* source) {
    CHAR_INFO current[OVERLAY_SAVE_CELLS];
    SMALL_RECT piece = OverlayPiece(offset);
    SHORT wantedLeft = piece.Left;
    if (!ReadConsoleOutputW(g_frame.consoleOutput, current, PIECE_SIZE, PIECE_ORIGIN, &piece))
        return;
    // The read is cut to the buffer as it is now, which may have shrunk.
    int cells = piece.Left == wantedLeft ? piece.Right - piece.Left + 1 : 0;
    for (int i = 0; i < cells;) {
        int from = i;
        while (i < cells && IsStillDrawn(&current[i], offset + static_cast<uint32_t>(i)))
            ++i;
        if (i > from)
            WriteCellRun(source, offset, from, i);
        else
            ++i;
    }
}

// The saved cells go back under the first piece. Past the save area (a
// text of 200 characters or more) nothing was saved: those cells become
// blanks in the text attributes of the time of drawing. The region's last
// column, which the text never covers, is never written.
int EraseTimerOverlay(void) {
    if (g_overlay.length == 0)
        return 0;
    RestorePiece(0, g_overlay.saved);
    if (g_overlay.length > OVERLAY_SAVE_CELLS) {
        CHAR_INFO blanks[OVERLAY_SAVE_CELLS];
        for (CHAR_INFO& cell : blanks) {
            cell.Char.UnicodeChar = L' ';
            cell.Attributes = g_overlay.textAttributes;
        }
        for (uint32_t offset = OVERLAY_SAVE_CELLS; offset < g_overlay.length; offset += OVERLAY_SAVE_CELLS)
            RestorePiece(offset, blanks);
    }
    g_overlay.length = 0;
    return 0;
}

// How many characters of text fit one column short of the right edge of a
// buffer `width` columns wide (and in the record: a timer text never holds
// more). A cut never leaves the lead half of a surrogate pair without its
// trail.
static uint32_t FittingLength(const wchar_t* text, int width) {
    size_t length = wcslen(text);
    size_t widest = static_cast<size_t>(width - 1);
    if (widest > COUNT_OF(g_overlay.drawn))
        widest = COUNT_OF(g_overlay.drawn);
    if (length <= widest)
        return static_cast<uint32_t>(length);
    if (IsLeadSurrogate(text[widest - 1]))
        --widest;
    return static_cast<uint32_t>(widest);
}

// Saves the cells under an overlay of n characters that ends one column
// short of the right edge of the window's top row, and records the overlay
// with what its cells will show. 0, or 1 when the cells cannot be read:
// nothing is recorded then, so that no erasure writes stale cells back.
static int RecordOverlay(const CONSOLE_SCREEN_BUFFER_INFO* info, const wchar_t* text, uint32_t n) {
    int left = info->dwSize.X - static_cast<int>(n) - 1;
    SMALL_RECT under = RowPiece(info->srWindow.Top, left, n, 0);
    if (!ReadConsoleOutputW(g_frame.consoleOutput, g_overlay.saved, PIECE_SIZE, PIECE_ORIGIN, &under))
        return 1;
    g_overlay.left = left;
    g_overlay.row = info->srWindow.Top;
    for (uint32_t i = 0; i < n; ++i)
        g_overlay.drawn[i] = CellCharacter(text[i]);
    g_overlay.colors = g_settings.timerColors;
    g_overlay.textAttributes = info->wAttributes;
    g_overlay.length = n;
    return 0;
}

// Writes the recorded overlay's cells in its colours, a piece at a time.
static void WriteOverlayCells(void) {
    CHAR_INFO cells[OVERLAY_SAVE_CELLS];
    for (uint32_t offset = 0; offset < g_overlay.length; offset += OVERLAY_SAVE_CELLS) {
        SMALL_RECT piece = OverlayPiece(offset);
        for (int i = 0; i <= piece.Right - piece.Left; ++i) {
            cells[i].Char.UnicodeChar = g_overlay.drawn[offset + static_cast<uint32_t>(i)];
            cells[i].Attributes = g_overlay.colors;
        }
        WriteConsoleOutputW(g_frame.consoleOutput, cells, PIECE_SIZE, PIECE_ORIGIN, &piece);
    }
}

// Draws text, cut to the buffer width less one column, so that it ends one
// column short of the right edge.
int DrawTimerOverlay(const wchar_t* text) {
    EraseTimerOverlay();
    if (!text || !text[0])
        return 0;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(g_frame.consoleOutput, &info) || info.dwSize.X < 2)
        return 0;
    uint32_t n = FittingLength(text, info.dwSize.X);
    if (n > 0 && RecordOverlay(&info, text, n) == 0)
        WriteOverlayCells();
    return 0;
}

static void ReadTimerFormat(wchar_t* buffer, size_t chars) {
    wmemset(buffer, L'\0', chars);
    DWORD got = GetEnvironmentVariableW(L"LAPWATCHFMT", buffer, static_cast<DWORD>(chars));
    // A value that does not fit leaves the buffer's content undefined: it is
    // treated as absent, like an empty one.
    if (got == 0 || got >= chars || buffer[0] == L'\0')
        CopyText(buffer, chars, DEFAULT_TIMER_FORMAT);
}

void ShowTimerText(void) {
    wchar_t text[TEXT_BUFFER_CHARS];    // user text: LAPWATCHFMT and what it names
    ReadTimerFormat(text, COUNT_OF(text));
    // The shell calls back into the plug-in's own variables here
    // (variables/: _cmdcount and _cmdtime in the default format), which
    // read the timing state just stopped.
    QuietExpand(text);
    uint32_t mode = g_settings.showTimer;
    if (mode & SHOW_TIMER_TEXT)
        DrawTimerOverlay(text);
    if (mode & SHOW_TIMER_STATUS_BAR) {
        wchar_t request[] = L"STATUSBAR";
        if (TakeCommandIPC(request, text) != 0 && (mode & SHOW_TIMER_FALLBACK))
            DrawTimerOverlay(text);
    }
}
