// Native builds have no shell to write the tokenizer's overflow message to:
// this definition records the slot counter instead, for the overflow probe.
#include "text/tokenizer.h"

#include "../text/overflow_probe.h"

namespace {

std::vector<int> g_reportedSlots;

}  // namespace

void ReportArgumentOverflow(int slot) {
    g_reportedSlots.push_back(slot);
}

OverflowProbe::OverflowProbe() { g_reportedSlots.clear(); }
OverflowProbe::~OverflowProbe() { g_reportedSlots.clear(); }
std::vector<int> OverflowProbe::Slots() const { return g_reportedSlots; }
