// Help and Usage: which names they answer and exactly what they hand over.
#include <gtest/gtest.h>

#include "command/help_text.h"
#include "plugin/exports.h"
#include "support/harness.h"
#include "support/system_fakes.h"

#include <algorithm>
#include <string>
#include <vector>


namespace {

const size_t kHelpLength = 795;
const size_t kUsageLength = 749;
const size_t kUsageBufferChars = 1024;

class HelpTest : public testing::Test {
protected:
    HelpTest() : boxes_(TestProgramModule()) {}
    void SetUp() override {
        // Without the patch a real message box would wait for a click.
        ASSERT_TRUE(boxes_.Applied());
    }
    RecordedMessageBoxes boxes_;
};

int CallHelp(const wchar_t* name) {
    std::wstring copy = name;
    return Help(copy.data());
}

const std::wstring kCommandHelp = COMMAND_HELP_TEXT;

TEST(HelpText, HasItsExactShape) {
    EXPECT_EQ(kHelpLength, kCommandHelp.size());
    EXPECT_EQ(0u, kCommandHelp.rfind(L"Display or change Lapwatch plugin settings. \n\n", 0));
    const std::wstring tail = L"a \u2018slow\u2019 command; 10 is the default, 0 disables this feature.\n";
    EXPECT_EQ(tail, kCommandHelp.substr(kHelpLength - tail.size()));
    EXPECT_NE(std::wstring::npos, kCommandHelp.find(L"A \u2018command\u2019 is any line"));
    EXPECT_NE(std::wstring::npos, kCommandHelp.find(L"prompt is displayed again.  \n"));
    EXPECT_NE(std::wstring::npos, kCommandHelp.find(L"\t/S \tsave current settings to the registry \n"));
    // One carriage return only, at the end of the syntax line.
    size_t cr = kCommandHelp.find(L'\r');
    EXPECT_EQ(L"slow-command \r\n", kCommandHelp.substr(cr - 13, 15));
    EXPECT_EQ(std::wstring::npos, kCommandHelp.find(L'\r', cr + 1));
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
        boxes_.Clear();
        EXPECT_EQ(1, CallHelp(c.name));
        const std::vector<MessageBoxCall>& boxes = boxes_.Calls();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(kForegroundWindow, boxes[0].owner);
        EXPECT_EQ(c.text, boxes[0].text);
        EXPECT_EQ(L"Lapwatch Plugin Help", boxes[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK), boxes[0].type);
    }
}

TEST_F(HelpTest, IgnoresOtherNames) {
    // Only a to z fold: a capital I with a dot (U+0130) is not "i".
    for (const wchar_t* name : {L"tickstotime", L"cmdcount", L"", L"lapwatch ", L"_cmd", L"lapwatchx",
                                L"LAPWATCH\u0130", L"_t\u0130cks", L"f_tickstotime"}) {
        SCOPED_TRACE(testing::Message() << "name: " << std::wstring(name));
        EXPECT_EQ(0, CallHelp(name));
    }
    EXPECT_TRUE(boxes_.Calls().empty());
}

TEST(Usage, HandsOverTheSyntaxAndExplanation) {
    for (const wchar_t* name : {L"lapwatch", L"LapWatch"}) {
        std::wstring nameCopy = name;
        std::vector<wchar_t> buffer(kUsageBufferChars, L'#');
        EXPECT_EQ(1, Usage(nameCopy.data(), buffer.data()));
        std::wstring usage(buffer.data());
        EXPECT_EQ(kUsageLength, usage.size());
        EXPECT_EQ(kCommandHelp.substr(kHelpLength - kUsageLength), usage);
        EXPECT_EQ(0u, usage.rfind(L"LAPWATCH /B:n /C:n", 0));
        EXPECT_EQ(L"0 disables this feature.\n", usage.substr(kUsageLength - 25));
        // Nothing written past the terminator.
        EXPECT_EQ(L'#', buffer[kUsageLength + 1]);
    }
}

TEST(Usage, LeavesTheBufferAloneForOtherNames) {
    for (const wchar_t* name : {L"_cmdcount", L"@tickstotime", L"", L"lapwatchx", L"lap"}) {
        SCOPED_TRACE(testing::Message() << "name: " << std::wstring(name));
        std::wstring nameCopy = name;
        std::vector<wchar_t> buffer(kUsageBufferChars, L'#');
        EXPECT_EQ(0, Usage(nameCopy.data(), buffer.data()));
        EXPECT_EQ(static_cast<long>(kUsageBufferChars), std::count(buffer.begin(), buffer.end(), L'#'));
    }
}

TEST(Usage, IsExportedByTheLibrary) {
    LoadedPlugin plugin;
    auto usage = plugin.Get<UsageFn>("Usage");
    ASSERT_NE(nullptr, usage);
    std::vector<wchar_t> buffer(kUsageBufferChars, L'#');
    wchar_t name[] = L"lapwatch";
    EXPECT_EQ(1, usage(name, buffer.data()));
    EXPECT_EQ(kCommandHelp.substr(kHelpLength - kUsageLength), std::wstring(buffer.data()));
}

}  // namespace
