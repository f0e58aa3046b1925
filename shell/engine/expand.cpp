// Shell variables and the in-place expansion of variable references.
//
// References: %name (letters, digits, '_' and '$'; a '%' right after the
// name that does not start another reference ends it, as in %name%), %[name], %@name[argument] (the
// argument is expanded first) and %% for one percent sign. A name is looked
// up among the shell's own variables, then the batch parameters (%0..%9),
// then the variables and functions of the loaded plug-ins, then the
// environment; case does not matter and an unknown name gives nothing. The
// shell's own function @if[condition,then,else] comes before the plug-ins'.
//
// Long answers (StandInSetLongAnswers): every name that the shell itself
// answers (its own variables, batch parameters, the environment, unknown
// names) gives MAX_RESULT_CHARS characters, the longest text the shell may
// write, so that tests see whether a plug-in's buffers hold it. The plug-ins'
// own variables and functions keep their values.
#include "engine.h"

#include <algorithm>
#include <cwctype>
#include <map>

namespace engine {
namespace {

std::map<std::wstring, std::wstring> DefaultVariables() {
    return {{L"_4ver", L"32"}, {L"_transient", L"0"}, {L"_pipe", L"0"}, {L"_batch", L"0"}};
}

std::map<std::wstring, std::wstring>& ShellVariables() {
    static std::map<std::wstring, std::wstring> variables = DefaultVariables();
    return variables;
}

bool g_longAnswers = false;
const wchar_t kLongAnswerChar = L'x';

bool IsNameChar(wchar_t c) { return std::iswalnum(c) || c == L'_' || c == L'$'; }

// Calls a plug-in variable or function with an 8192-character buffer that
// holds the argument (functions) or nothing (variables).
std::wstring CallPluginEntry(FARPROC proc, const std::wstring& argument) {
    // One cleared buffer per call, as the shell's; a function's argument may
    // itself hold references, so calls nest and each needs its own.
    std::vector<wchar_t> buffer = ResultBuffer(argument);
    int result = As<VariableFn>(proc)(buffer.data());
    buffer[MAX_RESULT_CHARS] = L'\0';
    return result == 0 ? std::wstring(buffer.data()) : std::wstring();
}

bool LookupPlugin(const std::wstring& name, EntryKind kind, const std::wstring& argument,
                  std::wstring* value) {
    // Found before the call, which may change the plug-in list.
    FARPROC proc = FindPluginEntry(name, kind);
    if (proc == nullptr) {
        return false;
    }
    *value = CallPluginEntry(proc, argument);
    return true;
}

std::wstring LookupVariable(const std::wstring& name) {
    std::wstring value;
    if (name.empty()) {
        return value;
    }
    if (g_longAnswers) {
        return LookupPlugin(name, ENTRY_VARIABLE, std::wstring(), &value) ? value
                                                                          : std::wstring(MAX_RESULT_CHARS, kLongAnswerChar);
    }
    if (GetShellVariable(name, &value)) {
        return value;
    }
    bool digits = true;
    for (wchar_t c : name) digits = digits && c >= L'0' && c <= L'9';
    if (digits && !BatchArguments().empty()) {
        const std::vector<std::wstring>& arguments = BatchArguments().back();
        size_t index = name.size() > 4 ? arguments.size() : std::stoul(name);
        return index < arguments.size() ? arguments[index] : std::wstring();
    }
    if (LookupPlugin(name, ENTRY_VARIABLE, std::wstring(), &value)) {
        return value;
    }
    DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size > 0) {
        std::vector<wchar_t> buffer(size + 1, L'\0');
        DWORD got = GetEnvironmentVariableW(name.c_str(), buffer.data(), size + 1);
        if (got <= size) value.assign(buffer.data(), got);
    }
    return value;
}

// Index of the ']' that closes the '[' at `open`, or npos.
size_t MatchingBracket(const std::wstring& text, size_t open) {
    int depth = 0;
    for (size_t i = open; i < text.size(); ++i) {
        if (text[i] == L'[') ++depth;
        else if (text[i] == L']' && --depth == 0) return i;
    }
    return std::wstring::npos;
}

}  // namespace

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// Compared in place: the plug-in lookup runs for every reference expanded.
bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && std::towlower(a[i]) != std::towlower(b[i])) return false;
    }
    return true;
}

std::vector<wchar_t> ResultBuffer(const std::wstring& text) {
    std::vector<wchar_t> buffer(RESULT_BUFFER_CHARS, L'\0');
    text.copy(buffer.data(), std::min<size_t>(text.size(), MAX_RESULT_CHARS));
    return buffer;
}

std::wstring BufferText(const wchar_t* buffer) { return std::wstring(buffer, wcsnlen(buffer, MAX_RESULT_CHARS)); }

bool GetShellVariable(const std::wstring& name, std::wstring* value) {
    std::map<std::wstring, std::wstring>& variables = ShellVariables();
    auto found = variables.find(Lower(name));
    if (found == variables.end()) {
        return false;
    }
    *value = found->second;
    return true;
}

void SetShellVariable(const std::wstring& name, const wchar_t* value) {
    if (value == nullptr) ShellVariables().erase(Lower(name));
    else ShellVariables()[Lower(name)] = value;
}

void ResetVariables() {
    ShellVariables() = DefaultVariables();
    g_longAnswers = false;
}

std::vector<std::vector<std::wstring>>& BatchArguments() {
    static std::vector<std::vector<std::wstring>> arguments;
    return arguments;
}

std::wstring ExpandText(const std::wstring& text) {
    std::wstring out;
    size_t i = 0;
    while (i < text.size()) {
        wchar_t c = text[i];
        if (c != L'%' || i + 1 >= text.size()) {
            out += c;
            ++i;
            continue;
        }
        wchar_t next = text[i + 1];
        if (next == L'%') {
            out += L'%';
            i += 2;
        } else if (next == L'[') {
            size_t close = MatchingBracket(text, i + 1);
            if (close == std::wstring::npos) {
                out += c;
                ++i;
                continue;
            }
            out += LookupVariable(ExpandText(text.substr(i + 2, close - i - 2)));
            i = close + 1;
        } else if (next == L'@') {
            size_t end = i + 2;
            while (end < text.size() && IsNameChar(text[end])) ++end;
            size_t close = end < text.size() && text[end] == L'[' ? MatchingBracket(text, end)
                                                                  : std::wstring::npos;
            if (end == i + 2 || close == std::wstring::npos) {
                out += c;
                ++i;
                continue;
            }
            std::wstring name = text.substr(i + 2, end - i - 2);
            std::wstring argument = ExpandText(text.substr(end + 1, close - end - 1));
            std::wstring value;
            if (EqualsNoCase(name, L"if")) IfFunction(argument, &value);
            else LookupPlugin(name, ENTRY_FUNCTION, argument, &value);
            out += value;
            i = close + 1;
        } else if (IsNameChar(next)) {
            size_t end = i + 1;
            while (end < text.size() && IsNameChar(text[end])) ++end;
            out += LookupVariable(text.substr(i + 1, end - i - 1));
            // A '%' right after the name ends it (%name%) unless another
            // reference starts there (%_a%_b is two references).
            bool closing = end < text.size() && text[end] == L'%' &&
                           !(end + 1 < text.size() && (IsNameChar(text[end + 1]) || text[end + 1] == L'[' ||
                                                       text[end + 1] == L'@'));
            i = closing ? end + 1 : end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

}  // namespace engine

using namespace engine;

extern "C" int HOST_API ExpandVariables(wchar_t* buffer, int /*full*/) {
    if (buffer == nullptr) {
        return -1;
    }
    std::wstring result = ExpandText(BufferText(buffer));
    size_t length = std::min<size_t>(result.size(), MAX_RESULT_CHARS);
    result.copy(buffer, length);
    buffer[length] = L'\0';
    return 0;
}

STANDIN_API void StandInSetLongAnswers(int on) { g_longAnswers = on != 0; }

STANDIN_API void StandInSetVariable(const wchar_t* name, const wchar_t* value) {
    if (name != nullptr && *name != L'\0') {
        SetShellVariable(name, value);
    }
}
