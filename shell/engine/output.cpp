// The shell's output functions (Printf, Qprintf, QPuts, CrLf) and capture mode.
#include "engine.h"

#include <stdarg.h>
#include <stdint.h>

#include <algorithm>

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
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return;
    }
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void AppendPadded(std::wstring& out, const std::wstring& body, int width, bool left, wchar_t pad) {
    int fill = width - static_cast<int>(body.size());
    if (fill <= 0) {
        out += body;
    } else if (left) {
        out += body;
        out.append(static_cast<size_t>(fill), L' ');
    } else if (pad == L'0' && !body.empty() && (body[0] == L'-' || body[0] == L'+')) {
        out += body[0];
        out.append(static_cast<size_t>(fill), L'0');
        out.append(body, 1, std::wstring::npos);
    } else {
        out.append(static_cast<size_t>(fill), pad);
        out += body;
    }
}

std::wstring Digits(uint64_t value, unsigned base, bool upper) {
    const wchar_t* digits = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring text;
    do {
        text.insert(text.begin(), digits[value % base]);
        value /= base;
    } while (value != 0);
    return text;
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

// A printf-style formatter with the wide-function conventions: %s and %c
// take wide text, %hs and %S narrow text; flags - 0 + and blank, widths and
// precisions (also *), and the sizes h l ll I64 I32 I z. Unknown
// conversions are copied as they stand.
std::wstring FormatV(const wchar_t* format, va_list args) {
    std::wstring out;
    if (format == nullptr) {
        return out;
    }
    const wchar_t* p = format;
    while (*p != L'\0') {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        const wchar_t* start = p++;
        if (*p == L'%') {
            out += L'%';
            ++p;
            continue;
        }
        bool left = false, plus = false, blank = false;
        wchar_t pad = L' ';
        for (;; ++p) {
            if (*p == L'-') left = true;
            else if (*p == L'0') pad = L'0';
            else if (*p == L'+') plus = true;
            else if (*p == L' ') blank = true;
            else if (*p == L'#') continue;
            else break;
        }
        int width = 0;
        if (*p == L'*') {
            width = va_arg(args, int);
            if (width < 0) { left = true; width = -width; }
            ++p;
        }
        while (*p >= L'0' && *p <= L'9') width = width * 10 + (*p++ - L'0');
        int precision = -1;
        if (*p == L'.') {
            ++p;
            precision = 0;
            if (*p == L'*') { precision = va_arg(args, int); ++p; }
            while (*p >= L'0' && *p <= L'9') precision = precision * 10 + (*p++ - L'0');
        }
        bool wide64 = false, narrow = false, wideText = false;
        for (bool more = true; more;) {
            if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') { wide64 = true; p += 3; }
            else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') { p += 3; }
            else if (p[0] == L'l' && p[1] == L'l') { wide64 = true; p += 2; }
            else if (*p == L'I' || *p == L'z' || *p == L't' || *p == L'L') { ++p; }
            else if (*p == L'h') { narrow = true; ++p; }
            else if (*p == L'l' || *p == L'w') { wideText = true; ++p; }
            else more = false;
        }
        wchar_t conversion = *p;
        if (conversion == L'\0') {
            out.append(start);
            break;
        }
        ++p;
        std::wstring body;
        switch (conversion) {
        case L'd':
        case L'i': {
            int64_t value = wide64 ? va_arg(args, int64_t) : va_arg(args, int);
            uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
            body = Digits(magnitude, 10, false);
            if (precision >= 0) {
                while (static_cast<int>(body.size()) < precision) body.insert(body.begin(), L'0');
            }
            if (value < 0) body.insert(body.begin(), L'-');
            else if (plus) body.insert(body.begin(), L'+');
            else if (blank) body.insert(body.begin(), L' ');
            AppendPadded(out, body, width, left, precision >= 0 ? L' ' : pad);
            break;
        }
        case L'u':
        case L'x':
        case L'X':
        case L'o': {
            uint64_t value = wide64 ? va_arg(args, uint64_t) : va_arg(args, unsigned);
            unsigned base = conversion == L'u' ? 10 : (conversion == L'o' ? 8 : 16);
            body = Digits(value, base, conversion == L'X');
            if (precision >= 0) {
                while (static_cast<int>(body.size()) < precision) body.insert(body.begin(), L'0');
            }
            AppendPadded(out, body, width, left, precision >= 0 ? L' ' : pad);
            break;
        }
        case L'p': {
            uintptr_t value = reinterpret_cast<uintptr_t>(va_arg(args, void*));
            body = Digits(value, 16, true);
            body.insert(body.begin(), 8 - std::min<size_t>(8, body.size()), L'0');
            AppendPadded(out, body, width, left, L' ');
            break;
        }
        case L'c':
        case L'C': {
            int value = va_arg(args, int);
            bool isNarrow = narrow || (conversion == L'C' && !wideText);
            body.assign(1, isNarrow ? static_cast<wchar_t>(static_cast<unsigned char>(value))
                                    : static_cast<wchar_t>(value));
            AppendPadded(out, body, width, left, L' ');
            break;
        }
        case L's':
        case L'S': {
            bool isNarrow = narrow || (conversion == L'S' && !wideText);
            if (isNarrow) {
                const char* text = va_arg(args, const char*);
                if (text == nullptr) text = "(null)";
                int chars = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
                if (chars > 1) {
                    body.resize(static_cast<size_t>(chars));
                    MultiByteToWideChar(CP_ACP, 0, text, -1, body.data(), chars);
                    body.resize(static_cast<size_t>(chars - 1));
                }
            } else {
                const wchar_t* text = va_arg(args, const wchar_t*);
                body = text == nullptr ? L"(null)" : text;
            }
            if (precision >= 0 && static_cast<int>(body.size()) > precision) {
                body.resize(static_cast<size_t>(precision));
            }
            AppendPadded(out, body, width, left, L' ');
            break;
        }
        default:
            out.append(start, p);
            break;
        }
    }
    return out;
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
