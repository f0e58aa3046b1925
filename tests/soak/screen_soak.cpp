// A seeded differential soak of the screen. Random sessions of a shell's
// work at its prompt (typed characters, keys after which a whole line is
// written at once, Esc, Enter with output lines, cls, slow lines whose slow
// command prints) are played twice on the same console from the same
// screen: first with no plug-in at all (the reference), then with the
// shipped DLL in show-timer mode 2 getting the key events. The soak plays
// the shell: it writes at the cursor with WriteConsoleW as a shell echoes,
// and hands each key to the plug-in before echoing it.
//
// Checks, against what the reference pass recorded:
// - after every Enter and Esc: the two screen buffers are equal cell for
//   cell, with the cursor, the window and the text attributes;
// - after every prompt: equal but for the overlay's own cells (the window's
//   top row, columns width-1-n .. width-2, the text in the timer colours);
//   equal everywhere when the read that saves the cells under it failed;
// - after an erasure during which a console read failed: nothing differs
//   but cells of one row, at the overlay's columns, that still show it
//   (the session ends there);
// - every row that scrolls out of the buffer (into a terminal's history)
//   is the same in both passes;
// - the slow command runs after exactly the slow lines.
//
// The soak keeps a model of where its writes land and how far the content
// moves up (Wine's console: see ConsoleModel), checked against the real
// cursor and window after every write of the reference pass, and a shadow
// of every cell, checked against the reference pass's screen at each of its
// checkpoints. With them, while the overlay shows, it never writes a cell
// equal to the overlay's own, and never brings a row with the same cells
// left of the overlay's columns as the overlay's row between the overlay and
// the row it was drawn on (KeepRowsApart): no plug-in could tell either from
// its own. Prompts and output lines start with a running number, so rows
// differ there.
//
//   lapwatch_screen_soak.exe [--seed S] [--steps N] [--session K] [--keep-going]
//
// Sessions are numbered from 1 and each draws from a generator of its own,
// seeded with the seed and its number: --seed S --session K replays one.
#include "overlay/console_overlay.h"
#include "support/plugin_session.h"
#include "support/system_fakes.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// Rows that the erasure's search for an overlay carried up reads at once:
// the sessions carry overlays across the edges of those blocks.
const int kSearchRows = OVERLAY_SEARCH_ROWS;

const size_t kLongestLine = 8191;           // the longest line the shell edits
const uint64_t kMillisecond = 10000;        // ticks
const uint64_t kSecond = 1000 * kMillisecond;
const int kWidestBuffer = 160;              // every overlay fits the 200 saved cells
const int kCellsAtOnce = 16384;             // cells the soak reads or writes in one call
const wchar_t kSlowCommand[] = L"soak-slow";

// ---- options and failures ---------------------------------------------------

struct Options {
    uint64_t seed = 1;
    uint64_t steps = 10000;
    uint64_t session = 0;                   // 0: every session until the steps are done
    bool keepGoing = false;
};

struct Failure {
    std::string what;
};

[[noreturn]] void Fail(const std::string& what) { throw Failure{what}; }

std::string Narrow(const std::wstring& text, size_t longest = 90) {
    std::string narrow;
    for (wchar_t c : text.substr(0, longest))
        narrow += c >= 32 && c < 127 ? static_cast<char>(c) : c == L'\r' ? '<' : c == L'\n' ? '>' : '?';
    if (text.size() > longest)
        narrow += "...(" + std::to_string(text.size()) + " characters)";
    return narrow;
}

std::string Hex(unsigned value) {
    char text[16];
    snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// ---- random choices ---------------------------------------------------------

struct Random {
    explicit Random(uint64_t seed, uint64_t session) {
        std::seed_seq sequence{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32),
                               static_cast<uint32_t>(session)};
        engine.seed(sequence);
    }
    uint64_t Below(uint64_t n) { return n ? engine() % n : 0; }
    int Between(int low, int high) { return low + static_cast<int>(Below(static_cast<uint64_t>(high - low + 1))); }
    bool Chance(unsigned percent) { return Below(100) < percent; }
    template <typename T, size_t N> const T& Pick(const T (&items)[N]) { return items[Below(N)]; }
    std::mt19937_64 engine;
};

// What the soak types and prints: letters, digits, punctuation, blanks and
// a few letters beyond ASCII, each one console cell wide.
wchar_t RandomCharacter(Random& random) {
    static const wchar_t others[] = L" .,:;-_=+*/()[]<>!?#&'\u00e9\u00df\u0416\u00f1";
    if (random.Chance(20))
        return others[random.Below(std::size(others) - 1)];
    if (random.Chance(15))
        return static_cast<wchar_t>(L'0' + random.Below(10));
    return static_cast<wchar_t>((random.Chance(50) ? L'a' : L'A') + random.Below(26));
}

std::wstring RandomText(Random& random, size_t length) {
    std::wstring text;
    for (size_t i = 0; i < length; ++i)
        text += RandomCharacter(random);
    return text;
}

// ---- the console: a model of where writes land --------------------------------

// Wine's console (processed output, wrap at the end of a row): a character
// written past the last column first ends the row; a row filled to its last
// column ends only when the next character comes or when the write call
// returns (so "\r" right after the last column stays on that row); "\n"
// also returns to column 0; ending the buffer's last row moves the whole
// content up one row (the top row leaves the buffer) and keeps the cursor
// on the last row. The window moves only to keep the cursor in sight.
struct ConsoleModel {
    int width = 0, height = 0, windowRows = 0;
    int x = 0, y = 0, windowTop = 0;
    uint64_t scrolls = 0;                   // rows the content has moved up in all

    void EndRow() {
        x = 0;
        if (y == height - 1)
            ++scrolls;
        else
            ++y;
    }

    // Applies one write call; cell(column, row, index) is told where each
    // printed character of text lands, before it does.
    template <typename Cell> void Write(const std::wstring& text, Cell cell) {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'\r') {
                x = 0;
            } else if (text[i] == L'\n') {
                EndRow();
            } else {
                if (x == width)
                    EndRow();
                cell(x, y, i);
                ++x;
            }
        }
        if (x == width)
            EndRow();
        if (y >= windowTop + windowRows)
            windowTop = y - windowRows + 1;
    }
    void Write(const std::wstring& text) {
        Write(text, [](int, int, size_t) {});
    }

    // Characters to write from the cursor on (in one call or one at a
    // time) so that the content has moved up `rows` rows by the last one.
    uint64_t CharactersToScroll(uint64_t rows) const {
        uint64_t endings = static_cast<uint64_t>(height - 1 - y) + rows;
        return endings * static_cast<uint64_t>(width) - static_cast<uint64_t>(x);
    }
};

CHAR_INFO Cell(wchar_t c, WORD attributes) {
    CHAR_INFO cell;
    cell.Char.UnicodeChar = c;
    cell.Attributes = attributes;
    return cell;
}

bool Same(const CHAR_INFO& a, const CHAR_INFO& b) {
    return a.Char.UnicodeChar == b.Char.UnicodeChar && a.Attributes == b.Attributes;
}

// A row that comes in at the bottom when the content moves up.
const CHAR_INFO kScrolledIn = Cell(L' ', 0x07);

// Every cell of the buffer as the soak's writes leave it, which is what the
// reference pass must show. The rows are kept in a ring, so that moving the
// content up costs one row.
struct Shadow {
    int width = 0, height = 0, first = 0;
    uint64_t scrolls = 0;
    std::vector<CHAR_INFO> ring;

    CHAR_INFO* Row(int row) { return &ring[Slot(row)]; }
    const CHAR_INFO* Row(int row) const { return &ring[Slot(row)]; }
    // Moves the content up until `total` rows have moved in all.
    void CatchUp(uint64_t total) {
        for (; scrolls < total; ++scrolls) {
            std::fill(Row(0), Row(0) + width, kScrolledIn);
            first = (first + 1) % height;
        }
    }

private:
    size_t Slot(int row) const { return static_cast<size_t>((first + row) % height) * static_cast<size_t>(width); }
};

// ---- sessions -------------------------------------------------------------------

enum class Layout { Terminal, NearlyTerminal, Full, Tall, EdgeOfALine };
const char* const kLayoutNames[] = {"terminal", "nearly a terminal", "full buffer", "tall and narrow",
                                    "one longest line tall"};

struct Setup {
    Layout layout = Layout::Full;
    int width = 80, height = 300, windowRows = 25;
    WORD text = 0x07, second = 0x03;        // text colours; a second colour of the first screen
    WORD timer = 0x1F;                      // timer colours
    bool defaultFormat = true;
    std::wstring format;                    // LAPWATCHFMT otherwise
    bool slowCommand = true;                // threshold 1 s
    bool blankStart = false;                // cleared, cursor and window at the top
    std::vector<CHAR_INFO> screen;          // the first screen
    std::wstring firstPrompt;
};

std::wstring ClockText(uint64_t ticks) {
    uint64_t ms = ticks / kMillisecond;
    wchar_t text[48];
    swprintf(text, 48, L"%llu:%02u:%02u.%03u", static_cast<unsigned long long>(ms / 3600000),
             static_cast<unsigned>(ms / 60000 % 60), static_cast<unsigned>(ms / 1000 % 60),
             static_cast<unsigned>(ms % 1000));
    return text;
}

// The timer text of the count-th timed line, which ran `ticks`.
std::wstring TimerText(const Setup& setup, uint64_t count, uint64_t ticks) {
    if (!setup.defaultFormat)
        return setup.format;
    return L" [" + std::to_wstring(count) + L"]  " + ClockText(ticks) + L" ";
}

// What the overlay's cells show for a timer text: at most width - 1 of its
// characters, a control character as a blank.
std::wstring ShownText(const std::wstring& text, int width) {
    std::wstring shown = text.substr(0, static_cast<size_t>(width - 1));
    for (wchar_t& c : shown) {
        if (c < 0x20 || c == 0x7F)
            c = L' ';
    }
    return shown;
}

// A row of the first screen: its number near its start, then letters in
// runs of both colours; or a row that shows a timer text at the timer's
// columns, when the text leaves room left of it for the number.
void FillRow(const Setup& setup, Random& random, int row, const std::wstring& lookalike, CHAR_INFO* cells) {
    std::wstring text = L"~" + std::to_wstring(row) + L"~ " + RandomText(random, setup.width);
    int left = setup.width - 1 - static_cast<int>(lookalike.size());
    if (!lookalike.empty() && left >= static_cast<int>(text.find(L' ')) + 2 && random.Chance(10))
        text.replace(left, lookalike.size(), lookalike);
    WORD attributes = setup.text;
    for (int column = 0; column < setup.width; ++column) {
        if (random.Chance(15))
            attributes = attributes == setup.text ? setup.second : setup.text;
        cells[column] = Cell(text[column], attributes);
    }
}

void PickGeometry(Setup& setup, Random& random) {
    static const int windows[] = {6, 12, 25};
    setup.layout = static_cast<Layout>(random.Below(5));
    switch (setup.layout) {
    case Layout::Terminal:
        setup.windowRows = setup.height = random.Pick(windows);
        setup.width = random.Between(16, kWidestBuffer);
        break;
    case Layout::NearlyTerminal:
        setup.windowRows = random.Pick(windows);
        setup.height = setup.windowRows + random.Between(1, 6);
        setup.width = random.Between(16, kWidestBuffer);
        break;
    case Layout::Full:
        setup.height = 300;
        setup.width = random.Between(16, kWidestBuffer);
        break;
    case Layout::Tall:
        // 15 columns or fewer, the longest line carries content up past
        // two blocks of the search.
        setup.height = random.Between(600, 1000);
        setup.width = random.Chance(50) ? random.Between(12, 15) : random.Between(16, 30);
        break;
    case Layout::EdgeOfALine:
        // The longest line carries content up about as many rows as lie
        // above the window.
        setup.width = random.Between(30, 60);
        setup.height = setup.windowRows + static_cast<int>(kLongestLine) / setup.width + random.Between(-2, 2);
        break;
    }
}

void PickTimer(Setup& setup, Random& random) {
    static const WORD texts[] = {0x07, 0x1E, 0x0A, 0x70, 0x2F};
    static const WORD timers[] = {0x1F, 0x4E, 0x5F, 0x0C};
    setup.text = random.Pick(texts);
    setup.second = setup.text == 0x07 ? 0x03 : 0x07;
    setup.timer = random.Pick(timers);
    if (setup.timer == setup.text || random.Chance(35))
        setup.timer = setup.text;    // rows of text look like the timer's
    // Buffers made to carry the overlay far take texts that leave room left
    // of them for the rows' running numbers, which tell rows apart.
    const bool roomLeft = setup.layout == Layout::Tall || setup.layout == Layout::EdgeOfALine;
    const int widest = setup.width - 1;
    setup.defaultFormat = random.Chance(30) && (!roomLeft || widest - 18 >= 9);
    static const int anyText[] = {0, 1, 2, 3, 4, 5, 6};
    static const int shortText[] = {0, 1, 4, 5, 6};
    int kind = roomLeft ? random.Pick(shortText) : random.Pick(anyText);
    if (kind == 0 && roomLeft && widest - 18 < 9)
        kind = 1;
    switch (kind) {
    case 0: setup.format = L" took 0:00:01.500 "; break;
    case 1: setup.format = L"#"; break;
    case 2: setup.format = L"<" + std::wstring(widest - 2, L'=') + L">"; break;    // the longest drawn
    case 3: setup.format = L"[" + std::wstring(widest + 8, L'~') + L"]"; break;    // cut
    case 4: setup.format = L" a\tb\x01" L"c\x7F "; break;                           // controls as blanks
    case 5: setup.format = L"  x y  "; break;
    default: setup.format = RandomText(random, random.Between(2, roomLeft ? 6 : 12)); break;
    }
    if (setup.format.find_first_not_of(L' ') == std::wstring::npos)
        setup.format = L"*";
}

Setup MakeSetup(Random& random) {
    Setup setup;
    PickGeometry(setup, random);
    PickTimer(setup, random);
    setup.slowCommand = random.Chance(80);
    setup.blankStart = random.Chance(20);
    std::wstring lookalike =
        ShownText(setup.defaultFormat ? TimerText(setup, 1, 1500 * kMillisecond) : setup.format, setup.width);
    setup.screen.resize(static_cast<size_t>(setup.width) * static_cast<size_t>(setup.height));
    for (int row = 0; row < setup.height; ++row) {
        CHAR_INFO* cells = setup.screen.data() + static_cast<size_t>(row) * setup.width;
        if (setup.blankStart)
            std::fill(cells, cells + setup.width, Cell(L' ', setup.text));
        else
            FillRow(setup, random, row, lookalike, cells);
    }
    setup.firstPrompt = L"[1]$ ";
    return setup;
}

std::string Describe(const Setup& setup) {
    std::string format = setup.defaultFormat ? "the default format" : "LAPWATCHFMT \"" + Narrow(setup.format) + "\"";
    return std::string(kLayoutNames[static_cast<int>(setup.layout)]) + ": buffer " + std::to_string(setup.width) +
           "x" + std::to_string(setup.height) + ", window " + std::to_string(setup.windowRows) + " rows" +
           (setup.blankStart ? " at the top of a cleared buffer" : " at the bottom") + "; text colours " +
           Hex(setup.text) + ", timer colours " + Hex(setup.timer) + "; " + format + "; " +
           (setup.slowCommand ? "a slow command that prints" : "no slow command");
}

// ---- actions ----------------------------------------------------------------------

enum class Act { Type, Named, Esc, Enter };
enum class Run { Blank, Output, Cls };

struct Action {
    Act act = Act::Type;
    int code = 0;
    std::wstring name;                      // the key name; empty for none
    std::wstring text;                      // Type: the character; Named: the line written after the key
    std::string why;                        // the aim of a Named line
    // Enter:
    Run run = Run::Output;
    std::vector<std::wstring> output;       // written after the Enter's echo, each ending in \r\n
    uint64_t ticks = 0;                     // how long the line runs
    std::wstring prompt;                    // the next prompt
    std::wstring slowOutput;                // printed by the slow command, when it runs
    bool saveFault = false;                 // every console read of the plug-in fails at that prompt
    // Enter and Esc:
    int eraseFault = 0;                     // the erasure's nth console read fails
};

std::string DescribeFault(const Action& action) {
    return action.eraseFault ? ", its erasure's console read " + std::to_string(action.eraseFault) + " failing" : "";
}

std::string Describe(const Action& action) {
    switch (action.act) {
    case Act::Type: return "type \"" + Narrow(action.text) + "\"";
    case Act::Named:
        return "key " + std::to_string(action.code) + " \"" + Narrow(action.name) + "\", then a line of " +
               std::to_string(action.text.size()) + " characters at once" +
               (action.why.empty() ? "" : " (" + action.why + ")");
    case Act::Esc: return (action.code ? "Esc" : "Esc by name") + DescribeFault(action);
    case Act::Enter: {
        std::string what = (action.code ? "Enter" : "Enter by name") + DescribeFault(action);
        if (action.run == Run::Cls)
            what += "; cls";
        else if (action.run == Run::Output)
            what += "; " + std::to_string(action.output.size()) + " output lines";
        what += "; ran " + Narrow(ClockText(action.ticks));
        if (!action.slowOutput.empty())
            what += "; slow output " + std::to_string(action.slowOutput.size()) + " characters";
        if (action.saveFault)
            what += "; every console read fails at the prompt";
        return what + "; prompt \"" + Narrow(action.prompt) + "\"";
    }
    }
    return "";
}

// ---- what a pass sees: snapshots --------------------------------------------------

struct Snapshot {
    int width = 0, height = 0;
    std::vector<CHAR_INFO> cells;
    COORD cursor{};
    SMALL_RECT window{};
    WORD attributes = 0;
    const CHAR_INFO& At(int column, int row) const {
        return cells[static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(column)];
    }
};

// Rows first..first+count-1, read in blocks the console takes at once.
std::vector<CHAR_INFO> ReadRows(HANDLE console, int width, int first, int count) {
    std::vector<CHAR_INFO> cells(static_cast<size_t>(width) * static_cast<size_t>(count));
    const int block = kCellsAtOnce / width;
    for (int done = 0; done < count; done += block) {
        int rows = std::min(block, count - done);
        SMALL_RECT area = {0, static_cast<SHORT>(first + done), static_cast<SHORT>(width - 1),
                           static_cast<SHORT>(first + done + rows - 1)};
        if (!ReadConsoleOutputW(console, cells.data() + static_cast<size_t>(done) * width,
                                COORD{static_cast<SHORT>(width), static_cast<SHORT>(rows)}, COORD{0, 0}, &area))
            Fail("the soak cannot read the console's rows");
    }
    return cells;
}

Snapshot TakeSnapshot(HANDLE console) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(console, &info);
    Snapshot snapshot;
    snapshot.width = info.dwSize.X;
    snapshot.height = info.dwSize.Y;
    snapshot.cells = ReadRows(console, snapshot.width, 0, snapshot.height);
    snapshot.cursor = info.dwCursorPosition;
    snapshot.window = info.srWindow;
    snapshot.attributes = info.wAttributes;
    return snapshot;
}

std::string CellText(const CHAR_INFO& cell) {
    wchar_t c = cell.Char.UnicodeChar;
    std::string shown = c >= 32 && c < 127 ? std::string("'") + static_cast<char>(c) + "'" : Hex(c);
    return shown + " in " + Hex(cell.Attributes);
}

std::string RowText(const CHAR_INFO* cells, int width) {
    std::wstring text;
    for (int i = 0; i < width; ++i)
        text += cells[i].Char.UnicodeChar;
    return "\"" + Narrow(text, 200) + "\"";
}

// ---- the overlay as the soak expects it -----------------------------------------------

struct Overlay {
    bool showing = false;
    int row = 0;                            // the window's top row at the drawing
    uint64_t scrollsAtDrawing = 0;
    int left = 0;
    std::wstring shown;
    WORD colours = 0;
    uint64_t typingRoom = 0;                // characters typed from the prompt on that carry it out
    bool mayBeGone = false;                 // a key not a plain character came, or a write met its cells
    bool checkedAfterAKey = false;

    uint64_t Moved(const ConsoleModel& console) const { return console.scrolls - scrollsAtDrawing; }
    // Its row now: negative once it has left the buffer.
    int64_t Row(const ConsoleModel& console) const { return row - static_cast<int64_t>(Moved(console)); }
    bool Covers(const ConsoleModel& console, int column, int atRow) const {
        return showing && atRow == Row(console) && column >= left && column < left + static_cast<int>(shown.size());
    }
    CHAR_INFO CellAt(int column) const { return Cell(shown[static_cast<size_t>(column - left)], colours); }
};

// Edges the sessions reached, counted in the reference pass.
struct Reached {
    uint64_t steps = 0, sessions = 0, checkpoints = 0, overlays = 0;
    uint64_t carriedUp = 0, carriedToFirstRow = 0, carriedOut = 0, typedThrough = 0;
    uint64_t foundInBlock[4] = {};          // erasures of an overlay where drawn; in the search's block 1, 2, 3 and on
    uint64_t nearBoundary = 0;              // moved 256k-1 .. 256k+1 rows
    uint64_t saveFaults = 0, eraseFaults = 0, eraseFaultsFired = 0, searchFaultsFired = 0;
    uint64_t lookalikes = 0, departedRows = 0, slowLines = 0, clears = 0;
    uint64_t keysLeavingIt = 0;             // typed keys after which the overlay was seen still showing
};
Reached g_reached;

// ---- the plug-in under test ------------------------------------------------------------

struct Pass;
Pass* g_commandPass;                        // the pass whose console the slow command prints on
int g_commandCalls;
std::wstring g_commandLine;

void WriteSlowOutput(Pass* pass);

int WINAPI SoakCommand(wchar_t* line, int) {
    ++g_commandCalls;
    g_commandLine = line ? line : L"(null)";
    if (g_commandPass)
        WriteSlowOutput(g_commandPass);
    return 0;
}

struct PluginUnderTest {
    explicit PluginUnderTest(const Setup& setup) : session(Saved(setup)) {
        if (session.started != 0)
            Fail("the DLL does not start");
        if (!command.Applied() || !reads.Applied() || !session.clock.patch.Applied())
            Fail("an import of the DLL cannot be patched");
        CapturedOutput report;
        if (session.Lapwatch((L"/C:0x" + Hex2(setup.timer)).c_str()) != 0)
            Fail("lapwatch refuses the timer colours " + Hex(setup.timer));
    }
    static SavedSettings Saved(const Setup& setup) {
        SavedSettings saved = ShowTimerMode(2);
        saved.slowSeconds = 1;
        saved.slowCommand = setup.slowCommand ? kSlowCommand : nullptr;
        return saved;
    }
    static std::wstring Hex2(WORD value) {
        wchar_t text[8];
        swprintf(text, 8, L"%02X", value);
        return text;
    }
    int Key(int code, const std::wstring& name, const std::wstring& line) {
        return session.Key(code, name.empty() ? nullptr : name.c_str(), line.c_str());
    }

    PluginSession session;
    ImportPatch command{session.plugin.module, "TakeCmd.dll", "Command", reinterpret_cast<void*>(&SoakCommand)};
    ConsoleReadFailingOnce reads{session.plugin.module};
};

// ---- a pass: the player --------------------------------------------------------------

enum class Expect { Equal, OverlayShows, LeftAfterAFault };

// What the reference pass saw, for the plug-in pass to compare with.
struct Recording {
    std::vector<Snapshot> checkpoints;
    std::vector<std::vector<CHAR_INFO>> departed;    // rows that left the buffer, per write
};

struct Pass {
    Pass(const Setup& setup, Recording& recording, PluginUnderTest* plugin)
        : setup(setup), recording(recording), plugin(plugin) {
        console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
        if (console == INVALID_HANDLE_VALUE)
            Fail("no console");
    }
    ~Pass() { CloseHandle(console); }

    void Start();
    void Play(const Action& action);

    // The shell's writes.
    void Write(const std::wstring& text);
    void ClearScreen();

    const Setup& setup;
    Recording& recording;
    PluginUnderTest* plugin;                // null in the reference pass
    HANDLE console;
    ConsoleModel model;
    Shadow shadow;
    Overlay overlay;
    std::wstring line;                      // the command line being edited
    uint64_t count = 0;                     // lines timed so far
    bool ended = false;                     // an erasure's read failed
    const Action* enter = nullptr;          // the Enter whose prompt is being shown
    size_t checkpoint = 0, departure = 0;

private:
    void SetGeometry();
    void CheckModel(const char* after);
    void NoteDeparting(uint64_t rows);
    bool SendKey(int code, const std::wstring& name, int eraseFault);
    void Edit(const Action& action);
    void CheckOverlayStays();
    void Esc(const Action& action);
    void Enter(const Action& action);
    void Prompt(const Action& action, bool timed);
    void Checkpoint(Expect expect, const char* where);
    void Compare(const Snapshot& expected, const Snapshot& now, Expect expect, const char* where);
    void CheckShadow(const Snapshot& now, const char* where);
    void NoteErasure();
};

void Pass::SetGeometry() {
    SMALL_RECT smallest = {0, 0, 0, 0};
    SetConsoleWindowInfo(console, TRUE, &smallest);    // first, for a buffer made smaller than the window
    SetConsoleScreenBufferSize(console, COORD{static_cast<SHORT>(setup.width), static_cast<SHORT>(setup.height)});
    int top = setup.blankStart ? 0 : setup.height - setup.windowRows;
    SMALL_RECT window = {0, static_cast<SHORT>(top), static_cast<SHORT>(setup.width - 1),
                         static_cast<SHORT>(top + setup.windowRows - 1)};
    SetConsoleWindowInfo(console, TRUE, &window);
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(console, &info);
    if (info.dwSize.X != setup.width || info.dwSize.Y != setup.height || info.srWindow.Top != top ||
        info.srWindow.Bottom != window.Bottom || info.srWindow.Left != 0 || info.srWindow.Right != window.Right)
        Fail("the console cannot be given this session's buffer and window");
    model.width = setup.width;
    model.height = setup.height;
    model.windowRows = setup.windowRows;
    model.windowTop = top;
    model.x = 0;
    model.y = setup.blankStart ? 0 : setup.height - 1;
    shadow.width = setup.width;
    shadow.height = setup.height;
    shadow.ring = setup.screen;
}

// The same first screen, cursor, window and text colours for both passes;
// the first prompt, and the prompt event that follows it.
void Pass::Start() {
    SetGeometry();
    SetConsoleTextAttribute(console, setup.text);
    const int block = kCellsAtOnce / setup.width;
    for (int row = 0; row < setup.height; row += block) {
        int rows = std::min(block, setup.height - row);
        SMALL_RECT area = {0, static_cast<SHORT>(row), static_cast<SHORT>(setup.width - 1),
                           static_cast<SHORT>(row + rows - 1)};
        WriteConsoleOutputW(console, setup.screen.data() + static_cast<size_t>(row) * setup.width,
                            COORD{static_cast<SHORT>(setup.width), static_cast<SHORT>(rows)}, COORD{0, 0}, &area);
    }
    SetConsoleCursorPosition(console, COORD{static_cast<SHORT>(model.x), static_cast<SHORT>(model.y)});
    CheckModel("the first screen");
    SetEnvironmentVariableW(L"LAPWATCHFMT", setup.defaultFormat ? nullptr : setup.format.c_str());
    Write(setup.firstPrompt);
    if (plugin && plugin->Key(KEY_CODE_NONE, L"", L"") != 0)
        Fail("key did not return 0");
    Checkpoint(Expect::Equal, "the first prompt");
}

void Pass::CheckModel(const char* after) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(console, &info);
    if (info.dwCursorPosition.X != model.x || info.dwCursorPosition.Y != model.y ||
        info.srWindow.Top != model.windowTop)
        Fail(std::string("the soak's model of the console is wrong after ") + after + ": cursor " +
             std::to_string(info.dwCursorPosition.X) + "," + std::to_string(info.dwCursorPosition.Y) + " window top " +
             std::to_string(info.srWindow.Top) + ", the model says " + std::to_string(model.x) + "," +
             std::to_string(model.y) + " and " + std::to_string(model.windowTop));
}

// Rows about to leave the buffer: the reference pass keeps them, the
// plug-in pass compares them with the reference's. The first `height` are
// the rows there now; any further ones are rows of this very write.
void Pass::NoteDeparting(uint64_t rows) {
    int count = static_cast<int>(std::min<uint64_t>(rows, static_cast<uint64_t>(setup.height)));
    std::vector<CHAR_INFO> cells = ReadRows(console, setup.width, 0, count);
    if (!plugin) {
        recording.departed.push_back(std::move(cells));
        g_reached.departedRows += static_cast<uint64_t>(count);
        return;
    }
    if (departure >= recording.departed.size())
        Fail("more writes scroll than in the reference pass");
    const std::vector<CHAR_INFO>& expected = recording.departed[departure++];
    for (size_t i = 0; i < cells.size(); ++i) {
        if (!Same(cells[i], expected[i])) {
            size_t row = i / static_cast<size_t>(setup.width);
            const CHAR_INFO* mine = cells.data() + row * setup.width;
            Fail("row " + std::to_string(row) + " of the buffer, leaving it (into a terminal's history), differs at " +
                 "column " + std::to_string(i % setup.width) + ": " + CellText(cells[i]) + ", the reference has " +
                 CellText(expected[i]) + "; the row reads " + RowText(mine, setup.width) + ", the reference's " +
                 RowText(expected.data() + row * setup.width, setup.width));
        }
    }
}

// Writes text at the cursor as a shell's echo does.
void Pass::Write(const std::wstring& text) {
    if (text.empty())
        return;
    ConsoleModel after = model;
    after.Write(text);
    if (after.scrolls > model.scrolls)
        NoteDeparting(after.scrolls - model.scrolls);
    after = model;
    after.Write(text, [&](int x, int y, size_t i) {
        CHAR_INFO cell = Cell(text[i], setup.text);
        if (overlay.Covers(after, x, y) && Same(cell, overlay.CellAt(x)))
            Fail("the soak was about to write a cell equal to the overlay's own at " + std::to_string(x) + "," +
                 std::to_string(y) + " (a fault of the soak)");
        shadow.CatchUp(after.scrolls);
        shadow.Row(y)[x] = cell;
        if (overlay.Covers(after, x, y))
            overlay.mayBeGone = true;
    });
    shadow.CatchUp(after.scrolls);
    DWORD written = 0;
    WriteConsoleW(console, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
    model = after;
    if (!plugin)    // the same writes in the plug-in pass meet the same cursor, compared at each checkpoint
        CheckModel("a write");
}

// cls: the whole buffer blank in the text colours, cursor and window at the
// top left.
void Pass::ClearScreen() {
    DWORD cells = static_cast<DWORD>(setup.width) * static_cast<DWORD>(setup.height), done = 0;
    FillConsoleOutputCharacterW(console, L' ', cells, COORD{0, 0}, &done);
    FillConsoleOutputAttribute(console, setup.text, cells, COORD{0, 0}, &done);
    std::fill(shadow.ring.begin(), shadow.ring.end(), Cell(L' ', setup.text));
    SMALL_RECT window = {0, 0, static_cast<SHORT>(setup.width - 1), static_cast<SHORT>(setup.windowRows - 1)};
    SetConsoleWindowInfo(console, TRUE, &window);
    SetConsoleCursorPosition(console, COORD{0, 0});
    model.x = model.y = model.windowTop = 0;
    CheckModel("cls");
}

void WriteSlowOutput(Pass* pass) { pass->Write(pass->enter->slowOutput); }

// The key event, in the plug-in pass only, with the erasure's nth console
// read made to fail when eraseFault is n. True when that read failed.
bool Pass::SendKey(int code, const std::wstring& name, int eraseFault) {
    if (!plugin)
        return false;
    plugin->reads.Arm(eraseFault);
    int rc = plugin->Key(code, name, line);
    bool failed = plugin->reads.Failed();
    plugin->reads.Arm(0);
    if (rc != 0)
        Fail("key did not return 0");
    if (failed) {
        ++g_reached.eraseFaultsFired;
        if (eraseFault > 1 && overlay.showing && overlay.Moved(model) > 0)
            ++g_reached.searchFaultsFired;
    }
    return failed;
}

// A typed character, or a key after which the shell writes a whole line at
// once: the key goes to the plug-in before the shell echoes anything.
void Pass::Edit(const Action& action) {
    SendKey(action.code, action.name, 0);
    if (action.act == Act::Named)
        overlay.mayBeGone = true;
    else
        CheckOverlayStays();
    Write(action.text);
    line += action.text;
}

// A plain character whose echo, and a row's more, cannot carry the overlay
// out of the buffer leaves it showing; looked at once an overlay.
void Pass::CheckOverlayStays() {
    const uint64_t typed = line.size() + 1 + static_cast<uint64_t>(setup.width);
    if (!plugin || !overlay.showing || overlay.mayBeGone || overlay.checkedAfterAKey || typed >= overlay.typingRoom)
        return;
    overlay.checkedAfterAKey = true;
    ++g_reached.keysLeavingIt;
    const int row = static_cast<int>(overlay.Row(model));
    std::vector<CHAR_INFO> cells = ReadRows(console, setup.width, row, 1);
    for (int column = overlay.left; column < overlay.left + static_cast<int>(overlay.shown.size()); ++column) {
        if (!Same(cells[static_cast<size_t>(column)], overlay.CellAt(column)))
            Fail("a typed key took the overlay off (its cell " + std::to_string(column) + "," + std::to_string(row) +
                 " shows " + CellText(cells[static_cast<size_t>(column)]) + "), though the line typed so far and " +
                 "a row more cannot carry it out of the buffer");
    }
}

// Edges of the erasure that comes now, as the model sees them.
void Pass::NoteErasure() {
    if (plugin || !overlay.showing)
        return;
    uint64_t moved = overlay.Moved(model);
    if (moved > 0)
        ++g_reached.carriedUp;
    if (moved > 0 && overlay.Row(model) == 0)
        ++g_reached.carriedToFirstRow;
    if (overlay.Row(model) < 0) {
        ++g_reached.carriedOut;
        return;
    }
    ++g_reached.foundInBlock[std::min<uint64_t>(3, (moved + kSearchRows - 1) / kSearchRows)];
    uint64_t offset = moved % kSearchRows;
    if (moved >= kSearchRows - 1 && (offset <= 1 || offset == kSearchRows - 1))
        ++g_reached.nearBoundary;
    // What KeepRowsApart is for: no row between the overlay and its place
    // looks like the overlay's row left of the overlay.
    const int own = static_cast<int>(overlay.Row(model));
    for (int row = own + 1; row <= std::min(overlay.row, setup.height - 1); ++row) {
        if (std::equal(shadow.Row(own), shadow.Row(own) + overlay.left, shadow.Row(row), Same))
            Fail("row " + std::to_string(row) + " shows the cells of the overlay's row " + std::to_string(own) +
                 " left of the overlay (a fault of the soak)");
    }
}

void Pass::Esc(const Action& action) {
    NoteErasure();
    bool faulted = SendKey(action.code, action.name, action.eraseFault);
    Checkpoint(faulted ? Expect::LeftAfterAFault : Expect::Equal, "Esc");
    overlay.showing = false;
    line.clear();
    ended = action.eraseFault != 0;
}

bool IsBlank(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return iswspace(c) != 0; });
}

void Pass::Enter(const Action& action) {
    NoteErasure();
    bool timed = !IsBlank(line);
    bool faulted = SendKey(action.code, action.name, action.eraseFault);
    Checkpoint(faulted ? Expect::LeftAfterAFault : Expect::Equal, "Enter");
    overlay.showing = false;
    ended = action.eraseFault != 0;
    if (ended)
        return;
    if (timed)
        ++count;
    line.clear();
    Write(L"\r\n");
    if (action.run == Run::Cls) {
        ClearScreen();
        g_reached.clears += plugin ? 0 : 1;
    }
    for (const std::wstring& output : action.output)
        Write(output);
    Prompt(action, timed);
}

// The prompt, then the prompt event; the plug-in runs the slow command in
// it, which prints on the console, and draws the line's time.
void Pass::Prompt(const Action& action, bool timed) {
    Write(action.prompt);
    bool slow = timed && setup.slowCommand && action.ticks >= kSecond;
    enter = &action;
    if (plugin) {
        plugin->session.clock.Advance(action.ticks);
        g_commandPass = this;
        g_commandCalls = 0;
        {
            std::optional<FailingConsoleRead> unreadable;
            if (action.saveFault)
                unreadable.emplace(plugin->session.plugin.module);
            if (plugin->Key(KEY_CODE_NONE, L"", L"") != 0)
                Fail("key did not return 0");
        }
        g_commandPass = nullptr;
        if (g_commandCalls != (slow ? 1 : 0) || (slow && g_commandLine != kSlowCommand))
            Fail("the slow command ran " + std::to_string(g_commandCalls) + " times after a line of " +
                 Narrow(ClockText(action.ticks)) + (slow ? " (once expected)" : " (never expected)"));
    } else if (slow) {
        Write(action.slowOutput);
        ++g_reached.slowLines;
    }
    std::wstring shown = timed ? ShownText(TimerText(setup, count, action.ticks), setup.width) : L"";
    overlay = Overlay();
    if (!shown.empty() && !action.saveFault) {
        overlay.showing = true;
        overlay.row = model.windowTop;
        overlay.scrollsAtDrawing = model.scrolls;
        overlay.left = setup.width - 1 - static_cast<int>(shown.size());
        overlay.shown = shown;
        overlay.colours = setup.timer;
        overlay.typingRoom = model.CharactersToScroll(static_cast<uint64_t>(overlay.row) + 1);
        g_reached.overlays += plugin ? 0 : 1;
    }
    if (action.saveFault && !plugin)
        ++g_reached.saveFaults;
    Checkpoint(overlay.showing ? Expect::OverlayShows : Expect::Equal, "the prompt");
}

void Pass::Play(const Action& action) {
    switch (action.act) {
    case Act::Type:
    case Act::Named: Edit(action); break;
    case Act::Esc: Esc(action); break;
    case Act::Enter: Enter(action); break;
    }
}

void Pass::Checkpoint(Expect expect, const char* where) {
    Snapshot now = TakeSnapshot(console);
    if (!plugin) {
        CheckShadow(now, where);
        recording.checkpoints.push_back(std::move(now));
        ++g_reached.checkpoints;
        return;
    }
    if (checkpoint >= recording.checkpoints.size())
        Fail("more checkpoints than in the reference pass");
    Compare(recording.checkpoints[checkpoint++], now, expect, where);
}

// The reference pass shows exactly what the soak wrote: else its model of
// the console, on which its rules about the overlay's cells rest, is wrong.
void Pass::CheckShadow(const Snapshot& now, const char* where) {
    for (int row = 0; row < now.height; ++row) {
        const CHAR_INFO* cells = shadow.Row(row);
        for (int column = 0; column < now.width; ++column) {
            if (!Same(cells[column], now.At(column, row)))
                Fail(std::string("the soak's model of the screen is wrong after ") + where + ": cell " +
                     std::to_string(column) + "," + std::to_string(row) + " shows " + CellText(now.At(column, row)) +
                     ", the model says " + CellText(cells[column]));
        }
    }
}

void Pass::Compare(const Snapshot& expected, const Snapshot& now, Expect expect, const char* where) {
    auto state = [](const Snapshot& s) {
        return "cursor " + std::to_string(s.cursor.X) + "," + std::to_string(s.cursor.Y) + ", window " +
               std::to_string(s.window.Left) + "," + std::to_string(s.window.Top) + " to " +
               std::to_string(s.window.Right) + "," + std::to_string(s.window.Bottom) + ", text colours " +
               Hex(s.attributes);
    };
    if (state(expected) != state(now) || expected.width != now.width || expected.height != now.height)
        Fail(std::string("after ") + where + ": " + state(now) + "; the reference has " + state(expected));
    std::string differences;
    int differing = 0, faultRow = -1;
    for (int row = 0; row < now.height; ++row) {
        for (int column = 0; column < now.width; ++column) {
            const CHAR_INFO& mine = now.At(column, row);
            const CHAR_INFO& theirs = expected.At(column, row);
            bool overlayCell = overlay.Covers(model, column, row);
            bool allowed = false;
            if (expect == Expect::OverlayShows && overlayCell) {
                if (!Same(mine, overlay.CellAt(column)))
                    Fail(std::string("after ") + where + ": the overlay's cell " + std::to_string(column) + "," +
                         std::to_string(row) + " shows " + CellText(mine) + ", not " +
                         CellText(overlay.CellAt(column)));
                allowed = true;
            }
            if (Same(mine, theirs) || allowed)
                continue;
            if (expect == Expect::LeftAfterAFault && column >= overlay.left &&
                column < overlay.left + static_cast<int>(overlay.shown.size()) && Same(mine, overlay.CellAt(column)) &&
                (faultRow < 0 || faultRow == row)) {
                faultRow = row;
                continue;
            }
            if (++differing <= 6)
                differences += "\n    cell " + std::to_string(column) + "," + std::to_string(row) + " shows " +
                               CellText(mine) + ", the reference " + CellText(theirs);
        }
    }
    if (differing)
        Fail(std::string("after ") + where + ", " + std::to_string(differing) +
             " cells differ from the reference pass's" +
             (overlay.showing ? " (the overlay: row " + std::to_string(overlay.Row(model)) + ", columns " +
                                    std::to_string(overlay.left) + " to " +
                                    std::to_string(overlay.left + static_cast<int>(overlay.shown.size()) - 1) +
                                    ", moved up " + std::to_string(overlay.Moved(model)) + " rows)"
                              : "") +
             ":" + differences);
}

// ---- the generator ------------------------------------------------------------------

// Where a character of a write of printable characters lands: its column,
// its row counted from the top of the content (the buffer row plus the rows
// moved up before it), and the rows moved up in all had the write ended with
// it.
struct Landing {
    int column;
    uint64_t row;
    uint64_t movedAfter;
};

std::vector<Landing> Land(ConsoleModel model, const std::wstring& text) {
    std::vector<Landing> landings;
    for (size_t i = 0; i < text.size(); ++i) {
        if (model.x == model.width)
            model.EndRow();
        Landing landing{model.x, static_cast<uint64_t>(model.y) + model.scrolls, 0};
        ++model.x;
        bool endsLastRow = model.x == model.width && model.y == model.height - 1;
        landing.movedAfter = model.scrolls + (endsLastRow ? 1 : 0);
        landings.push_back(landing);
    }
    return landings;
}

// The length of the longest start of a write that moves the content up to
// `moved` rows in all.
size_t MovingAtMost(const std::vector<Landing>& landings, uint64_t moved) {
    size_t length = 0;
    while (length < landings.size() && landings[length].movedAfter <= moved)
        ++length;
    return length;
}

bool SameCells(const std::vector<CHAR_INFO>& a, const std::vector<CHAR_INFO>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), Same);
}

struct NamedKey {
    int code;
    const wchar_t* name;
};
const NamedKey kNamedKeys[] = {{0, L"Up"}, {0, L"Down"}, {0, L"PgUp"}, {0, L"PgDn"}, {0, L"F3"},
                               {0, L"F8"}, {9, L"Tab"},  {22, L"Ctrl-V"}, {0x1004D, L"Alt-Right"}};

// Makes the actions of one session from what the reference pass's state
// shows at each step, aiming at the edges of the overlay's erasure.
struct Generator {
    Generator(Random& random, const Setup& setup) : random(random), setup(setup) {
        linesLeft = random.Between(3, 24);
    }

    bool Done(const Pass& pass) const { return pass.ended || (linesLeft == 0 && typing.empty()); }
    Action Next(const Pass& pass);

private:
    std::optional<Action> TypeCharacter(const Pass& pass);
    Action NamedLine(const Pass& pass);
    Action Key(Act act, int code, const wchar_t* name);
    Action EscKey(const Pass& pass);
    Action EnterKey(const Pass& pass);
    void PlanLine();
    void PlanTyping(const Pass& pass);
    std::wstring LineText(const Pass& pass, size_t length, std::string* why);
    void KeepRowsApart(const Pass& pass, std::wstring* text);
    std::vector<CHAR_INFO> LeftCells(const Pass& pass, const std::vector<Landing>& landings, const std::wstring& text,
                                     uint64_t row) const;
    size_t Room(const Pass& pass) const { return kLongestLine - pass.line.size(); }
    bool OnTheOverlaysRow(const Pass& pass) const {
        return pass.overlay.showing && pass.overlay.Row(pass.model) == pass.model.y;
    }
    // True when c written at (column, row), the console being `model` by
    // then, would show what the overlay's own cell there shows.
    bool MayShow(const Pass& pass, const ConsoleModel& model, int column, int row, wchar_t c) const {
        return pass.overlay.Covers(model, column, row) && Same(Cell(c, setup.text), pass.overlay.CellAt(column));
    }
    std::wstring Numbered(const std::wstring& text) { return L"(" + std::to_wstring(++serial) + L") " + text; }
    std::vector<std::wstring> OutputLines(const std::wstring& upcoming, int count);
    int EraseFault(const Pass& pass);

    Random& random;
    const Setup& setup;
    int linesLeft = 0;
    bool planned = false;
    Run run = Run::Output;
    int editsLeft = 0;
    std::wstring typing;                    // characters still to type, one step each
    unsigned serial = 1;                    // running number of prompts and output lines
};

Action Generator::Next(const Pass& pass) {
    if (!planned)
        PlanLine();
    if (editsLeft > 0 && typing.empty()) {
        --editsLeft;
        uint64_t pick = OnTheOverlaysRow(pass) ? 100 : random.Below(100);
        if (run == Run::Output && pick < 30 && Room(pass) > 0)
            return NamedLine(pass);
        if (run == Run::Output && pick < 36)
            return EscKey(pass);
        PlanTyping(pass);
    }
    if (typing.empty() && editsLeft == 0 && run == Run::Output && IsBlank(pass.line) && Room(pass) > 0)
        typing = L"x";
    if (!typing.empty()) {
        if (std::optional<Action> typed = TypeCharacter(pass))
            return *typed;
        typing.clear();    // typing on would bring a row like the overlay's between it and its place
        editsLeft = 0;
    }
    return EnterKey(pass);
}

void Generator::PlanLine() {
    planned = true;
    uint64_t pick = random.Below(100);
    run = pick < 8 ? Run::Blank : pick < 20 ? Run::Cls : Run::Output;
    editsLeft = run == Run::Output ? random.Between(1, 6) : 0;
    if (run == Run::Blank)
        typing = std::wstring(random.Below(3), L' ');
    if (run == Run::Cls)
        typing = L"cls";
}

// A burst of typed characters: up to the overlay's columns when the prompt
// is on its row; far enough to carry it up to the buffer's first row, or
// out of it, when that is near; else a few.
void Generator::PlanTyping(const Pass& pass) {
    const ConsoleModel& model = pass.model;
    const Overlay& overlay = pass.overlay;
    uint64_t count = random.Chance(10) ? random.Between(13, 80) : random.Between(1, 12);
    if (OnTheOverlaysRow(pass) && random.Chance(80)) {
        const int n = static_cast<int>(overlay.shown.size());
        const int targets[] = {overlay.left - 1, overlay.left, overlay.left + 1, overlay.left + n - 2,
                               overlay.left + n - 1, setup.width - 1, setup.width, setup.width + 1};
        int target = random.Pick(targets);
        if (target > model.x)
            count = static_cast<uint64_t>(target - model.x);
        if (random.Chance(60))
            editsLeft = 0;    // Enter comes next
        ++g_reached.typedThrough;
    } else if (overlay.showing && overlay.Row(model) >= 0 && random.Chance(50)) {
        uint64_t rows = static_cast<uint64_t>(overlay.Row(model)) + (random.Chance(50) ? 1 : 0);
        uint64_t needed = model.CharactersToScroll(rows) + random.Below(static_cast<uint64_t>(model.width));
        if (rows > 0 && needed <= 300)
            count = needed;
    }
    count = std::min<uint64_t>(count, Room(pass));
    typing = RandomText(random, count);
}

// One typed character; one that would land on a cell of the overlay
// showing the same character in the same colours is replaced. None when
// its echo would bring a row that looks like the overlay's between it and
// its place.
std::optional<Action> Generator::TypeCharacter(const Pass& pass) {
    Action action;
    action.act = Act::Type;
    wchar_t c = typing[0];
    typing.erase(0, 1);
    while (MayShow(pass, pass.model, pass.model.x, pass.model.y, c))
        c = RandomCharacter(random);
    action.text = std::wstring(1, c);
    KeepRowsApart(pass, &action.text);
    if (action.text.empty())
        return std::nullopt;
    action.code = action.text[0];
    action.name = action.text;
    return action;
}

// The cells left of the overlay's columns of a row (counted from the top of
// the content) once the text has landed.
std::vector<CHAR_INFO> Generator::LeftCells(const Pass& pass, const std::vector<Landing>& landings,
                                            const std::wstring& text, uint64_t row) const {
    const size_t left = static_cast<size_t>(pass.overlay.left);
    std::vector<CHAR_INFO> cells(left, kScrolledIn);
    uint64_t bufferRow = row - pass.model.scrolls;
    if (bufferRow < static_cast<uint64_t>(setup.height))
        std::copy_n(pass.shadow.Row(static_cast<int>(bufferRow)), left, cells.begin());
    auto on = std::lower_bound(landings.begin(), landings.end(), row,
                               [](const Landing& landing, uint64_t wanted) { return landing.row < wanted; });
    for (; on != landings.end() && on->row == row && on->column < pass.overlay.left; ++on)
        cells[static_cast<size_t>(on->column)] = Cell(text[static_cast<size_t>(on - landings.begin())], setup.text);
    return cells;
}

// While the overlay shows, no row may come between it and the row it was
// drawn on (the erasure looks there first, then upwards) with the same
// cells left of the overlay's columns as the overlay's row: no plug-in
// could tell it from its own. A character of the text that makes such a
// row is replaced; a row like that already there ends the text before it
// comes between. A text that carries the overlay out of the buffer is left
// as it is: the plug-in takes the overlay off before that.
void Generator::KeepRowsApart(const Pass& pass, std::wstring* text) {
    const Overlay& overlay = pass.overlay;
    const uint64_t own = static_cast<uint64_t>(overlay.row) + overlay.scrollsAtDrawing;
    const uint64_t movedBefore = overlay.Moved(pass.model);
    for (int attempt = 0; overlay.showing && !text->empty(); ++attempt) {
        std::vector<Landing> landings = Land(pass.model, *text);
        const uint64_t moved = landings.back().movedAfter - overlay.scrollsAtDrawing;
        if (moved == movedBefore || moved > static_cast<uint64_t>(overlay.row))
            return;
        if (attempt == 20) {    // no luck: the content does not move
            text->resize(MovingAtMost(landings, pass.model.scrolls));
            return;
        }
        const std::vector<CHAR_INFO> ownCells = LeftCells(pass, landings, *text, own);
        uint64_t twin = 0;
        for (uint64_t row = own + movedBefore + 1; row <= own + moved && !twin; ++row) {
            if (SameCells(LeftCells(pass, landings, *text, row), ownCells))
                twin = row;
        }
        if (!twin)
            return;
        auto onTwin = std::find_if(landings.begin(), landings.end(), [&](const Landing& landing) {
            return landing.row == twin && landing.column < overlay.left;
        });
        if (onTwin != landings.end()) {
            wchar_t& c = (*text)[static_cast<size_t>(onTwin - landings.begin())];
            for (wchar_t was = c; c == was;)
                c = RandomCharacter(random);
        } else {
            text->resize(MovingAtMost(landings, overlay.scrollsAtDrawing + (twin - own) - 1));
        }
    }
}

// The text written at once after a key: a few characters, or as many as
// carry the overlay up across a boundary of the search's blocks, to the
// buffer's first row or out of it, or any number up to the longest line.
std::wstring Generator::LineText(const Pass& pass, size_t room, std::string* why) {
    const ConsoleModel& model = pass.model;
    size_t length = random.Between(1, 30);
    if (pass.overlay.showing && random.Chance(60)) {
        const int64_t row = pass.overlay.Row(model);
        const uint64_t moved = pass.overlay.Moved(model);
        std::vector<std::pair<uint64_t, std::string>> aims;
        for (uint64_t k = 1; k <= 3; ++k) {
            for (int side = -1; side <= 1; ++side)
                aims.push_back({k * kSearchRows + side, "up " + std::to_string(k * kSearchRows + side) + " rows"});
        }
        if (row >= 0) {
            aims.push_back({moved + static_cast<uint64_t>(row), "to the buffer's first row"});
            aims.push_back({moved + static_cast<uint64_t>(row) + 1, "out of the buffer"});
        }
        std::vector<std::pair<uint64_t, std::string>> reachable;
        for (const auto& aim : aims) {
            if (aim.first > moved && model.CharactersToScroll(aim.first - moved) <= room)
                reachable.push_back(aim);
        }
        if (!reachable.empty()) {
            const auto& aim = reachable[random.Below(reachable.size())];
            length = model.CharactersToScroll(aim.first - moved) +
                     random.Below(std::min<uint64_t>(static_cast<uint64_t>(model.width), room));
            length = std::min(length, room);
            *why = "to carry the overlay " + aim.second;
        }
    } else if (random.Chance(40)) {
        length = 1 + random.Below(room);
    }
    return RandomText(random, std::min(length, room));
}

// A key that is not a plain character, then the line the shell writes
// for it at once. Some lines show the timer's text at the timer's columns
// on one of their rows; none writes a cell equal to the overlay's own.
Action Generator::NamedLine(const Pass& pass) {
    Action action;
    action.act = Act::Named;
    const NamedKey& key = random.Pick(kNamedKeys);
    action.code = key.code;
    action.name = key.name;
    action.text = LineText(pass, Room(pass), &action.why);
    const Overlay& overlay = pass.overlay;
    const int n = static_cast<int>(overlay.shown.size());
    if (overlay.showing && overlay.left >= 8 && random.Chance(40)) {
        // where the text meets the overlay's left column on a later row
        std::vector<size_t> starts;
        ConsoleModel model = pass.model;
        model.Write(action.text, [&](int x, int y, size_t i) {
            if (x == overlay.left && y != overlay.Row(model) && i + static_cast<size_t>(n) <= action.text.size())
                starts.push_back(i);
        });
        if (!starts.empty()) {
            action.text.replace(starts[random.Below(starts.size())], static_cast<size_t>(n), overlay.shown);
            ++g_reached.lookalikes;
        }
    }
    ConsoleModel model = pass.model;
    model.Write(action.text, [&](int x, int y, size_t i) {
        while (MayShow(pass, model, x, y, action.text[i]))
            action.text[i] = RandomCharacter(random);
    });
    KeepRowsApart(pass, &action.text);
    return action;
}

// Now and then a console read of the erasure fails: the first (where the
// overlay was drawn) or, mostly when the content has moved up since, one of
// the search's.
int Generator::EraseFault(const Pass& pass) {
    if (!pass.overlay.showing)
        return 0;
    const uint64_t moved = pass.overlay.Moved(pass.model);
    if (!random.Chance(moved > 0 ? 20 : 4))
        return 0;
    ++g_reached.eraseFaults;
    const int blocks = static_cast<int>(std::min<uint64_t>(moved / kSearchRows, 3));
    return moved > 0 ? random.Between(1, 3 + blocks) : 1;
}

// Esc or Enter, by its code or, now and then, by its name only.
Action Generator::Key(Act act, int code, const wchar_t* name) {
    Action action;
    action.act = act;
    action.code = random.Chance(30) ? KEY_CODE_NONE : code;
    action.name = name;
    return action;
}

Action Generator::EscKey(const Pass& pass) {
    Action action = Key(Act::Esc, KEY_CODE_ESC, L"Esc");
    action.eraseFault = EraseFault(pass);
    return action;
}

// Output lines of a command: each starts with its running number; some
// show the coming timer text at the timer's columns, some elsewhere, some
// end at the last column or just before or after it; now and then enough
// of them to scroll.
std::vector<std::wstring> Generator::OutputLines(const std::wstring& upcoming, int count) {
    std::vector<std::wstring> lines;
    const int width = setup.width;
    for (int i = 0; i < count; ++i) {
        std::wstring text = Numbered(L"");
        int left = width - 1 - static_cast<int>(upcoming.size());
        if (!upcoming.empty() && left >= static_cast<int>(text.size()) + 1 && random.Chance(20)) {
            text += RandomText(random, static_cast<size_t>(left) - text.size()) + upcoming;
            ++g_reached.lookalikes;
        } else if (!upcoming.empty() && random.Chance(10)) {
            text += RandomText(random, random.Below(static_cast<uint64_t>(width))) + upcoming;    // elsewhere
        } else if (random.Chance(15)) {
            int length = width + random.Between(-1, 1);
            text += RandomText(random, static_cast<size_t>(std::max(0, length - static_cast<int>(text.size()))));
        } else {
            text += RandomText(random, random.Below(static_cast<uint64_t>(width) * 2));
        }
        lines.push_back(text + L"\r\n");
    }
    return lines;
}

Action Generator::EnterKey(const Pass& pass) {
    Action action = Key(Act::Enter, KEY_CODE_ENTER, L"Enter");
    action.run = run;
    static const uint64_t durations[] = {250 * kMillisecond, 1500 * kMillisecond, 2250 * kMillisecond,
                                         999 * kMillisecond, 1000 * kMillisecond};
    action.ticks = random.Pick(durations);
    bool timed = !IsBlank(pass.line);
    std::wstring upcoming = timed ? ShownText(TimerText(setup, pass.count + 1, action.ticks), setup.width) : L"";
    if (run == Run::Output) {
        int lines = random.Chance(15) ? random.Between(10, 40) : random.Between(0, 3);
        action.output = OutputLines(upcoming, lines);
    }
    if (timed && setup.slowCommand && action.ticks >= kSecond) {
        for (const std::wstring& text : OutputLines(upcoming, random.Chance(10) ? 30 : random.Between(1, 2)))
            action.slowOutput += text;
    }
    action.prompt = L"[" + std::to_wstring(++serial) + L"]$ ";
    action.eraseFault = EraseFault(pass);
    action.saveFault = timed && random.Chance(4);
    planned = false;
    --linesLeft;
    return action;
}

// ---- a session: both passes, and the report --------------------------------------------

// The session's console and its first `steps` actions, runs of typed
// characters on one line each.
void PrintActions(const Setup& setup, const std::vector<Action>& actions, size_t steps) {
    printf("  %s\n  step 0: prompt \"%s\"\n", Describe(setup).c_str(), Narrow(setup.firstPrompt).c_str());
    steps = std::min(steps, actions.size());
    for (size_t i = 0; i < steps;) {
        size_t end = i;
        std::wstring typed;
        while (end < steps && actions[end].act == Act::Type)
            typed += actions[end++].text;
        if (end > i) {
            printf("  step %zu-%zu: typed \"%s\"\n", i + 1, end, Narrow(typed, 200).c_str());
            i = end;
            continue;
        }
        printf("  step %zu: %s\n", i + 1, Describe(actions[i]).c_str());
        ++i;
    }
}

struct SessionResult {
    bool passed = true;
    size_t steps = 0;
};

SessionResult RunSession(const Options& options, uint64_t number) {
    Random random(options.seed, number);
    Setup setup = MakeSetup(random);
    Recording recording;
    std::vector<Action> actions;
    size_t step = 0;
    const char* pass = "the reference pass";
    try {
        {
            Pass reference(setup, recording, nullptr);
            Generator generator(random, setup);
            reference.Start();
            while (!generator.Done(reference)) {
                actions.push_back(generator.Next(reference));
                step = actions.size();
                reference.Play(actions.back());
            }
        }
        pass = "the plug-in pass";
        step = 0;
        PluginUnderTest plugin(setup);
        Pass withPlugin(setup, recording, &plugin);
        withPlugin.Start();
        for (const Action& action : actions) {
            ++step;
            withPlugin.Play(action);
            if (withPlugin.ended)
                break;
        }
    } catch (const Failure& failure) {
        printf("screen soak: FAILED in session %llu of seed %llu, step %zu, %s: %s\n",
               static_cast<unsigned long long>(number), static_cast<unsigned long long>(options.seed), step, pass,
               failure.what.c_str());
        PrintActions(setup, actions, step);
        printf("screen soak: replay with: lapwatch_screen_soak.exe --seed %llu --session %llu\n",
               static_cast<unsigned long long>(options.seed), static_cast<unsigned long long>(number));
        fflush(stdout);
        return {false, actions.size()};
    }
    return {true, actions.size()};
}

std::string Counted(std::initializer_list<std::pair<uint64_t, const char*>> counts) {
    std::string text;
    for (const auto& [count, what] : counts)
        text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + what;
    return text;
}

void PrintReached(const Options& options, uint64_t failures, double seconds) {
    const Reached& r = g_reached;
    printf("screen soak: %llu steps in %llu sessions of seed %llu, %llu failing, %.1f s\n",
           static_cast<unsigned long long>(r.steps), static_cast<unsigned long long>(r.sessions),
           static_cast<unsigned long long>(options.seed), static_cast<unsigned long long>(failures), seconds);
    printf("screen soak: reached %s\n",
           Counted({{r.checkpoints, "checkpoints"}, {r.overlays, "overlays"}, {r.typedThrough, "lines typed at one"},
                    {r.keysLeavingIt, "typed keys seen to leave one showing"},
                    {r.lookalikes, "rows that show one's text at its columns"}, {r.slowLines, "slow lines"},
                    {r.clears, "cls"}, {r.departedRows, "rows out of the buffer"}})
               .c_str());
    printf("screen soak: erasures of an overlay: %s\n",
           Counted({{r.foundInBlock[0], "where drawn"}, {r.carriedUp, "carried up"},
                    {r.foundInBlock[1], "in the search's first block"}, {r.foundInBlock[2], "in its second"},
                    {r.foundInBlock[3], "in its third or later"},
                    {r.nearBoundary, "a row from a block's edge or on it"},
                    {r.carriedToFirstRow, "carried to the first row"}, {r.carriedOut, "carried out of the buffer"}})
               .c_str());
    printf("screen soak: failing reads: %s\n",
           Counted({{r.saveFaults, "of the cells under an overlay"}, {r.eraseFaults, "set in an erasure"},
                    {r.eraseFaultsFired, "of them failed"}, {r.searchFaultsFired, "in a search"}})
               .c_str());
}

bool ReadOptions(int argc, wchar_t** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        std::wstring option = argv[i];
        if (option == L"--keep-going") {
            options->keepGoing = true;
            continue;
        }
        if (i + 1 == argc)
            return false;
        uint64_t value = _wcstoui64(argv[++i], nullptr, 10);
        if (option == L"--seed") options->seed = value;
        else if (option == L"--steps") options->steps = value;
        else if (option == L"--session") options->session = value;
        else return false;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ReadOptions(argc, argv, &options)) {
        fprintf(stderr, "usage: lapwatch_screen_soak.exe [--seed S] [--steps N] [--session K] [--keep-going]\n");
        return 2;
    }
    StandInSetVariable(L"_4ver", L"32");
    SetEnvironmentVariableW(L"noloadmsg", L"1");
    DWORD started = GetTickCount();
    uint64_t failures = 0;
    uint64_t first = options.session ? options.session : 1;
    for (uint64_t number = first; options.session ? number == first : g_reached.steps < options.steps; ++number) {
        SessionResult result = RunSession(options, number);
        g_reached.steps += result.steps;
        ++g_reached.sessions;
        if (!result.passed && (++failures, !options.keepGoing))
            break;
    }
    PrintReached(options, failures, (GetTickCount() - started) / 1000.0);
    return failures ? 1 : 0;
}
