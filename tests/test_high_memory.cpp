// Every entry point that takes a text, given texts, records and buffers at
// the top of the address space (above 4 GiB in a 64-bit process), each
// ending at a no-access page: a pointer squeezed into 32 bits faults or
// loses the text, and the texts must come back intact.
#include "support/guarded_memory.h"
#include "support/plugin_session.h"
#include "support/system_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const size_t kResultChars = 8192;
const size_t kUsageChars = 1024;

// A text in memory of its own; asserts that it lies where it should.
struct HighText {
    explicit HighText(const std::wstring& text, size_t chars = 0) : memory((chars ? chars : text.size() + 1) * sizeof(wchar_t)) {
        at = chars ? memory.Tail<wchar_t>(chars) : memory.Text(text);
        if (chars)
            wcscpy(at, text.c_str());
    }
    GuardedMemory memory;
    wchar_t* at;
};

void ExpectHigh(const void* address) {
    ASSERT_NE(nullptr, address);
    if (sizeof(void*) == 8) {
        ASSERT_GE(reinterpret_cast<uintptr_t>(address), kFourGiB);
    }
}

TEST(HighMemory, KeyEventsAndTheirTexts) {
    PluginSession s;
    ASSERT_EQ(0, s.started);
    auto key = s.plugin.Get<KeyHandlerFn>("key");
    HighText line(L"highword and more");
    HighText name(L"Enter");
    GuardedMemory recordMemory(sizeof(KeyEvent));
    KeyEvent* event = recordMemory.Tail<KeyEvent>(1);
    ExpectHigh(event);
    ExpectHigh(line.at);

    *event = KeyEvent{};
    event->keyCode = KEY_CODE_NONE;
    event->keyName = name.at;
    event->commandLine = line.at;
    EXPECT_EQ(0, key(event));
    EXPECT_EQ(L"highword", s.Variable("_lastcmd"));
    EXPECT_EQ(L"highword and more", std::wstring(line.at)) << "the line is not changed";

    s.clock.Advance(12340000);
    *event = KeyEvent{};
    EXPECT_EQ(0, key(event));
    EXPECT_EQ(L"12340000", s.Variable("_cmdticks"));
}

TEST(HighMemory, VariablesWriteIntoTheShellsBuffer) {
    PluginSession s;
    s.TimedLine(L"first line", 12340000);
    const std::pair<const char*, std::wstring> expected[] = {
        {"_cmdcount", L"1"}, {"_cmdticks", L"12340000"}, {"_cmdtime", L"0:00:01.234"},
        {"_cmdtotalticks", L"12340000"}, {"_cmdtotaltime", L"0:00:01.234"}, {"_lastcmd", L"first"},
        {"_ticks", std::to_wstring(s.clock.Now())},
    };
    for (const auto& [name, value] : expected) {
        HighText buffer(L"", kResultChars);
        ExpectHigh(buffer.at);
        EXPECT_EQ(0, s.plugin.Get<VariableFn>(name)(buffer.at)) << name;
        EXPECT_EQ(value, std::wstring(buffer.at)) << name;
    }
}

TEST(HighMemory, VariableFunctionsReadTheirArgumentInPlace) {
    PluginSession s;
    const struct { const char* name; const wchar_t* argument; const wchar_t* result; } cases[] = {
        {"f_tickstotime", L"864000010000", L"24:00:00.001"},
        {"f_tickstotimed", L"864000010000", L"1 00:00:00.001"},
        {"f_tickstotime", L"0x2710", L"0:00:00.001"},
    };
    for (const auto& c : cases) {
        HighText buffer(c.argument, kResultChars);
        ExpectHigh(buffer.at);
        EXPECT_EQ(0, s.plugin.Get<VariableFn>(c.name)(buffer.at)) << c.name;
        EXPECT_EQ(c.result, std::wstring(buffer.at)) << c.name;
    }
    CapturedOutput out;
    HighText bad(L"abc", kResultChars);
    EXPECT_EQ(-1, s.plugin.Get<VariableFn>("f_tickstotime")(bad.at));
    EXPECT_EQ(L"ABC", std::wstring(bad.at));
    EXPECT_EQ(L"Lapwatch plugin: Bad number: \"ABC\"\r\n", out.Err());
}

TEST(HighMemory, TheCommandsArgumentsBecomeTheSlowCommand) {
    PluginSession s;
    CapturedOutput out;
    HighText arguments(L"/T:1 echo from high memory");
    ExpectHigh(arguments.at);
    EXPECT_EQ(0, s.plugin.Get<CommandFn>("lapwatch")(arguments.at));
    EXPECT_NE(std::wstring::npos, out.Out().find(L"   Slow-Command . . . . . . . echo from high memory\r\n"));
    std::wstring before = StandInCommandLog();
    s.TimedLine(L"slow", 20000000);
    EXPECT_EQ(L"echo from high memory\n", std::wstring(StandInCommandLog()).substr(before.size()));

    HighText unknown(L"/q");
    out.Clear();
    EXPECT_EQ(1, s.plugin.Get<CommandFn>("lapwatch")(unknown.at));
    EXPECT_EQ(L"Lapwatch plugin: Unknown option \"/q\"\r\n", out.Err());
}

TEST(HighMemory, HelpAndUsageNames) {
    LoadedPlugin plugin;
    RecordedMessageBoxes boxes(plugin.module);
    ASSERT_TRUE(boxes.Applied());
    HighText name(L"_CMDTIME");
    ExpectHigh(name.at);
    EXPECT_EQ(1, plugin.Get<HelpFn>("Help")(name.at));
    EXPECT_EQ(L"_CMDTIME \r\n\nReturns the duration of the last command,  \nas H:MM:SS.mmm\n", boxes.LastText());

    HighText usageName(L"lapwatch");
    HighText buffer(L"", kUsageChars);
    ExpectHigh(buffer.at);
    EXPECT_EQ(1, plugin.Get<UsageFn>("Usage")(usageName.at, buffer.at));
    std::wstring usage = buffer.at;
    EXPECT_EQ(749u, usage.size());
    EXPECT_EQ(0u, usage.rfind(L"LAPWATCH /B:n /C:n", 0));
}

}  // namespace
