// Number text: ParseNumber32 and ParseNumber64 on any text, against two
// independent readings (the grammar of number_reference.h, and the standard
// library's unsigned conversion used the way the parsers' algorithm says),
// with a print-and-read-back round trip of every accepted value.
#include "fuzz_support.h"
#include "number_reference.h"

#include "text/number_text.h"

#include <cerrno>
#include <cwchar>

namespace {

const size_t MAX_NUMBER_TEXT = 4096;
const uint64_t SENTINEL64 = 0xA5A5A5A5DEADBEEFull;
const uint32_t SENTINEL32 = 0xC0FFEE11u;

// The parsers' algorithm with wcstoull as its conversion: prefix test, then
// a base-16 conversion after the prefix or a base-10 one of the whole text,
// which must end at the terminator and fit 64 bits. The parsers read ASCII
// digits only, so any other character is taken as a rejection.
bool LibraryParse64(const std::wstring& text, uint64_t* value) {
    for (wchar_t c : text)
        if (c > 0x7F)
            return false;
    const wchar_t* start = text.c_str();
    int base = 10;
    if (reference::HasHexPrefix(text)) {
        start += 2;
        base = 16;
    } else if (text.empty() || !reference::IsDecimalDigit(text[0])) {
        return false;
    }
    wchar_t* end = nullptr;
    errno = 0;
    unsigned long long number = std::wcstoull(start, &end, base);
    if (errno == ERANGE || *end != L'\0')
        return false;
    *value = number;
    return true;
}

// Reads text with both parsers; the value must come back as expected.
void CheckReadsBack(const std::wstring& text, uint64_t expected, const std::wstring& from) {
    auto copy = ExactCopy(text);
    uint64_t again = SENTINEL64;
    FUZZ_CHECK(ParseNumber64(copy.get(), &again) == 0 && again == expected,
               "value %llu printed as %s does not read back (from %s)",
               (unsigned long long)expected, Show(text).c_str(), Show(from).c_str());
    uint32_t again32 = SENTINEL32;
    int result32 = ParseNumber32(copy.get(), &again32);
    if (expected <= UINT32_MAX) {
        FUZZ_CHECK(result32 == 0 && again32 == expected,
                   "32-bit read of %s gives %d / %u", Show(text).c_str(), result32, again32);
    } else {
        FUZZ_CHECK(result32 == -1 && again32 == SENTINEL32,
                   "32-bit read of %s accepted %u", Show(text).c_str(), again32);
    }
}

std::wstring Printed(const wchar_t* format, uint64_t value) {
    wchar_t buffer[64];
    std::swprintf(buffer, 64, format, (unsigned long long)value);
    return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text = DecodeText(data, size, MAX_NUMBER_TEXT);
    auto copy = ExactCopy(text);

    uint64_t value64 = SENTINEL64;
    int result64 = ParseNumber64(copy.get(), &value64);
    uint32_t value32 = SENTINEL32;
    int result32 = ParseNumber32(copy.get(), &value32);
    FUZZ_CHECK(text == copy.get(), "the parsers changed their text");
    FUZZ_CHECK(result64 == 0 || result64 == -1, "ParseNumber64 returned %d", result64);
    FUZZ_CHECK(result32 == 0 || result32 == -1, "ParseNumber32 returned %d", result32);

    uint64_t grammar = 0;
    bool grammarAccepts = reference::ParseNumber(text, 64, &grammar);
    uint64_t library = 0;
    bool libraryAccepts = LibraryParse64(text, &library);
    FUZZ_CHECK(grammarAccepts == libraryAccepts && (!grammarAccepts || grammar == library),
               "the two references disagree on %s", Show(text).c_str());

    // 64 bits: accepted exactly when the grammar accepts, with its value;
    // a rejection leaves the variable alone.
    if (grammarAccepts) {
        FUZZ_CHECK(result64 == 0 && value64 == grammar,
                   "ParseNumber64(%s) = %d, value %llu; expected %llu", Show(text).c_str(),
                   result64, (unsigned long long)value64, (unsigned long long)grammar);
    } else {
        FUZZ_CHECK(result64 == -1 && value64 == SENTINEL64,
                   "ParseNumber64(%s) = %d, value %llu; expected a rejection", Show(text).c_str(),
                   result64, (unsigned long long)value64);
    }

    // 32 bits: accepted exactly when the 64-bit parser accepts a value that
    // fits; the same value.
    bool fits32 = result64 == 0 && value64 <= UINT32_MAX;
    uint64_t grammar32 = 0;
    FUZZ_CHECK(reference::ParseNumber(text, 32, &grammar32) == fits32,
               "the 32-bit grammar disagrees on %s", Show(text).c_str());
    if (fits32) {
        FUZZ_CHECK(result32 == 0 && value32 == value64,
                   "ParseNumber32(%s) = %d, value %u; expected %llu", Show(text).c_str(), result32,
                   value32, (unsigned long long)value64);
    } else {
        FUZZ_CHECK(result32 == -1 && value32 == SENTINEL32,
                   "ParseNumber32(%s) = %d, value %u; expected a rejection", Show(text).c_str(),
                   result32, value32);
    }

    // Round trip: the value printed in decimal, hex and with leading zeros
    // reads back as the same value.
    if (result64 == 0) {
        CheckReadsBack(Printed(L"%llu", value64), value64, text);
        CheckReadsBack(Printed(L"0x%llx", value64), value64, text);
        CheckReadsBack(Printed(L"0X%llX", value64), value64, text);
        CheckReadsBack(Printed(L"000%llu", value64), value64, text);
        CheckReadsBack(Printed(L"0x000%llX", value64), value64, text);
        CheckReadsBack(Printed(L"0x0x%llx", value64), value64, text);
    }

    // Missing pointers.
    FUZZ_CHECK(ParseNumber64(nullptr, &value64) == -1 && ParseNumber64(copy.get(), nullptr) == -1,
               "ParseNumber64 with a null pointer");
    FUZZ_CHECK(ParseNumber32(nullptr, &value32) == -1 && ParseNumber32(copy.get(), nullptr) == -1,
               "ParseNumber32 with a null pointer");
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    UseUnicodeClassification();
    return 0;
}
