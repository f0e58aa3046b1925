// Help and Usage: which names they answer and exactly what they hand over.
#include <gtest/gtest.h>

#include "command/help_text.h"
#include "plugin/exports.h"
#include "support/harness.h"

#include <algorithm>
#include <string>
#include <vector>


namespace {

const size_t kHelpLength = 795;
const size_t kUsageLength = 749;
const size_t kUsageBufferChars = 1024;
HWND const kForeground = reinterpret_cast<HWND>(0x4321);

struct BoxCall {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};
std::vector<BoxCall> g_boxes;

int WINAPI FakeMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    g_boxes.push_back({owner, text ? text : L"(null)", caption ? caption : L"(null)", type});
    return IDOK;
}

HWND WINAPI FakeGetForegroundWindow() { return kForeground; }

class HelpTest : public testing::Test {
protected:
    HelpTest()
        : box_(TestProgramModule(), "USER32.dll", "MessageBoxW", reinterpret_cast<void*>(&FakeMessageBoxW)),
          foreground_(TestProgramModule(), "USER32.dll", "GetForegroundWindow",
                      reinterpret_cast<void*>(&FakeGetForegroundWindow)) {
        g_boxes.clear();
    }
    void SetUp() override {
        // Without the patch a real message box would wait for a click.
        ASSERT_TRUE(box_.Applied());
        ASSERT_TRUE(foreground_.Applied());
    }
    ImportPatch box_;
    ImportPatch foreground_;
};

int CallHelp(const wchar_t* name) {
    std::wstring copy = name;
    return Help(copy.data());
}

const std::wstring kCommandHelp = COMMAND_HELP_TEXT;

TEST(HelpText, HasItsExactShape) {
    EXPECT_EQ(kCommandHelp.size(), kHelpLength);
    EXPECT_EQ(kCommandHelp.rfind(L"Display or change Lapwatch plugin settings. \n\n", 0), 0u);
    const std::wstring tail = L"a \u2018slow\u2019 command; 10 is the default, 0 disables this feature.\n";
    EXPECT_EQ(kCommandHelp.substr(kHelpLength - tail.size()), tail);
    EXPECT_NE(kCommandHelp.find(L"A \u2018command\u2019 is any line"), std::wstring::npos);
    EXPECT_NE(kCommandHelp.find(L"prompt is displayed again.  \n"), std::wstring::npos);
    EXPECT_NE(kCommandHelp.find(L"\t/S \tsave current settings to the registry \n"), std::wstring::npos);
    // One carriage return only, at the end of the syntax line.
    size_t cr = kCommandHelp.find(L'\r');
    EXPECT_EQ(kCommandHelp.substr(cr - 13, 15), L"slow-command \r\n");
    EXPECT_EQ(kCommandHelp.find(L'\r', cr + 1), std::wstring::npos);
}

TEST_F(HelpTest, ShowsTheTextOfEachName) {
    const struct {
        const wchar_t* name;
        std::wstring text;
    } cases[] = {
        {L"lapwatch", kCommandHelp},
        {L"LAPWATCH", kCommandHelp},
        {L"Lapwatch", kCommandHelp},
        {L"_cmdcount", L"_CMDCOUNT \r\n\nReturns the number of times the command  \ncounter has been started.\n"},
        {L"_cmdticks", L"_CMDTICKS \r\n\nReturns the duration of the last command,  \nin 100 ns ticks.\n"},
        {L"_CMDTIME", L"_CMDTIME \r\n\nReturns the duration of the last command,  \nas H:MM:SS.mmm\n"},
        {L"_cmdTotalTicks", L"_CMDTOTALTICKS \r\n\nReturns the total of command durations,  \nin 100 ns ticks.\n"},
        {L"_cmdtotaltime", L"_CMDTOTALTIME \r\n\nReturns the total of command durations, as  \nH:MM:SS.mmm\n"},
        {L"_lastcmd", L"_LASTCMD \r\n\nReturns the first word from the last command  \nline entered.\n"},
        {L"_ticks", L"_TICKS \r\n\nReturns the number of 100 ns ticks since  \n1601-01-01 00:00:00 UTC.\n"},
        {L"@tickstotime", L"@TICKSTOTIME \r\n\nConverts a count of 100 ns ticks to  \nH:MM:SS.mmm format.\n"},
        {L"@TicksToTimeD", L"@TICKSTOTIMED \r\n\nConverts a count of 100 ns ticks to  \nDDD HH:MM:SS.mmm format.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "name: " << std::wstring(c.name));
        g_boxes.clear();
        EXPECT_EQ(CallHelp(c.name), 1);
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].owner, kForeground);
        EXPECT_EQ(g_boxes[0].text, c.text);
        EXPECT_EQ(g_boxes[0].caption, L"Lapwatch Plugin Help");
        EXPECT_EQ(g_boxes[0].type, static_cast<UINT>(MB_OK));
    }
}

TEST_F(HelpTest, IgnoresOtherNames) {
    // Only a to z fold: a capital I with a dot (U+0130) is not "i".
    for (const wchar_t* name : {L"tickstotime", L"cmdcount", L"", L"lapwatch ", L"_cmd", L"lapwatchx",
                                L"LAPWATCH\u0130", L"_t\u0130cks", L"f_tickstotime"}) {
        SCOPED_TRACE(testing::Message() << "name: " << std::wstring(name));
        EXPECT_EQ(CallHelp(name), 0);
    }
    EXPECT_TRUE(g_boxes.empty());
}

TEST(Usage, HandsOverTheSyntaxAndExplanation) {
    for (const wchar_t* name : {L"lapwatch", L"LapWatch"}) {
        std::wstring nameCopy = name;
        std::vector<wchar_t> buffer(kUsageBufferChars, L'#');
        EXPECT_EQ(Usage(nameCopy.data(), buffer.data()), 1);
        std::wstring usage(buffer.data());
        EXPECT_EQ(usage.size(), kUsageLength);
        EXPECT_EQ(usage, kCommandHelp.substr(kHelpLength - kUsageLength));
        EXPECT_EQ(usage.rfind(L"LAPWATCH /B:n /C:n", 0), 0u);
        EXPECT_EQ(usage.substr(kUsageLength - 25), L"0 disables this feature.\n");
        // Nothing written past the terminator.
        EXPECT_EQ(buffer[kUsageLength + 1], L'#');
    }
}

TEST(Usage, LeavesTheBufferAloneForOtherNames) {
    for (const wchar_t* name : {L"_cmdcount", L"@tickstotime", L"", L"lapwatchx", L"lap"}) {
        SCOPED_TRACE(testing::Message() << "name: " << std::wstring(name));
        std::wstring nameCopy = name;
        std::vector<wchar_t> buffer(kUsageBufferChars, L'#');
        EXPECT_EQ(Usage(nameCopy.data(), buffer.data()), 0);
        EXPECT_EQ(std::count(buffer.begin(), buffer.end(), L'#'), static_cast<long>(kUsageBufferChars));
    }
}

TEST(Usage, IsExportedByTheLibrary) {
    LoadedPlugin plugin;
    auto usage = reinterpret_cast<UsageFn>(reinterpret_cast<void*>(plugin.Export("Usage")));
    ASSERT_NE(usage, nullptr);
    std::vector<wchar_t> buffer(kUsageBufferChars, L'#');
    wchar_t name[] = L"lapwatch";
    EXPECT_EQ(usage(name, buffer.data()), 1);
    EXPECT_EQ(std::wstring(buffer.data()), kCommandHelp.substr(kHelpLength - kUsageLength));
}

}  // namespace
