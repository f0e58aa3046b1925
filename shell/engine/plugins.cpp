// Loading, starting and stopping plug-ins, and handing them key events.
#include "engine.h"

namespace engine {

std::vector<LoadedPlugin>& Plugins() {
    static std::vector<LoadedPlugin> plugins;
    return plugins;
}

FARPROC FindPluginEntry(const std::wstring& name, EntryKind kind) {
    for (const LoadedPlugin& plugin : Plugins()) {
        for (const PluginEntry& entry : plugin.entries) {
            if (entry.kind == kind && entry.proc != nullptr && EqualsNoCase(entry.name, name)) {
                return entry.proc;
            }
        }
    }
    return nullptr;
}

namespace {

// Splits a function list ("cmd,_var,@func,*key") into entries and finds the
// export behind each: "@x" is f_x, "*x" is x, a plain name is itself. Plain
// names starting with '_' are variables, other plain names commands.
std::vector<PluginEntry> ReadFunctionList(HMODULE module, const wchar_t* list) {
    std::vector<PluginEntry> entries;
    std::wstring text = list == nullptr ? L"" : list;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(L',', start);
        if (comma == std::wstring::npos) comma = text.size();
        std::wstring item = text.substr(start, comma - start);
        start = comma + 1;
        while (!item.empty() && item.front() == L' ') item.erase(item.begin());
        while (!item.empty() && item.back() == L' ') item.pop_back();
        if (item.empty()) continue;
        PluginEntry entry;
        std::wstring exportName;
        if (item[0] == L'@') {
            entry.kind = ENTRY_FUNCTION;
            entry.name = item.substr(1);
            exportName = L"f_" + entry.name;
        } else if (item[0] == L'*') {
            entry.kind = ENTRY_KEY;
            entry.name = item.substr(1);
            exportName = entry.name;
        } else {
            entry.kind = item[0] == L'_' ? ENTRY_VARIABLE : ENTRY_COMMAND;
            entry.name = item;
            exportName = item;
        }
        std::string narrow(exportName.begin(), exportName.end());
        entry.proc = GetProcAddress(module, narrow.c_str());
        entries.push_back(entry);
    }
    return entries;
}

// The module's full file name, as the shell keeps it.
std::wstring ModuleFileName(HMODULE module) {
    std::vector<wchar_t> name(MAX_PATH, L'\0');
    DWORD got = GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
    while (got == name.size()) {
        name.resize(name.size() * 2);
        got = GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
    }
    return std::wstring(name.data(), got);
}

}  // namespace
}  // namespace engine

using namespace engine;

STANDIN_API HMODULE StandInLoadPlugin(const wchar_t* path) {
    if (path == nullptr) {
        return nullptr;
    }
    HMODULE module = LoadLibraryW(path);
    if (module == nullptr) {
        return nullptr;
    }
    for (const LoadedPlugin& plugin : Plugins()) {
        if (plugin.module == module) {  // already registered: drop the extra reference
            FreeLibrary(module);
            return module;
        }
    }
    auto getInfo = As<GetPluginInfoFn>(GetProcAddress(module, "GetPluginInfo"));
    PluginInfo* info = getInfo == nullptr ? nullptr : getInfo();
    if (info == nullptr) {
        FreeLibrary(module);
        return nullptr;
    }
    LoadedPlugin plugin;
    plugin.module = module;
    plugin.path = path;
    // The shell's two fields of the record, filled in once the plug-in has
    // handed it over.
    plugin.moduleName = std::make_shared<const std::wstring>(ModuleFileName(module));
    info->moduleHandle = module;
    info->moduleName = const_cast<wchar_t*>(plugin.moduleName->c_str());
    plugin.name = info->name == nullptr ? L"" : info->name;
    plugin.entries = ReadFunctionList(module, info->functionList);
    plugin.initialized = false;
    plugin.started = false;
    Plugins().push_back(plugin);
    return module;
}

STANDIN_API int StandInStartPlugins(void) {
    int started = 0;
    std::vector<LoadedPlugin>& plugins = Plugins();
    for (size_t i = 0; i < plugins.size(); ++i) {
        if (plugins[i].initialized) continue;
        plugins[i].initialized = true;
        auto initialize = As<InitializePluginFn>(
            GetProcAddress(plugins[i].module, "InitializePlugin"));
        int result = initialize == nullptr ? -1 : initialize();
        plugins[i].started = result == 0;
        if (result == 0) ++started;
    }
    return started;
}

STANDIN_API void StandInUnloadPlugins(void) {
    std::vector<LoadedPlugin> plugins;
    plugins.swap(Plugins());
    for (const LoadedPlugin& plugin : plugins) {
        if (plugin.started) {
            auto shutdown = As<ShutdownPluginFn>(
                GetProcAddress(plugin.module, "ShutdownPlugin"));
            if (shutdown != nullptr) shutdown(0);
        }
    }
    for (const LoadedPlugin& plugin : plugins) {
        FreeLibrary(plugin.module);
    }
}

STANDIN_API void StandInSendKey(int keyCode, const wchar_t* keyName, wchar_t* commandLine) {
    // Collected first: a handler may run commands that change the list.
    std::vector<KeyHandlerFn> handlers;
    for (const LoadedPlugin& plugin : Plugins()) {
        for (const PluginEntry& entry : plugin.entries) {
            if (entry.kind == ENTRY_KEY && entry.proc != nullptr) {
                handlers.push_back(As<KeyHandlerFn>(entry.proc));
            }
        }
    }
    for (KeyHandlerFn handler : handlers) {
        // The cursor at the end of the line, no redraw asked for; the prompt
        // event (no code, name or line) has every field 0.
        KeyEvent event = {};
        event.keyCode = keyCode;
        event.commandLine = commandLine;
        event.editPosition = commandLine != nullptr ? commandLine + wcslen(commandLine) : nullptr;
        event.redraw = 0;
        event.keyName = const_cast<wchar_t*>(keyName);
        handler(&event);
    }
}

STANDIN_API void StandInPromptEvent(void) { StandInSendKey(KEY_CODE_NONE, nullptr, nullptr); }

namespace {

// Hosts from this version on hand over keys by name alone (key code 0).
// An older one never does: its plug-ins take key code 0 for the prompt
// event, so its keys without a character carry a code of their own, above
// every character's.
enum { HOST_VERSION_NAMED_KEYS = 24, NAMED_KEY_CODE_BASE = 0x10000 };

bool GivesKeysByName() {
    std::wstring version;
    return GetShellVariable(L"_4ver", &version) && _wtoi(version.c_str()) >= HOST_VERSION_NAMED_KEYS;
}

}  // namespace

STANDIN_API void StandInSendNamedKey(int virtualKey, const wchar_t* keyName, wchar_t* commandLine) {
    StandInSendKey(GivesKeysByName() ? KEY_CODE_NONE : NAMED_KEY_CODE_BASE + virtualKey, keyName, commandLine);
}
