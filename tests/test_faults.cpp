// The shipped DLL when Windows says no: allocation failures, registry writes
// refused, no console, "nul" not openable. Each fault is injected through the
// DLL's own import table.
#include "support/plugin_session.h"
#include "support/system_fakes.h"

#include <gtest/gtest.h>

namespace {

const uint64_t kSecond = 10000000;

bool g_failAllocation;
LPVOID WINAPI FailingHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (g_failAllocation)
        return nullptr;
    return SystemFunction<decltype(&HeapAlloc)>(L"kernel32.dll", "HeapAlloc")(heap, flags, bytes);
}

struct AllocationFailure {
    explicit AllocationFailure(HMODULE module)
        : patch(module, "KERNEL32.dll", "HeapAlloc", reinterpret_cast<void*>(&FailingHeapAlloc)) {
        g_failAllocation = true;
    }
    ~AllocationFailure() { g_failAllocation = false; }
    ImportPatch patch;
};

TEST(Faults, NoMemoryForTheLastCommandWord) {
    PluginSession s;
    s.TimedLine(L"before", kSecond);
    {
        AllocationFailure failure(s.plugin.module);
        ASSERT_TRUE(failure.patch.Applied());
        EXPECT_EQ(0, s.Key(KEY_CODE_ENTER, L"Enter", L"during the fault"));
        EXPECT_EQ(L"", s.Variable("_lastcmd")) << "the old word is gone, no new one";
        s.clock.Advance(kSecond);
        EXPECT_EQ(0, s.Key(KEY_CODE_NONE, nullptr, nullptr));
    }
    EXPECT_EQ(L"2", s.Variable("_cmdcount")) << "timing goes on";
    EXPECT_EQ(L"10000000", s.Variable("_cmdticks"));
    s.Enter(L"after");
    EXPECT_EQ(L"after", s.Variable("_lastcmd"));
}

TEST(Faults, NoMemoryForTheSlowCommand) {
    PluginSession::Saved saved;
    saved.slowSeconds = 1;
    saved.slowCommand = L"echo old";
    PluginSession s(saved);
    CapturedOutput out;
    {
        AllocationFailure failure(s.plugin.module);
        EXPECT_EQ(0, s.Lapwatch(L"echo new"));
    }
    EXPECT_NE(std::wstring::npos, out.Out().find(L"   Slow-Command . . . . . . . Not defined\r\n"));
    EXPECT_EQ(L"", out.Err()) << "not reported";
    std::wstring before = StandInCommandLog();
    s.TimedLine(L"slow", 2 * kSecond);
    EXPECT_EQ(before, StandInCommandLog()) << "no slow command is left to run";
}

TEST(Faults, NoMemoryWhileLoadingTheSavedSlowCommand) {
    CleanSettingsKey clean;
    LoadedPlugin plugin;
    FakeClock clock(plugin.module);
    WriteDword(HKEY_CURRENT_USER, L"ShowTimer", 2);
    const wchar_t command[] = L"echo saved";
    WriteRaw(HKEY_CURRENT_USER, L"SlowCommand", REG_SZ, command, sizeof command);
    WriteDword(HKEY_CURRENT_USER, L"TextBarColors", 0x4E);
    SetEnvironmentVariableW(L"noloadmsg", L"1");
    {
        AllocationFailure failure(plugin.module);
        EXPECT_EQ(0, plugin.Get<InitializePluginFn>("InitializePlugin")());
    }
    SetEnvironmentVariableW(L"noloadmsg", nullptr);
    CapturedOutput out;
    std::vector<wchar_t> none(1, L'\0');
    plugin.Get<CommandFn>("lapwatch")(none.data());
    EXPECT_NE(std::wstring::npos, out.Out().find(L"/B : Text\r\n")) << "the values after it still load";
    EXPECT_NE(std::wstring::npos, out.Out().find(L"/C : Bright yellow on red\r\n"));
    EXPECT_NE(std::wstring::npos, out.Out().find(L"Slow-Command . . . . . . . Not defined\r\n"));
    plugin.Get<ShutdownPluginFn>("ShutdownPlugin")(0);
}

const wchar_t kSaveError[] = L"Lapwatch plugin: Error saving settings to the registry (HKCU\\Software\\RUDeviruv\\Lapwatch)\r\n";

TEST(Faults, EachRefusedValueWriteFailsTheSave) {
    const wchar_t* names[] = {L"ShowTimer", L"SlowCommandTime", L"SlowCommand", L"TextBarColors"};
    for (const wchar_t* refused : names) {
        PluginSession s;
        RefusedValueWrite refusal(s.plugin.module, refused);
        ASSERT_TRUE(refusal.Applied());
        CapturedOutput out;
        EXPECT_EQ(2, s.Lapwatch(L"/B:T /S")) << testing::PrintToString(std::wstring(refused));
        EXPECT_EQ(4, refusal.Attempts());
        const std::wstring report = out.Out();
        EXPECT_EQ(L"\r\n", report.substr(report.size() - 2)) << "a line end after the report";
        EXPECT_NE(std::wstring::npos, report.find(L"/B : Text\r\n")) << "the change itself stands";
        EXPECT_EQ(kSaveError, out.Err());
        DWORD type = 0;
        std::string data;
        for (const wchar_t* name : names)
            EXPECT_EQ(name != refused, ReadValue(HKEY_CURRENT_USER, name, &type, &data));
    }
}

TEST(Faults, LocalMachineKeyNotWritable) {
    PluginSession s;
    RefusedKeyCreation refusal(s.plugin.module);
    ASSERT_TRUE(refusal.Applied());
    CapturedOutput out;
    EXPECT_EQ(2, s.Lapwatch(L"/S!"));
    EXPECT_EQ(L"Lapwatch plugin: Error saving settings to the registry (HKLM\\Software\\RUDeviruv\\Lapwatch)\r\n",
              out.Err());
    out.Clear();
    EXPECT_EQ(0, s.Lapwatch(L""));
    EXPECT_NE(std::wstring::npos, out.Out().find(L"/B : Default (status bar or text)\r\n"));
    EXPECT_NE(std::wstring::npos, out.Out().find(L"/T : 10 seconds or more\r\n"));
    DWORD type = 0;
    std::string data;
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, L"ShowTimer", &type, &data));
}

TEST(Faults, NoConsoleAtStartUp) {
    CleanSettingsKey clean;
    LoadedPlugin plugin;
    FailingCreateFile noConsole(plugin.module, L"CONOUT$", ERROR_INVALID_HANDLE);
    ASSERT_TRUE(noConsole.Applied());
    StandInSetVariable(L"_transient", L"0");
    StandInSetVariable(L"_pipe", L"0");
    CapturedOutput out;
    EXPECT_EQ(-1, plugin.Get<InitializePluginFn>("InitializePlugin")());
    EXPECT_EQ(L"Lapwatch plugin: Error opening console buffer!\r\nLapwatch plugin not loaded.\r\n", out.Err());
    EXPECT_EQ(L"", out.Out());
    out.Clear();
    StandInSetVariable(L"_pipe", L"1");
    EXPECT_EQ(-1, plugin.Get<InitializePluginFn>("InitializePlugin")());
    EXPECT_EQ(L"", out.Err());
    StandInSetVariable(L"_pipe", L"0");
    EXPECT_EQ(0, plugin.Get<ShutdownPluginFn>("ShutdownPlugin")(0));
}

}  // namespace
