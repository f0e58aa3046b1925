// Ctrl+C and Ctrl+Break. The console's control handler runs on a thread of
// its own, so it only sets an event; the shell's thread notices it in a
// running delay (which waits on it), between the lines of a batch file, and
// once the line typed at the prompt has ended.
#include "engine.h"

namespace engine {

HANDLE InterruptEvent() {
    // Manual reset: every waiting place sees it until the line has ended.
    static HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

bool Interrupted() { return WaitForSingleObject(InterruptEvent(), 0) == WAIT_OBJECT_0; }

bool SleepUnlessInterrupted(DWORD milliseconds) {
    return WaitForSingleObject(InterruptEvent(), milliseconds) != WAIT_OBJECT_0;
}

bool TakeInterrupt() {
    if (!Interrupted())
        return false;
    ResetEvent(InterruptEvent());
    return true;
}

}  // namespace engine

STANDIN_API HANDLE StandInInterruptEvent(void) { return engine::InterruptEvent(); }
