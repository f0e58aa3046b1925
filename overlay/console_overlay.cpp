// How the overlay's row is told from others. When it was drawn, the prompt
// (the cursor) was below its row, or on it. Nothing the shell writes at the
// prompt reaches a row above the cursor, and on the cursor's row only the
// cells from the cursor on. So the cells of the row left of the overlay, and
// left of the cursor when that was on the row, stay as they were, and so do
// the overlay's own cells left of the cursor: together they are the row's
// proof. A row that has moved up with the content keeps it; a row that
// merely shows the same text lacks it. Only the overlay's cells right of the
// cursor may have been typed over, and those that were keep what was typed.
#include "console_overlay.h"

#include "../plugin/frame.h"

#include <string.h>
#include <wchar.h>

enum {
    // Cells of a row read at once when its cells left of the overlay are
    // compared: a row of most consoles in one read.
    OVERLAY_ROW_READ_CELLS = 4096,
};

typedef struct ConsoleOverlay {
    uint32_t length;                       // characters drawn; 0: none showing
    int left;                              // screen-buffer column of the first one
    int row;                               // screen-buffer row when drawn (the window's top)
    int proofCells;                        // cells from column 0 left of the overlay that cannot change
    uint64_t proofPrint;                   // their fingerprint after drawing
    uint32_t untouched;                    // the overlay's first cells, left of the cursor: they cannot change
    uint32_t searchOffset;                 // the cell whose column the search reads
    uint64_t typingRoom;                   // characters typed at the prompt that scroll it out
    WORD colors;                           // the colours it was drawn in
    WORD textAttributes;                   // the console's text attributes when drawn
    CHAR_INFO saved[OVERLAY_SAVE_CELLS];   // the first cells under it as they were
    wchar_t drawn[SHELL_TEXT_MAX_CHARS];   // what each cell shows, controls as blanks
} ConsoleOverlay;

static ConsoleOverlay g_overlay;

static const COORD PIECE_SIZE = {OVERLAY_SAVE_CELLS, 1};
static const COORD BUFFER_ORIGIN = {0, 0};

// What a character's cell shows: a control character has no picture of its
// own in a cell, so its cell shows a blank.
static wchar_t CellCharacter(wchar_t c) { return (c < 0x20 || c == 0x7F) ? L' ' : c; }

static int Smaller(int a, int b) { return a < b ? a : b; }

// The rectangle of the buffer from column `left` of row `top` to column
// `right` of row `bottom`.
static SMALL_RECT Area(int left, int top, int right, int bottom) {
    return {static_cast<SHORT>(left), static_cast<SHORT>(top), static_cast<SHORT>(right), static_cast<SHORT>(bottom)};
}

// Reads the area into cells laid out as `size`; false unless every cell of
// it was read (a buffer that shrank since clips the area).
static bool ReadArea(SMALL_RECT area, COORD size, CHAR_INFO* cells) {
    const SMALL_RECT wanted = area;
    return ReadConsoleOutputW(g_frame.consoleOutput, cells, size, BUFFER_ORIGIN, &area) &&
           memcmp(&area, &wanted, sizeof(area)) == 0;
}

// The piece of row `row` from cell `offset` of `length` cells that start
// at column `left`: at most OVERLAY_SAVE_CELLS cells, never past the last.
static SMALL_RECT RowPiece(int row, int left, uint32_t length, uint32_t offset) {
    int first = left + static_cast<int>(offset);
    int last = left + static_cast<int>(length) - 1;
    return Area(first, row, Smaller(last, first + OVERLAY_SAVE_CELLS - 1), row);
}

static SMALL_RECT OverlayPiece(int row, uint32_t offset) {
    return RowPiece(row, g_overlay.left, g_overlay.length, offset);
}

// Reads the overlay's piece at `offset` on `row`: the number of its cells,
// or 0 when they cannot all be read.
static int ReadPiece(int row, uint32_t offset, CHAR_INFO* cells) {
    SMALL_RECT piece = OverlayPiece(row, offset);
    return ReadArea(piece, PIECE_SIZE, cells) ? piece.Right - piece.Left + 1 : 0;
}

// True while a cell shows what was drawn in cell `offset` of the overlay:
// its character in the timer colours.
static bool ShowsDrawn(const CHAR_INFO* cell, uint32_t offset) {
    return cell->Char.UnicodeChar == g_overlay.drawn[offset] && cell->Attributes == g_overlay.colors;
}

// FNV-1a over each cell's character and attributes: two rows whose cells
// differ get the same print once in 2^64.
static uint64_t CellsPrint(uint64_t print, const CHAR_INFO* cells, int count) {
    const uint64_t prime = 0x100000001B3ull;
    for (int i = 0; i < count; ++i) {
        print = (print ^ cells[i].Char.UnicodeChar) * prime;
        print = (print ^ cells[i].Attributes) * prime;
    }
    return print;
}

// The print of the first `count` cells of `row`; false when they cannot
// all be read.
static bool ReadRowPrint(int row, int count, uint64_t* print) {
    CHAR_INFO cells[OVERLAY_ROW_READ_CELLS];
    *print = 0xCBF29CE484222325ull;
    for (int first = 0; first < count; first += OVERLAY_ROW_READ_CELLS) {
        int n = Smaller(count - first, OVERLAY_ROW_READ_CELLS);
        if (!ReadArea(Area(first, row, first + n - 1, row), COORD{static_cast<SHORT>(n), 1}, cells))
            return false;
        *print = CellsPrint(*print, cells, n);
    }
    return true;
}

// Marks the cells of a piece, `count` cells read at `offset`, that still
// show the overlay. When the timer colours are the text's, a drawn blank
// cannot be told from a blank written since (a cleared row), so a run of
// drawn blanks counts only beside a drawn character that still shows; a
// piece of blanks only is judged cell by cell.
static void MarkStillDrawn(const CHAR_INFO* cells, int count, uint32_t offset, bool* shows) {
    bool anyCharacter = false;
    for (int i = 0; i < count; ++i) {
        shows[i] = ShowsDrawn(&cells[i], offset + static_cast<uint32_t>(i));
        anyCharacter |= g_overlay.drawn[offset + static_cast<uint32_t>(i)] != L' ';
    }
    if (g_overlay.colors != g_overlay.textAttributes || !anyCharacter)
        return;
    for (int i = 0; i < count;) {
        if (g_overlay.drawn[offset + static_cast<uint32_t>(i)] != L' ') {
            ++i;
            continue;
        }
        int from = i;
        while (i < count && g_overlay.drawn[offset + static_cast<uint32_t>(i)] == L' ')
            ++i;
        if (!((from > 0 && shows[from - 1]) || (i < count && shows[i])))
            memset(shows + from, 0, sizeof(bool) * static_cast<size_t>(i - from));
    }
}

// Writes cells [from, to) of the piece at `offset` on `row` from `source`,
// a piece-sized row of replacement cells.
static void WriteCellRun(int row, const CHAR_INFO* source, uint32_t offset, int from, int to) {
    int first = g_overlay.left + static_cast<int>(offset) + from;
    SMALL_RECT run = Area(first, row, first + (to - from) - 1, row);
    COORD at = {static_cast<SHORT>(from), 0};
    WriteConsoleOutputW(g_frame.consoleOutput, source, PIECE_SIZE, at, &run);
}

// Gives every cell of the piece at `offset` on `row`, `count` cells read
// into `cells`, that still shows what was drawn its cell from `source`. The
// number of cells written.
static int RestorePiece(int row, uint32_t offset, const CHAR_INFO* cells, int count, const CHAR_INFO* source) {
    bool shows[OVERLAY_SAVE_CELLS];
    MarkStillDrawn(cells, count, offset, shows);
    int written = 0;
    for (int from = 0, to = 0; from < count; from = ++to) {
        while (to < count && shows[to])
            ++to;
        if (to > from)
            WriteCellRun(row, source, offset, from, to);
        written += to - from;
    }
    return written;
}

// True when the first `count` cells show what was drawn in them.
static bool ShowsUntouched(const CHAR_INFO* cells, int count) {
    for (int i = 0; i < count; ++i) {
        if (!ShowsDrawn(&cells[i], static_cast<uint32_t>(i)))
            return false;
    }
    return true;
}

enum RowVerdict { ROW_NOT_OVERLAYS, ROW_RESTORED, ROW_UNREADABLE };

// The saved cells go back under the first piece; past the save area nothing
// was saved, so those cells become blanks in the text attributes of the time
// of drawing. The column right of the text is never written.
static int RestoreLaterPieces(int row) {
    CHAR_INFO blanks[OVERLAY_SAVE_CELLS], cells[OVERLAY_SAVE_CELLS];
    for (CHAR_INFO& cell : blanks) {
        cell.Char.UnicodeChar = L' ';
        cell.Attributes = g_overlay.textAttributes;
    }
    int written = 0;
    for (uint32_t offset = OVERLAY_SAVE_CELLS; offset < g_overlay.length; offset += OVERLAY_SAVE_CELLS)
        written += RestorePiece(row, offset, cells, ReadPiece(row, offset, cells), blanks);
    return written;
}

// Restores the overlay on `row` if the row proves to be its own: its cells
// left of the overlay are as they were, and some cell of the overlay still
// shows what was drawn; `whole`: and so do all of its untouched cells.
static enum RowVerdict RestoreIfOwnRow(int row, bool whole) {
    uint64_t print;
    CHAR_INFO first[OVERLAY_SAVE_CELLS];
    if (!ReadRowPrint(row, g_overlay.proofCells, &print))
        return ROW_UNREADABLE;
    if (print != g_overlay.proofPrint)
        return ROW_NOT_OVERLAYS;
    int count = ReadPiece(row, 0, first);
    if (count == 0)
        return ROW_UNREADABLE;
    if (whole && !ShowsUntouched(first, Smaller(count, static_cast<int>(g_overlay.untouched))))
        return ROW_NOT_OVERLAYS;
    int written = RestorePiece(row, 0, first, count, g_overlay.saved);
    written += RestoreLaterPieces(row);
    return written > 0 ? ROW_RESTORED : ROW_NOT_OVERLAYS;
}

// Looks for the overlay, whole, on the rows above `below`, nearest first
// (content only ever moves up): reads the column of its search cell a block
// of rows at a time, and restores it on the first row there that proves to
// be its own. An overlay whose cells could all have been typed over is not
// looked for: the line that moved it wrote over them.
static enum RowVerdict RestoreMovedOverlay(int below) {
    if (g_overlay.untouched == 0)
        return ROW_NOT_OVERLAYS;
    CHAR_INFO band[OVERLAY_SEARCH_ROWS];
    const uint32_t offset = g_overlay.searchOffset;
    const int column = g_overlay.left + static_cast<int>(offset);
    for (int bottom = below - 1; bottom >= 0; bottom -= OVERLAY_SEARCH_ROWS) {
        int top = bottom - OVERLAY_SEARCH_ROWS + 1 < 0 ? 0 : bottom - OVERLAY_SEARCH_ROWS + 1;
        if (!ReadArea(Area(column, top, column, bottom), COORD{1, static_cast<SHORT>(bottom - top + 1)}, band))
            return ROW_UNREADABLE;
        for (int row = bottom; row >= top; --row) {
            enum RowVerdict verdict = ShowsDrawn(&band[row - top], offset) ? RestoreIfOwnRow(row, true)
                                                                           : ROW_NOT_OVERLAYS;
            if (verdict != ROW_NOT_OVERLAYS)
                return verdict;
        }
    }
    return ROW_NOT_OVERLAYS;
}

// The overlay is where it was drawn, whole but for cells typed over, or it
// has moved up whole with the content; failing both, it is where it was
// drawn with cells written over since. Cells that cannot be read are left
// as they are.
void EraseTimerOverlay(void) {
    if (g_overlay.length == 0)
        return;
    const int row = g_overlay.row;
    if (RestoreIfOwnRow(row, true) == ROW_NOT_OVERLAYS && RestoreMovedOverlay(row) == ROW_NOT_OVERLAYS)
        RestoreIfOwnRow(row, false);
    g_overlay.length = 0;
}

// True when a line as long as the longest the shell edits, typed or written
// from the prompt, could scroll the overlay out: when the prompt is on one of
// the buffer's last rows and the window at its top. Elsewhere the room is
// larger than any line, and what is typed need not be weighed.
static bool LongestLineCouldScrollItOut(void) {
    return g_overlay.length != 0 && g_overlay.typingRoom <= SHELL_TEXT_MAX_CHARS + 1;
}

void EraseOverlayBeforeEcho(const wchar_t* line) {
    if (!LongestLineCouldScrollItOut())
        return;
    uint64_t typed = 1;    // the character this key may add
    for (const wchar_t* c = line; c && *c && typed < g_overlay.typingRoom; ++c)
        ++typed;
    if (typed >= g_overlay.typingRoom)
        EraseTimerOverlay();
}

void EraseOverlayBeforeLine(void) {
    if (LongestLineCouldScrollItOut())
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
    if (text[widest - 1] >= 0xD800 && text[widest - 1] <= 0xDBFF)    // a lead surrogate
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

// What typing at the prompt can change of the row of an overlay of n cells
// at `left`: cells from the cursor on when the cursor is on the row, every
// cell when it is above it, none when it is below.
static void NoteWhatStays(const CONSOLE_SCREEN_BUFFER_INFO* info, int left, uint32_t n) {
    const COORD cursor = info->dwCursorPosition;
    int stays = cursor.Y > info->srWindow.Top ? info->dwSize.X : cursor.Y == info->srWindow.Top ? cursor.X : 0;
    g_overlay.proofCells = Smaller(stays, left);
    g_overlay.untouched = static_cast<uint32_t>(stays <= left ? 0 : Smaller(stays - left, static_cast<int>(n)));
}

// The cell whose column the search reads: one that cannot change, and where
// the timer colours are the text's, a character other than a blank if there
// is one, since blanks in those colours are everywhere.
static uint32_t SearchOffset(void) {
    if (g_overlay.colors != g_overlay.textAttributes)
        return 0;
    for (uint32_t i = 0; i < g_overlay.untouched; ++i) {
        if (g_overlay.drawn[i] != L' ')
            return i;
    }
    return 0;
}

// Saves the cells under an overlay of n characters that ends one column
// short of the right edge of the window's top row, and records the overlay
// with what its cells will show and the proof of its row. False when the
// cells cannot be read: nothing is recorded then, so that no erasure writes
// stale cells back.
static bool RecordOverlay(const CONSOLE_SCREEN_BUFFER_INFO* info, const wchar_t* text, uint32_t n, WORD colors) {
    const int left = info->dwSize.X - static_cast<int>(n) - 1;
    const int row = info->srWindow.Top;
    SMALL_RECT under = RowPiece(row, left, n, 0);
    if (!ReadConsoleOutputW(g_frame.consoleOutput, g_overlay.saved, PIECE_SIZE, BUFFER_ORIGIN, &under))
        return false;
    NoteWhatStays(info, left, n);
    if (!ReadRowPrint(row, g_overlay.proofCells, &g_overlay.proofPrint))
        return false;
    g_overlay.left = left;
    g_overlay.row = row;
    g_overlay.typingRoom = TypingRoom(info);
    for (uint32_t i = 0; i < n; ++i)
        g_overlay.drawn[i] = CellCharacter(text[i]);
    g_overlay.colors = colors;
    g_overlay.textAttributes = info->wAttributes;
    g_overlay.searchOffset = SearchOffset();
    g_overlay.length = n;
    return true;
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
        WriteConsoleOutputW(g_frame.consoleOutput, cells, PIECE_SIZE, BUFFER_ORIGIN, &piece);
    }
}

void DrawTimerOverlay(const wchar_t* text, WORD colors) {
    EraseTimerOverlay();
    if (!text || !text[0])
        return;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(g_frame.consoleOutput, &info) || info.dwSize.X < 2)
        return;
    uint32_t n = FittingLength(text, info.dwSize.X);
    if (n > 0 && RecordOverlay(&info, text, n, colors))
        WriteOverlayCells();
}
