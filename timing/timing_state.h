// The timing state: started by Enter on a non-blank line, stopped by the
// next prompt. The variables read it; the lapwatch command changes it only
// through SetCommandCount and RequestTotalReset.
#pragma once

#include "../plugin/plugin.h"

#include <stdint.h>

typedef struct TimingState {
    bool active;                   // a line is being timed
    uint64_t startTime;            // system time in ticks when it started
    uint64_t commandCount;         // lines started, the running one included
    uint64_t lastDuration;         // ticks of the last completed line
    uint64_t total;                // ticks of completed lines since reset
    bool resetPending;             // clear the total at the next stop
    wchar_t* lastCommandWord;      // heap text, or null for none
} TimingState;

extern TimingState g_timing;

// Current system time in 100 ns ticks since 1601-01-01 UTC.
uint64_t ReadSystemTicks(void);

// Running time of the line being timed, from the clock now: 0 while the
// clock reads earlier than the start (it was set back), so that no
// duration wraps round.
uint64_t RunningTicks(void);

// Starts timing a line, unless one is being timed: a second Enter before
// the prompt keeps the first start and count.
void StartTiming(void);
// Stops the timing: the line's duration, the total, a pending reset. True
// when a line was being timed.
bool StopTiming(void);

// Stores the first word of text as the last command word. -1 for a null
// text, 1 when no memory was available (none is left), else 0.
int CaptureFirstWord(const wchar_t* text);

// /K: the command count takes effect at once.
void SetCommandCount(uint64_t count);

// /Z: the total is cleared when the timing state next stops.
void RequestTotalReset(void);

void ShutdownTiming(void);
