// The library entry point and the lifecycle exports: what the shell
// calls first and last. Nothing else includes this folder.
#include "../plugin/errors.h"
#include "../plugin/exports.h"
#include "../plugin/frame.h"
#include "../settings/settings.h"
#include "../overlay/console_overlay.h"
#include "../timing/timing_state.h"

static PluginInfo g_pluginInfo;

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" PluginInfo* PLUGIN_API GetPluginInfo(void) {
    g_pluginInfo.name = PLUGIN_NAME;
    g_pluginInfo.author = L"The Lapwatch developers";
    g_pluginInfo.email = L"lapwatch@users.invalid";
    g_pluginInfo.webPage = L"https://lapwatch.invalid/";
    g_pluginInfo.description = PLUGIN_DESCRIPTION;
    g_pluginInfo.functionList = FUNCTION_LIST;
    g_pluginInfo.majorVersion = PLUGIN_MAJOR;
    g_pluginInfo.minorVersion = PLUGIN_MINOR;
    g_pluginInfo.buildVersion = PLUGIN_BUILD;
    return &g_pluginInfo;
}

static void ReportConsoleFailure(void) {
    if (!IsInteractive())
        return;
    WriteError(L"Error opening console buffer!\r\n");
    Qprintf(StandardError(), L"%s plugin not loaded.\r\n", PLUGIN_NAME);
}

// In an interactive shell, while noloadmsg is empty or undefined.
static bool WantsLoadMessage(void) { return ExpandsToInteractive(INTERACTIVE_VARIABLES L"%[noloadmsg]"); }

// Saved settings are laid over the defaults, so that a value the registry
// lacks or refuses keeps its default, also when the plug-in is started again.
extern "C" int PLUGIN_API InitializePlugin(void) {
    g_frame.recentHost = IsRecentHost();
    if (OpenConsoleOutput() != 0) {
        ReportConsoleFailure();
        return -1;
    }
    RestoreDefaultSettings();
    LoadSavedSettings();
    if (WantsLoadMessage())
        Printf(L"%s v%d.%d.%d loaded.\r\n", PLUGIN_NAME, PLUGIN_MAJOR, PLUGIN_MINOR, PLUGIN_BUILD);
    return 0;
}

// A showing overlay is taken off the screen while the console can still be
// written.
extern "C" int PLUGIN_API ShutdownPlugin(int) {
    EraseTimerOverlay();
    CloseConsoleOutput();
    ShutdownTiming();
    ShutdownSettings();
    return 0;
}
