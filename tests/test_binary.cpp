// The shipped DLL as a file the shell and Windows load: its PE header, the
// names it exports and imports, and the layout of the records it exchanges
// with the shell, read at the byte offsets of this architecture.
#include "support/architecture.h"
#include "support/guarded_memory.h"
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
                             "SetConsoleCursorPosition", "SetConsoleTextAttribute", "WriteConsoleW",
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

TEST(RecordLayout, PluginInformationAtThisArchitecturesOffsets) {
    EXPECT_EQ(kArch.pluginInfoSize, sizeof(PluginInfo));
    LoadedPlugin plugin;
    const PluginInfo* info = plugin.Get<GetPluginInfoFn>("GetPluginInfo")();
    ASSERT_NE(nullptr, info);
    const size_t pointer = sizeof(void*);
    EXPECT_STREQ(L"Lapwatch", FieldAt<const wchar_t*>(info, 0));
    EXPECT_STREQ(L"Automatic command timer for Take Command", FieldAt<const wchar_t*>(info, 4 * pointer));
    EXPECT_EQ(0, wcsncmp(L"lapwatch,_cmdcount,", FieldAt<const wchar_t*>(info, 5 * pointer), 19));
    EXPECT_EQ(1u, FieldAt<uint32_t>(info, kArch.pluginInfoVersionOffset));
    EXPECT_EQ(0u, FieldAt<uint32_t>(info, kArch.pluginInfoVersionOffset + 4));
    EXPECT_EQ(2u, FieldAt<uint32_t>(info, kArch.pluginInfoVersionOffset + 8));
    EXPECT_EQ(0u, FieldAt<uint32_t>(info, kArch.pluginInfoReservedOffset));
    EXPECT_EQ(0u, FieldAt<uint32_t>(info, kArch.pluginInfoReservedOffset + 4));
}

// A key event built byte by byte at the documented offsets, the fields the
// plug-in must not read filled with junk, ending at a no-access page.
struct RawKeyEvent {
    explicit RawKeyEvent(int code, const wchar_t* line, const wchar_t* name) : memory(kArch.keyEventSize) {
        bytes = memory.Tail<BYTE>(kArch.keyEventSize);
        memset(bytes, 0xA5, kArch.keyEventSize);
        memcpy(bytes, &code, sizeof code);
        memcpy(bytes + kArch.keyEventCommandLineOffset, &line, sizeof line);
        memcpy(bytes + kArch.keyEventKeyNameOffset, &name, sizeof name);
    }
    KeyEvent* Record() const { return reinterpret_cast<KeyEvent*>(bytes); }
    GuardedMemory memory;
    BYTE* bytes;
};

TEST(RecordLayout, KeyEventAtThisArchitecturesOffsets) {
    EXPECT_EQ(kArch.keyEventSize, sizeof(KeyEvent));
    PluginSession s;    // a recent host: key names are read
    ASSERT_EQ(0, s.started);
    auto key = s.plugin.Get<KeyHandlerFn>("key");
    wchar_t line[] = L"layout check";
    EXPECT_EQ(0, key(RawKeyEvent(KEY_CODE_ENTER, line, nullptr).Record()));
    EXPECT_EQ(L"layout", s.Variable("_lastcmd"));
    EXPECT_EQ(L"1", s.Variable("_cmdcount"));
    s.clock.Advance(5000);
    EXPECT_EQ(0, key(RawKeyEvent(KEY_CODE_NONE, nullptr, nullptr).Record()));
    EXPECT_EQ(L"5000", s.Variable("_cmdticks")) << "the prompt event stopped the line";

    wchar_t byName[] = L"Enter";
    wchar_t second[] = L"named enter";
    EXPECT_EQ(0, key(RawKeyEvent(KEY_CODE_NONE, second, byName).Record()));
    EXPECT_EQ(L"named", s.Variable("_lastcmd")) << "the key name is read at its offset";
    EXPECT_EQ(L"2", s.Variable("_cmdcount"));
}

}  // namespace
