// Start-up, tear-down, the host-version probe, the interactive test and the
// error prefix.
#include "support/architecture.h"
#include "support/expected_version.h"
#include "support/harness.h"
#include "support/system_fakes.h"

#include "plugin/exports.h"
#include "plugin/errors.h"
#include "plugin/frame.h"
#include "settings/settings.h"

#include <gtest/gtest.h>


namespace {

struct ShellVariables {
    ShellVariables() { Interactive(); }
    ~ShellVariables() {
        Set(L"_4ver", L"32");
        Interactive();
        Set(L"_batch", L"0");
        SetEnvironmentVariableW(L"noloadmsg", nullptr);
    }
    static void Set(const wchar_t* name, const wchar_t* value) { StandInSetVariable(name, value); }
    static void Interactive() { Set(L"_transient", L"0"); Set(L"_pipe", L"0"); }
};

struct ProbeCase { const wchar_t* answer; bool recent; };

const ProbeCase kProbeCases[] = {
    {L"32.10", true}, {L"23.00", false}, {L"24", true}, {L"8", false}, {L"100", true},
    {L"7", false}, {L"101", false}, {L"", false}, {L"abc", false}, {L"4294967296", false},
    {L"99999999999999999999", false}, {L"  30", true},
};

TEST(HostProbe, ReadsTheMajorVersionInRangeAndSetsNothing) {
    ShellVariables vars;
    for (const ProbeCase& c : kProbeCases) {
        g_frame.recentHost = !c.recent;
        ShellVariables::Set(L"_4ver", c.answer);
        EXPECT_EQ(c.recent, IsRecentHost()) << "answer '" << testing::PrintToString(std::wstring(c.answer)) << "'";
        EXPECT_EQ(!c.recent, g_frame.recentHost) << "only start-up sets the flag";
    }
}

TEST(InteractiveTest, OnlyZeroZeroIsInteractive) {
    ShellVariables vars;
    EXPECT_TRUE(IsInteractive());
    const std::pair<const wchar_t*, const wchar_t*> others[] = {
        {L"0", L""}, {L"00", L"0"}, {L"0", L"1"}, {L"1", L"0"}, {L"", L""},
    };
    for (auto [transient, pipe] : others) {
        ShellVariables::Set(L"_transient", transient);
        ShellVariables::Set(L"_pipe", pipe);
        EXPECT_FALSE(IsInteractive()) << testing::PrintToString(std::wstring(transient) + L"|" + pipe);
    }
}

TEST(ErrorPrefix, OutsideABatchFileIsTheNameAlone) {
    ShellVariables vars;
    CapturedOutput out;
    WriteErrorPrefix();
    EXPECT_EQ(L"Lapwatch plugin: ", out.Err());
    EXPECT_EQ(L"", out.Out());
}

TEST(ErrorPrefix, InsideABatchFileAddsNameAndLineLiterally) {
    ShellVariables vars;
    ShellVariables::Set(L"_batch", L"1");
    ShellVariables::Set(L"_batchname", L"C:\\jobs\\100%s%d.btm");
    ShellVariables::Set(L"_batchline", L"42");
    CapturedOutput out;
    WriteError(L"Bad number: \"%s\"\r\n", L"X");
    EXPECT_EQ(L"Lapwatch plugin: C:\\jobs\\100%s%d.btm [42]  Bad number: \"X\"\r\n", out.Err());
}

struct StartUp : testing::Test {
    ShellVariables vars;
    CleanSettingsKey key;
    void SetUp() override {
        ShutdownPlugin(0);
        RestoreDefaultSettings();
    }
    void TearDown() override {
        ShutdownPlugin(0);
        RestoreDefaultSettings();
    }
};

TEST_F(StartUp, InteractiveShellGetsTheLoadMessage) {
    CapturedOutput out;
    EXPECT_EQ(0, InitializePlugin());
    EXPECT_EQ(L"Lapwatch v" EXPECTED_VERSION_SHORT L" loaded.\r\n", out.Out());
    EXPECT_EQ(L"", out.Err());
    EXPECT_NE(nullptr, g_frame.consoleOutput);
}

TEST_F(StartUp, NoLoadMessageWhenSilencedTransientOrPiped) {
    const std::pair<const wchar_t*, const wchar_t*> quiet[] = {
        {L"noloadmsg", L"1"}, {L"_transient", L"1"}, {L"_pipe", L"1"},
    };
    for (auto [name, value] : quiet) {
        if (name[1] == L'n')
            SetEnvironmentVariableW(name, value);
        else
            ShellVariables::Set(name, value);
        CapturedOutput out;
        EXPECT_EQ(0, InitializePlugin());
        EXPECT_EQ(L"", out.Out()) << testing::PrintToString(std::wstring(name));
        ShutdownPlugin(0);
        SetEnvironmentVariableW(L"noloadmsg", nullptr);
        ShellVariables::Interactive();
    }
}

TEST_F(StartUp, SetsTheRecentHostFlagFromTheProbe) {
    for (const ProbeCase& c : kProbeCases) {
        ShellVariables::Set(L"_4ver", c.answer);
        g_frame.recentHost = !c.recent;
        CapturedOutput out;
        EXPECT_EQ(0, InitializePlugin());
        EXPECT_EQ(c.recent, g_frame.recentHost) << "answer '" << testing::PrintToString(std::wstring(c.answer)) << "'";
        ShutdownPlugin(0);
    }
}

TEST_F(StartUp, DefaultsThenSavedSettings) {
    g_settings.showTimer = 1;
    g_settings.slowSeconds = 99;
    SetSlowCommand(L"stale");
    WriteDword(HKEY_CURRENT_USER, L"SlowCommandTime", 3);
    EXPECT_EQ(0, InitializePlugin());
    EXPECT_EQ(5u, g_settings.showTimer);
    EXPECT_EQ(3u, g_settings.slowSeconds);
    EXPECT_EQ(0x1F, g_settings.timerColors);
    EXPECT_EQ(nullptr, g_settings.slowCommand);
}

TEST_F(StartUp, LocalMachineOnlyWhenTheUserHasNoSettings) {
    // The user's key holds values that do not count as settings found.
    const wchar_t userCommand[] = L"echo user";
    WriteRaw(HKEY_CURRENT_USER, L"SlowCommand", REG_SZ, userCommand, sizeof userCommand);
    WriteDword(HKEY_CURRENT_USER, L"TextBarColors", 0x2E);
    WriteDword(HKEY_LOCAL_MACHINE, L"ShowTimer", 2);
    WriteDword(HKEY_LOCAL_MACHINE, L"TextBarColors", 0x4F);
    EXPECT_EQ(0, InitializePlugin());
    EXPECT_EQ(2u, g_settings.showTimer);
    EXPECT_EQ(0x4F, g_settings.timerColors);
    ASSERT_NE(nullptr, g_settings.slowCommand);
    EXPECT_STREQ(L"echo user", g_settings.slowCommand);

    ShutdownPlugin(0);
    WriteDword(HKEY_CURRENT_USER, L"ShowTimer", 1);
    EXPECT_EQ(0, InitializePlugin());
    EXPECT_EQ(1u, g_settings.showTimer);
    EXPECT_EQ(0x2E, g_settings.timerColors);
}

TEST_F(StartUp, FailedConsoleOpenReportsOnlyWhenInteractive) {
    FailingCreateFile noConsole(TestProgramModule(), L"CONOUT$", ERROR_INVALID_HANDLE);
    ASSERT_TRUE(noConsole.Applied());
    WriteDword(HKEY_CURRENT_USER, L"ShowTimer", 1);
    g_settings.slowSeconds = 77;
    {
        CapturedOutput out;
        EXPECT_EQ(-1, InitializePlugin());
        EXPECT_EQ(L"Lapwatch plugin: Error opening console buffer!\r\nLapwatch plugin not loaded.\r\n", out.Err());
        EXPECT_EQ(L"", out.Out());
    }
    EXPECT_EQ(77u, g_settings.slowSeconds) << "settings untouched";
    EXPECT_EQ(5u, g_settings.showTimer) << "registry not read";
    EXPECT_EQ(nullptr, g_frame.consoleOutput);

    const wchar_t* quietVariables[] = {L"_transient", L"_pipe"};
    for (const wchar_t* name : quietVariables) {
        ShellVariables::Set(name, L"1");
        CapturedOutput out;
        EXPECT_EQ(-1, InitializePlugin());
        EXPECT_EQ(L"", out.Err());
        EXPECT_EQ(L"", out.Out());
        ShellVariables::Interactive();
    }
}

TEST_F(StartUp, ShutdownReleasesEverythingAndIsRepeatable) {
    EXPECT_EQ(0, ShutdownPlugin(0)) << "nothing held";
    ASSERT_EQ(0, InitializePlugin());
    SetSlowCommand(L"echo slow");
    EXPECT_EQ(0, ShutdownPlugin(0));
    EXPECT_EQ(nullptr, g_frame.consoleOutput);
    EXPECT_EQ(nullptr, g_settings.slowCommand);
    EXPECT_EQ(0, ShutdownPlugin(0));
}

TEST(PluginInfoRecord, SameAddressAndContentsEveryCall) {
    LoadedPlugin plugin;
    auto getInfo = plugin.Get<GetPluginInfoFn>("GetPluginInfo");
    ASSERT_NE(nullptr, getInfo);
    PluginInfo* first = getInfo();
    PluginInfo copy = *first;
    PluginInfo* second = getInfo();
    EXPECT_EQ(first, second);
    EXPECT_EQ(0, memcmp(&copy, second, sizeof copy));
    EXPECT_STREQ(L"Lapwatch", first->name);
    EXPECT_STREQ(L"Automatic command timer for Take Command", first->description);
    EXPECT_STREQ(L"lapwatch,_cmdcount,_cmdticks,_cmdtime,_cmdtotalticks,_cmdtotaltime,"
                 L"_lastcmd,_ticks,@tickstotime,@tickstotimed,*key", first->functionList);
    EXPECT_EQ(1u, first->majorVersion);
    EXPECT_EQ(0u, first->minorVersion);
    EXPECT_EQ(2u, first->buildVersion);
    EXPECT_EQ(plugin.module, first->moduleHandle) << "filled in by the stand-in, kept by the plug-in";
    ASSERT_NE(nullptr, first->moduleName);
    EXPECT_NE(nullptr, wcsstr(first->moduleName, kArch.dllName));
    for (const wchar_t* text : {first->author, first->email, first->webPage})
        EXPECT_NE(nullptr, text);
}

TEST(PluginLibrary, ExportsEveryEntryPointUndecorated) {
    LoadedPlugin plugin;
    ASSERT_NE(nullptr, plugin.module);
    const char* names[] = {"GetPluginInfo", "InitializePlugin", "ShutdownPlugin", "key", "_cmdcount",
                           "_cmdticks", "_cmdtime", "_cmdtotalticks", "_cmdtotaltime", "_lastcmd", "_ticks",
                           "f_tickstotime", "f_tickstotimed", "lapwatch", "Help", "Usage"};
    for (const char* name : names)
        EXPECT_NE(nullptr, plugin.Export(name)) << name;
    EXPECT_EQ(nullptr, plugin.Export("DllMain"));
    EXPECT_EQ(nullptr, plugin.Export("_key@4"));
}

}  // namespace
