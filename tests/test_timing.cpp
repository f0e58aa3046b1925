// The key handler and the timing state, driven through the real plug-in's
// exports with a fake clock.
#include "support/plugin_session.h"

#include <gtest/gtest.h>

namespace {

const uint64_t kSecond = 10000000;

TEST(KeyHandler, BlankOrNullLinesStartNothing) {
    PluginSession s;
    ASSERT_EQ(0, s.started);
    s.TimedLine(L"first command", kSecond);
    const wchar_t* blanks[] = {L"", L"   ", L" \t \t", nullptr};
    for (const wchar_t* line : blanks) {
        EXPECT_EQ(0, s.Key(KEY_CODE_ENTER, L"Enter", line));
        s.clock.Advance(kSecond);
        EXPECT_EQ(0, s.Key(KEY_CODE_NONE, nullptr, nullptr));
    }
    EXPECT_EQ(L"1", s.Variable("_cmdcount"));
    EXPECT_EQ(L"first", s.Variable("_lastcmd"));
    EXPECT_EQ(L"10000000", s.Variable("_cmdticks"));
}

TEST(KeyHandler, FirstWordOfTheLine) {
    PluginSession s;
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"dir /s", L"dir"},
        {L"   @echo off", L"echo"},
        {L"@@x y", L"@x"},
        {L"@ dir", L""},
        {L"\"C:\\Program Files\\tool.exe\" /v", L"\"C:\\Program Files\\tool.exe\""},
        {L"\tcopy\ta b", L"copy"},
        {L"x@y z", L"x@y"},
        {std::wstring(9000, L'w') + L" tail", std::wstring(8191, L'w')},
    };
    for (const auto& [line, word] : cases) {
        s.Enter(line.c_str());
        EXPECT_EQ(word, s.Variable("_lastcmd")) << testing::PrintToString(line.substr(0, 40));
        s.Prompt();
    }
}

TEST(KeyHandler, OrdinaryKeysAndNamesDoNothing) {
    PluginSession s;
    s.Key('a', L"a", L"dir");
    s.Key(8, L"Backspace", L"dir");
    s.Key(KEY_CODE_NONE, L"enter", L"dir");
    s.Key(KEY_CODE_NONE, L"ENTER", L"dir");
    s.Key(KEY_CODE_NONE, L"Tab", L"dir");
    EXPECT_EQ(L"0", s.Variable("_cmdcount"));
    EXPECT_EQ(L"", s.Variable("_lastcmd"));

    s.Key(KEY_CODE_NONE, L"Enter", L"named enter");
    EXPECT_EQ(L"1", s.Variable("_cmdcount")) << "a recent host's Enter by name";
    s.clock.Advance(2 * kSecond);
    s.Key(KEY_CODE_NONE, L"Esc", L"");
    EXPECT_EQ(L"20000000", s.Variable("_cmdticks")) << "Esc by name does not stop the timing";
    s.Key(KEY_CODE_ENTER, L"whatever", L"second");
    EXPECT_EQ(L"second", s.Variable("_lastcmd")) << "code 13 is Enter whatever the name";
}

TEST(KeyHandler, OldHostTreatsANamedKeyWithoutCodeAsThePrompt) {
    PluginSession s(PluginSession::Saved{}, L"23.00");
    s.Enter(L"timed");
    s.clock.Advance(3 * kSecond);
    s.Key(KEY_CODE_NONE, L"Enter", L"timed");
    EXPECT_EQ(L"1", s.Variable("_cmdcount"));
    EXPECT_EQ(L"30000000", s.Variable("_cmdticks")) << "stopped: the name was not read";
    s.clock.Advance(kSecond);
    EXPECT_EQ(L"30000000", s.Variable("_cmdticks"));
}

TEST(KeyHandler, SecondEnterKeepsTheFirstStart) {
    PluginSession s;
    s.Enter(L"one");
    s.clock.Advance(kSecond);
    s.Enter(L"two");
    s.clock.Advance(kSecond / 2);
    s.Prompt();
    EXPECT_EQ(L"1", s.Variable("_cmdcount"));
    EXPECT_EQ(L"15000000", s.Variable("_cmdticks"));
    EXPECT_EQ(L"0:00:01.500", s.Variable("_cmdtime"));
    EXPECT_EQ(L"15000000", s.Variable("_cmdtotalticks"));
    EXPECT_EQ(L"two", s.Variable("_lastcmd"));
}

TEST(KeyHandler, VariablesInsideTheLineSeeItsRunningTime) {
    PluginSession s;
    s.TimedLine(L"earlier", 5 * kSecond);
    s.Enter(L"echo %_cmdticks");
    s.clock.Advance(kSecond);
    EXPECT_EQ(L"2", s.Variable("_cmdcount"));
    EXPECT_EQ(L"10000000", s.Variable("_cmdticks"));
    EXPECT_EQ(L"60000000", s.Variable("_cmdtotalticks"));
    s.Prompt();
    EXPECT_EQ(L"60000000", s.Variable("_cmdtotalticks"));
}

TEST(KeyHandler, ALineDuringWhichTheClockWasSetBackLastedNothing) {
    PluginSession s;
    s.TimedLine(L"earlier", 3 * kSecond);
    s.Enter(L"x");
    s.clock.Set(s.clock.Now() - 500);
    s.Prompt();
    EXPECT_EQ(L"0", s.Variable("_cmdticks"));
    EXPECT_EQ(L"0:00:00.000", s.Variable("_cmdtime"));
    EXPECT_EQ(L"30000000", s.Variable("_cmdtotalticks")) << "the total does not change";
    EXPECT_EQ(L"2", s.Variable("_cmdcount")) << "the line still counts";
    s.TimedLine(L"y", 2);
    EXPECT_EQ(L"30000002", s.Variable("_cmdtotalticks")) << "later lines count from the clock as it reads now";
}

TEST(KeyHandler, TheRunningTimeIsNothingWhileTheClockReadsBeforeTheStart) {
    PluginSession s;
    s.TimedLine(L"earlier", 3 * kSecond);
    s.Enter(L"running");
    s.clock.Set(s.clock.Now() - 500);
    EXPECT_EQ(L"0", s.Variable("_cmdticks"));
    EXPECT_EQ(L"0:00:00.000", s.Variable("_cmdtime"));
    EXPECT_EQ(L"30000000", s.Variable("_cmdtotalticks"));
    EXPECT_EQ(L"0:00:03.000", s.Variable("_cmdtotaltime"));
    s.clock.Advance(500 + kSecond);
    EXPECT_EQ(L"10000000", s.Variable("_cmdticks")) << "past the start again, it runs as before";
}

TEST(KeyHandler, TheCountAndTheTotalWrapModulo2To64) {
    PluginSession s;
    EXPECT_EQ(0, s.Lapwatch(L"/K:18446744073709551615"));
    const uint64_t half = 1ull << 63;
    s.clock.Set(0);
    s.TimedLine(L"a", half);
    s.clock.Set(0);
    s.TimedLine(L"b", half + 2);
    EXPECT_EQ(L"1", s.Variable("_cmdcount"));
    EXPECT_EQ(L"2", s.Variable("_cmdtotalticks"));
}

TEST(KeyHandler, ResetPendingClearsTheTotalAtTheNextStop) {
    PluginSession s;
    s.TimedLine(L"a", 4 * kSecond);
    s.Enter(L"lapwatch /Z");
    s.clock.Advance(kSecond);
    EXPECT_EQ(0, s.Lapwatch(L"/Z"));
    EXPECT_EQ(L"0", s.Variable("_cmdtotalticks"));
    EXPECT_EQ(L"0:00:00.000", s.Variable("_cmdtotaltime"));
    s.Prompt();
    EXPECT_EQ(L"0", s.Variable("_cmdtotalticks"));
    EXPECT_EQ(L"10000000", s.Variable("_cmdticks"));
    s.TimedLine(L"b", 2 * kSecond);
    EXPECT_EQ(L"20000000", s.Variable("_cmdtotalticks"));
}

struct SlowCase { DWORD seconds; uint64_t ticks; bool runs; };

TEST(SlowCommand, RunsFromTheThresholdOn) {
    const SlowCase cases[] = {
        {10, 100000000, true}, {10, 99999999, false}, {430, kSecond, false},
        {430, 4300000000ull, true}, {0, 1000 * kSecond, false}, {1, kSecond, true},
    };
    for (const SlowCase& c : cases) {
        PluginSession::Saved saved;
        saved.slowSeconds = c.seconds;
        saved.slowCommand = L"echo slow one";
        PluginSession s(saved);
        std::wstring before = StandInCommandLog();
        s.TimedLine(L"work", c.ticks);
        std::wstring ran = std::wstring(StandInCommandLog()).substr(before.size());
        EXPECT_EQ(c.runs ? L"echo slow one\n" : L"", ran) << c.seconds << "s threshold, " << c.ticks << " ticks";
    }
}

TEST(SlowCommand, NotRunAfterALineDuringWhichTheClockWasSetBack) {
    PluginSession::Saved saved;
    saved.slowSeconds = 1;
    saved.slowCommand = L"echo slow one";
    PluginSession s(saved);
    std::wstring before = StandInCommandLog();
    s.Enter(L"work");
    s.clock.Set(s.clock.Now() - kSecond);
    s.Prompt();
    EXPECT_EQ(before, StandInCommandLog());
}

TEST(SlowCommand, NotRunWithoutOneOrAfterAnUntimedPrompt) {
    PluginSession::Saved saved;
    saved.slowSeconds = 1;
    PluginSession s(saved);
    std::wstring before = StandInCommandLog();
    s.TimedLine(L"work", 5 * kSecond);
    s.clock.Advance(5 * kSecond);
    s.Prompt();
    EXPECT_EQ(before, StandInCommandLog());
}

TEST(SlowCommand, RunsWithTheDisplayOffAndMayReplaceItself) {
    PluginSession::Saved saved;
    saved.showTimer = 0;
    saved.slowSeconds = 1;
    saved.slowCommand = L"lapwatch echo replaced";
    PluginSession s(saved);
    CapturedOutput out;
    std::wstring before = StandInCommandLog();
    s.TimedLine(L"work", 2 * kSecond);
    EXPECT_EQ(L"lapwatch echo replaced\n", std::wstring(StandInCommandLog()).substr(before.size()));
    EXPECT_NE(std::wstring::npos, out.Out().find(L"Slow-Command . . . . . . . echo replaced\r\n"));
    EXPECT_EQ(std::wstring::npos, out.Out().find(L"Lapwatch plugin"));
}

}  // namespace
