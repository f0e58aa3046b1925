// The shell's output functions (Printf, Qprintf, QPuts, CrLf) and capture mode.
#include "engine.h"

#include "shell/utf8.h"

#include <stdarg.h>
#include <stdio.h>

namespace engine {
namespace {

struct Capture {
    bool on = false;
    HANDLE out = nullptr;           // standard handles noted when capture began
    HANDLE err = nullptr;
    std::wstring text[2];           // STANDIN_OUT, STANDIN_ERR
};

Capture& CaptureState() {
    static Capture capture;
    return capture;
}

// Writes to a real handle: a console gets wide text, anything else UTF-8.
void WriteToHandle(HANDLE handle, const std::wstring& text) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) {
        return;
    }
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        DWORD written = 0;
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::string utf8 = WideToUtf8(text);
    if (utf8.empty()) {
        return;
    }
    DWORD written = 0;
    WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

}  // namespace

void WriteText(HANDLE handle, const std::wstring& text, int stream) {
    Capture& capture = CaptureState();
    if (capture.on) {
        bool isOut = handle == capture.out;
        bool isErr = handle == capture.err;
        if (isOut && isErr) {
            capture.text[stream == STANDIN_ERR ? 1 : 0] += text;
            return;
        }
        if (isOut || isErr) {
            capture.text[isErr ? 1 : 0] += text;
            return;
        }
    }
    WriteToHandle(handle, text);
}

void WriteOut(const std::wstring& text) { WriteText(GetStdHandle(STD_OUTPUT_HANDLE), text, STANDIN_OUT); }
void WriteErr(const std::wstring& text) { WriteText(GetStdHandle(STD_ERROR_HANDLE), text, STANDIN_ERR); }

// Formats with the C runtime's wide printf: msvcrt's _vscwprintf and
// _vsnwprintf take %s as wide text in a wide format, as the shell's Printf
// does (vswprintf of MinGW's ANSI stdio would take it as narrow text).
std::wstring FormatV(const wchar_t* format, va_list args) {
    if (format == nullptr) {
        return std::wstring();
    }
    va_list counting;
    va_copy(counting, args);
    int chars = _vscwprintf(format, counting);
    va_end(counting);
    if (chars <= 0) {
        return std::wstring();
    }
    std::wstring text(static_cast<size_t>(chars) + 1, L'\0');
    _vsnwprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(chars));
    return text;
}

void ResetCapture() { CaptureState() = Capture(); }

}  // namespace engine

using namespace engine;

extern "C" int __cdecl Printf(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatV(format, args);
    va_end(args);
    WriteOut(text);
    return static_cast<int>(text.size());
}

extern "C" int __cdecl Qprintf(HANDLE handle, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatV(format, args);
    va_end(args);
    WriteText(handle, text, STANDIN_ERR);
    return static_cast<int>(text.size());
}

extern "C" int HOST_API QPuts(const wchar_t* text) {
    if (text == nullptr) {
        return 0;
    }
    WriteOut(text);
    return 0;
}

extern "C" void HOST_API CrLf(void) { WriteOut(L"\r\n"); }

STANDIN_API void StandInCapture(int on) {
    Capture& capture = CaptureState();
    if (on) {
        if (!capture.on) {
            capture.text[0].clear();
            capture.text[1].clear();
        }
        capture.out = GetStdHandle(STD_OUTPUT_HANDLE);
        capture.err = GetStdHandle(STD_ERROR_HANDLE);
        capture.on = true;
    } else {
        capture.on = false;
    }
}

STANDIN_API const wchar_t* StandInCaptured(int stream) {
    Capture& capture = CaptureState();
    return capture.text[stream == STANDIN_ERR ? 1 : 0].c_str();
}

STANDIN_API void StandInClearCaptured(void) {
    Capture& capture = CaptureState();
    capture.text[0].clear();
    capture.text[1].clear();
}

STANDIN_API void StandInWrite(int stream, const wchar_t* text) {
    if (text != nullptr) {
        if (stream == STANDIN_ERR) WriteErr(text);
        else WriteOut(text);
    }
}
