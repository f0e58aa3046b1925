// The timing state, its key handler and the timer display.
#pragma once

#include "../plugin/plugin.h"
#include <stdint.h>

enum { TICKS_PER_SECOND = 10000000 };

typedef struct TimingState {
    int active;                    // a line is being timed
    uint64_t startTime;            // system time in ticks when it started
    uint64_t commandCount;         // lines started, the running one included
    uint64_t lastDuration;         // ticks of the last completed line
    uint64_t total;                // ticks of completed lines since reset
    int resetPending;              // clear the total at the next stop
    wchar_t* lastCommandWord;      // heap text, or null for none
} TimingState;

extern TimingState g_timing;

// Current system time in 100 ns ticks since 1601-01-01 UTC.
uint64_t ReadSystemTicks(void);

int StartTiming(void);
int StopTiming(void);
int IsNonBlank(const wchar_t* text);
int CaptureFirstWord(const wchar_t* text);
int RunSlowCommand(void);
void FreeLastCommandWord(void);

// Timer display.
void ShowTimerText(void);
int EraseTimerOverlay(void);
int DrawTimerOverlay(wchar_t* text);
int QuietExpand(wchar_t* text);
