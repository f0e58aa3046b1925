// The timer text after each timed line: on the shell's status bar, or drawn
// in the timer colours at the right end of the console window's top row, over
// cells that are saved first and written back when the overlay is erased.
#include "timer_display.h"

#include "../plugin/frame.h"
#include "../plugin/shell_text.h"
#include "../settings/settings.h"

#include <wchar.h>

enum { OVERLAY_SAVE_CELLS = 200 };

#define DEFAULT_TIMER_FORMAT L" [%_cmdcount]  %_cmdtime "

typedef struct TimerOverlay {
    uint32_t length;                          // characters drawn; 0: none showing
    int left;                                 // screen-buffer column of the first one
    int row;                                  // screen-buffer row (window top when drawn)
    WORD textAttributes;                      // the console's when it was drawn
    CHAR_INFO saved[OVERLAY_SAVE_CELLS];      // the region's first cells as they were
} TimerOverlay;

static TimerOverlay g_overlay;

static const COORD SAVE_AREA_SIZE = {OVERLAY_SAVE_CELLS, 1};
static const COORD SAVE_AREA_ORIGIN = {0, 0};

// A rectangle of row `row` from column `left`, at most `cells` wide and
// never past column `lastColumn`.
static SMALL_RECT RowPart(int row, int left, int cells, int lastColumn) {
    int right = left + cells - 1;
    SMALL_RECT part;
    part.Left = static_cast<SHORT>(left);
    part.Top = static_cast<SHORT>(row);
    part.Right = static_cast<SHORT>(lastColumn < right ? lastColumn : right);
    part.Bottom = static_cast<SHORT>(row);
    return part;
}

// The drawn cells past the save area (a text of 200 characters or more)
// were not saved: they become blanks in the text attributes of the time of
// drawing, written a save area's width at a time. The region's last column,
// which the text never covers, keeps what it holds.
static void BlankCellsPastTheSaveArea(void) {
    CHAR_INFO blanks[OVERLAY_SAVE_CELLS];
    for (CHAR_INFO& cell : blanks) {
        cell.Char.UnicodeChar = L' ';
        cell.Attributes = g_overlay.textAttributes;
    }
    int lastDrawn = g_overlay.left + static_cast<int>(g_overlay.length) - 1;
    for (int left = g_overlay.left + OVERLAY_SAVE_CELLS; left <= lastDrawn; left += OVERLAY_SAVE_CELLS) {
        SMALL_RECT part = RowPart(g_overlay.row, left, OVERLAY_SAVE_CELLS, lastDrawn);
        WriteConsoleOutputW(g_frame.consoleOutput, blanks, SAVE_AREA_SIZE, SAVE_AREA_ORIGIN, &part);
    }
}

int EraseTimerOverlay(void) {
    if (g_overlay.length == 0)
        return 0;
    int lastColumn = g_overlay.left + static_cast<int>(g_overlay.length);
    SMALL_RECT saved = RowPart(g_overlay.row, g_overlay.left, OVERLAY_SAVE_CELLS, lastColumn);
    WriteConsoleOutputW(g_frame.consoleOutput, g_overlay.saved, SAVE_AREA_SIZE, SAVE_AREA_ORIGIN, &saved);
    BlankCellsPastTheSaveArea();
    g_overlay.length = 0;
    return 0;
}

// Saves the region under an overlay of n characters that ends one column
// short of the right edge of the window's top row, and records the overlay.
// 0, or 1 when the cells cannot be read: nothing is recorded then, so that
// no erasure writes stale cells over the screen.
static int SaveOverlayRegion(const CONSOLE_SCREEN_BUFFER_INFO* info, uint32_t n) {
    int width = info->dwSize.X;
    int left = width - static_cast<int>(n) - 1;
    SMALL_RECT region = RowPart(info->srWindow.Top, left, OVERLAY_SAVE_CELLS, width - 1);
    if (!ReadConsoleOutputW(g_frame.consoleOutput, g_overlay.saved, SAVE_AREA_SIZE, SAVE_AREA_ORIGIN, &region))
        return 1;
    g_overlay.length = n;
    g_overlay.left = left;
    g_overlay.row = info->srWindow.Top;
    g_overlay.textAttributes = info->wAttributes;
    return 0;
}

// Writes the recorded overlay's n characters in the timer colours, then
// puts the cursor and the text attributes back as info has them.
static void WriteOverlayText(const wchar_t* text, uint32_t n, const CONSOLE_SCREEN_BUFFER_INFO* info) {
    COORD at = {static_cast<SHORT>(g_overlay.left), static_cast<SHORT>(g_overlay.row)};
    DWORD written = 0;
    SetConsoleCursorPosition(g_frame.consoleOutput, at);
    SetConsoleTextAttribute(g_frame.consoleOutput, g_settings.timerColors);
    WriteConsoleW(g_frame.consoleOutput, text, n, &written, nullptr);
    SetConsoleCursorPosition(g_frame.consoleOutput, info->dwCursorPosition);
    SetConsoleTextAttribute(g_frame.consoleOutput, info->wAttributes);
}

// Draws text, cut to the buffer width less one column, so that it ends one
// column short of the right edge. The caller's text is not changed.
int DrawTimerOverlay(wchar_t* text) {
    EraseTimerOverlay();
    if (!text || !text[0])
        return 0;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(g_frame.consoleOutput, &info) || info.dwSize.X < 2)
        return 0;
    size_t length = wcslen(text);
    size_t widest = static_cast<size_t>(info.dwSize.X - 1);
    uint32_t n = static_cast<uint32_t>(length < widest ? length : widest);
    if (SaveOverlayRegion(&info, n) == 0)
        WriteOverlayText(text, n, &info);
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
