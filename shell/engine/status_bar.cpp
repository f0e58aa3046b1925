// TakeCommandIPC: the status-bar request, which only a shell started with a
// status bar takes.
#include "engine.h"

namespace {

struct StatusBar {
    bool present = false;
    std::wstring text;
    int count = 0;
};

StatusBar& State() {
    static StatusBar bar;
    return bar;
}

}  // namespace

namespace engine {
void ResetStatusBar() { State() = StatusBar(); }
}  // namespace engine

extern "C" int __cdecl TakeCommandIPC(wchar_t* request, wchar_t* text) {
    StatusBar& bar = State();
    if (request == nullptr || !bar.present || !engine::EqualsNoCase(request, L"STATUSBAR")) {
        return 1;
    }
    bar.text = text == nullptr ? L"" : text;
    ++bar.count;   // lapshell shows the text when its prompt is back
    return 0;
}

STANDIN_API void StandInSetStatusBar(int present) { State().present = present != 0; }
STANDIN_API const wchar_t* StandInStatusText(void) { return State().text.c_str(); }
STANDIN_API int StandInStatusCount(void) { return State().count; }
