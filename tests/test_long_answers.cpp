// What the shell hands back is input: a user's noloadmsg of any length, and
// a shell that answers every variable with the longest text it may write
// (8191 characters, the stand-in's long answers), must find every buffer of
// the shipped DLL large enough. A buffer too small would smash the stack.
#include "support/expected_version.h"
#include "support/plugin_session.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const size_t kLongestAnswer = 8191;
const uint64_t kSecond = 10000000;

struct InteractiveShell {
    InteractiveShell() {
        StandInSetVariable(L"_transient", L"0");
        StandInSetVariable(L"_pipe", L"0");
    }
};

// Starts the DLL with noloadmsg set to `value` (or unset for null) and
// returns InitializePlugin's result and what start-up wrote.
int StartWithNoLoadMessage(const wchar_t* value, std::wstring* out) {
    InteractiveShell shell;
    CleanSettingsKey key;
    LoadedPlugin plugin;
    ScopedEnvironment noloadmsg(L"noloadmsg", value);
    CapturedOutput captured;
    int result = plugin.Get<InitializePluginFn>("InitializePlugin")();
    *out = captured.Out() + captured.Err();
    plugin.Get<ShutdownPluginFn>("ShutdownPlugin")(0);
    return result;
}

TEST(LoadMessage, WrittenWhileNoloadmsgIsUnset) {
    std::wstring said;
    EXPECT_EQ(0, StartWithNoLoadMessage(nullptr, &said));
    EXPECT_EQ(L"Lapwatch v" EXPECTED_VERSION_SHORT L" loaded.\r\n", said);
}

TEST(LoadMessage, SilencedByANoloadmsgOfAnyLength) {
    for (size_t length : {1u, 1022u, 1100u, 8000u}) {
        std::wstring said = L"unchanged";
        EXPECT_EQ(0, StartWithNoLoadMessage(std::wstring(length, L'x').c_str(), &said)) << length;
        EXPECT_EQ(L"", said) << length;
    }
}

// The stand-in answers every shell variable with 8191 characters.
struct LongAnswers : testing::Test {
    void SetUp() override { StandInSetLongAnswers(1); }
    void TearDown() override { StandInSetLongAnswers(0); }
};

TEST_F(LongAnswers, StartUpFindsAnOlderHostAndWritesNothing) {
    CleanSettingsKey key;
    LoadedPlugin plugin;
    CapturedOutput out;
    ASSERT_EQ(0, plugin.Get<InitializePluginFn>("InitializePlugin")());
    EXPECT_EQ(L"", out.Out()) << "neither interactive nor silenced by an empty noloadmsg";
    EXPECT_EQ(L"", out.Err());
    EXPECT_EQ(0, plugin.Get<ShutdownPluginFn>("ShutdownPlugin")(0));
}

TEST_F(LongAnswers, KeyNamesAreNotReadFromAnUnknownHost) {
    PluginSession s;    // host version 0: the long answer is not a version
    ASSERT_EQ(0, s.started);
    s.Enter(L"line");
    s.clock.Advance(kSecond);
    s.Key(KEY_CODE_NONE, L"F12", nullptr);
    EXPECT_EQ(L"10000000", s.Variable("_cmdticks")) << "a named key is the prompt event";
}

TEST_F(LongAnswers, ErrorPrefixHoldsTheLongestBatchName) {
    PluginSession s;
    CapturedOutput out;
    std::wstring argument = L"abc";
    std::wstring buffer(8192, L'\0');
    argument.copy(buffer.data(), argument.size());
    EXPECT_EQ(-1, s.plugin.Get<VariableFn>("f_tickstotime")(buffer.data()));
    // "%_batchname [%_batchline]  " expands to the shell's longest text.
    EXPECT_EQ(L"Lapwatch plugin: " + std::wstring(kLongestAnswer, L'x') + L"Bad number: \"ABC\"\r\n", out.Err());
}

TEST_F(LongAnswers, TimerTextOfTheLongestExpansion) {
    ConsoleTopRow console;
    ScopedEnvironment format(L"LAPWATCHFMT", L"[%_cmdcount] %_batchname");
    StandInSetStatusBar(1);
    PluginSession s(ShowTimerMode(3));
    console.Prefill();
    s.TimedLine(L"long", kSecond);
    std::wstring status = StandInStatusText();
    EXPECT_EQ(kLongestAnswer, status.size());
    EXPECT_EQ(0u, status.rfind(L"[1] xxx", 0));
    std::wstring row = console.Row();
    EXPECT_EQ(L"[1] " + std::wstring(console.width - 5, L'x'), row.substr(0, console.width - 1));
    s.Prompt();
    EXPECT_EQ(console.original, console.Row());
    StandInSetStatusBar(0);
}

}  // namespace
