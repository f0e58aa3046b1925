// The shipped DLL as a file the shell and Windows load: its PE header, the
// names it exports and imports, and the layout of the records it exchanges
// with the shell, read at the byte offsets of this architecture.
#include "support/architecture.h"
#include "support/expected_version.h"
#include "support/guarded_memory.h"
#include "support/key_records.h"
#include "support/plugin_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string.h>
#include <string>
#include <vector>

namespace {

template <typename T> const T* At(HMODULE module, DWORD rva) {
    return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(module) + rva);
}

const IMAGE_NT_HEADERS* Headers(HMODULE module) {
    return At<IMAGE_NT_HEADERS>(module, static_cast<DWORD>(reinterpret_cast<const IMAGE_DOS_HEADER*>(module)->e_lfanew));
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return text;
}

std::string Narrow(const wchar_t* text) { return std::string(text, text + wcslen(text)); }

TEST(PluginBinary, HeaderNamesTheArchitectureWithAslrAndNx) {
    LoadedPlugin plugin;
    ASSERT_NE(nullptr, plugin.module);
    const IMAGE_NT_HEADERS* nt = Headers(plugin.module);
    EXPECT_EQ(kArch.machine, nt->FileHeader.Machine);
    EXPECT_EQ(kArch.optionalHeaderMagic, nt->OptionalHeader.Magic);
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
    WORD flags = nt->OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    EXPECT_EQ(sizeof(void*) == 8, (flags & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA) != 0)
        << "high-entropy ASLR on x64 only";
}

TEST(PluginBinary, ExportsExactlyTheSixteenPlainNames) {
    LoadedPlugin plugin;
    ASSERT_NE(nullptr, plugin.module);
    const IMAGE_DATA_DIRECTORY& dir = Headers(plugin.module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(0u, dir.VirtualAddress);
    const auto* exports = At<IMAGE_EXPORT_DIRECTORY>(plugin.module, dir.VirtualAddress);
    EXPECT_EQ(Narrow(kArch.dllName), At<char>(plugin.module, exports->Name));

    std::vector<std::string> names;
    const auto* nameRvas = At<DWORD>(plugin.module, exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.push_back(At<char>(plugin.module, nameRvas[i]));
    // Sorted as the loader's binary search needs, and nothing besides.
    const std::vector<std::string> expected = {
        "GetPluginInfo", "Help", "InitializePlugin", "ShutdownPlugin", "Usage", "_cmdcount", "_cmdticks",
        "_cmdtime", "_cmdtotalticks", "_cmdtotaltime", "_lastcmd", "_ticks", "f_tickstotime",
        "f_tickstotimed", "key", "lapwatch"};
    EXPECT_EQ(expected, names);
    EXPECT_EQ(16u, exports->NumberOfFunctions) << "no export by ordinal only";
}

TEST(PluginBinary, ImportsTheShellAndSystemLibrariesByName) {
    LoadedPlugin plugin;
    ASSERT_NE(nullptr, plugin.module);
    const std::set<std::string> allowed = {"takecmd.dll", "kernel32.dll", "user32.dll", "advapi32.dll", "msvcrt.dll"};
    std::set<std::string> shellFunctions;
    std::set<std::string> systemFunctions;
    for (const ImportedName& import : ListImports(plugin.module)) {
        std::string dll = Lower(import.dll);
        EXPECT_TRUE(allowed.count(dll)) << "imports from " << import.dll;
        EXPECT_FALSE(import.byOrdinal) << "an import by ordinal from " << import.dll;
        (dll == "takecmd.dll" ? shellFunctions : systemFunctions).insert(import.function);
    }
    const std::set<std::string> shell = {"Printf", "Qprintf", "QPuts", "CrLf", "ExpandVariables",
                                         "ParseColors", "Command", kArch.statusBarImport};
    EXPECT_EQ(shell, shellFunctions);
    // Tests and tools patch these in the table, so none may be reached otherwise.
    for (const char* name : {"GetSystemTimeAsFileTime", "CreateFileW", "CloseHandle", "GetStdHandle", "SetStdHandle",
                             "GetConsoleScreenBufferInfo", "ReadConsoleOutputW", "WriteConsoleOutputW",
                             "RegOpenKeyExW", "RegQueryValueExW", "RegCreateKeyExW", "RegSetValueExW", "RegCloseKey",
                             "GetEnvironmentVariableW", "MessageBoxW", "GetForegroundWindow"})
        EXPECT_TRUE(systemFunctions.count(name)) << name << " is not in the import table";
    const IMAGE_DATA_DIRECTORY& delayed =
        Headers(plugin.module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
    EXPECT_EQ(0u, delayed.VirtualAddress) << "no delay-loaded imports";
}

template <typename T> T FieldAt(const void* record, size_t offset) {
    T value;
    memcpy(&value, static_cast<const BYTE*>(record) + offset, sizeof value);
    return value;
}

// The record's three version numbers as "major.minor.third".
std::wstring VersionFields(const void* record) {
    std::wstring text;
    for (size_t field = 0; field < 3; ++field) {
        uint32_t number = FieldAt<uint32_t>(record, kArch.pluginInfoVersionOffset + 4 * field);
        text += (field ? L"." : L"") + std::to_wstring(number);
    }
    return text;
}

TEST(RecordLayout, PluginInformationAtThisArchitecturesOffsets) {
    EXPECT_EQ(kArch.pluginInfoSize, sizeof(PluginInfo));
    LoadedPlugin plugin;    // the stand-in fills in the shell's fields
    const PluginInfo* info = plugin.Get<GetPluginInfoFn>("GetPluginInfo")();
    ASSERT_NE(nullptr, info);
    const size_t pointer = sizeof(void*);
    EXPECT_STREQ(L"Lapwatch", FieldAt<const wchar_t*>(info, 0));
    EXPECT_STREQ(L"Automatic command timer for Take Command", FieldAt<const wchar_t*>(info, 4 * pointer));
    EXPECT_EQ(0, wcsncmp(L"lapwatch,_cmdcount,", FieldAt<const wchar_t*>(info, 5 * pointer), 19));
    EXPECT_EQ(EXPECTED_VERSION_SHORT, VersionFields(info));
    EXPECT_EQ(plugin.module, FieldAt<HMODULE>(info, kArch.pluginInfoModuleOffset));
    std::wstring moduleName = FieldAt<const wchar_t*>(info, kArch.pluginInfoModuleNameOffset);
    EXPECT_EQ(std::wstring(L"\\") + kArch.dllName, moduleName.substr(moduleName.rfind(L'\\')));
}

// The shell owns the record's last two fields and may write anything there:
// the plug-in neither reads nor rewrites them, and works as before.
TEST(RecordLayout, ShellFieldsOfTheInformationRecordAreLeftToTheShell) {
    PluginSession s;
    ASSERT_EQ(0, s.started);
    auto getInfo = s.plugin.Get<GetPluginInfoFn>("GetPluginInfo");
    BYTE* record = reinterpret_cast<BYTE*>(getInfo());
    const size_t shellBytes = kArch.pluginInfoSize - kArch.pluginInfoModuleOffset;
    memset(record + kArch.pluginInfoModuleOffset, kPoisonByte, shellBytes);

    EXPECT_EQ(reinterpret_cast<PluginInfo*>(record), getInfo());
    EXPECT_EQ(std::string(shellBytes, static_cast<char>(kPoisonByte)),
              std::string(reinterpret_cast<const char*>(record + kArch.pluginInfoModuleOffset), shellBytes));
    EXPECT_EQ(EXPECTED_VERSION_SHORT, VersionFields(record));
    s.TimedLine(L"after the shell wrote", 12340000);
    EXPECT_EQ(L"0:00:01.234", s.Variable("_cmdtime"));
    EXPECT_EQ(L"after", s.Variable("_lastcmd"));
    CapturedOutput out;
    EXPECT_EQ(0, s.Lapwatch(L"/T:3"));
    EXPECT_NE(std::wstring::npos, out.Out().find(L"/T : 3 seconds or more\r\n"));
}

// Every kind of key event in a poisoned record (support/key_records.h), from
// a host below version 24, which gives no key names, and from one at 24.
enum Meaning { ENTER_ACTION, ESC_ACTION, PROMPT_EVENT, NOTHING };

struct PoisonedCase {
    const char* what;
    int code;
    const wchar_t* name;
    Meaning olderHost, recentHost;
};

const PoisonedCase kPoisonedCases[] = {
    {"Enter", KEY_CODE_ENTER, nullptr, ENTER_ACTION, ENTER_ACTION},
    {"Esc", KEY_CODE_ESC, nullptr, ESC_ACTION, ESC_ACTION},
    {"prompt", KEY_CODE_NONE, nullptr, PROMPT_EVENT, PROMPT_EVENT},
    {"named Enter", KEY_CODE_NONE, L"Enter", PROMPT_EVENT, ENTER_ACTION},
    {"named Esc", KEY_CODE_NONE, L"Esc", PROMPT_EVENT, ESC_ACTION},
    {"named F12", KEY_CODE_NONE, L"F12", PROMPT_EVENT, NOTHING},
    {"named Ctrl-Left", KEY_CODE_NONE, L"Ctrl-Left", PROMPT_EVENT, NOTHING},
};

const uint64_t kLineTicks = 10000000;

// Sends the case's event with the line "second word" in a poisoned record.
void SendPoisoned(PluginSession& s, const PoisonedCase& c) {
    GuardedMemory lineMemory(64), nameMemory(64);
    wchar_t* line = c.code == KEY_CODE_NONE && !c.name ? nullptr : lineMemory.Text(L"second word");
    wchar_t* name = c.name ? nameMemory.Text(c.name) : nullptr;
    EXPECT_EQ(0, s.plugin.Get<KeyHandlerFn>("key")(s.record.Build(c.code, line, name)));
}

TEST(RecordLayout, PoisonedKeyEventsWhileIdleWithTheOverlayShowing) {
    ConsoleTopRow console;
    for (const wchar_t* version : {L"23", L"24"}) {
        for (const PoisonedCase& c : kPoisonedCases) {
            Meaning meaning = version[1] == L'3' ? c.olderHost : c.recentHost;
            PluginSession s(ShowTimerMode(2), version);
            console.Prefill();
            s.TimedLine(L"first", kLineTicks);
            ASSERT_NE(console.original, console.Row()) << "the overlay shows";
            SendPoisoned(s, c);
            EXPECT_EQ(meaning == NOTHING, console.Row() != console.original) << c.what << ", host " << version;
            EXPECT_EQ(meaning == ENTER_ACTION ? L"2" : L"1", s.Variable("_cmdcount")) << c.what << ", host " << version;
        }
    }
}

TEST(RecordLayout, PoisonedKeyEventsWhileALineRuns) {
    for (const wchar_t* version : {L"23", L"24"}) {
        for (const PoisonedCase& c : kPoisonedCases) {
            Meaning meaning = version[1] == L'3' ? c.olderHost : c.recentHost;
            PluginSession s(PluginSession::Saved(), version);
            s.Enter(L"running line");
            s.clock.Advance(kLineTicks);
            SendPoisoned(s, c);
            s.clock.Advance(kLineTicks);
            const wchar_t* ticks = meaning == PROMPT_EVENT ? L"10000000" : L"20000000";
            EXPECT_EQ(ticks, s.Variable("_cmdticks")) << c.what << ", host " << version;
            EXPECT_EQ(meaning == ENTER_ACTION ? L"second" : L"running", s.Variable("_lastcmd"))
                << c.what << ", host " << version;
            EXPECT_EQ(L"1", s.Variable("_cmdcount")) << c.what << ", host " << version;
        }
    }
}

}  // namespace
