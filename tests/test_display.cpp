// The timer overlay on the real console: the cells it covers, what it saves
// and what it puts back; the status bar and the quiet expansion.
#include "support/plugin_session.h"
#include "support/system_fakes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const uint64_t kSecond = 10000000;

TEST(TimerOverlay, DefaultTextAtTheRightEndAndRestoredAfter) {
    ConsoleTopRow console;
    ASSERT_GE(console.width, 40);
    PluginSession s(ShowTimerMode(2));
    s.TimedLine(L"one", kSecond);
    s.TimedLine(L"two", kSecond);
    s.Key(KEY_CODE_ESC, L"Esc", L"");
    console.Prefill();
    CONSOLE_SCREEN_BUFFER_INFO before;
    GetConsoleScreenBufferInfo(console.handle, &before);

    s.TimedLine(L"three", 12340000);
    std::wstring attributes;
    std::wstring row = console.Row(&attributes);
    const std::wstring text = L" [3]  0:00:01.234 ";
    ASSERT_EQ(18u, text.size());
    const int left = console.width - 19;
    EXPECT_EQ(text, row.substr(left, 18));
    EXPECT_EQ(std::wstring(18, L'\x1F'), attributes.substr(left, 18));
    EXPECT_EQ(console.original.substr(0, left), row.substr(0, left));
    EXPECT_EQ(console.original.back(), row.back()) << "the last column is never covered";
    EXPECT_EQ(console.originalAttributes.back(), attributes.back());

    CONSOLE_SCREEN_BUFFER_INFO after;
    GetConsoleScreenBufferInfo(console.handle, &after);
    EXPECT_EQ(before.dwCursorPosition.X, after.dwCursorPosition.X);
    EXPECT_EQ(before.dwCursorPosition.Y, after.dwCursorPosition.Y);
    EXPECT_EQ(before.wAttributes, after.wAttributes);

    s.Key('x', L"x", L"x");
    EXPECT_EQ(text, console.Row().substr(left, 18)) << "an ordinary key leaves the overlay";
    s.Enter(L"next");
    EXPECT_EQ(console.original, console.Row(&attributes));
    EXPECT_EQ(console.originalAttributes, attributes);

    // A second erasure does nothing: cells written since stay.
    console.Prefill();
    s.Key(KEY_CODE_ESC, L"Esc", L"");
    EXPECT_EQ(console.original, console.Row());
}

TEST(TimerOverlay, TextWiderThanTheBufferIsCut) {
    ConsoleTopRow console;
    std::wstring format(console.width + 20, L'#');
    ScopedEnvironment env(L"LAPWATCHFMT", format.c_str());
    PluginSession s(ShowTimerMode(2));
    console.Prefill();
    s.TimedLine(L"long", kSecond);
    std::wstring row = console.Row();
    EXPECT_EQ(std::wstring(console.width - 1, L'#'), row.substr(0, console.width - 1));
    EXPECT_EQ(console.original.back(), row.back());
    s.Prompt();
    EXPECT_EQ(console.original, console.Row());
}

TEST(TimerOverlay, NothingIsDrawnOverCellsThatCannotBeSaved) {
    ConsoleTopRow console;
    PluginSession s(ShowTimerMode(2));
    console.Prefill();
    {
        FailingConsoleRead unreadable(s.plugin.module);
        ASSERT_TRUE(unreadable.Applied());
        s.TimedLine(L"unsaved", kSecond);
        EXPECT_EQ(console.original, console.Row()) << "nothing drawn";
    }
    std::wstring attributes;
    s.Enter(L"next");
    EXPECT_EQ(console.original, console.Row(&attributes)) << "no overlay recorded, so no stale cells written back";
    EXPECT_EQ(console.originalAttributes, attributes);
}

TEST(TimerOverlay, RegionLongerThanTheSaveAreaRestoresItsFirst200CellsAndBlanksTheRest) {
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
    s.Enter(L"again");
    std::wstring attributes;
    row = wide.Row(&attributes);
    EXPECT_EQ(wide.original.substr(0, left + 200), row.substr(0, left + 200)) << "saved cells come back";
    EXPECT_EQ(std::wstring(50, L' '), row.substr(left + 200, 50)) << "unsaved ones become blanks";
    EXPECT_EQ(std::wstring(50, static_cast<wchar_t>(wide.info.wAttributes)), attributes.substr(left + 200, 50))
        << "in the text attributes of the time of drawing";
    EXPECT_EQ(wide.original.back(), row.back()) << "the last column was never drawn over";
    EXPECT_EQ(wide.originalAttributes.back(), attributes.back());
    SetConsoleScreenBufferSize(wide.handle, console.info.dwSize);
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
