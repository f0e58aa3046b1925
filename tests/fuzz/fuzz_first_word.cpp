// First word of a command line: ExtractFirstWord on any text, against a
// reference written from the capture rules, with the input and the word in
// exactly sized heap buffers (a read past the text's terminator or a write
// past SHELL_TEXT_MAX_CHARS + 1 characters is an address-sanitizer report).
#include "fuzz_support.h"

#include "text/first_word.h"

#include <cwctype>

namespace {

const size_t MAX_LINE = 12000;    // past the word's limit of 8191

// The rules: leading white space skipped; then, with a quoted state and a
// one-time at-sign drop, a double quote toggles the state and is kept, an
// at sign is dropped while the word is empty (once), white space outside
// quotes ends the word, anything else is kept up to the limit.
std::wstring ReferenceFirstWord(const std::wstring& line) {
    size_t i = 0;
    while (i < line.size() && std::iswspace(line[i]))
        ++i;
    std::wstring word;
    bool quoted = false;
    bool droppedAt = false;
    for (; i < line.size(); ++i) {
        wchar_t c = line[i];
        if (c == L'"')
            quoted = !quoted;
        if (c == L'@' && word.empty() && !droppedAt) {
            droppedAt = true;
            continue;
        }
        if (!quoted && std::iswspace(c))
            break;
        if (word.size() < SHELL_TEXT_MAX_CHARS)
            word.push_back(c);
    }
    return word;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring line = DecodeText(data, size, MAX_LINE);
    auto text = ExactCopy(line);
    const size_t wordChars = SHELL_TEXT_MAX_CHARS + 1;
    std::unique_ptr<wchar_t[]> word(new wchar_t[wordChars]);
    std::wmemset(word.get(), L'#', wordChars);

    size_t length = ExtractFirstWord(text.get(), word.get());
    FUZZ_CHECK(line == text.get(), "ExtractFirstWord changed its text");
    FUZZ_CHECK(length <= SHELL_TEXT_MAX_CHARS, "word length %zu for %s", length, Show(line).c_str());
    FUZZ_CHECK(word[length] == L'\0', "word of length %zu not terminated, for %s", length,
               Show(line).c_str());

    std::wstring expected = ReferenceFirstWord(line);
    std::wstring got(word.get(), length);
    FUZZ_CHECK(got == expected, "first word of %s: got %s, expected %s", Show(line).c_str(),
               Show(got).c_str(), Show(expected).c_str());
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    UseUnicodeClassification();
    return 0;
}
