// How the shared tokenizer tests see the overflow report: natively the slot
// the tokenizer handed to ReportArgumentOverflow (recorded by the native
// build's own definition), under Wine the slot read back from the exact
// message the plug-in wrote to the shell's standard error.
#pragma once

#include <vector>

// Watches for overflow reports while alive; one at a time.
struct OverflowProbe {
    OverflowProbe();
    ~OverflowProbe();
    OverflowProbe(const OverflowProbe&) = delete;
    OverflowProbe& operator=(const OverflowProbe&) = delete;

    // The slot counters reported since construction, in order. Anything
    // written that is not exactly the overflow message shows up as -1.
    std::vector<int> Slots() const;
};
