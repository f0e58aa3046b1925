// The timer text after each timed line: on the shell's status bar, or drawn
// in the timer colours at the right end of the console window's top row, over
// cells that are saved first and written back when the overlay is erased.
#include "timer_display.h"

#include "../plugin/frame.h"
#include "../settings/settings.h"

#include <wchar.h>

enum { OVERLAY_SAVE_CELLS = 200 };

#define DEFAULT_TIMER_FORMAT L" [%_cmdcount]  %_cmdtime "

typedef struct TimerOverlay {
    uint32_t length;                          // characters drawn; 0: none showing
    int left;                                 // screen-buffer column of the first one
    int row;                                  // screen-buffer row (window top when drawn)
    CHAR_INFO saved[OVERLAY_SAVE_CELLS];      // the region's first cells as they were
} TimerOverlay;

static TimerOverlay g_overlay;

static const COORD SAVE_AREA_SIZE = {OVERLAY_SAVE_CELLS, 1};
static const COORD SAVE_AREA_ORIGIN = {0, 0};

// Right edge of a rectangle over the save area: never more than its 200
// cells, whatever the length of the region.
static SHORT SavedRight(int left, int lastColumn) {
    int limit = left + OVERLAY_SAVE_CELLS - 1;
    return static_cast<SHORT>(lastColumn < limit ? lastColumn : limit);
}

int EraseTimerOverlay(void) {
    if (g_overlay.length == 0)
        return 0;
    SMALL_RECT region;
    region.Left = static_cast<SHORT>(g_overlay.left);
    region.Top = static_cast<SHORT>(g_overlay.row);
    region.Right = SavedRight(g_overlay.left, g_overlay.left + static_cast<int>(g_overlay.length));
    region.Bottom = static_cast<SHORT>(g_overlay.row);
    WriteConsoleOutputW(g_frame.consoleOutput, g_overlay.saved, SAVE_AREA_SIZE, SAVE_AREA_ORIGIN, &region);
    g_overlay.length = 0;
    return 0;
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
    int width = info.dwSize.X;
    size_t length = wcslen(text);
    uint32_t n = length > static_cast<size_t>(width - 1) ? static_cast<uint32_t>(width - 1)
                                                         : static_cast<uint32_t>(length);
    int left = width - static_cast<int>(n) - 1;
    int row = info.srWindow.Top;

    SMALL_RECT region;
    region.Left = static_cast<SHORT>(left);
    region.Top = static_cast<SHORT>(row);
    region.Right = SavedRight(left, width - 1);
    region.Bottom = static_cast<SHORT>(row);
    ReadConsoleOutputW(g_frame.consoleOutput, g_overlay.saved, SAVE_AREA_SIZE, SAVE_AREA_ORIGIN, &region);
    g_overlay.length = n;
    g_overlay.left = left;
    g_overlay.row = row;

    COORD at = {static_cast<SHORT>(left), static_cast<SHORT>(row)};
    DWORD written = 0;
    SetConsoleCursorPosition(g_frame.consoleOutput, at);
    SetConsoleTextAttribute(g_frame.consoleOutput, g_settings.timerColors);
    WriteConsoleW(g_frame.consoleOutput, text, n, &written, nullptr);
    SetConsoleCursorPosition(g_frame.consoleOutput, info.dwCursorPosition);
    SetConsoleTextAttribute(g_frame.consoleOutput, info.wAttributes);
    return 0;
}

// Expands text in place with standard output and error on "nul", so that
// messages of the expansion are discarded; both handles are put back.
int QuietExpand(wchar_t* text) {
    if (!text)
        return -1;
    HANDLE savedError = GetStdHandle(STD_ERROR_HANDLE);
    HANDLE savedOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE nul = CreateFileW(L"nul", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    int opened = nul != INVALID_HANDLE_VALUE;
    if (opened) {
        SetStdHandle(STD_ERROR_HANDLE, nul);
        SetStdHandle(STD_OUTPUT_HANDLE, nul);
    }
    int result = ExpandVariables(text, 1);
    if (opened) {
        SetStdHandle(STD_ERROR_HANDLE, savedError);
        SetStdHandle(STD_OUTPUT_HANDLE, savedOutput);
        CloseHandle(nul);
    }
    return result;
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
