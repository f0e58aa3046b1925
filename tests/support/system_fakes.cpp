#include "system_fakes.h"

#include <string.h>
#include <wchar.h>

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

HWND const kForegroundWindow = reinterpret_cast<HWND>(0x4321);

RecordedMessageBoxes::RecordedMessageBoxes(HMODULE module)
    : box(module, "USER32.dll", "MessageBoxW", Replacement(&RecordingMessageBoxW)),
      foreground(module, "USER32.dll", "GetForegroundWindow", Replacement(&FakeGetForegroundWindow)) {
    g_boxes.clear();
}
const std::vector<MessageBoxCall>& RecordedMessageBoxes::Calls() const { return g_boxes; }
std::wstring RecordedMessageBoxes::LastText() const { return g_boxes.empty() ? L"" : g_boxes.back().text; }
void RecordedMessageBoxes::Clear() { g_boxes.clear(); }
