// What the plug-in does with what a careful shell never hands it: null
// pointers at every entry point and internal operation that takes one, and
// a console whose screen-buffer information cannot be read.
#include "plugin/exports.h"
#include "plugin/shell_text.h"
#include "support/plugin_session.h"
#include "overlay/console_overlay.h"
#include "timing/timing_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(NullArguments, EntryPointsRefuseWithoutTouchingAnything) {
    PluginSession s;
    s.TimedLine(L"before", 10000000);
    CapturedOutput out;
    EXPECT_EQ(0, s.plugin.Get<KeyHandlerFn>("key")(nullptr));
    EXPECT_EQ(0, s.plugin.Get<HelpFn>("Help")(nullptr));
    std::vector<wchar_t> buffer(1024, L'#');
    EXPECT_EQ(0, s.plugin.Get<UsageFn>("Usage")(nullptr, buffer.data()));
    EXPECT_EQ(std::wstring(1024, L'#'), std::wstring(buffer.begin(), buffer.end())) << "the buffer stays untouched";
    wchar_t name[] = L"lapwatch";
    EXPECT_EQ(0, s.plugin.Get<UsageFn>("Usage")(name, nullptr));
    EXPECT_EQ(-1, s.plugin.Get<CommandFn>("lapwatch")(nullptr));
    EXPECT_EQ(L"", out.Out());
    EXPECT_EQ(L"", out.Err());
    EXPECT_EQ(L"1", s.Variable("_cmdcount"));
    EXPECT_EQ(L"before", s.Variable("_lastcmd"));
}

TEST(NullArguments, InternalOperationsFail) {
    // The test program's own copy of the plug-in's code.
    ASSERT_EQ(0, CaptureFirstWord(L"kept word"));
    EXPECT_EQ(-1, CaptureFirstWord(nullptr));
    ASSERT_NE(nullptr, g_timing.lastCommandWord);
    EXPECT_STREQ(L"kept", g_timing.lastCommandWord) << "a null text leaves the last word as it was";
    ShutdownTiming();
    EXPECT_EQ(-1, QuietExpand(nullptr));
    DrawTimerOverlay(nullptr, 0x1F);    // and does not fault
}

int g_consoleWrites;
BOOL WINAPI NoScreenBufferInfo(HANDLE, CONSOLE_SCREEN_BUFFER_INFO*) { return FALSE; }
BOOL WINAPI CountedWriteConsoleOutputW(HANDLE, const CHAR_INFO*, COORD, COORD, SMALL_RECT*) {
    return ++g_consoleWrites, TRUE;
}

TEST(ConsoleFailures, UnreadableScreenBufferDrawsNothingAndRecordsNoOverlay) {
    PluginSession::Saved saved;
    saved.showTimer = 2;    // the overlay only
    PluginSession s(saved);
    ASSERT_EQ(0, s.started);
    ImportPatch info(s.plugin.module, "KERNEL32.dll", "GetConsoleScreenBufferInfo",
                     reinterpret_cast<void*>(&NoScreenBufferInfo));
    ImportPatch write(s.plugin.module, "KERNEL32.dll", "WriteConsoleOutputW",
                      reinterpret_cast<void*>(&CountedWriteConsoleOutputW));
    ASSERT_TRUE(info.Applied() && write.Applied());
    g_consoleWrites = 0;
    s.TimedLine(L"timed", 10000000);
    EXPECT_EQ(L"10000000", s.Variable("_cmdticks")) << "timing goes on";
    s.Key(KEY_CODE_ESC, L"Esc", L"");
    s.Enter(L"next");
    EXPECT_EQ(0, g_consoleWrites) << "nothing drawn, so nothing to put back";
}

}  // namespace
