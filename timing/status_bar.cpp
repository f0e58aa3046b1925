#include "status_bar.h"

bool SendToStatusBar(wchar_t* text) {
    wchar_t request[] = L"STATUSBAR";
    return TakeCommandIPC(request, text) == 0;
}
