// The timer variables and variable functions, called as the shell calls
// them, over timing states set up directly.
#include "plugin/exports.h"
#include "plugin/shell_text.h"
#include "support/harness.h"
#include "timing/timing_state.h"
#include "text/clock_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>


namespace {

typedef VariableFn Entry;

const size_t kBufferChars = 8192;
const wchar_t kFill = L'#';
const uint64_t kYear2000 = 125911584000000000ull;

struct Named {
    const char* name;
    Entry entry;
};
const Named kAllNine[] = {
    {"_cmdcount", _cmdcount}, {"_cmdticks", _cmdticks}, {"_cmdtime", _cmdtime},
    {"_cmdtotalticks", _cmdtotalticks}, {"_cmdtotaltime", _cmdtotaltime}, {"_lastcmd", _lastcmd},
    {"_ticks", _ticks}, {"f_tickstotime", f_tickstotime}, {"f_tickstotimed", f_tickstotimed},
};

// A shell result buffer holding `argument`, the rest prefilled with kFill.
struct ResultBuffer {
    explicit ResultBuffer(const std::wstring& argument = L"") : chars(kBufferChars, kFill) {
        std::wmemcpy(chars.data(), argument.c_str(), argument.size() + 1);
        before = chars;
    }
    // Calls the entry point; checks that nothing after the new terminator
    // changed, then returns the text.
    std::wstring Call(Entry entry, int expected = 0) {
        EXPECT_EQ(expected, entry(chars.data()));
        size_t length = std::wcslen(chars.data());
        for (size_t i = length + 1; i < kBufferChars; ++i) {
            if (chars[i] != before[i]) {
                ADD_FAILURE() << "written past the terminator at " << i;
                break;
            }
        }
        return chars.data();
    }
    std::vector<wchar_t> chars;
    std::vector<wchar_t> before;
};

std::wstring Read(Entry entry) {
    ResultBuffer buffer;
    return buffer.Call(entry);
}

class Variables : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        ShutdownTiming();
        std::memset(&g_timing, 0, sizeof g_timing);
    }
    FakeClock clock;
};

TEST_F(Variables, FreshStateReadsZeroAndEmpty) {
    EXPECT_EQ(L"0", Read(_cmdcount));
    EXPECT_EQ(L"0", Read(_cmdticks));
    EXPECT_EQ(L"0:00:00.000", Read(_cmdtime));
    EXPECT_EQ(L"0", Read(_cmdtotalticks));
    EXPECT_EQ(L"0:00:00.000", Read(_cmdtotaltime));
    EXPECT_EQ(L"", Read(_lastcmd));
}

struct StateCase {
    const char* what;
    int active;
    uint64_t startBeforeNow;       // start time = now - this
    uint64_t commandCount, lastDuration, total;
    int resetPending;
    const wchar_t *count, *ticks, *time, *totalTicks, *totalTime;
};

const StateCase kStates[] = {
    {"idle", 0, 0, 3, 15000000, 864000010000ull, 0,
     L"3", L"15000000", L"0:00:01.500", L"864000010000", L"24:00:00.001"},
    {"idle, start time ignored", 0, 777, 1, 4999, 5000, 0,
     L"1", L"4999", L"0:00:00.000", L"5000", L"0:00:00.001"},
    {"active: running time, not the last duration", 1, 12345678, 4, 999, 1000, 0,
     L"4", L"12345678", L"0:00:01.235", L"12346678", L"0:00:01.235"},
    {"active, clock set back by one tick: no running time yet", 1, UINT64_MAX, 1, 0, 10, 0,
     L"1", L"0", L"0:00:00.000", L"10", L"0:00:00.000"},
    {"reset pending, idle", 0, 0, 2, 30000000, 50000000, 1,
     L"2", L"30000000", L"0:00:03.000", L"0", L"0:00:00.000"},
    {"reset pending, active", 1, 20000000, 5, 30000000, 50000000, 1,
     L"5", L"20000000", L"0:00:02.000", L"0", L"0:00:00.000"},
    {"largest count and total", 0, 0, UINT64_MAX, 0, UINT64_MAX, 0,
     L"18446744073709551615", L"0", L"0:00:00.000", L"18446744073709551615", L"512409557:36:10.955"},
};

TEST_F(Variables, ResultsFollowTheTimingState) {
    for (const StateCase& c : kStates) {
        SCOPED_TRACE(c.what);
        clock.Set(kYear2000);
        g_timing.active = c.active;
        g_timing.startTime = kYear2000 - c.startBeforeNow;
        g_timing.commandCount = c.commandCount;
        g_timing.lastDuration = c.lastDuration;
        g_timing.total = c.total;
        g_timing.resetPending = c.resetPending;
        TimingState before = g_timing;

        EXPECT_EQ(c.count, Read(_cmdcount));
        EXPECT_EQ(c.ticks, Read(_cmdticks));
        EXPECT_EQ(c.time, Read(_cmdtime));
        EXPECT_EQ(c.totalTicks, Read(_cmdtotalticks));
        EXPECT_EQ(c.totalTime, Read(_cmdtotaltime));
        EXPECT_EQ(0, std::memcmp(&before, &g_timing, sizeof before)) << "timing state changed";
    }
}

TEST_F(Variables, RunningTimeIsReadAfreshInEachCall) {
    g_timing.active = 1;
    g_timing.startTime = clock.Now();
    g_timing.total = 7;
    EXPECT_EQ(L"0", Read(_cmdticks));
    clock.Advance(15000000);
    EXPECT_EQ(L"15000000", Read(_cmdticks));
    EXPECT_EQ(L"15000007", Read(_cmdtotalticks));
    clock.Advance(864000000000ull);
    EXPECT_EQ(L"24:00:01.500", Read(_cmdtime));
    EXPECT_EQ(L"24:00:01.500", Read(_cmdtotaltime));
}

TEST_F(Variables, TicksIsTheSystemTime) {
    clock.Set(kYear2000);
    EXPECT_EQ(L"125911584000000000", Read(_ticks));
    clock.Set(UINT64_MAX);
    EXPECT_EQ(L"18446744073709551615", Read(_ticks));
    clock.Set(0);
    EXPECT_EQ(L"0", Read(_ticks));
}

TEST_F(Variables, LastCommandWord) {
    g_timing.lastCommandWord = DuplicateText(L"\"C:\\Program Files\\x.exe\"");
    EXPECT_EQ(L"\"C:\\Program Files\\x.exe\"", Read(_lastcmd));

    ShutdownTiming();
    std::wstring longest(SHELL_TEXT_MAX_CHARS, L'w');
    g_timing.lastCommandWord = DuplicateText(longest.c_str());
    ResultBuffer buffer(L"leftover");
    EXPECT_EQ(longest, buffer.Call(_lastcmd));
    EXPECT_EQ(L'\0', buffer.chars[kBufferChars - 1]);

    ShutdownTiming();
    ResultBuffer empty(L"leftover");
    EXPECT_EQ(L"", empty.Call(_lastcmd));
}

TEST_F(Variables, NullBufferFailsWithoutOutput) {
    CapturedOutput output;
    g_timing.active = 1;
    for (const Named& n : kAllNine)
        EXPECT_EQ(-1, n.entry(nullptr)) << n.name;
    EXPECT_EQ(L"", output.Out());
    EXPECT_EQ(L"", output.Err());
}

struct FunctionCase {
    const wchar_t* argument;
    const wchar_t* hours;          // result of @tickstotime
    const wchar_t* days;           // result of @tickstotimed
};

const FunctionCase kConversions[] = {
    {L"864000010000", L"24:00:00.001", L"1 00:00:00.001"},
    {L"0x2710", L"0:00:00.001", L"0 00:00:00.001"},
    {L"0X0x2710", L"0:00:00.001", L"0 00:00:00.001"},
    {L"0", L"0:00:00.000", L"0 00:00:00.000"},
    {L"00004999", L"0:00:00.000", L"0 00:00:00.000"},
    {L"18446744073709551615", L"512409557:36:10.955", L"21350398 05:36:10.955"},
    {L"0xffffffffffffffff", L"512409557:36:10.955", L"21350398 05:36:10.955"},
};

TEST_F(Variables, TicksToTimeConvertsItsArgument) {
    CapturedOutput output;
    for (const FunctionCase& c : kConversions) {
        ResultBuffer hours(c.argument);
        EXPECT_EQ(c.hours, hours.Call(f_tickstotime)) << c.argument;
        ResultBuffer days(c.argument);
        EXPECT_EQ(c.days, days.Call(f_tickstotimed)) << c.argument;
    }
    EXPECT_EQ(L"", output.Err());
    EXPECT_EQ(L"", output.Out());
}

struct BadCase {
    const wchar_t* argument;
    const wchar_t* upperCased;
};

const BadCase kBadNumbers[] = {
    {L"abc", L"ABC"},
    {L" 5", L" 5"},
    {L"5 ", L"5 "},
    {L"-1", L"-1"},
    {L"0xfg", L"0XFG"},
    {L"12s", L"12S"},
    {L"18446744073709551616", L"18446744073709551616"},
    {L"0x10000000000000000", L"0X10000000000000000"},
    {L"\x00e9t\x00e9", L"\x00e9T\x00e9"},   // only a to z change
};

TEST_F(Variables, BadNumberIsUpperCasedAndReported) {
    for (Entry entry : {f_tickstotime, f_tickstotimed}) {
        for (const BadCase& c : kBadNumbers) {
            CapturedOutput output;
            ResultBuffer buffer(c.argument);
            EXPECT_EQ(c.upperCased, buffer.Call(entry, -1));
            EXPECT_EQ(std::wstring(L"Lapwatch plugin: Bad number: \"") + c.upperCased + L"\"\r\n", output.Err());
            EXPECT_EQ(L"", output.Out());
        }
    }
}

TEST_F(Variables, EmptyArgumentIsMissing) {
    for (Entry entry : {f_tickstotime, f_tickstotimed}) {
        CapturedOutput output;
        ResultBuffer buffer(L"");
        EXPECT_EQ(L"", buffer.Call(entry, -1));
        EXPECT_EQ(L"Lapwatch plugin: Missing ticks count\r\n", output.Err());
        EXPECT_EQ(L"", output.Out());
    }
}

TEST_F(Variables, TicksToTimeAgreesWithTheTimeVariables) {
    g_timing.lastDuration = 1234567890;
    g_timing.total = 864000014999ull;
    ResultBuffer ticks;
    ticks.Call(_cmdticks);
    EXPECT_EQ(Read(_cmdtime), ticks.Call(f_tickstotime));
    ResultBuffer total;
    total.Call(_cmdtotalticks);
    EXPECT_EQ(Read(_cmdtotaltime), total.Call(f_tickstotime));
}

// The real DLL exports the entry points under their plain names and keeps a
// timing state of its own, fresh at load.
TEST(VariableExports, CallableThroughTheLoadedPlugin) {
    LoadedPlugin plugin;
    ASSERT_NE(nullptr, plugin.module);
    for (const Named& n : kAllNine) {
        EXPECT_NE(nullptr, plugin.Export(n.name)) << n.name;
        std::string decorated = std::string(n.name) + "@4";
        EXPECT_EQ(nullptr, plugin.Export(decorated.c_str())) << decorated;
    }

    auto get = [&plugin](const char* name) {
        // Through a generic function pointer: FARPROC takes no arguments.
        return reinterpret_cast<VariableFn>(reinterpret_cast<void (*)(void)>(plugin.Export(name)));
    };
    VariableFn count = get("_cmdcount");
    VariableFn time = get("_cmdtime");
    VariableFn toTimed = get("f_tickstotimed");
    VariableFn ticks = get("_ticks");
    ASSERT_TRUE(count && time && toTimed && ticks);
    EXPECT_EQ(L"0", Read(count));
    EXPECT_EQ(L"0:00:00.000", Read(time));
    ResultBuffer argument(L"864000010000");
    EXPECT_EQ(L"1 00:00:00.001", argument.Call(toTimed));

    FakeClock pluginClock(plugin.module, kYear2000);
    EXPECT_EQ(L"125911584000000000", Read(ticks));
}

}  // namespace
