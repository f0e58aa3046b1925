// Shared pieces of the fuzz targets: turning fuzz bytes into wide text,
// exactly sized copies for the address sanitizer, and a check that stops the
// run with a readable report.
#pragma once

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <string>

// Byte codes of the text encoding (see DecodeText).
enum : uint8_t {
    FUZZ_UNIT_ESCAPE = 0xFF,       // two bytes follow: one UTF-16 unit, low byte first
    FUZZ_REPEAT_ESCAPE = 0xFE,     // two bytes follow: copies of the segment, low byte first
    FUZZ_IDEOGRAPHIC_SPACE = 0xFD, // U+3000, white space in a Unicode locale
    FUZZ_LINE_SEPARATOR = 0xFC,    // U+2028, white space in a Unicode locale
};

// Turns fuzz bytes into NUL-free wide text of at most limit units:
// - 0x00 is skipped (the text is NUL-terminated; an inner NUL would only cut it);
// - 0xFF lo hi is the unit hi:lo (any UTF-16 code unit, surrogates included);
// - 0xFE lo hi repeats the segment decoded since the previous 0xFE (or the
//   start) until it stands hi:lo times in a row, so a few bytes make long
//   texts (an 8191-character argument, 1100 arguments);
// - 0xFD and 0xFC are two non-ASCII white-space characters;
// - every other byte is the unit of the same value (ASCII and Latin-1).
// Native wchar_t is 32 bits; only values 1..0xFFFF are produced, as on Windows.
inline std::wstring DecodeText(const uint8_t* data, size_t size, size_t limit) {
    std::wstring text;
    size_t segment = 0;
    size_t i = 0;
    while (i < size && text.size() < limit) {
        uint8_t byte = data[i++];
        unsigned unit = byte;
        if (byte == 0x00) {
            continue;
        } else if (byte == FUZZ_UNIT_ESCAPE) {
            if (i + 2 > size)
                break;
            unit = data[i] | (data[i + 1] << 8);
            i += 2;
            if (unit == 0)
                continue;
        } else if (byte == FUZZ_REPEAT_ESCAPE) {
            if (i + 2 > size)
                break;
            unsigned copies = data[i] | (data[i + 1] << 8);
            i += 2;
            std::wstring piece = text.substr(segment);
            for (unsigned k = 1; k < copies && !piece.empty() && text.size() < limit; ++k)
                text += piece;
            segment = text.size();
            continue;
        } else if (byte == FUZZ_IDEOGRAPHIC_SPACE) {
            unit = 0x3000;
        } else if (byte == FUZZ_LINE_SEPARATOR) {
            unit = 0x2028;
        }
        text.push_back(static_cast<wchar_t>(unit));
    }
    if (text.size() > limit)
        text.resize(limit);
    return text;
}

// A heap copy of text with exactly its length plus the terminator, so that
// any read or write past the terminator is an address-sanitizer report.
inline std::unique_ptr<wchar_t[]> ExactCopy(const std::wstring& text) {
    std::unique_ptr<wchar_t[]> copy(new wchar_t[text.size() + 1]);
    std::wmemcpy(copy.get(), text.c_str(), text.size() + 1);
    return copy;
}

// Printable form of wide text for failure reports: ASCII as is, everything
// else as \uXXXX, cut after max characters.
inline std::string Show(const wchar_t* text, size_t length, size_t max = 160) {
    std::string out = "\"";
    for (size_t i = 0; i < length && i < max; ++i) {
        unsigned c = static_cast<unsigned>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            out += static_cast<char>(c);
        } else {
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
            out += escaped;
        }
    }
    out += "\"";
    if (length > max)
        out += "... (" + std::to_string(length) + " characters)";
    return out;
}

inline std::string Show(const std::wstring& text) {
    return Show(text.c_str(), text.size());
}

// Stops the run (libFuzzer saves the input) when cond is false.
#define FUZZ_CHECK(cond, ...)                                                  \
    do {                                                                       \
        if (!(cond)) {                                                         \
            std::fprintf(stderr, "\nFUZZ CHECK FAILED at %s:%d: %s\n  ",      \
                         __FILE__, __LINE__, #cond);                           \
            std::fprintf(stderr, __VA_ARGS__);                                 \
            std::fprintf(stderr, "\n");                                        \
            std::abort();                                                      \
        }                                                                      \
    } while (0)

// White space as a Unicode locale classifies it, so that the non-ASCII
// spaces take part (the bare "C" locale knows ASCII white space only).
inline void UseUnicodeClassification() {
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        std::setlocale(LC_CTYPE, "C");
}
