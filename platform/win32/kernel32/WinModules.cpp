#include "WinModules.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <map>
#include <memory>
#include <mutex>
#include <unistd.h>

#include "WinHandles.h"
#include "WinModulesControl.h"
#include "internal/HostFiles.h"
#include "internal/ModuleTable.h"
#include "winerror.h"

namespace win32 {
namespace {

struct Module {
    std::string key;
    std::string filePath;
    std::map<std::string, FARPROC> exports;
    int loads = 0;
};

struct ModuleTable {
    std::mutex lock;
    std::map<std::string, std::shared_ptr<Module>> registered; // by key
    std::map<const Module*, std::shared_ptr<Module>> loaded;   // by handle, while loads > 0
};

// Adds or replaces a registration; the caller holds the table's lock (or owns the table alone).
template <class Exports>
void AddModule(ModuleTable& t, const char* name, const Exports& exports, const char* filePath) {
    auto module = std::make_shared<Module>();
    module->key = ModuleKey(name);
    module->filePath = filePath ? filePath : "\\Windows\\System32\\" + module->key + ".dll";
    for (const ModuleExport& e : exports)
        module->exports[e.name] = e.address;
    t.registered[module->key] = std::move(module);
}

// The modules of the system itself, which a machine never lacks unless a test takes them away.
void AddSystemModules(ModuleTable& t) {
    AddModule(t, "ntdll", internal::NtdllExports(), nullptr);
}

ModuleTable& Table() {
    static ModuleTable table;
    static const bool systemModules = (AddSystemModules(table), true);
    (void)systemModules;
    return table;
}

// The program's module handle: any stable address distinct from every Module.
char g_programModule;

HMODULE ProgramHandle() {
    return reinterpret_cast<HMODULE>(&g_programModule);
}
HMODULE HandleOf(const Module* module) {
    return reinterpret_cast<HMODULE>(const_cast<Module*>(module));
}

} // namespace

std::string ModuleKey(const char* name) {
    std::string text = name ? name : "";
    size_t slash = text.find_last_of("\\/");
    if (slash != std::string::npos)
        text.erase(0, slash + 1);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* extension : {".dll", ".exe", ".ocx", "."}) {
        size_t n = std::char_traits<char>::length(extension);
        if (text.size() > n && text.compare(text.size() - n, n, extension) == 0) {
            text.erase(text.size() - n);
            break;
        }
    }
    return text;
}

void RegisterModule(const char* name, std::initializer_list<ModuleExport> exports, const char* filePath) {
    ModuleTable& t = Table();
    std::lock_guard guard(t.lock);
    AddModule(t, name, exports, filePath);
}

void RegisterModule(const char* name, const std::vector<ModuleExport>& exports, const char* filePath) {
    ModuleTable& t = Table();
    std::lock_guard guard(t.lock);
    AddModule(t, name, exports, filePath);
}

void UnregisterModule(const char* name) {
    ModuleTable& t = Table();
    std::lock_guard guard(t.lock);
    t.registered.erase(ModuleKey(name));
}

void ResetModules() {
    ModuleTable& t = Table();
    std::lock_guard guard(t.lock);
    t.registered.clear();
    AddSystemModules(t);
}

int ModuleLoadCount(const char* name) {
    ModuleTable& t = Table();
    std::lock_guard guard(t.lock);
    auto it = t.registered.find(ModuleKey(name));
    return it == t.registered.end() ? 0 : it->second->loads;
}

namespace internal {

std::string ProgramFilePath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return "\\program";
    return WindowsPathFromHost(std::string(buffer, static_cast<size_t>(n)));
}

bool ModuleFilePath(HMODULE module, std::string& path) {
    if (!module || module == ProgramHandle()) {
        path = ProgramFilePath();
        return true;
    }
    ModuleTable& t = Table();
    std::lock_guard guard(t.lock);
    auto it = t.loaded.find(reinterpret_cast<const Module*>(module));
    if (it == t.loaded.end())
        return false;
    path = it->second->filePath;
    return true;
}

} // namespace internal
} // namespace win32

using win32::Module;
using win32::ModuleTable;

HMODULE LoadLibraryA(LPCSTR fileName) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ModuleTable& t = win32::Table();
    std::lock_guard guard(t.lock);
    auto it = t.registered.find(win32::ModuleKey(fileName));
    if (it == t.registered.end()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ++it->second->loads;
    t.loaded[it->second.get()] = it->second;
    return win32::HandleOf(it->second.get());
}

HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE, DWORD) {
    return LoadLibraryA(fileName);
}

BOOL FreeLibrary(HMODULE module) {
    if (module == win32::ProgramHandle())
        return TRUE;
    ModuleTable& t = win32::Table();
    std::lock_guard guard(t.lock);
    auto it = t.loaded.find(reinterpret_cast<const Module*>(module));
    if (it == t.loaded.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--it->second->loads == 0)
        t.loaded.erase(it);
    return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (!moduleName)
        return win32::ProgramHandle();
    std::string key = win32::ModuleKey(moduleName);
    if (key == win32::ModuleKey(win32::internal::ProgramFilePath().c_str()))
        return win32::ProgramHandle();
    ModuleTable& t = win32::Table();
    std::lock_guard guard(t.lock);
    for (const auto& [module, record] : t.loaded)
        if (record->key == key)
            return win32::HandleOf(module);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    if (reinterpret_cast<ULONG_PTR>(procName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    ModuleTable& t = win32::Table();
    std::lock_guard guard(t.lock);
    auto it = t.loaded.find(reinterpret_cast<const Module*>(module));
    if (it == t.loaded.end()) {
        SetLastError(module == win32::ProgramHandle() ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    auto e = it->second->exports.find(procName);
    if (e == it->second->exports.end()) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return e->second;
}
