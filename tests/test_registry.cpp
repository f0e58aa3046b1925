// Saved settings: what a load accepts, what a save writes, and what happens
// when the registry refuses.
#include "support/harness.h"
#include "support/plugin_session.h"
#include "support/system_fakes.h"

#include "settings/settings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct RegistryTest : testing::Test {
    CleanSettingsKey key;
    void SetUp() override {
        RestoreDefaultSettings();
        // Sentinels that no load below writes by accident.
        g_settings.showTimer = 0xABCD;
        g_settings.slowSeconds = 0x12345678;
        g_settings.timerColors = 0x2E;
    }
    void TearDown() override { RestoreDefaultSettings(); }
    static void WriteText(HKEY root, const wchar_t* name, DWORD type, const std::wstring& text, bool terminated = true) {
        WriteRaw(root, name, type, text.c_str(), static_cast<DWORD>((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t)));
    }
};

TEST_F(RegistryTest, MissingKeyChangesNothing) {
    EXPECT_EQ(1, LoadSettings(HKEY_CURRENT_USER));
    EXPECT_EQ(0xABCDu, g_settings.showTimer);
    EXPECT_EQ(0x12345678u, g_settings.slowSeconds);
    EXPECT_EQ(0x2E, g_settings.timerColors);
}

struct DwordCase { const wchar_t* name; DWORD value; bool accepted; };

TEST_F(RegistryTest, DwordRangesAndFoundRule) {
    const DwordCase cases[] = {
        {L"ShowTimer", 0xFFFF, true}, {L"ShowTimer", 0, true}, {L"ShowTimer", 0x10000, false},
        {L"SlowCommandTime", 0, true}, {L"SlowCommandTime", 0xFFFFFFFF, true},
        {L"TextBarColors", 0x1F, true}, {L"TextBarColors", 0xF0, true}, {L"TextBarColors", 0x00, false},
        {L"TextBarColors", 0x11, false}, {L"TextBarColors", 0x77, false}, {L"TextBarColors", 0x100, false},
    };
    for (const DwordCase& c : cases) {
        CleanSettingsKey::Remove();
        SetUp();
        WriteDword(HKEY_CURRENT_USER, c.name, c.value);
        bool countsAsFound = c.accepted && std::wstring(c.name) != L"TextBarColors";
        EXPECT_EQ(countsAsFound ? 0 : 1, LoadSettings(HKEY_CURRENT_USER)) << c.value;
        DWORD now = std::wstring(c.name) == L"ShowTimer" ? g_settings.showTimer
                  : std::wstring(c.name) == L"SlowCommandTime" ? g_settings.slowSeconds
                  : g_settings.timerColors;
        DWORD before = std::wstring(c.name) == L"ShowTimer" ? 0xABCD
                     : std::wstring(c.name) == L"SlowCommandTime" ? 0x12345678 : 0x2E;
        EXPECT_EQ(c.accepted ? c.value : before, now) << testing::PrintToString(std::wstring(c.name)) << " " << c.value;
    }
}

TEST_F(RegistryTest, WrongTypesAndShortDwordsAreIgnoredOrPadded) {
    const WORD twoBytes = 0x0003;
    WriteRaw(HKEY_CURRENT_USER, L"ShowTimer", REG_DWORD, &twoBytes, sizeof twoBytes);
    WriteRaw(HKEY_CURRENT_USER, L"TextBarColors", REG_DWORD, &twoBytes, sizeof twoBytes);
    WriteRaw(HKEY_CURRENT_USER, L"SlowCommandTime", REG_DWORD, &twoBytes, sizeof twoBytes);
    EXPECT_EQ(0, LoadSettings(HKEY_CURRENT_USER)) << "the short threshold still counts";
    EXPECT_EQ(0xABCDu, g_settings.showTimer);
    EXPECT_EQ(0x2E, g_settings.timerColors);
    EXPECT_EQ(3u, g_settings.slowSeconds);

    CleanSettingsKey::Remove();
    SetUp();
    WriteText(HKEY_CURRENT_USER, L"ShowTimer", REG_SZ, L"2");
    const ULONGLONG eightBytes = 2;
    WriteRaw(HKEY_CURRENT_USER, L"SlowCommandTime", REG_QWORD, &eightBytes, sizeof eightBytes);
    WriteRaw(HKEY_CURRENT_USER, L"TextBarColors", REG_BINARY, &twoBytes, sizeof twoBytes);
    EXPECT_EQ(1, LoadSettings(HKEY_CURRENT_USER));
    EXPECT_EQ(0xABCDu, g_settings.showTimer);
    EXPECT_EQ(0x12345678u, g_settings.slowSeconds);
    EXPECT_EQ(0x2E, g_settings.timerColors);
}

TEST_F(RegistryTest, SlowCommandRules) {
    SetSlowCommand(L"keep me");
    WriteText(HKEY_CURRENT_USER, L"SlowCommand", REG_EXPAND_SZ, L"echo %x");
    EXPECT_EQ(1, LoadSettings(HKEY_CURRENT_USER)) << "a slow command alone is not settings found";
    EXPECT_STREQ(L"keep me", g_settings.slowCommand);

    WriteText(HKEY_CURRENT_USER, L"SlowCommand", REG_SZ, std::wstring(8192, L'x'));
    LoadSettings(HKEY_CURRENT_USER);
    EXPECT_STREQ(L"keep me", g_settings.slowCommand) << "8192 characters do not fit";

    WriteText(HKEY_CURRENT_USER, L"SlowCommand", REG_SZ, std::wstring(8191, L'y'));
    LoadSettings(HKEY_CURRENT_USER);
    ASSERT_NE(nullptr, g_settings.slowCommand);
    EXPECT_EQ(std::wstring(8191, L'y'), g_settings.slowCommand);

    // 16384 bytes without a terminator: the text must end inside the read
    // buffer. (Wine adds a terminator when it stores such a value, which
    // makes it too long to read.)
    WriteText(HKEY_CURRENT_USER, L"SlowCommand", REG_SZ, std::wstring(8192, L'z'), false);
    DWORD type = 0;
    std::string stored;
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, L"SlowCommand", &type, &stored));
    LoadSettings(HKEY_CURRENT_USER);
    ASSERT_NE(nullptr, g_settings.slowCommand);
    if (stored.size() == 16384)
        EXPECT_EQ(std::wstring(8191, L'z'), g_settings.slowCommand);
    else
        EXPECT_EQ(std::wstring(8191, L'y'), g_settings.slowCommand);

    WriteText(HKEY_CURRENT_USER, L"SlowCommand", REG_SZ, L"echo done", false);
    LoadSettings(HKEY_CURRENT_USER);
    EXPECT_STREQ(L"echo done", g_settings.slowCommand);

    WriteText(HKEY_CURRENT_USER, L"SlowCommand", REG_SZ, L"");
    LoadSettings(HKEY_CURRENT_USER);
    EXPECT_EQ(nullptr, g_settings.slowCommand) << "an empty text removes it";
}

TEST_F(RegistryTest, SaveWritesFourValuesOfTheRightTypesAndSizes) {
    g_settings.showTimer = 3;
    g_settings.slowSeconds = 7;
    g_settings.timerColors = 0x1F;
    EXPECT_EQ(0, SaveSettings(HKEY_CURRENT_USER));

    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, L"ShowTimer", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(std::string("\x03\0\0\0", 4), data);
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, L"SlowCommandTime", &type, &data));
    EXPECT_EQ(std::string("\x07\0\0\0", 4), data);
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, L"TextBarColors", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(std::string("\x1F\0\0\0", 4), data);
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, L"SlowCommand", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::string("\0\0", 2), data) << "no slow command: one NUL character";

    SetSlowCommand(L"echo hi");
    EXPECT_EQ(0, SaveSettings(HKEY_CURRENT_USER));
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, L"SlowCommand", &type, &data));
    EXPECT_EQ(16u, data.size());

    RestoreDefaultSettings();
    EXPECT_EQ(0, LoadSettings(HKEY_CURRENT_USER));
    EXPECT_EQ(3u, g_settings.showTimer);
    EXPECT_EQ(7u, g_settings.slowSeconds);
    EXPECT_STREQ(L"echo hi", g_settings.slowCommand);
}

TEST_F(RegistryTest, EachFailedWriteGivesTwoAfterTryingAllFour) {
    const wchar_t* names[] = {L"ShowTimer", L"SlowCommandTime", L"SlowCommand", L"TextBarColors"};
    for (const wchar_t* refused : names) {
        CleanSettingsKey::Remove();
        RefusedValueWrite refusal(TestProgramModule(), refused);
        ASSERT_TRUE(refusal.Applied());
        EXPECT_EQ(2, SaveSettings(HKEY_CURRENT_USER)) << testing::PrintToString(std::wstring(refused));
        EXPECT_EQ(4, refusal.Attempts());
        DWORD type = 0;
        std::string data;
        for (const wchar_t* name : names)
            EXPECT_EQ(name != refused, ReadValue(HKEY_CURRENT_USER, name, &type, &data));
    }
    EXPECT_EQ(0xABCDu, g_settings.showTimer) << "a save changes no setting";
}

TEST_F(RegistryTest, KeyNotCreatableGivesOneAndWritesNothing) {
    RefusedKeyCreation refusal(TestProgramModule());
    ASSERT_TRUE(refusal.Applied());
    EXPECT_EQ(1, SaveSettings(HKEY_LOCAL_MACHINE));
    DWORD type = 0;
    std::string data;
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, L"ShowTimer", &type, &data));
}

// The shipped DLL closes every registry key and file it opens: at start-up
// (with saved settings for the user, and with none, which reads both
// roots), around the quiet expansion ("nul"), at each save, failed or not,
// and at each restore; the console handle at tear-down.
TEST(HandleBalance, EveryKeyAndFileTheDllOpensIsClosed) {
    PluginSession s(ShowTimerMode(2));
    auto init = s.plugin.Get<InitializePluginFn>("InitializePlugin");
    auto shutdown = s.plugin.Get<ShutdownPluginFn>("ShutdownPlugin");
    shutdown(0);
    CountedHandles handles(s.plugin.module);
    ASSERT_TRUE(handles.Applied());
    CapturedOutput output;

    ASSERT_EQ(0, init());
    EXPECT_EQ(0, handles.OpenKeys()) << "start-up with saved settings";
    EXPECT_EQ(1, handles.OpenFiles()) << "the console, until tear-down";
    s.TimedLine(L"drawn", 10000000);
    EXPECT_EQ(0, s.Lapwatch(L"/S"));
    EXPECT_EQ(0, s.Lapwatch(L"/S!"));
    EXPECT_EQ(0, s.Lapwatch(L"/R"));
    {
        RefusedValueWrite refusal(s.plugin.module, L"SlowCommand");
        ASSERT_TRUE(refusal.Applied());
        EXPECT_EQ(2, s.Lapwatch(L"/S"));
    }
    CleanSettingsKey::Remove();
    EXPECT_EQ(0, s.Lapwatch(L"/R"));
    EXPECT_EQ(0, handles.OpenKeys()) << "saves and restores";
    EXPECT_EQ(1, handles.OpenFiles()) << "the quiet expansion's nul";

    shutdown(0);
    ASSERT_EQ(0, init());
    shutdown(0);
    EXPECT_EQ(0, handles.OpenKeys()) << "start-up without saved settings";
    EXPECT_EQ(0, handles.OpenFiles());
    EXPECT_EQ(0, handles.UnknownCloses());
    EXPECT_GE(handles.Opened(), 8) << "2 consoles, nul, a key at start-up, 3 saves, a restore that found one";
}

}  // namespace
