// Conditions of the if command and the @if function: "[not] A op B", where
// op is == (text, case ignored) or EQ, NE, LT, LE, GT, GE (numbers when both
// sides are whole numbers, else text with case ignored).
#include "engine.h"

#include <cerrno>
#include <cwctype>

namespace engine {
namespace {

bool ReadInteger(const std::wstring& word, long long* value) {
    if (word.empty()) return false;
    wchar_t* end = nullptr;
    errno = 0;
    *value = wcstoll(word.c_str(), &end, 10);
    return errno == 0 && *end == L'\0' && !std::iswspace(word[0]);
}

// -1, 0 or 1 as a is below, equal to or above b.
int Order(const std::wstring& a, const std::wstring& b) {
    long long x = 0, y = 0;
    if (ReadInteger(a, &x) && ReadInteger(b, &y)) return x < y ? -1 : x > y ? 1 : 0;
    int order = Lower(a).compare(Lower(b));
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

bool Compare(const std::wstring& a, const std::wstring& op, const std::wstring& b, bool* result) {
    if (op == L"==") {
        *result = EqualsNoCase(a, b);
        return true;
    }
    static const struct {
        const wchar_t* name;
        bool below, equal, above;
    } kOperators[] = {{L"eq", false, true, false}, {L"ne", true, false, true}, {L"lt", true, false, false},
                      {L"le", true, true, false},  {L"gt", false, false, true}, {L"ge", false, true, true}};
    std::wstring name = Lower(op);
    for (const auto& each : kOperators) {
        if (name == each.name) {
            int order = Order(a, b);
            *result = order < 0 ? each.below : order > 0 ? each.above : each.equal;
            return true;
        }
    }
    return false;
}

// Splits at the first comma at or after `from`; the rest when there is none.
std::wstring TakeField(const std::wstring& text, size_t* from) {
    size_t comma = text.find(L',', *from);
    std::wstring field = text.substr(*from, comma == std::wstring::npos ? std::wstring::npos : comma - *from);
    *from = comma == std::wstring::npos ? text.size() : comma + 1;
    return field;
}

}  // namespace

std::wstring NextWord(const std::wstring& text, size_t* pos) {
    while (*pos < text.size() && std::iswspace(text[*pos])) ++*pos;
    size_t start = *pos;
    bool quoted = false;
    while (*pos < text.size() && (quoted || !std::iswspace(text[*pos]))) {
        if (text[*pos] == L'"') quoted = !quoted;
        ++*pos;
    }
    return text.substr(start, *pos - start);
}

bool ReadCondition(const std::wstring& text, size_t* pos, bool* result) {
    std::wstring first = NextWord(text, pos);
    bool negate = EqualsNoCase(first, L"not");
    std::wstring a = negate ? NextWord(text, pos) : first;
    std::wstring op = NextWord(text, pos);
    std::wstring b = NextWord(text, pos);
    if (a.empty() || b.empty() || !Compare(a, op, b, result)) return false;
    *result = *result != negate;
    return true;
}

bool IfFunction(const std::wstring& argument, std::wstring* value) {
    size_t from = 0;
    std::wstring condition = TakeField(argument, &from);
    std::wstring then = TakeField(argument, &from);
    std::wstring otherwise = argument.substr(from);
    size_t pos = 0;
    bool holds = false;
    if (!ReadCondition(condition, &pos, &holds) || !NextWord(condition, &pos).empty()) {
        WriteErr(L"Syntax: %@if[condition,then,else]\r\n");
        value->clear();
        return false;
    }
    *value = holds ? then : otherwise;
    return true;
}

}  // namespace engine
