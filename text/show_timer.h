// The show-timer setting: which of its bits say where the timer text goes,
// and the modes the /B option selects.
#pragma once

enum {
    SHOW_TIMER_STATUS_BAR = 0x1,   // send the text to the status bar
    SHOW_TIMER_TEXT = 0x2,         // draw the text on the console
    SHOW_TIMER_FALLBACK = 0x4,     // draw it when the status bar fails
};

enum {
    SHOW_TIMER_OFF = 0,                                                // /B:O
    SHOW_TIMER_STATUS_BAR_ONLY = SHOW_TIMER_STATUS_BAR,                // /B:S
    SHOW_TIMER_TEXT_ONLY = SHOW_TIMER_TEXT,                            // /B:T
    SHOW_TIMER_BOTH = SHOW_TIMER_STATUS_BAR | SHOW_TIMER_TEXT,         // /B:B
    SHOW_TIMER_DEFAULT = SHOW_TIMER_STATUS_BAR | SHOW_TIMER_FALLBACK,  // /B:D, 5
};
