// The cells under the overlay are saved first and written back when it is
// erased. It is written cell by cell (WriteConsoleOutputW), never through the
// console's text output: that would move the cursor, scroll a window narrower
// than its buffer towards the overlay, and act on tabs, line ends and
// backspaces by writing outside the overlay's cells. So the cursor, the text
// attributes and the window are never touched, and every character takes
// exactly one cell.
//
// The console moves its content up, the overlay's row with it, when output
// reaches the bottom of a full screen buffer, and of every buffer no taller
// than its window (a console in a terminal). So the erasure looks for the
// overlay from its row upwards, and a keystroke whose echo would scroll it
// out of the buffer erases it first: a row scrolled out is gone from the
// buffer, and a terminal keeps it in its history.
#include "timer_display.h"

#include "../plugin/frame.h"
#include "../plugin/shell_text.h"
#include "../settings/settings.h"

#include <string.h>
#include <wchar.h>

enum {
    // Cells saved under the overlay, and the width of every read or write of
    // its row: a text of more cells is drawn and erased a piece at a time.
    OVERLAY_SAVE_CELLS = 200,
    // Cells read at once while looking for an overlay that moved up: a
    // block of rows of its first piece.
    OVERLAY_SEARCH_CELLS = 4096,
};

#define DEFAULT_TIMER_FORMAT L" [%_cmdcount]  %_cmdtime "

typedef struct TimerOverlay {
    uint32_t length;                          // characters drawn; 0: none showing
    int left;                                 // screen-buffer column of the first one
    int row;                                  // screen-buffer row (window top when drawn)
    uint64_t typingRoom;                      // characters typed at the prompt that scroll it out
    WORD colors;                              // the timer colours it was drawn in
    WORD textAttributes;                      // the console's when it was drawn
    CHAR_INFO saved[OVERLAY_SAVE_CELLS];      // the first cells under it as they were
    wchar_t drawn[SHELL_TEXT_MAX_CHARS];      // what each cell shows, controls as blanks
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

// The piece of the recorded overlay from its cell `offset` on, on `row`.
static SMALL_RECT OverlayPiece(int row, uint32_t offset) {
    return RowPiece(row, g_overlay.left, g_overlay.length, offset);
}

static int FirstPieceCells(void) {
    const uint32_t most = OVERLAY_SAVE_CELLS;
    return static_cast<int>(g_overlay.length < most ? g_overlay.length : most);
}

// True while cell `offset` of the overlay shows what was drawn there: its
// character in the timer colours.
static int ShowsDrawn(const CHAR_INFO* cell, uint32_t offset) {
    return cell->Char.UnicodeChar == g_overlay.drawn[offset] && cell->Attributes == g_overlay.colors;
}

// True when `count` cells read at the overlay's first piece show all of it.
static int ShowsWholeOverlay(const CHAR_INFO* cells, int count) {
    if (count != FirstPieceCells())
        return 0;
    for (int i = 0; i < count; ++i) {
        if (!ShowsDrawn(&cells[i], static_cast<uint32_t>(i)))
            return 0;
    }
    return 1;
}

// Reads the overlay's piece at `offset` on `row` into cells. The number of
// cells read: fewer when the buffer has shrunk since, 0 when none.
static int ReadPiece(int row, uint32_t offset, CHAR_INFO* cells) {
    SMALL_RECT piece = OverlayPiece(row, offset);
    SHORT wantedLeft = piece.Left;
    if (!ReadConsoleOutputW(g_frame.consoleOutput, cells, PIECE_SIZE, PIECE_ORIGIN, &piece) ||
        piece.Left != wantedLeft || piece.Right < piece.Left)
        return 0;
    return piece.Right - piece.Left + 1;
}

// The nearest row above `below` whose cells show the overlay's first piece
// whole, with those cells copied to `cells`; -1 when no row does. Rows are
// read a block at a time, the nearest first: content only ever moves up.
static int FindMovedOverlay(int below, CHAR_INFO* cells) {
    CHAR_INFO block[OVERLAY_SEARCH_CELLS];
    const int width = FirstPieceCells();
    const int rows = OVERLAY_SEARCH_CELLS / width;
    for (int bottom = below - 1; bottom >= 0; bottom -= rows) {
        int top = bottom - rows + 1 < 0 ? 0 : bottom - rows + 1;
        SMALL_RECT area = RowPiece(top, g_overlay.left, g_overlay.length, 0);
        area.Bottom = static_cast<SHORT>(bottom);
        const SMALL_RECT wanted = area;
        COORD size = {static_cast<SHORT>(width), static_cast<SHORT>(bottom - top + 1)};
        if (!ReadConsoleOutputW(g_frame.consoleOutput, block, size, PIECE_ORIGIN, &area) ||
            memcmp(&area, &wanted, sizeof(area)) != 0)
            return -1;
        for (int row = bottom; row >= top; --row) {
            const CHAR_INFO* at = block + static_cast<ptrdiff_t>(row - top) * width;
            if (ShowsWholeOverlay(at, width)) {
                memcpy(cells, at, sizeof(CHAR_INFO) * static_cast<size_t>(width));
                return row;
            }
        }
    }
    return -1;
}

// Marks the cells of a piece, `count` cells read at `offset`, that still
// show the overlay. A drawn character shows while its cell holds it in the
// timer colours. A drawn blank cannot be told from a blank written since in
// the same colours (a cleared row, when those are the text's colours), so a
// run of drawn blanks counts only beside a drawn character that still
// shows; a piece of blanks only is judged cell by cell.
static void MarkStillDrawn(const CHAR_INFO* cells, int count, uint32_t offset, unsigned char* shows) {
    int anyCharacter = 0;
    for (int i = 0; i < count; ++i) {
        shows[i] = static_cast<unsigned char>(ShowsDrawn(&cells[i], offset + static_cast<uint32_t>(i)));
        anyCharacter |= g_overlay.drawn[offset + static_cast<uint32_t>(i)] != L' ';
    }
    for (int i = 0; anyCharacter && i < count;) {
        if (g_overlay.drawn[offset + static_cast<uint32_t>(i)] != L' ') {
            ++i;
            continue;
        }
        int from = i;
        while (i < count && g_overlay.drawn[offset + static_cast<uint32_t>(i)] == L' ')
            ++i;
        if (!((from > 0 && shows[from - 1]) || (i < count && shows[i])))
            memset(shows + from, 0, static_cast<size_t>(i - from));
    }
}

// Writes cells [from, to) of the piece at `offset` on `row` from `source`,
// a piece-sized row of replacement cells.
static void WriteCellRun(int row, const CHAR_INFO* source, uint32_t offset, int from, int to) {
    SMALL_RECT run = OverlayPiece(row, offset);
    run.Left = static_cast<SHORT>(run.Left + from);
    run.Right = static_cast<SHORT>(run.Left + (to - from) - 1);
    COORD at = {static_cast<SHORT>(from), 0};
    WriteConsoleOutputW(g_frame.consoleOutput, source, PIECE_SIZE, at, &run);
}

// Puts back the piece at `offset` on `row`, whose `count` cells are read
// into `cells`: every cell that still shows what was drawn gets its cell
// from `source`; a cell written since keeps what it shows.
static void RestorePiece(int row, uint32_t offset, const CHAR_INFO* cells, int count, const CHAR_INFO* source) {
    unsigned char shows[OVERLAY_SAVE_CELLS];
    MarkStillDrawn(cells, count, offset, shows);
    for (int i = 0; i < count;) {
        int from = i;
        while (i < count && shows[i])
            ++i;
        if (i > from)
            WriteCellRun(row, source, offset, from, i);
        else
            ++i;
    }
}

// The saved cells go back under the first piece, read into `first`. Past
// the save area nothing was saved: those cells become blanks in the text
// attributes of the time of drawing. The column right of the text is never
// written.
static void RestoreOverlay(int row, const CHAR_INFO* first, int count) {
    RestorePiece(row, 0, first, count, g_overlay.saved);
    if (g_overlay.length <= OVERLAY_SAVE_CELLS)
        return;
    CHAR_INFO blanks[OVERLAY_SAVE_CELLS], cells[OVERLAY_SAVE_CELLS];
    for (CHAR_INFO& cell : blanks) {
        cell.Char.UnicodeChar = L' ';
        cell.Attributes = g_overlay.textAttributes;
    }
    for (uint32_t offset = OVERLAY_SAVE_CELLS; offset < g_overlay.length; offset += OVERLAY_SAVE_CELLS)
        RestorePiece(row, offset, cells, ReadPiece(row, offset, cells), blanks);
}

// The overlay is where it was drawn unless the content has moved up since;
// a row that shows it only in part is taken for its own when no row shows
// it whole. Cells that cannot be read are left as they are.
int EraseTimerOverlay(void) {
    if (g_overlay.length == 0)
        return 0;
    CHAR_INFO first[OVERLAY_SAVE_CELLS];
    int row = g_overlay.row;
    int count = ReadPiece(row, 0, first);
    if (count > 0 && !ShowsWholeOverlay(first, count)) {
        int moved = FindMovedOverlay(row, first);
        if (moved >= 0) {
            row = moved;
            count = FirstPieceCells();
        }
    }
    if (count > 0)
        RestoreOverlay(row, first, count);
    g_overlay.length = 0;
    return 0;
}

// No line the shell edits holds more than SHELL_TEXT_MAX_CHARS characters, so
// the line is looked at only when the room is smaller than that: when the
// prompt is on one of the buffer's last rows and the window at its top.
void EraseOverlayBeforeItScrollsAway(const wchar_t* line) {
    if (g_overlay.length == 0 || g_overlay.typingRoom > SHELL_TEXT_MAX_CHARS + 1)
        return;
    uint64_t typed = 1;    // the character this key may add
    for (const wchar_t* c = line; c && *c && typed < g_overlay.typingRoom; ++c)
        ++typed;
    if (typed >= g_overlay.typingRoom)
        EraseTimerOverlay();
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

// Characters that can be typed from the cursor on before their echo has
// scrolled the content up past the overlay's row, the window's top: the
// line wraps into every row below the cursor's, then into one new row for
// each row that scrolls out, the overlay's being the last of those.
static uint64_t TypingRoom(const CONSOLE_SCREEN_BUFFER_INFO* info) {
    int rows = info->dwSize.Y - info->dwCursorPosition.Y + info->srWindow.Top;
    return static_cast<uint64_t>(rows) * static_cast<uint64_t>(info->dwSize.X) -
           static_cast<uint64_t>(info->dwCursorPosition.X);
}

// Saves the cells under an overlay of n characters that ends one column
// short of the right edge of the window's top row, and records the overlay
// with what its cells will show. 0, or 1 when the cells cannot be read:
// nothing is recorded then, so that no erasure writes stale cells back.
static int RecordOverlay(const CONSOLE_SCREEN_BUFFER_INFO* info, const wchar_t* text, uint32_t n, WORD colors) {
    int left = info->dwSize.X - static_cast<int>(n) - 1;
    SMALL_RECT under = RowPiece(info->srWindow.Top, left, n, 0);
    if (!ReadConsoleOutputW(g_frame.consoleOutput, g_overlay.saved, PIECE_SIZE, PIECE_ORIGIN, &under))
        return 1;
    g_overlay.left = left;
    g_overlay.row = info->srWindow.Top;
    g_overlay.typingRoom = TypingRoom(info);
    for (uint32_t i = 0; i < n; ++i)
        g_overlay.drawn[i] = CellCharacter(text[i]);
    g_overlay.colors = colors;
    g_overlay.textAttributes = info->wAttributes;
    g_overlay.length = n;
    return 0;
}

// Writes the recorded overlay's cells in its colours, a piece at a time.
static void WriteOverlayCells(void) {
    CHAR_INFO cells[OVERLAY_SAVE_CELLS];
    for (uint32_t offset = 0; offset < g_overlay.length; offset += OVERLAY_SAVE_CELLS) {
        SMALL_RECT piece = OverlayPiece(g_overlay.row, offset);
        for (int i = 0; i <= piece.Right - piece.Left; ++i) {
            cells[i].Char.UnicodeChar = g_overlay.drawn[offset + static_cast<uint32_t>(i)];
            cells[i].Attributes = g_overlay.colors;
        }
        WriteConsoleOutputW(g_frame.consoleOutput, cells, PIECE_SIZE, PIECE_ORIGIN, &piece);
    }
}

int DrawTimerOverlay(const wchar_t* text, WORD colors) {
    EraseTimerOverlay();
    if (!text || !text[0])
        return 0;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(g_frame.consoleOutput, &info) || info.dwSize.X < 2)
        return 0;
    uint32_t n = FittingLength(text, info.dwSize.X);
    if (n > 0 && RecordOverlay(&info, text, n, colors) == 0)
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

int ShowTimerText(wchar_t* text) {
    ReadTimerFormat(text, SHELL_TEXT_BUFFER_CHARS);
    // The shell calls back into the plug-in's own variables here
    // (variables/: _cmdcount and _cmdtime in the default format), which
    // read the timing state just stopped.
    QuietExpand(text);
    uint32_t mode = g_settings.showTimer;
    int draw = (mode & SHOW_TIMER_TEXT) != 0;
    if (mode & SHOW_TIMER_STATUS_BAR) {
        wchar_t request[] = L"STATUSBAR";
        if (TakeCommandIPC(request, text) != 0 && (mode & SHOW_TIMER_FALLBACK))
            draw = 1;
    }
    return draw;
}
