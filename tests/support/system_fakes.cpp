#include "system_fakes.h"

#include <string.h>
#include <wchar.h>

#include <set>

namespace {

const wchar_t* g_refusedValue;
int g_valueWrites;

LSTATUS WINAPI RefusingRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                      DWORD bytes) {
    ++g_valueWrites;
    if (g_refusedValue == nullptr || wcscmp(name, g_refusedValue) == 0)
        return ERROR_ACCESS_DENIED;
    static auto real = SystemFunction<decltype(&RegSetValueExW)>(L"advapi32.dll", "RegSetValueExW");
    return real(key, name, reserved, type, data, bytes);
}

LSTATUS WINAPI RefusingRegCreateKeyExW(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, const SECURITY_ATTRIBUTES*, PHKEY,
                                       LPDWORD) {
    return ERROR_ACCESS_DENIED;
}

const wchar_t* g_unopenableFile;
DWORD g_createFileError;

HANDLE WINAPI FailingCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                                 DWORD flags, HANDLE templ) {
    if (_wcsicmp(name, g_unopenableFile) == 0) {
        SetLastError(g_createFileError);
        return INVALID_HANDLE_VALUE;
    }
    static auto real = SystemFunction<decltype(&CreateFileW)>(L"kernel32.dll", "CreateFileW");
    return real(name, access, share, sa, disposition, flags, templ);
}

BOOL WINAPI FailingReadConsoleOutputW(HANDLE, CHAR_INFO* cells, COORD size, COORD, SMALL_RECT*) {
    memset(cells, 0, sizeof(CHAR_INFO) * static_cast<size_t>(size.X) * static_cast<size_t>(size.Y));
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

int g_readToFail, g_readCalls;
bool g_readFailed;

BOOL WINAPI ReadConsoleOutputWFailingOnce(HANDLE console, CHAR_INFO* cells, COORD size, COORD at, SMALL_RECT* rect) {
    if (g_readToFail > 0 && ++g_readCalls == g_readToFail) {
        g_readFailed = true;
        return FailingReadConsoleOutputW(console, cells, size, at, rect);
    }
    static auto real = SystemFunction<decltype(&ReadConsoleOutputW)>(L"kernel32.dll", "ReadConsoleOutputW");
    return real(console, cells, size, at, rect);
}

std::multiset<void*> g_openKeys, g_openFiles;
int g_handlesOpened, g_unknownCloses;

void NoteOpened(std::multiset<void*>& open, void* handle) {
    open.insert(handle);
    ++g_handlesOpened;
}

void NoteClosed(std::multiset<void*>& open, void* handle) {
    auto found = open.find(handle);
    if (found == open.end())
        ++g_unknownCloses;
    else
        open.erase(found);
}

LSTATUS WINAPI CountedRegOpenKeyExW(HKEY root, LPCWSTR name, DWORD options, REGSAM access, PHKEY key) {
    static auto real = SystemFunction<decltype(&RegOpenKeyExW)>(L"advapi32.dll", "RegOpenKeyExW");
    LSTATUS rc = real(root, name, options, access, key);
    if (rc == ERROR_SUCCESS)
        NoteOpened(g_openKeys, *key);
    return rc;
}

LSTATUS WINAPI CountedRegCreateKeyExW(HKEY root, LPCWSTR name, DWORD reserved, LPWSTR type, DWORD options,
                                      REGSAM access, LPSECURITY_ATTRIBUTES sa, PHKEY key, LPDWORD disposition) {
    static auto real = SystemFunction<decltype(&RegCreateKeyExW)>(L"advapi32.dll", "RegCreateKeyExW");
    LSTATUS rc = real(root, name, reserved, type, options, access, sa, key, disposition);
    if (rc == ERROR_SUCCESS)
        NoteOpened(g_openKeys, *key);
    return rc;
}

LSTATUS WINAPI CountedRegCloseKey(HKEY key) {
    NoteClosed(g_openKeys, key);
    static auto real = SystemFunction<decltype(&RegCloseKey)>(L"advapi32.dll", "RegCloseKey");
    return real(key);
}

HANDLE WINAPI CountedCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                 DWORD disposition, DWORD flags, HANDLE templ) {
    static auto real = SystemFunction<decltype(&CreateFileW)>(L"kernel32.dll", "CreateFileW");
    HANDLE file = real(name, access, share, sa, disposition, flags, templ);
    if (file != INVALID_HANDLE_VALUE)
        NoteOpened(g_openFiles, file);
    return file;
}

BOOL WINAPI CountedCloseHandle(HANDLE handle) {
    NoteClosed(g_openFiles, handle);
    static auto real = SystemFunction<decltype(&CloseHandle)>(L"kernel32.dll", "CloseHandle");
    return real(handle);
}

std::vector<MessageBoxCall> g_boxes;

int WINAPI RecordingMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    g_boxes.push_back({owner, text ? text : L"(null)", caption ? caption : L"(null)", type});
    return IDOK;
}

HWND WINAPI FakeGetForegroundWindow() { return kForegroundWindow; }

void* Replacement(auto* function) { return reinterpret_cast<void*>(function); }

}  // namespace

RefusedValueWrite::RefusedValueWrite(HMODULE module, const wchar_t* refused)
    : patch(module, "ADVAPI32.dll", "RegSetValueExW", Replacement(&RefusingRegSetValueExW)) {
    g_refusedValue = refused;
    g_valueWrites = 0;
}
int RefusedValueWrite::Attempts() const { return g_valueWrites; }

RefusedKeyCreation::RefusedKeyCreation(HMODULE module)
    : patch(module, "ADVAPI32.dll", "RegCreateKeyExW", Replacement(&RefusingRegCreateKeyExW)) {}

FailingCreateFile::FailingCreateFile(HMODULE module, const wchar_t* name, DWORD error)
    : patch(module, "KERNEL32.dll", "CreateFileW", Replacement(&FailingCreateFileW)) {
    g_unopenableFile = name;
    g_createFileError = error;
}

FailingConsoleRead::FailingConsoleRead(HMODULE module)
    : patch(module, "KERNEL32.dll", "ReadConsoleOutputW", Replacement(&FailingReadConsoleOutputW)) {}

ConsoleReadFailingOnce::ConsoleReadFailingOnce(HMODULE module)
    : patch(module, "KERNEL32.dll", "ReadConsoleOutputW", Replacement(&ReadConsoleOutputWFailingOnce)) {
    Arm(0);
}
void ConsoleReadFailingOnce::Arm(int nth) {
    g_readToFail = nth;
    g_readCalls = 0;
    g_readFailed = false;
}
int ConsoleReadFailingOnce::Calls() const { return g_readCalls; }
bool ConsoleReadFailingOnce::Failed() const { return g_readFailed; }

CountedHandles::CountedHandles(HMODULE module)
    : openKey(module, "ADVAPI32.dll", "RegOpenKeyExW", Replacement(&CountedRegOpenKeyExW)),
      createKey(module, "ADVAPI32.dll", "RegCreateKeyExW", Replacement(&CountedRegCreateKeyExW)),
      closeKey(module, "ADVAPI32.dll", "RegCloseKey", Replacement(&CountedRegCloseKey)),
      createFile(module, "KERNEL32.dll", "CreateFileW", Replacement(&CountedCreateFileW)),
      closeHandle(module, "KERNEL32.dll", "CloseHandle", Replacement(&CountedCloseHandle)) {
    g_openKeys.clear();
    g_openFiles.clear();
    g_handlesOpened = 0;
    g_unknownCloses = 0;
}
bool CountedHandles::Applied() const {
    return openKey.Applied() && createKey.Applied() && closeKey.Applied() && createFile.Applied() &&
           closeHandle.Applied();
}
int CountedHandles::Opened() const { return g_handlesOpened; }
int CountedHandles::OpenKeys() const { return static_cast<int>(g_openKeys.size()); }
int CountedHandles::OpenFiles() const { return static_cast<int>(g_openFiles.size()); }
int CountedHandles::UnknownCloses() const { return g_unknownCloses; }

HWND const kForegroundWindow = reinterpret_cast<HWND>(0x4321);

RecordedMessageBoxes::RecordedMessageBoxes(HMODULE module)
    : box(module, "USER32.dll", "MessageBoxW", Replacement(&RecordingMessageBoxW)),
      foreground(module, "USER32.dll", "GetForegroundWindow", Replacement(&FakeGetForegroundWindow)) {
    g_boxes.clear();
}
const std::vector<MessageBoxCall>& RecordedMessageBoxes::Calls() const { return g_boxes; }
std::wstring RecordedMessageBoxes::LastText() const { return g_boxes.empty() ? L"" : g_boxes.back().text; }
void RecordedMessageBoxes::Clear() { g_boxes.clear(); }
