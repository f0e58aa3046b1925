// Argument tokenizer of the lapwatch command: option arguments split at
// blanks and at a second "/", then one free-text argument to the end of line.
#include "tokenizer.h"

#include <wctype.h>

ArgTable g_args;

namespace {

// The option word that steers the scan. It starts with the first three bits;
// the free-text switch, at the first argument that does not begin with "/",
// clears ARG_SPLIT_BLANKS and sets ARG_KEEP_QUOTES, and nothing else changes
// it.
enum {
    ARG_SPLIT_BLANKS = 0x01,       // blanks outside quotes end an argument
    ARG_SPLIT_SLASH = 0x04,        // a "/" outside quotes ends an option argument
    ARG_FREE_TAIL = 0x20,          // the first argument without "/" becomes the free text
    ARG_KEEP_QUOTES = 0x40,        // quotes are stored as text; while clear they are dropped
};
const unsigned INITIAL_ARG_OPTIONS = ARG_SPLIT_BLANKS | ARG_SPLIT_SLASH | ARG_FREE_TAIL;

// Scan state of one call.
struct ScanState {
    const wchar_t* next;           // the character to read next
    int slot;                      // next write position in the buffer
    int index;                     // table entry being built
    int length;                    // characters stored in that entry
    int quoted;                    // inside double quotes
    unsigned options;              // ARG_* bits
    const wchar_t* dropped;        // first quote dropped while the current
                                   // argument was still empty, or null
    int droppedQuoted;             // quoted flag before that quote
};

// What the scan does after a character.
enum ScanStep { SCAN_ON, SCAN_END, SCAN_OVERFLOW };

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
bool IsKeepingQuotes(const ScanState* s) { return (s->options & ARG_KEEP_QUOTES) != 0; }

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

// True when c, the first character of an argument other than a blank, makes
// the free-text switch: it is not "/" and no free text has begun.
bool OpensFreeText(const ScanState* s, wchar_t c) {
    return c != L'/' && c != L'\0' && (s->options & ARG_SPLIT_BLANKS) && (s->options & ARG_FREE_TAIL);
}

// The free-text switch. The rest of the line is one argument with its blanks
// and quotes; a quote dropped before the argument's first character is read
// again, in the quoted state of its time, so that the free text keeps it.
void StartFreeText(ScanState* s, const wchar_t* dropped) {
    s->options = (s->options & ~ARG_SPLIT_BLANKS) | ARG_KEEP_QUOTES;
    if (dropped == nullptr)
        return;
    s->next = dropped;
    s->quoted = s->droppedQuoted;
}

// True for a "/" outside quotes after an option argument of two or more
// characters, which it ends.
bool IsSplittingSlash(const ScanState* s, wchar_t c) {
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

// Scans the next character: stores it, or ends an argument, passes it over,
// or goes back to a dropped quote at the free-text switch.
ScanStep ScanCharacter(ScanState* s) {
    const wchar_t* at = s->next++;
    wchar_t c = *at;
    if (c == L'"') {
        ToggleQuote(s, at);
        if (!IsKeepingQuotes(s))
            return SCAN_ON;
    }
    // Only dropped quotes keep a dropped quote for the free text: any other
    // character either reads it again now or comes after it.
    const wchar_t* dropped = s->dropped;
    s->dropped = nullptr;
    int blank = c != L'\0' && iswspace(c) && !s->quoted;
    if (s->length == 0 && blank)
        return SCAN_ON;
    if (s->length == 0 && OpensFreeText(s, c)) {
        StartFreeText(s, dropped);
        if (dropped != nullptr)
            return SCAN_ON;
    }
    if ((blank && (s->options & ARG_SPLIT_BLANKS)) || IsSplittingSlash(s, c)) {
        EndArgument(s);
        if (blank)
            return SCAN_ON;
    }
    if (c == L'\0')
        return SCAN_END;
    return StoreCharacter(s, c) == 0 ? SCAN_ON : SCAN_OVERFLOW;
}

}  // namespace

int TokenizeArguments(const wchar_t* text) {
    if (text == nullptr)
        return -1;
    ClearTable();
    ScanState s = {.next = text, .slot = 0, .index = 0, .length = 0, .quoted = 0, .options = INITIAL_ARG_OPTIONS,
                   .dropped = nullptr, .droppedQuoted = 0};
    ScanStep step = SCAN_ON;
    while (step == SCAN_ON)
        step = ScanCharacter(&s);
    if (step == SCAN_OVERFLOW)
        return -1;
    if (s.length != 0)    // the last argument, ended by the end of the text
        s.index++;
    TrimArguments(s.index);
    g_args.count = s.index;
    return g_args.count;
}
