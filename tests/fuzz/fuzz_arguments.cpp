// The lapwatch command's argument line: TokenizeArguments on any text (long
// enough to overflow the argument buffer), then ScanArguments on the table it
// leaves, each compared with a reference written from the splitting and
// scanning rules, plus the table's own invariants (bounds, terminators,
// order, unused entries, the overflow report).
#include "fuzz_support.h"
#include "number_reference.h"

#include "text/option_scan.h"
#include "text/tokenizer.h"

#include <cstring>
#include <cwctype>
#include <vector>

namespace {

const size_t MAX_LINE = 10000;
const int LAST_SLOT = SHELL_TEXT_BUFFER_CHARS - 1;

// ---- Reference tokenizer ------------------------------------------------

struct Tokens {
    bool overflow = false;
    int slot = 0;                      // slot counter at the overflow
    std::vector<std::wstring> args;
};

// Two phases. Options: unquoted white space separates arguments (and is
// skipped before one), quotes toggle the quoted state and are dropped, an
// unquoted "/" after two or more characters of an argument that starts with
// "/" starts a new one. The first argument that starts with anything else
// is the free text: the rest of the line verbatim, from the double quotes
// that opened it if any (kept as typed). Every stored character and every
// argument end takes a slot; storing at slot 8191 or later overflows;
// characters of arguments past the 1024th are dropped. Trailing white space
// is trimmed from every argument.
Tokens ReferenceTokenize(const std::wstring& line) {
    Tokens t;
    std::wstring current;
    size_t index = 0;                  // arguments ended so far
    bool quoted = false;
    size_t openingQuote = std::wstring::npos;
    size_t freeStart = std::wstring::npos;

    auto store = [&](wchar_t c) {
        if (t.slot >= LAST_SLOT) {
            t.overflow = true;
            return false;
        }
        if (index < MAX_ARGS) {
            current.push_back(c);
            ++t.slot;
        }
        return true;
    };
    auto finish = [&]() {              // an argument ends at its NUL
        ++t.slot;
        t.args.push_back(current);
        ++index;
        current.clear();
    };

    for (size_t i = 0; i <= line.size(); ++i) {
        wchar_t c = i < line.size() ? line[i] : L'\0';
        if (c == L'"') {
            if (current.empty() && openingQuote == std::wstring::npos)
                openingQuote = i;
            quoted = !quoted;
            continue;
        }
        bool blank = c != L'\0' && std::iswspace(c) && !quoted;
        if (current.empty()) {
            if (blank) {
                openingQuote = std::wstring::npos;
                continue;
            }
            if (c != L'/' && c != L'\0') {
                freeStart = openingQuote != std::wstring::npos ? openingQuote : i;
                break;
            }
        }
        if (blank) {
            finish();
            openingQuote = std::wstring::npos;
            continue;
        }
        if (c == L'/' && !quoted && current.size() >= 2 && current[0] == L'/')
            finish();
        if (c == L'\0') {
            if (!current.empty()) {
                t.args.push_back(current);
                ++index;
            }
            break;
        }
        if (!store(c))
            return t;
        openingQuote = std::wstring::npos;
    }

    if (freeStart != std::wstring::npos) {
        for (size_t i = freeStart; i < line.size(); ++i)
            if (!store(line[i]))
                return t;
        if (!current.empty())
            t.args.push_back(current);
    }
    for (std::wstring& arg : t.args)
        while (!arg.empty() && std::iswspace(arg.back()))
            arg.pop_back();
    return t;
}

// ---- Fake colour reader ---------------------------------------------------

struct ReaderCall {
    const wchar_t* text;
    std::wstring copy;
};
std::vector<ReaderCall> g_readerCalls;

uint32_t Hash(const wchar_t* text) {
    uint32_t h = 2166136261u;
    for (; *text; ++text)
        h = (h ^ static_cast<uint32_t>(*text)) * 16777619u;
    return h;
}

// Deterministic stand-in for the shell's reader: from a hash of the text it
// reads nothing, only the foreground, only the background, both (colour
// indexes 0 to 15, sometimes equal), or a colour outside 0 to 15.
void FakeColors(const wchar_t* text, int* foreground, int* background) {
    uint32_t h = Hash(text);
    switch (h % 8) {
    case 0: break;
    case 1: *foreground = int(h >> 8 & 15); break;
    case 2: *background = int(h >> 12 & 15); break;
    case 3:
        *foreground = int(h >> 8 & 31);
        *background = int(h >> 12 & 15) - int(h >> 16 & 1);
        break;
    default:
        *foreground = int(h >> 8 & 15);
        *background = int(h >> 12 & 15);
        break;
    }
}

int RecordingReader(wchar_t* text, int* foreground, int* background) {
    g_readerCalls.push_back({text, text});
    FakeColors(text, foreground, background);
    return Hash(text) % 8 == 0 ? 1 : 0;
}

// ---- Reference scan -------------------------------------------------------

struct Scan {
    ScanOutcome outcome = SCAN_DONE;
    PendingValues pending{};
    int slowCommandArg = -1;           // the argument taken as the slow command
    int errorArg = -1;                 // the argument an error quotes from
    size_t shownOffset = 0;            // where in it the quoted text starts
    bool upperCased = false;           // the argument is upper-cased
    std::vector<std::wstring> readerTexts;
};

wchar_t Upper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? wchar_t(c - L'a' + L'A') : c;
}

std::wstring UpperText(std::wstring text) {
    for (wchar_t& c : text)
        c = Upper(c);
    return text;
}

bool Whole(const std::wstring& arg, const wchar_t* option) {
    size_t i = 0;
    for (; i < arg.size() && option[i]; ++i)
        if (Upper(arg[i]) != option[i])
            return false;
    return i == arg.size() && option[i] == L'\0';
}

bool FirstTwo(const std::wstring& arg, const wchar_t* option) {
    return arg.size() >= 2 && Upper(arg[0]) == option[0] && Upper(arg[1]) == option[1];
}

size_t ValueOffset(const std::wstring& arg) {
    return arg.size() > 2 && (arg[2] == L':' || arg[2] == L'=') ? 3 : 2;
}

Scan ReferenceScan(const std::vector<std::wstring>& args) {
    Scan s;
    PendingValues& p = s.pending;
    for (size_t k = 0; k < args.size(); ++k) {
        const std::wstring& arg = args[k];
        if (arg.empty())
            continue;
        size_t at = arg.size() >= 2 ? ValueOffset(arg) : arg.size();
        std::wstring value = arg[0] == L'/' ? arg.substr(at) : std::wstring();
        auto fail = [&](ScanOutcome outcome, size_t offset, bool upper) {
            s.outcome = outcome;
            s.errorArg = int(k);
            s.shownOffset = offset;
            s.upperCased = upper;
            return s;
        };
        if (arg == L"/?") {
            s.outcome = SCAN_HELP;
            return s;
        }
        if (arg == L"/??") {
            s.outcome = SCAN_HELP_VERSION;
            return s;
        }
        if (FirstTwo(arg, L"/B")) {
            wchar_t letter = value.empty() ? L'\0' : Upper(value[0]);
            const std::wstring letters = L"BDOST";
            const uint32_t modes[] = {3, 5, 0, 1, 2};
            size_t which = letter ? letters.find(letter) : std::wstring::npos;
            if (which == std::wstring::npos)
                return fail(SCAN_BAD_SUBOPTION, 0, true);
            p.hasShowTimer = 1;
            p.showTimer = modes[which];
        } else if (FirstTwo(arg, L"/C")) {
            uint64_t candidate = 0;
            if (!value.empty() && std::iswdigit(value[0])) {
                if (!reference::ParseNumber(value, 32, &candidate))
                    return fail(SCAN_BAD_NUMBER, at, true);
            } else {
                int foreground = 255, background = 255;
                FakeColors(value.c_str(), &foreground, &background);
                s.readerTexts.push_back(value);
                if (foreground < 0 || foreground > 15 || background < 0 || background > 15)
                    return fail(SCAN_BAD_COLORS, at, true);
                candidate = uint64_t(background) * 16 + uint64_t(foreground);
            }
            if (candidate > 255 || candidate % 16 == candidate / 16)
                return fail(SCAN_BAD_COLORS, at, true);
            p.hasColors = 1;
            p.colors = uint32_t(candidate);
        } else if (Whole(arg, L"/D")) {
            p.restoreDefaults = 1;
        } else if (Whole(arg, L"/K")) {
            p.hasCommandCount = 1;
            p.commandCount = 0;
        } else if (FirstTwo(arg, L"/K")) {
            uint64_t count = 0;
            if (!reference::ParseNumber(value, 64, &count))
                return fail(SCAN_BAD_NUMBER, at, true);
            p.hasCommandCount = 1;
            p.commandCount = count;
        } else if (Whole(arg, L"/R")) {
            p.restoreRegistry = 1;
        } else if (Whole(arg, L"/S")) {
            p.saveScope = SCOPE_CURRENT_USER;
        } else if (Whole(arg, L"/S!")) {
            p.saveScope = SCOPE_LOCAL_MACHINE;
        } else if (FirstTwo(arg, L"/T")) {
            uint64_t seconds = 0;
            if (UpperText(value) != L"OFF" && !reference::ParseNumber(value, 32, &seconds))
                return fail(SCAN_BAD_NUMBER, at, true);
            p.hasSlowSeconds = 1;
            p.slowSeconds = uint32_t(seconds);
        } else if (Whole(arg, L"/Z")) {
            p.resetTotal = 1;
        } else if (arg[0] == L'/') {
            return fail(SCAN_UNKNOWN_OPTION, 0, false);
        } else {
            s.slowCommandArg = int(k);
        }
    }
    return s;
}

// ---- Checks ---------------------------------------------------------------

ArgTable g_before;    // the table before a call that must leave it alone

bool InBuffer(const wchar_t* p) {
    return p >= g_args.buffer && p < g_args.buffer + SHELL_TEXT_BUFFER_CHARS;
}

// True when an entry from `from` on has a start or a length. Left out of
// the coverage instrumentation: a traced comparison per entry would
// dominate the run time.
__attribute__((no_sanitize("coverage"))) bool AnyEntryInUse(int from) {
    uintptr_t used = 0;
    for (int i = from; i < MAX_ARGS; ++i)
        used |= reinterpret_cast<uintptr_t>(g_args.entries[i].start) | unsigned(g_args.entries[i].length);
    return used != 0;
}

void CheckTable(const std::wstring& line, const Tokens& expected, int result) {
    if (expected.overflow) {
        // The entries filled before the overflow are not to be used, but
        // they still lie inside the buffer: no write went past its end.
        for (int i = 0; i < MAX_ARGS; ++i) {
            const ArgEntry& e = g_args.entries[i];
            FUZZ_CHECK(e.length >= 0 && e.length < SHELL_TEXT_BUFFER_CHARS, "entry %d has length %d", i, e.length);
            FUZZ_CHECK(e.start == nullptr || (InBuffer(e.start) && e.start + e.length < g_args.buffer + SHELL_TEXT_BUFFER_CHARS),
                       "entry %d (length %d) lies outside the argument buffer", i, e.length);
        }
        FUZZ_CHECK(result == -1 && g_args.count == 0,
                   "overflow expected (b = %d): result %d, count %d, for %s", expected.slot, result,
                   g_args.count, Show(line).c_str());
        FUZZ_CHECK(g_args.overflowSlot == expected.slot, "overflow noted with b = %d, expected b = %d",
                   g_args.overflowSlot, expected.slot);
        FUZZ_CHECK(g_args.overflowSlot >= LAST_SLOT && g_args.overflowSlot <= SHELL_TEXT_BUFFER_CHARS,
                   "overflow at b = %d", g_args.overflowSlot);
        return;
    }

    int count = int(expected.args.size());
    FUZZ_CHECK(g_args.overflowSlot == -1, "overflow noted (b = %d) for %s", g_args.overflowSlot, Show(line).c_str());
    FUZZ_CHECK(count <= MAX_ARGS, "reference made %d arguments", count);
    FUZZ_CHECK(result == count && g_args.count == count, "result %d, count %d, expected %d arguments for %s",
               result, g_args.count, count, Show(line).c_str());
    const wchar_t* previousEnd = nullptr;
    for (int i = 0; i < count; ++i) {
        const ArgEntry& e = g_args.entries[i];
        FUZZ_CHECK(InBuffer(e.start) && e.start + e.length < g_args.buffer + SHELL_TEXT_BUFFER_CHARS,
                   "argument %d (length %d) lies outside the argument buffer", i, e.length);
        FUZZ_CHECK(e.start[e.length] == L'\0', "argument %d is not terminated", i);
        const std::wstring& want = expected.args[i];
        FUZZ_CHECK(size_t(e.length) == want.size() && std::wmemcmp(e.start, want.data(), want.size()) == 0,
                   "argument %d of %s is %s, expected %s", i, Show(line).c_str(),
                   Show(e.start, e.length).c_str(), Show(want).c_str());
        FUZZ_CHECK(previousEnd == nullptr || e.start > previousEnd,
                   "argument %d overlaps or precedes the one before", i);
        previousEnd = e.start + e.length;
    }
    FUZZ_CHECK(!AnyEntryInUse(count), "an entry past the count %d is in use", count);
}

void CheckScan(const std::wstring& line, const Tokens& tokens) {
    static const std::vector<std::wstring> none;
    const std::vector<std::wstring>& args = tokens.overflow ? none : tokens.args;
    Scan expected = ReferenceScan(args);

    g_readerCalls.clear();
    PendingValues pending;
    std::memset(&pending, 0x5A, sizeof pending);    // must be cleared by the scan
    const wchar_t* shown = L"not set";
    ScanOutcome outcome = ScanArguments(&g_args, RecordingReader, &pending, &shown);

    FUZZ_CHECK(outcome == expected.outcome, "scan of %s: outcome %d, expected %d", Show(line).c_str(),
               int(outcome), int(expected.outcome));
    // /K takes effect even when a later argument fails, so its pending value
    // must be right whatever the outcome.
    FUZZ_CHECK(pending.hasCommandCount == expected.pending.hasCommandCount &&
                   (!pending.hasCommandCount || pending.commandCount == expected.pending.commandCount),
               "scan of %s: command count %d/%llu, expected %d/%llu", Show(line).c_str(),
               pending.hasCommandCount, (unsigned long long)pending.commandCount,
               expected.pending.hasCommandCount, (unsigned long long)expected.pending.commandCount);

    // The reader sees exactly the /C values that are not numbers, in order,
    // as text inside the argument buffer.
    FUZZ_CHECK(g_readerCalls.size() == expected.readerTexts.size(),
               "scan of %s: colour reader called %zu times, expected %zu", Show(line).c_str(),
               g_readerCalls.size(), expected.readerTexts.size());
    for (size_t i = 0; i < g_readerCalls.size(); ++i)
        FUZZ_CHECK(InBuffer(g_readerCalls[i].text) && g_readerCalls[i].copy == expected.readerTexts[i],
                   "colour reader call %zu got %s, expected %s", i, Show(g_readerCalls[i].copy).c_str(),
                   Show(expected.readerTexts[i]).c_str());

    if (outcome == SCAN_DONE) {
        const PendingValues& e = expected.pending;
        FUZZ_CHECK(pending.hasShowTimer == e.hasShowTimer && (!e.hasShowTimer || pending.showTimer == e.showTimer),
                   "scan of %s: show timer %d/%u, expected %d/%u", Show(line).c_str(), pending.hasShowTimer,
                   pending.showTimer, e.hasShowTimer, e.showTimer);
        FUZZ_CHECK(pending.hasColors == e.hasColors && (!e.hasColors || pending.colors == e.colors),
                   "scan of %s: colours %d/%u, expected %d/%u", Show(line).c_str(), pending.hasColors,
                   pending.colors, e.hasColors, e.colors);
        FUZZ_CHECK(pending.hasSlowSeconds == e.hasSlowSeconds &&
                       (!e.hasSlowSeconds || pending.slowSeconds == e.slowSeconds),
                   "scan of %s: slow threshold %d/%u, expected %d/%u", Show(line).c_str(),
                   pending.hasSlowSeconds, pending.slowSeconds, e.hasSlowSeconds, e.slowSeconds);
        FUZZ_CHECK(pending.restoreDefaults == e.restoreDefaults && pending.restoreRegistry == e.restoreRegistry &&
                       pending.resetTotal == e.resetTotal && pending.saveScope == e.saveScope,
                   "scan of %s: flags D%d R%d Z%d S%d, expected D%d R%d Z%d S%d", Show(line).c_str(),
                   pending.restoreDefaults, pending.restoreRegistry, pending.resetTotal, int(pending.saveScope),
                   e.restoreDefaults, e.restoreRegistry, e.resetTotal, int(e.saveScope));
        const wchar_t* slow = expected.slowCommandArg < 0 ? nullptr : g_args.entries[expected.slowCommandArg].start;
        FUZZ_CHECK(pending.slowCommand == slow, "scan of %s: slow command %s, expected argument %d",
                   Show(line).c_str(), pending.slowCommand ? Show(pending.slowCommand, wcslen(pending.slowCommand)).c_str() : "null",
                   expected.slowCommandArg);
    }

    // shown: null unless an error; then it points into the failing argument
    // in the buffer, at the text the message quotes.
    if (expected.errorArg < 0) {
        FUZZ_CHECK(shown == nullptr, "scan of %s: shown set without an error", Show(line).c_str());
    } else {
        const ArgEntry& e = g_args.entries[expected.errorArg];
        FUZZ_CHECK(shown == e.start + expected.shownOffset,
                   "scan of %s: shown at offset %td of argument %d, expected %zu", Show(line).c_str(),
                   shown - e.start, expected.errorArg, expected.shownOffset);
    }

    // The buffer after the scan: every argument as the tokenizer left it,
    // except the failing one, upper-cased where its message wants it.
    for (size_t k = 0; k < args.size(); ++k) {
        const ArgEntry& e = g_args.entries[k];
        std::wstring upper;
        if (int(k) == expected.errorArg && expected.upperCased)
            upper = UpperText(args[k]);
        const std::wstring& want = upper.empty() ? args[k] : upper;
        FUZZ_CHECK(e.start[e.length] == L'\0' && size_t(e.length) == want.size() &&
                       std::wmemcmp(e.start, want.data(), want.size()) == 0,
                   "scan of %s changed argument %zu to %s, expected %s", Show(line).c_str(), k,
                   Show(e.start, e.length).c_str(), Show(want).c_str());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring line = DecodeText(data, size, MAX_LINE);
    auto text = ExactCopy(line);

    g_args.overflowSlot = -2;    // whatever the last input left: each call sets it
    int result = TokenizeArguments(text.get());
    FUZZ_CHECK(line == text.get(), "the tokenizer changed its text");
    Tokens expected = ReferenceTokenize(line);
    CheckTable(line, expected, result);

    // A missing text changes nothing.
    std::memcpy(&g_before, &g_args, sizeof g_args);
    FUZZ_CHECK(TokenizeArguments(nullptr) == -1 && std::memcmp(&g_before, &g_args, sizeof g_args) == 0,
               "a null text changed the table");

    CheckScan(line, expected);
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    UseUnicodeClassification();
    return 0;
}
