// The shell's internal variables and variable functions of the timer. They
// only read the timing state; each call reads the clock afresh.
#include "../plugin/errors.h"
#include "../plugin/exports.h"
#include "../text/clock_text.h"
#include "../text/number_text.h"
#include "../timing/timing_state.h"

enum { DAYS_FORM = 1, HOURS_FORM = 0 };

// Running time of the line being timed, else the last duration.
static uint64_t CommandTicks(void) {
    if (g_timing.active)
        return RunningTicks();
    return g_timing.lastDuration;
}

// Total plus the running time of the line being timed; 0 while a reset is
// pending.
static uint64_t TotalTicks(void) {
    uint64_t value = g_timing.total;
    if (g_timing.active)
        value += RunningTicks();
    if (g_timing.resetPending)
        value = 0;
    return value;
}

static uint64_t CommandCount(void) { return g_timing.commandCount; }

enum ResultForm { AS_DECIMAL, AS_CLOCK_TEXT };

// Writes the value that read() gives into the result buffer, as an unpadded
// decimal or as clock text in the hours form. -1 for a null buffer (read()
// is then not called), else 0.
static int WriteResult(wchar_t* buffer, uint64_t (*read)(void), enum ResultForm form) {
    if (!buffer)
        return -1;
    if (form == AS_CLOCK_TEXT)
        return FormatTicks(read(), buffer, HOURS_FORM);
    WriteUnsigned64(read(), buffer);
    return 0;
}

// Replaces the argument in buffer by its clock text, or writes an error
// about it to standard error and returns -1.
static int TicksArgumentToTime(wchar_t* buffer, int daysForm) {
    if (!buffer)
        return -1;
    if (buffer[0] == L'\0') {
        WriteError(L"Missing ticks count\r\n");
        return -1;
    }
    uint64_t ticks = 0;
    if (ParseNumber64(buffer, &ticks) != 0) {
        UpperCaseAscii(buffer);
        WriteError(L"Bad number: \"%s\"\r\n", buffer);
        return -1;
    }
    return FormatTicks(ticks, buffer, daysForm);
}

extern "C" int PLUGIN_API _cmdcount(wchar_t* buffer) { return WriteResult(buffer, CommandCount, AS_DECIMAL); }

extern "C" int PLUGIN_API _cmdticks(wchar_t* buffer) { return WriteResult(buffer, CommandTicks, AS_DECIMAL); }

extern "C" int PLUGIN_API _cmdtime(wchar_t* buffer) { return WriteResult(buffer, CommandTicks, AS_CLOCK_TEXT); }

extern "C" int PLUGIN_API _cmdtotalticks(wchar_t* buffer) { return WriteResult(buffer, TotalTicks, AS_DECIMAL); }

extern "C" int PLUGIN_API _cmdtotaltime(wchar_t* buffer) { return WriteResult(buffer, TotalTicks, AS_CLOCK_TEXT); }

extern "C" int PLUGIN_API _ticks(wchar_t* buffer) { return WriteResult(buffer, ReadSystemTicks, AS_DECIMAL); }

extern "C" int PLUGIN_API _lastcmd(wchar_t* buffer) {
    if (!buffer)
        return -1;
    // CopyText writes the empty text for no word.
    CopyText(buffer, SHELL_TEXT_BUFFER_CHARS, g_timing.lastCommandWord);
    return 0;
}

extern "C" int PLUGIN_API f_tickstotime(wchar_t* buffer) {
    return TicksArgumentToTime(buffer, HOURS_FORM);
}

extern "C" int PLUGIN_API f_tickstotimed(wchar_t* buffer) {
    return TicksArgumentToTime(buffer, DAYS_FORM);
}
