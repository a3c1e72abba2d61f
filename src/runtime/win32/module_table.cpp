#include "runtime/win32/module_table.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "vellorn/win32_system.h"

namespace {

constexpr const char* kKernel32 = "kernel32.dll";

struct Module {
    HMODULE handle;
    std::map<std::string, FARPROC> exports;  // export names are case-sensitive
    int references;
};

// Lower-cases name and appends ".dll" when the file name has no extension; a
// trailing dot means "no extension" and is dropped, as on Windows.
std::string ModuleKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    const std::size_t fileStart = key.find_last_of("\\/") + 1;  // npos + 1 == 0
    if (!key.empty() && key.back() == '.') {
        key.pop_back();
    } else if (key.find('.', fileStart) == std::string::npos) {
        key += ".dll";
    }
    return key;
}

std::map<std::string, FARPROC> ExportMap(std::initializer_list<ModuleExport> exports) {
    std::map<std::string, FARPROC> map;
    for (const ModuleExport& entry : exports) {
        if (entry.name != nullptr) {
            map[entry.name] = entry.address;
        }
    }
    return map;
}

std::map<std::string, FARPROC> Kernel32Exports() {
    return ExportMap({{"IsDebuggerPresent", ToFarProc(&IsDebuggerPresent)}});
}

class ModuleTable {
  public:
    ModuleTable() : program_(NewHandle()) { Reset(); }

    std::mutex mutex;

    // The program's own module: its handle is the instance the program runs
    // as, valid for the whole process and never removed.
    HMODULE Program() const { return program_; }

    void Reset() {
        modules_.clear();
        modules_[kKernel32] = Module{NewHandle(), Kernel32Exports(), 1};
    }

    void Register(const std::string& key, std::map<std::string, FARPROC> exports) {
        const auto found = modules_.find(key);
        if (found != modules_.end()) {
            found->second.exports = std::move(exports);
            return;
        }
        modules_[key] = Module{NewHandle(), std::move(exports), 1};
    }

    void Unregister(const std::string& key) {
        if (key == kKernel32) {
            modules_[key].exports = Kernel32Exports();
            return;
        }
        modules_.erase(key);
    }

    Module* Find(const std::string& key) {
        const auto found = modules_.find(key);
        return found != modules_.end() ? &found->second : nullptr;
    }

    Module* FindByHandle(HMODULE handle) {
        for (auto& [key, module] : modules_) {
            if (module.handle == handle) {
                return &module;
            }
        }
        return nullptr;
    }

  private:
    // Handles are never reused, so the handle of a removed module stays
    // invalid even when another module is registered later.
    HMODULE NewHandle() {
        const auto handle = reinterpret_cast<HMODULE>(nextHandle_);
        nextHandle_ += 0x10000;
        return handle;
    }

    std::uintptr_t nextHandle_ = 0x10000000;
    const HMODULE program_;
    std::map<std::string, Module> modules_;
};

ModuleTable& TheTable() {
    static ModuleTable table;
    return table;
}

// Locks the process-wide table and runs action on it.
template <class Action>
auto WithTable(Action action) {
    ModuleTable& table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    return action(table);
}

}  // namespace

void RegisterModule(const char* name, std::initializer_list<ModuleExport> exports) {
    if (name == nullptr) {
        return;
    }
    WithTable([&](ModuleTable& table) { table.Register(ModuleKey(name), ExportMap(exports)); });
}

void UnregisterModule(const char* name) {
    if (name == nullptr) {
        return;
    }
    WithTable([&](ModuleTable& table) { table.Unregister(ModuleKey(name)); });
}

void ResetModuleTable() {
    WithTable([](ModuleTable& table) { table.Reset(); });
}

int ModuleReferenceCount(const char* name) {
    if (name == nullptr) {
        return 0;
    }
    return WithTable([&](ModuleTable& table) {
        const Module* module = table.Find(ModuleKey(name));
        return module != nullptr ? module->references : 0;
    });
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    return WithTable([&](ModuleTable& table) -> HMODULE {
        // No name asks for the module the process was started from.
        if (moduleName == nullptr) {
            return table.Program();
        }
        const Module* module = table.Find(ModuleKey(moduleName));
        return module != nullptr ? module->handle : nullptr;
    });
}

HMODULE LoadLibraryA(LPCSTR fileName) {
    if (fileName == nullptr) {
        return nullptr;
    }
    return WithTable([&](ModuleTable& table) -> HMODULE {
        Module* module = table.Find(ModuleKey(fileName));
        if (module == nullptr) {
            return nullptr;
        }
        ++module->references;
        return module->handle;
    });
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    // Names below 0x10000 are export ordinals, which no module here has; they
    // are not addresses and must not be read.
    if (reinterpret_cast<std::uintptr_t>(procName) < 0x10000) {
        return nullptr;
    }
    return WithTable([&](ModuleTable& table) -> FARPROC {
        const Module* found = table.FindByHandle(module);
        if (found == nullptr) {
            return nullptr;
        }
        const auto entry = found->exports.find(procName);
        return entry != found->exports.end() ? entry->second : nullptr;
    });
}
