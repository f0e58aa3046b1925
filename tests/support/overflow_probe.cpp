// The overflow probe under Wine: the plug-in's ReportArgumentOverflow writes
// through the stand-in shell, whose captured standard error is parsed back.
#include "../text/overflow_probe.h"

#include "harness.h"

#include <cwchar>

namespace {

CapturedOutput* g_capture;

const std::wstring kHead = L"Lapwatch plugin: Buffer overflow: b = ";
const std::wstring kTail = L", MAX_ARG_LEN = 8192 \r\n";

}  // namespace

OverflowProbe::OverflowProbe() { g_capture = new CapturedOutput; }

OverflowProbe::~OverflowProbe() {
    delete g_capture;
    g_capture = nullptr;
}

std::vector<int> OverflowProbe::Slots() const {
    std::vector<int> slots;
    if (!g_capture->Out().empty())
        slots.push_back(-1);
    std::wstring err = g_capture->Err();
    size_t at = 0;
    while (at < err.size()) {
        size_t digits = at + kHead.size();
        size_t end = digits;
        while (end < err.size() && err[end] >= L'0' && err[end] <= L'9')
            end++;
        if (err.compare(at, kHead.size(), kHead) != 0 || end == digits || err.compare(end, kTail.size(), kTail) != 0) {
            slots.push_back(-1);
            break;
        }
        slots.push_back(std::stoi(err.substr(digits, end - digits)));
        at = end + kTail.size();
    }
    return slots;
}
