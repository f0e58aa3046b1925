// ParseColors: "[bright] colour on [bright] colour" into console colour indexes.
#include "engine.h"

#include <cwctype>
#include <sstream>

namespace {

const wchar_t* const kColorNames[] = {L"black", L"blue", L"green", L"cyan",
                                      L"red",   L"magenta", L"yellow", L"white"};
enum { BRIGHT_OFFSET = 8 };

// Reads "[bright] name" from the words at `at`; -1 when they are not a colour.
int ReadColor(const std::vector<std::wstring>& words, size_t& at) {
    int offset = 0;
    if (at < words.size() && words[at] == L"bright") {
        offset = BRIGHT_OFFSET;
        ++at;
    }
    if (at >= words.size()) {
        return -1;
    }
    for (int i = 0; i < static_cast<int>(sizeof(kColorNames) / sizeof(kColorNames[0])); ++i) {
        if (words[at] == kColorNames[i]) {
            ++at;
            return i + offset;
        }
    }
    return -1;
}

}  // namespace

// Sets both colours and returns 0 only when the whole text is a valid
// description; otherwise returns 1 and changes neither.
extern "C" int HOST_API ParseColors(wchar_t* text, int* foreground, int* background) {
    if (text == nullptr || foreground == nullptr || background == nullptr) {
        return 1;
    }
    std::vector<std::wstring> words;
    std::wistringstream stream(engine::Lower(text));
    for (std::wstring word; stream >> word;) words.push_back(word);
    size_t at = 0;
    int fore = ReadColor(words, at);
    if (fore < 0 || at >= words.size() || words[at] != L"on") {
        return 1;
    }
    ++at;
    int back = ReadColor(words, at);
    if (back < 0 || at != words.size()) {
        return 1;
    }
    *foreground = fore;
    *background = back;
    return 0;
}
