// The timer overlay on the real console: the cells it covers, what it saves
// and what it puts back; the status bar and the quiet expansion.
#include "plugin/frame.h"
#include "support/plugin_session.h"
#include "support/architecture.h"
#include "support/iat_patch.h"
#include "support/system_fakes.h"
#include "overlay/console_overlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

const uint64_t kSecond = 10000000;

// The cells of the overlay at `left`, `count` wide on the top row, as
// ChangedCells names them.
std::string OverlayCells(const ConsoleTopRow& console, int left, int count) {
    std::string cells;
    for (int column = left; column < left + count; ++column)
        AddCellName(&cells, column, console.top);
    return cells;
}

// Text written at (column, row) in the console's text attributes, as the
// shell echoes what is typed; the cursor goes back where it was.
void EchoAt(HANDLE console, int column, int row, const std::wstring& text) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(console, &info);
    SetConsoleCursorPosition(console, COORD{static_cast<SHORT>(column), static_cast<SHORT>(row)});
    DWORD written = 0;
    WriteConsoleW(console, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
    SetConsoleCursorPosition(console, info.dwCursorPosition);
}

// The screen buffer made `size` with the window `window`, for the life of
// the object; `applied` when the console took both.
struct Geometry {
    Geometry(HANDLE console, COORD size, SMALL_RECT window) : console(console) {
        GetConsoleScreenBufferInfo(console, &before);
        SetConsoleWindowInfo(console, TRUE, &window);    // first, for a buffer made smaller than the window
        SetConsoleScreenBufferSize(console, size);
        SetConsoleWindowInfo(console, TRUE, &window);
        CONSOLE_SCREEN_BUFFER_INFO now;
        GetConsoleScreenBufferInfo(console, &now);
        applied = now.dwSize.X == size.X && now.dwSize.Y == size.Y && now.srWindow.Left == window.Left &&
                  now.srWindow.Top == window.Top && now.srWindow.Right == window.Right;
    }
    ~Geometry() {
        SetConsoleScreenBufferSize(console, before.dwSize);
        SetConsoleWindowInfo(console, TRUE, &before.srWindow);
    }
    HANDLE console;
    CONSOLE_SCREEN_BUFFER_INFO before;
    bool applied = false;
};

// A buffer `width` columns wide with a window of its first `windowWidth`.
Geometry NarrowWindow(const ConsoleTopRow& console, SHORT width, SHORT windowWidth) {
    SMALL_RECT window = console.info.srWindow;
    window.Right = static_cast<SHORT>(windowWidth - 1);
    return Geometry(console.handle, COORD{width, console.info.dwSize.Y}, window);
}

TEST(TimerOverlay, AnErasureThatCannotReadTheCellsWritesNone) {
    ConsoleTopRow console;
    PluginSession s(ShowTimerMode(2));
    console.Prefill();
    s.TimedLine(L"drawn", kSecond);
    std::wstring drawn = console.Row();
    ASSERT_NE(console.original, drawn);
    {
        FailingConsoleRead unreadable(s.plugin.module);
        ASSERT_TRUE(unreadable.Applied());
        s.Key(KEY_CODE_ESC, L"Esc", L"");
    }
    EXPECT_EQ(drawn, console.Row()) << "cells that may have been written since are not overwritten blindly";
    s.Enter(L"next");
    EXPECT_EQ(drawn, console.Row()) << "and the overlay is forgotten";
}

TEST(TimerOverlay, NoTextIsDrawnLongerThanATimerTextCanBe) {
    // The test program's own copy of the display, handed a text longer than
    // the shell's 8191 characters on a buffer wider than that.
    ConsoleTopRow console;
    Geometry widest = NarrowWindow(console, 8300, 80);
    if (!widest.applied)
        GTEST_SKIP() << "the console buffer cannot be made 8300 columns wide here";
    ASSERT_EQ(0, OpenConsoleOutput());
    ConsoleTopRow wide;
    wide.Prefill();
    const std::wstring text(9000, L'y');
    DrawTimerOverlay(text.c_str(), 0x1F);
    const int left = 8300 - 8192;
    std::wstring expected = wide.original;
    expected.replace(left, 8191, std::wstring(8191, L'y'));
    EXPECT_EQ(expected, wide.Row());
    EraseTimerOverlay();
    expected = wide.original;
    expected.replace(left + 200, 7991, std::wstring(7991, L' '));
    EXPECT_EQ(expected, wide.Row());
    CloseConsoleOutput();
}

TEST(TimerOverlay, TextLongerThanTheSaveAreaRestoresItsFirst200CellsAndBlanksTheRest) {
    ConsoleTopRow console;
    if (console.width < 260) {
        SetConsoleScreenBufferSize(console.handle, COORD{300, console.info.dwSize.Y});
    }
    ConsoleTopRow wide;
    if (wide.width < 260)
        GTEST_SKIP() << "console buffer cannot be widened here";
    std::wstring format(250, L'=');
    ScopedEnvironment env(L"LAPWATCHFMT", format.c_str());
    PluginSession s(ShowTimerMode(2));
    wide.Prefill();
    s.TimedLine(L"wide", kSecond);
    std::wstring row = wide.Row();
    const int left = wide.width - 251;
    EXPECT_EQ(format, row.substr(left, 250));
    // Output since the drawing, under the save area and past it.
    EchoAt(wide.handle, left + 10, wide.top, L"Z");
    EchoAt(wide.handle, left + 220, wide.top, L"Z");
    s.Enter(L"again");
    std::wstring attributes;
    row = wide.Row(&attributes);
    std::wstring expected = wide.original.substr(0, left + 200);
    expected[left + 10] = L'Z';
    EXPECT_EQ(expected, row.substr(0, left + 200)) << "saved cells come back where nothing was written since";
    expected = std::wstring(50, L' ');
    expected[20] = L'Z';
    EXPECT_EQ(expected, row.substr(left + 200, 50)) << "unsaved ones become blanks";
    EXPECT_EQ(std::wstring(50, static_cast<wchar_t>(wide.info.wAttributes)), attributes.substr(left + 200, 50))
        << "in the text attributes of the time of drawing";
    EXPECT_EQ(wide.original.back(), row.back()) << "the last column was never drawn over";
    EXPECT_EQ(wide.originalAttributes.back(), attributes.back());
    SetConsoleScreenBufferSize(wide.handle, console.info.dwSize);
}

TEST(TimerOverlay, ControlCharactersShowAsBlanksInTheirOwnCells) {
    ConsoleTopRow console;
    const struct { const wchar_t* format; const wchar_t* shown; } cases[] = {
        {L" a\tb\rc\nd\ae\bf ", L" a b c d e f "},
        {L"\x1F\x7Fz\x01", L"  z "},
    };
    for (const auto& c : cases) {
        ScopedEnvironment env(L"LAPWATCHFMT", c.format);
        PluginSession s(ShowTimerMode(2));
        console.Prefill();
        ScreenCells before(console.handle);
        const std::string state = CursorAttributesAndWindow(console.handle);
        s.TimedLine(L"controls", kSecond);
        const int n = static_cast<int>(wcslen(c.shown));
        const int left = console.width - n - 1;
        std::wstring attributes;
        EXPECT_EQ(c.shown, console.Row(&attributes).substr(left, n));
        EXPECT_EQ(std::wstring(n, L'\x1F'), attributes.substr(left, n));
        EXPECT_EQ(OverlayCells(console, left, n), ChangedCells(before, ScreenCells(console.handle)))
            << "nothing but the overlay's own cells";
        EXPECT_EQ(state, CursorAttributesAndWindow(console.handle));
        s.Key(KEY_CODE_ESC, L"Esc", L"");
        EXPECT_EQ("", ChangedCells(before, ScreenCells(console.handle)));
    }
}

TEST(TimerOverlay, AWindowNarrowerThanTheBufferDoesNotScroll) {
    ConsoleTopRow console;
    Geometry narrow = NarrowWindow(console, 200, 80);
    if (!narrow.applied)
        GTEST_SKIP() << "the console cannot be given a window narrower than its buffer here";
    ConsoleTopRow wide;
    PluginSession s(ShowTimerMode(2));
    wide.Prefill();
    // The cursor where a prompt leaves it, inside the window but not at its
    // left edge, which a console scrolls towards the cursor's column.
    SetConsoleCursorPosition(wide.handle, COORD{40, static_cast<SHORT>(wide.top + 1)});
    const std::string state = CursorAttributesAndWindow(wide.handle);
    s.TimedLine(L"wide", kSecond);
    EXPECT_EQ(L" [1]  0:00:01.000 ", wide.Row().substr(200 - 19, 18));
    EXPECT_EQ(state, CursorAttributesAndWindow(wide.handle)) << "window, cursor and attributes as they were";
    s.Key(KEY_CODE_ESC, L"Esc", L"");
    EXPECT_EQ(wide.original, wide.Row());
    EXPECT_EQ(state, CursorAttributesAndWindow(wide.handle));
}

TEST(TimerOverlay, TheCutNeverSplitsASurrogatePair) {
    ConsoleTopRow console;
    // The pair would take the last cell that fits and the one after it.
    std::wstring format = std::wstring(console.width - 2, L'x') + L"\U0001F600";
    ScopedEnvironment env(L"LAPWATCHFMT", format.c_str());
    PluginSession s(ShowTimerMode(2));
    console.Prefill();
    s.TimedLine(L"cut", kSecond);
    std::wstring expected = console.original;
    expected.replace(1, console.width - 2, std::wstring(console.width - 2, L'x'));
    EXPECT_EQ(expected, console.Row()) << "one character fewer, ending as ever in column width - 2";

    // A pair whose trail takes the last cell that fits is drawn whole.
    format = std::wstring(console.width - 3, L'x') + L"\U0001F600" + L"cut off";
    ScopedEnvironment fits(L"LAPWATCHFMT", format.c_str());
    console.Prefill();
    s.TimedLine(L"whole", kSecond);
    expected = console.original;
    expected.replace(0, console.width - 1, format.substr(0, console.width - 1));
    EXPECT_EQ(expected, console.Row());
}

TEST(TimerOverlay, CellsTypedOverTheOverlayKeepWhatWasTyped) {
    ConsoleTopRow console;
    PluginSession s(ShowTimerMode(2));
    console.Prefill();
    s.TimedLine(L"one", kSecond);
    const int left = console.width - 19;
    // After cls the prompt is on the top row: a long line is echoed over
    // the overlay's cells 4 to 9.
    EchoAt(console.handle, left + 4, console.top, L"typed!");
    s.Enter(L"typed!");
    std::wstring attributes;
    std::wstring row = console.Row(&attributes);
    std::wstring expected = console.original;
    expected.replace(left + 4, 6, L"typed!");
    std::wstring expectedAttributes = console.originalAttributes;
    expectedAttributes.replace(left + 4, 6, std::wstring(6, static_cast<wchar_t>(console.info.wAttributes)));
    EXPECT_EQ(expected, row);
    EXPECT_EQ(expectedAttributes, attributes);

    // The prompt on the overlay's row: a line typed through all but its last
    // cell, a blank in the timer colours, gets that cell back.
    SetConsoleCursorPosition(console.handle, COORD{0, console.top});
    s.TimedLine(L"two", kSecond);
    EchoAt(console.handle, left - 3, console.top, std::wstring(20, L'.'));
    s.Enter(L"typed through");
    expected = console.original;
    expected.replace(left - 3, 20, std::wstring(20, L'.'));
    EXPECT_EQ(expected, console.Row(&attributes));
    EXPECT_EQ(console.originalAttributes.back(), attributes.back());
    EXPECT_EQ(console.originalAttributes[left + 17], attributes[left + 17]);
}

TEST(TimerOverlay, ARowRewrittenSinceTheDrawingKeepsItsNewCells) {
    ConsoleTopRow console;
    PluginSession s(ShowTimerMode(2));
    console.Prefill();
    s.TimedLine(L"one", kSecond);
    console.Prefill(L'A');
    s.Key(KEY_CODE_ESC, L"Esc", L"");
    EXPECT_EQ(console.original, console.Row());

    // Even rewritten in the timer colours, other characters are not the overlay's.
    s.TimedLine(L"two", kSecond);
    console.Overwrite(L'#', 0x1F);
    ScreenCells rewritten(console.handle);
    s.Key(KEY_CODE_ESC, L"Esc", L"");
    EXPECT_EQ("", ChangedCells(rewritten, ScreenCells(console.handle)));
}

TEST(TimerOverlay, ColoursChangedAfterTheDrawingStillLetItBeErased) {
    ConsoleTopRow console;
    PluginSession::Saved saved = ShowTimerMode(2);
    saved.slowSeconds = 1;
    saved.slowCommand = L"lapwatch /C:0x4E";    // runs after the drawing
    PluginSession s(saved);
    console.Prefill();
    CapturedOutput report;
    s.TimedLine(L"slow", 2 * kSecond);
    std::wstring attributes;
    console.Row(&attributes);
    ASSERT_EQ(std::wstring(18, L'\x1F'), attributes.substr(console.width - 19, 18)) << "drawn before the change";
    s.Enter(L"next");
    EXPECT_EQ(console.original, console.Row(&attributes));
    EXPECT_EQ(console.originalAttributes, attributes);
}

TEST(TimerOverlay, ShutdownTakesAShowingOverlayOff) {
    ConsoleTopRow console;
    PluginSession s(ShowTimerMode(2));
    console.Prefill();
    ScreenCells before(console.handle);
    s.TimedLine(L"last", kSecond);
    ASSERT_NE("", ChangedCells(before, ScreenCells(console.handle)));
    EXPECT_EQ(0, s.plugin.Get<ShutdownPluginFn>("ShutdownPlugin")(0));
    EXPECT_EQ("", ChangedCells(before, ScreenCells(console.handle)));
}

TEST(TimerOverlay, AFormatThatIsEmptyOrTooLongGivesTheDefault) {
    ConsoleTopRow console;
    const std::wstring longest(8191, L'=');
    const struct { std::wstring format; std::wstring shown; } cases[] = {
        {L"", L" [1]  0:00:01.000 "},
        {std::wstring(8192, L'='), L" [1]  0:00:01.000 "},
        {longest, std::wstring(console.width - 1, L'=')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format.size());
        ScopedEnvironment env(L"LAPWATCHFMT", c.format.c_str());
        PluginSession s(ShowTimerMode(2));
        console.Prefill();
        s.TimedLine(L"format", kSecond);
        const size_t left = console.width - c.shown.size() - 1;
        EXPECT_EQ(c.shown, console.Row().substr(left, c.shown.size()));
    }
}

TEST(TimerOverlay, EmptyTextDrawsNothingButReachesTheStatusBar) {
    ConsoleTopRow console;
    ScopedEnvironment env(L"LAPWATCHFMT", L"%undefined_variable_x");
    StandInSetStatusBar(1);
    int before = StandInStatusCount();
    PluginSession s(ShowTimerMode(3));
    console.Prefill();
    s.TimedLine(L"quiet", kSecond);
    EXPECT_EQ(console.original, console.Row());
    EXPECT_EQ(before + 1, StandInStatusCount());
    EXPECT_STREQ(L"", StandInStatusText());
    StandInSetStatusBar(0);
}

TEST(TimerOverlay, StatusBarModes) {
    ConsoleTopRow console;
    struct ModeCase { DWORD mode; int statusBar; bool overlay; int requests; };
    const ModeCase cases[] = {
        {1, 0, false, 1}, {2, 0, true, 0}, {4, 0, false, 0}, {5, 1, false, 1},
        {5, 0, true, 1}, {6, 0, true, 0}, {3, 1, true, 1}, {0, 1, false, 0},
    };
    for (const ModeCase& c : cases) {
        StandInSetStatusBar(c.statusBar);
        PluginSession s(ShowTimerMode(c.mode));
        console.Prefill();
        int before = StandInStatusCount();
        s.TimedLine(L"m", 20000000);
        bool drawn = console.Row() != console.original;
        EXPECT_EQ(c.overlay, drawn) << "mode " << c.mode << " status bar " << c.statusBar;
        // The stand-in counts the requests its status bar took.
        EXPECT_EQ(c.statusBar ? c.requests : 0, StandInStatusCount() - before) << "mode " << c.mode;
        if (c.requests && c.statusBar) {
            EXPECT_STREQ(L" [1]  0:00:02.000 ", StandInStatusText());
        }
        s.Prompt();
    }
    StandInSetStatusBar(0);
}

// The status-bar request, watched: whether the console's top row showed
// the overlay when it came.
using StatusBarRequest = int(__cdecl*)(wchar_t*, wchar_t*);
StatusBarRequest g_statusBar;
ConsoleTopRow* g_watchedConsole;
std::vector<bool> g_overlayAtRequest;
int __cdecl WatchedStatusBar(wchar_t* request, wchar_t* text) {
    g_overlayAtRequest.push_back(g_watchedConsole->Row() != g_watchedConsole->original);
    return g_statusBar(request, text);
}

TEST(TimerOverlay, DrawnBeforeTheStatusBarIsAskedUnlessASlowCommandRunsFirst) {
    ConsoleTopRow console;
    g_watchedConsole = &console;
    const struct { DWORD mode; int statusBar; uint64_t ticks; bool drawnAtRequest; bool drawnAfter; } cases[] = {
        {3, 1, kSecond, true, true}, {7, 0, kSecond, true, true},
        {3, 1, 3 * kSecond, false, true}, {7, 0, 3 * kSecond, false, true}, {5, 0, 3 * kSecond, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", " << c.ticks / kSecond << " s");
        PluginSession::Saved saved = ShowTimerMode(c.mode);
        saved.slowSeconds = 2;
        saved.slowCommand = L"rem";
        PluginSession s(saved);
        ImportPatch watch(s.plugin.module, "TakeCmd.dll", kArch.statusBarImport,
                          reinterpret_cast<void*>(&WatchedStatusBar));
        ASSERT_TRUE(watch.Applied());
        g_statusBar = reinterpret_cast<StatusBarRequest>(watch.Original());
        StandInSetStatusBar(c.statusBar);
        console.Prefill();
        g_overlayAtRequest.clear();
        s.TimedLine(L"order", c.ticks);
        EXPECT_EQ(std::vector<bool>{c.drawnAtRequest}, g_overlayAtRequest);
        EXPECT_EQ(c.drawnAfter, console.Row() != console.original);
        s.Prompt();
    }
    StandInSetStatusBar(0);
}

TEST(TimerOverlay, ModeSevenWithAFailingStatusBarShowsOneOverlay) {
    ConsoleTopRow console;
    StandInSetStatusBar(0);
    PluginSession s(ShowTimerMode(7));
    console.Prefill();
    s.TimedLine(L"seven", kSecond);
    std::wstring row = console.Row();
    EXPECT_EQ(L" [1]  0:00:01.000 ", row.substr(console.width - 19, 18));
    s.Prompt();
    EXPECT_EQ(console.original, console.Row()) << "the second drawing saved the original cells";
}

// Fills every row of the buffer with letters of its own and puts the cursor
// at the start of the last row, where output scrolls the content up.
ScreenCells FillToTheBottom(HANDLE console) {
    ScreenCells cells(console);
    for (size_t i = 0; i < cells.cells.size(); ++i) {
        cells.cells[i].Char.UnicodeChar = static_cast<wchar_t>(L'a' + (i % cells.width + i / cells.width) % 26);
        cells.cells[i].Attributes = 0x07;
    }
    SMALL_RECT all = {0, 0, static_cast<SHORT>(cells.width - 1), static_cast<SHORT>(cells.height - 1)};
    WriteConsoleOutputW(console, cells.cells.data(), COORD{cells.width, cells.height}, COORD{0, 0}, &all);
    SetConsoleCursorPosition(console, COORD{0, static_cast<SHORT>(cells.height - 1)});
    return cells;
}

TEST(TimerOverlay, ContentMovingUpNeitherHidesTheOverlayNorLeavesItBehind) {
    ConsoleTopRow console;
    const SHORT height = 25;    // the window's rows
    const std::wstring line(console.width - 1, L'w');
    const std::wstring twoRows(2 * console.width, L'u');
    std::wstring manyLines;    // more rows than the search for a moved overlay reads at once
    for (int i = 0; i < OVERLAY_SEARCH_ROWS + 10; ++i)
        manyLines += L"\r\n";
    const wchar_t* const up = L"Up";
    // key: a key given by name before the shell writes `printed`; lookalike:
    // rows below the overlay's where output shows its text in its colours,
    // which are then the text's.
    const struct { const char* what; SHORT rows; const wchar_t* slowCommand; std::wstring printed; size_t typed;
                   int moved; const wchar_t* key; bool takenOffByKey; int lookalike; } cases[] = {
        {"a slow command's output, full buffer", 150, L"echo Slow one!", L"", 0, 1, nullptr, false, 0},
        {"a typed line that wraps, full buffer", 150, nullptr, line + L"w", 0, 1, nullptr, false, 0},
        {"many rows up, full buffer", 300, nullptr, manyLines, 0, OVERLAY_SEARCH_ROWS + 10, nullptr, false, 0},
        {"out of a buffer as tall as its window", height, nullptr, L"\r\n\r\n", 0, 2, nullptr, false, 0},
        {"a keystroke whose echo would scroll it out", height, nullptr, L"", line.size(), 0, nullptr, false, 0},
        {"a line recalled at the bottom of a terminal", height, nullptr, twoRows, 0, 2, up, true, 0},
        {"a line recalled with room to spare", 300, nullptr, twoRows, 0, 2, up, false, 0},
        {"a completion at the bottom of a terminal", height, nullptr, twoRows, 0, 2, L"Tab", true, 0},
        {"a row below showing the same text moves into its place", 150, nullptr, L"\r\n", 0, 1, nullptr, false, 1},
        {"a row taking its place shows the same text", height, nullptr, L"\r\n\r\n", 0, 2, nullptr, false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SMALL_RECT window = {0, static_cast<SHORT>(c.rows - height), static_cast<SHORT>(console.width - 1),
                             static_cast<SHORT>(c.rows - 1)};
        Geometry full(console.handle, COORD{console.width, c.rows}, window);
        if (!full.applied)
            GTEST_SKIP() << "the console's buffer cannot be made " << c.rows << " rows tall here";
        PluginSession::Saved saved = ShowTimerMode(2);
        saved.slowSeconds = 1;
        saved.slowCommand = c.slowCommand;
        PluginSession s(saved);
        ScreenCells original = FillToTheBottom(console.handle);
        if (c.lookalike) {
            CapturedOutput report;
            wchar_t textColours[16];
            swprintf(textColours, 16, L"/C:0x%02X", console.info.wAttributes);
            ASSERT_EQ(0, s.Lapwatch(textColours)) << "the timer colours are the text's";
        }
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        SetStdHandle(STD_OUTPUT_HANDLE, console.handle);    // the slow command prints on the console
        s.TimedLine(L"slow", 2 * kSecond);
        SetStdHandle(STD_OUTPUT_HANDLE, out);
        const std::wstring timer = L" [1]  0:00:02.000 ";
        EXPECT_EQ(timer, ReadConsoleRow(console.handle, window.Top, 0, console.width).substr(console.width - 19, 18))
            << "seen on the window's top row";
        if (c.lookalike) {
            const int row = window.Top + c.lookalike;
            SetConsoleCursorPosition(console.handle, COORD{static_cast<SHORT>(console.width - 19),
                                                           static_cast<SHORT>(row)});
            DWORD written = 0;
            WriteConsoleW(console.handle, timer.c_str(), static_cast<DWORD>(timer.size()), &written, nullptr);
            for (int i = 0; i < 18; ++i)
                original.cells[static_cast<size_t>(row * console.width + console.width - 19 + i)].Char.UnicodeChar =
                    timer[static_cast<size_t>(i)];
            SetConsoleCursorPosition(console.handle, COORD{0, static_cast<SHORT>(c.rows - 1)});
        }
        if (c.key) {
            s.Key(c.key == up ? KEY_CODE_NONE : 9, c.key, L"");
            bool takenOff = ReadConsoleRow(console.handle, window.Top, 0, console.width)
                                .substr(console.width - 19, 18) != timer;
            EXPECT_EQ(c.takenOffByKey, takenOff) << "before the shell writes the line";
        }
        DWORD written = 0;
        WriteConsoleW(console.handle, c.printed.c_str(), static_cast<DWORD>(c.printed.size()), &written, nullptr);
        if (c.typed) {
            s.Key('w', L"w", line.substr(1).c_str());
            EXPECT_NE(original.cells[console.width - 2].Char.UnicodeChar,
                      ReadConsoleRow(console.handle, 0, 0, console.width)[console.width - 2]) << "a character short";
            s.Key('w', L"w", line.c_str());
        } else {
            s.Enter(L"next");
        }
        // Every row but those written last shows what it showed, moved up.
        const int newest = c.key ? 2 : 1;
        ScreenCells now(console.handle), expected = now;
        std::copy_n(original.cells.begin() + c.moved * console.width,
                    (c.rows - c.moved - newest) * console.width, expected.cells.begin());
        EXPECT_EQ("", ChangedCells(expected, now));
    }
}

TEST(TimerOverlay, BlanksWrittenSinceAreNotTakenForTheOverlays) {
    ConsoleTopRow console;
    PluginSession s(ShowTimerMode(2));
    CapturedOutput report;
    wchar_t textColours[16];
    swprintf(textColours, 16, L"/C:0x%02X", console.info.wAttributes);
    ASSERT_EQ(0, s.Lapwatch(textColours)) << "the timer colours are the text's";
    console.Prefill();
    s.TimedLine(L"cleared", kSecond);
    console.Overwrite(L' ', console.info.wAttributes);    // cls
    s.Key(KEY_CODE_ESC, L"Esc", L"");
    EXPECT_EQ(std::wstring(console.width, L' '), console.Row()) << "a cleared row stays clear";

    ScopedEnvironment blanks(L"LAPWATCHFMT", L"   ");
    console.Prefill();
    s.TimedLine(L"blanks", kSecond);
    ASSERT_NE(console.original, console.Row());
    s.Key(KEY_CODE_ESC, L"Esc", L"");
    EXPECT_EQ(console.original, console.Row()) << "a text of blanks is still erased";
}

TEST(QuietExpansion, MessagesGoToNulAndHandlesComeBack) {
    ScopedEnvironment env(L"LAPWATCHFMT", L"[%@tickstotime[abc]]");
    PluginSession s(ShowTimerMode(4));
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
    {
        CapturedOutput captured;
        s.TimedLine(L"quiet", kSecond);
        EXPECT_EQ(L"", captured.Err()) << "the bad-number message went to nul";
    }
    EXPECT_EQ(out, GetStdHandle(STD_OUTPUT_HANDLE));
    EXPECT_EQ(err, GetStdHandle(STD_ERROR_HANDLE));

    FailingCreateFile noNul(s.plugin.module, L"nul", ERROR_ACCESS_DENIED);
    ASSERT_TRUE(noNul.Applied());
    CapturedOutput captured;
    s.TimedLine(L"loud", kSecond);
    EXPECT_EQ(L"Lapwatch plugin: Bad number: \"ABC\"\r\n", captured.Err());
    EXPECT_EQ(out, GetStdHandle(STD_OUTPUT_HANDLE));
}

}  // namespace
