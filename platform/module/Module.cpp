#include "platform/module/Module.h"

#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/fs/DriveMap.h"
#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

using ExportTable = std::map<std::string, FARPROC, std::less<>>;

struct LoadedModule {
    int loads = 0;
    void* dl = nullptr;                          // a shared object, or
    std::shared_ptr<const ExportTable> builtin;  // a built-in table
    std::string key;                             // what a second load of the same module matches
};

struct ModuleRegistry {
    std::mutex mutex;
    std::map<std::wstring, std::shared_ptr<const ExportTable>> builtins;  // by lower-case name
    std::map<HMODULE, std::unique_ptr<LoadedModule>> loaded;
    std::map<std::string, HMODULE> byKey;
};

ModuleRegistry& Registry() {
    static ModuleRegistry* registry = new ModuleRegistry;  // used from static initialisers and at exit
    return *registry;
}

std::wstring Folded(std::wstring_view text) {
    return ToUpperSimple(text);
}

bool HasFolderPart(std::wstring_view name) {
    return name.find_first_of(L"\\/:") != std::wstring_view::npos;
}

std::optional<std::string> ProgramDirectory() {
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return std::nullopt;
    std::string path(exe, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    return path.substr(0, slash);
}

HMODULE Remember(ModuleRegistry& r, std::unique_ptr<LoadedModule> module) {
    // The handle is the record's address: unique while the module is loaded.
    HMODULE handle = reinterpret_cast<HMODULE>(module.get());
    r.byKey[module->key] = handle;
    r.loaded[handle] = std::move(module);
    return handle;
}

}  // namespace

bool RegisterBuiltinModule(std::wstring_view name, std::initializer_list<std::pair<const char*, FARPROC>> exports) {
    if (name.empty() || HasFolderPart(name)) return false;
    auto table = std::make_shared<ExportTable>();
    for (const auto& [symbol, address] : exports)
        (*table)[symbol] = address;
    ModuleRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    r.builtins[Folded(name)] = std::move(table);
    return true;
}

bool UnregisterBuiltinModule(std::wstring_view name) {
    ModuleRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    return r.builtins.erase(Folded(name)) > 0;
}

}  // namespace platform

HMODULE LoadLibraryW(LPCWSTR fileName) {
    using namespace platform;
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::wstring_view name(fileName);
    ModuleRegistry& r = Registry();
    std::lock_guard lock(r.mutex);

    if (!HasFolderPart(name)) {
        const auto builtin = r.builtins.find(Folded(name));
        if (builtin != r.builtins.end()) {
            // Keyed by the table, so a replaced entry is a different module.
            const std::string key =
                "builtin:" + std::to_string(reinterpret_cast<std::uintptr_t>(builtin->second.get()));
            if (auto found = r.byKey.find(key); found != r.byKey.end()) {
                ++r.loaded[found->second]->loads;
                return found->second;
            }
            auto module = std::make_unique<LoadedModule>();
            module->loads = 1;
            module->builtin = builtin->second;
            module->key = key;
            return Remember(r, std::move(module));
        }
    }

    std::optional<std::string> host;
    if (HasFolderPart(name)) {
        host = HostPath(name);
    } else if (auto dir = ProgramDirectory()) {
        host = *dir + "/" + Utf8FromWide(name);
    }
    struct stat info {};
    if (!host || ::stat(host->c_str(), &info) != 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // Opening a pipe or a device waits for whatever is at its other end, maybe for ever.
    if (!S_ISREG(info.st_mode)) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    void* dl = dlopen(host->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!dl) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    // dlopen counts its own loads: one handle per loaded object keeps ours in step.
    const std::string key = "dl:" + std::to_string(reinterpret_cast<std::uintptr_t>(dl));
    if (auto found = r.byKey.find(key); found != r.byKey.end()) {
        dlclose(dl);
        ++r.loaded[found->second]->loads;
        return found->second;
    }
    auto module = std::make_unique<LoadedModule>();
    module->loads = 1;
    module->dl = dl;
    module->key = key;
    return Remember(r, std::move(module));
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    using namespace platform;
    ModuleRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    const auto found = r.loaded.find(module);
    if (found == r.loaded.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Lookups by ordinal have no meaning for either kind of module.
    if (!procName || (reinterpret_cast<std::uintptr_t>(procName) >> 16) == 0) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    const LoadedModule& loaded = *found->second;
    FARPROC address = nullptr;
    if (loaded.builtin) {
        const auto entry = loaded.builtin->find(std::string_view(procName));
        if (entry != loaded.builtin->end()) address = entry->second;
    } else {
        address = reinterpret_cast<FARPROC>(dlsym(loaded.dl, procName));
    }
    if (!address) SetLastError(ERROR_PROC_NOT_FOUND);
    return address;
}

BOOL FreeLibrary(HMODULE module) {
    using namespace platform;
    ModuleRegistry& r = Registry();
    std::unique_ptr<LoadedModule> gone;
    {
        std::lock_guard lock(r.mutex);
        const auto found = r.loaded.find(module);
        if (found == r.loaded.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--found->second->loads > 0) return TRUE;
        gone = std::move(found->second);
        r.loaded.erase(found);
        r.byKey.erase(gone->key);
    }
    // Outside the lock: a library's destructors may load or free modules themselves.
    if (gone->dl) dlclose(gone->dl);
    return TRUE;
}
