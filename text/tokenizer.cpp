// Argument tokenizer of the lapwatch command: option arguments split at
// blanks and at a second "/", then one free-text argument to the end of line.
#include "tokenizer.h"

#include <wctype.h>

ArgTable g_args;

namespace {

// Initial option word: split at blanks and slashes, free text at the end.
const unsigned INITIAL_ARG_OPTIONS = ARG_SPLIT_BLANKS | ARG_SPLIT_SLASH | ARG_FREE_TAIL;

// Scan state of one call.
struct ScanState {
    int slot;                      // next write position in the buffer
    int index;                     // table entry being built
    int length;                    // characters stored in that entry
    int quoted;                    // inside double quotes
    unsigned options;              // ARG_* bits
    const wchar_t* dropped;        // first quote dropped while the current
                                   // argument was still empty, or null
    int droppedQuoted;             // quoted flag before that quote
};

// Ends the current argument. Its NUL already follows it; the next slot gets
// one too, except at the buffer's end, where nothing is written.
void EndArgument(ScanState* s) {
    s->slot++;
    if (s->slot < SHELL_TEXT_BUFFER_CHARS)
        g_args.buffer[s->slot] = L'\0';
    s->index++;
    s->length = 0;
}

// Stores one character of the current argument. 0, or -1 for an overflow
// (its slot noted in the table). Characters of arguments beyond the table
// are dropped.
int StoreCharacter(ScanState* s, wchar_t c) {
    if (s->slot >= SHELL_TEXT_BUFFER_CHARS - 1) {
        g_args.overflowSlot = s->slot;
        return -1;
    }
    if (s->index >= MAX_ARGS)
        return 0;
    ArgEntry* entry = &g_args.entries[s->index];
    if (s->length == 0)
        entry->start = &g_args.buffer[s->slot];
    g_args.buffer[s->slot] = c;
    s->slot++;
    s->length++;
    entry->length = s->length;
    g_args.buffer[s->slot] = L'\0';    // slot <= SHELL_TEXT_BUFFER_CHARS - 1 here
    return 0;
}

// Takes whitespace off the end of every argument.
void TrimArguments(int count) {
    for (int i = 0; i < count; i++) {
        ArgEntry* entry = &g_args.entries[i];
        while (entry->length > 0 && iswspace(entry->start[entry->length - 1])) {
            entry->length--;
            entry->start[entry->length] = L'\0';
        }
    }
}

// True while quotes are stored as text (the free text); option arguments
// drop theirs.
int IsKeepingQuotes(const ScanState* s) { return (s->options & ARG_KEEP_QUOTES) != 0; }

// A double quote toggles the quoted state. The first quote dropped before an
// argument's first character is remembered, in case the argument turns out
// to be the free text, which keeps them.
void ToggleQuote(ScanState* s, const wchar_t* at) {
    if (s->length == 0 && s->dropped == nullptr && !IsKeepingQuotes(s)) {
        s->dropped = at;
        s->droppedQuoted = s->quoted;
    }
    s->quoted = !s->quoted;
}

// Before an argument's first character: blanks are skipped, and a first
// character other than "/" makes the free-text switch. True when the
// character is done with (skipped, or the scan goes back to rescan the
// argument's opening quotes), false when it goes on through the other steps.
int IsDoneAtArgumentStart(ScanState* s, wchar_t c, int blank, const wchar_t** next) {
    if (blank) {
        s->dropped = nullptr;
        return 1;
    }
    if (c == L'/' || c == L'\0' || !(s->options & ARG_SPLIT_BLANKS) || !(s->options & ARG_FREE_TAIL))
        return 0;
    s->options = (s->options & ~ARG_SPLIT_BLANKS) | ARG_KEEP_QUOTES;
    if (s->dropped == nullptr)
        return 0;
    *next = s->dropped;
    s->quoted = s->droppedQuoted;
    s->dropped = nullptr;
    return 1;
}

// True for a "/" outside quotes after an option argument of two or more
// characters, which it ends.
int IsSplittingSlash(const ScanState* s, wchar_t c) {
    return c == L'/' && !s->quoted && s->length >= 2 && (s->options & ARG_SPLIT_SLASH) &&
           s->index < MAX_ARGS && g_args.entries[s->index].start[0] == L'/';
}

void ClearTable(void) {
    g_args.count = 0;
    g_args.overflowSlot = -1;
    for (int i = 0; i < MAX_ARGS; i++) {
        g_args.entries[i].start = nullptr;
        g_args.entries[i].length = 0;
    }
    g_args.buffer[0] = L'\0';
}

}  // namespace

// Rebuilds g_args from text. Returns the argument count (0..MAX_ARGS), or -1
// for a null text (table untouched) or an overflow (count 0, slot noted).
// A free-text argument that opens with double quotes keeps them as typed.
int TokenizeArguments(const wchar_t* text) {
    if (text == nullptr)
        return -1;
    ClearTable();
    ScanState s = {0, 0, 0, 0, INITIAL_ARG_OPTIONS, nullptr, 0};

    const wchar_t* next = text;
    for (;;) {
        const wchar_t* at = next++;
        wchar_t c = *at;
        if (c == L'"') {
            ToggleQuote(&s, at);
            if (!IsKeepingQuotes(&s))
                continue;
        }
        int blank = c != L'\0' && iswspace(c) && !s.quoted;
        if (s.length == 0 && IsDoneAtArgumentStart(&s, c, blank, &next))
            continue;
        if ((blank && (s.options & ARG_SPLIT_BLANKS)) || IsSplittingSlash(&s, c)) {
            EndArgument(&s);
            s.dropped = nullptr;
            if (blank)
                continue;
        }
        if (c == L'\0') {
            if (s.length != 0)
                s.index++;
            break;
        }
        if (StoreCharacter(&s, c) != 0)
            return -1;
        s.dropped = nullptr;
    }

    TrimArguments(s.index);
    g_args.count = s.index;
    return g_args.count;
}

int IsValueSeparator(wchar_t c) {
    return c == L':' || c == L'=' ? 1 : 0;
}
