#include "harness.h"

#include "architecture.h"

#include <stdio.h>

#include <string>
#include <vector>

namespace {

uint64_t g_fakeNow;

void WINAPI FakeGetSystemTimeAsFileTime(FILETIME* time) {
    time->dwLowDateTime = static_cast<DWORD>(g_fakeNow);
    time->dwHighDateTime = static_cast<DWORD>(g_fakeNow >> 32);
}

const wchar_t kSettingsKey[] = L"Software\\RUDeviruv\\Lapwatch";

}  // namespace

HMODULE TestProgramModule() { return GetModuleHandleW(nullptr); }

FakeClock::FakeClock(HMODULE module, uint64_t start)
    : patch(module, "KERNEL32.dll", "GetSystemTimeAsFileTime",
            reinterpret_cast<void*>(&FakeGetSystemTimeAsFileTime)) {
    g_fakeNow = start;
}
void FakeClock::Set(uint64_t ticks) { g_fakeNow = ticks; }
void FakeClock::Advance(uint64_t ticks) { g_fakeNow += ticks; }
uint64_t FakeClock::Now() const { return g_fakeNow; }

CapturedOutput::CapturedOutput() {
    StandInCapture(0);
    StandInClearCaptured();
    StandInCapture(1);
}
CapturedOutput::~CapturedOutput() { StandInCapture(0); }
std::wstring CapturedOutput::Out() const { return StandInCaptured(STANDIN_OUT); }
std::wstring CapturedOutput::Err() const { return StandInCaptured(STANDIN_ERR); }
void CapturedOutput::Clear() { StandInClearCaptured(); }

CleanSettingsKey::CleanSettingsKey() { Remove(); }
CleanSettingsKey::~CleanSettingsKey() { Remove(); }
void CleanSettingsKey::Remove() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSettingsKey);
}

void WriteRaw(HKEY root, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY key = nullptr;
    RegCreateKeyExW(root, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(key);
}

void WriteDword(HKEY root, const wchar_t* name, DWORD value) {
    WriteRaw(root, name, REG_DWORD, &value, sizeof value);
}

bool ReadValue(HKEY root, const wchar_t* name, DWORD* type, std::string* data) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD bytes = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, type, nullptr, &bytes);
    if (rc == ERROR_SUCCESS) {
        data->assign(bytes, '\0');
        rc = RegQueryValueExW(key, name, nullptr, type, reinterpret_cast<BYTE*>(data->data()), &bytes);
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

LoadedPlugin::LoadedPlugin() {
    module = StandInLoadPlugin(kArch.dllName);
}
LoadedPlugin::~LoadedPlugin() { StandInUnloadPlugins(); }
FARPROC LoadedPlugin::Export(const char* name) const {
    return module ? GetProcAddress(module, name) : nullptr;
}

std::wstring ReadConsoleRow(HANDLE console, SHORT row, SHORT left, SHORT width, std::wstring* attributes) {
    std::vector<CHAR_INFO> cells(width);
    SMALL_RECT rect = {left, row, static_cast<SHORT>(left + width - 1), row};
    ReadConsoleOutputW(console, cells.data(), COORD{width, 1}, COORD{0, 0}, &rect);
    std::wstring text;
    if (attributes)
        attributes->clear();
    for (const CHAR_INFO& cell : cells) {
        text += cell.Char.UnicodeChar;
        if (attributes)
            attributes->push_back(static_cast<wchar_t>(cell.Attributes));
    }
    return text;
}

ConsoleTopRow::ConsoleTopRow() {
    handle = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    GetConsoleScreenBufferInfo(handle, &info);
    width = info.dwSize.X;
    top = info.srWindow.Top;
}
ConsoleTopRow::~ConsoleTopRow() { CloseHandle(handle); }

namespace {
void WriteRow(HANDLE handle, SHORT row, const std::vector<CHAR_INFO>& cells) {
    SHORT width = static_cast<SHORT>(cells.size());
    SMALL_RECT rect = {0, row, static_cast<SHORT>(width - 1), row};
    WriteConsoleOutputW(handle, cells.data(), COORD{width, 1}, COORD{0, 0}, &rect);
}
}  // namespace

void ConsoleTopRow::Prefill(wchar_t first) {
    std::vector<CHAR_INFO> cells(width);
    for (int i = 0; i < width; ++i) {
        cells[i].Char.UnicodeChar = static_cast<wchar_t>(first + i % 26);
        cells[i].Attributes = static_cast<WORD>(i % 2 ? 0x0A : 0x07);
    }
    WriteRow(handle, top, cells);
    original = Row(&originalAttributes);
}

void ConsoleTopRow::Overwrite(wchar_t c, WORD attributes) {
    CHAR_INFO cell;
    cell.Char.UnicodeChar = c;
    cell.Attributes = attributes;
    WriteRow(handle, top, std::vector<CHAR_INFO>(width, cell));
}

std::wstring ConsoleTopRow::Row(std::wstring* attributes) { return ReadConsoleRow(handle, top, 0, width, attributes); }

ScreenCells::ScreenCells(HANDLE console) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(console, &info);
    width = info.dwSize.X;
    height = info.dwSize.Y;
    cells.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (SHORT row = 0; row < height; ++row) {
        SMALL_RECT rect = {0, row, static_cast<SHORT>(width - 1), row};
        ReadConsoleOutputW(console, cells.data() + static_cast<size_t>(row) * width, COORD{width, 1}, COORD{0, 0},
                           &rect);
    }
}

void AddCellName(std::string* cells, int column, int row) {
    *cells += (cells->empty() ? "" : " ") + std::to_string(column) + "," + std::to_string(row);
}

std::string ChangedCells(const ScreenCells& before, const ScreenCells& after) {
    if (before.width != after.width || before.height != after.height)
        return "the buffer's size";
    std::string changed;
    for (size_t i = 0; i < before.cells.size(); ++i) {
        const CHAR_INFO& a = before.cells[i];
        const CHAR_INFO& b = after.cells[i];
        if (a.Char.UnicodeChar != b.Char.UnicodeChar || a.Attributes != b.Attributes)
            AddCellName(&changed, static_cast<int>(i % before.width), static_cast<int>(i / before.width));
    }
    return changed;
}

std::string CursorAttributesAndWindow(HANDLE console) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(console, &info);
    char text[128];
    snprintf(text, sizeof text, "cursor %d,%d attributes 0x%02X window %d,%d to %d,%d", info.dwCursorPosition.X,
             info.dwCursorPosition.Y, info.wAttributes, info.srWindow.Left, info.srWindow.Top, info.srWindow.Right,
             info.srWindow.Bottom);
    return text;
}
