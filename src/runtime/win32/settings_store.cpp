#include "runtime/win32/settings_store.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "vellorn/win32_system.h"

namespace {

constexpr const char* kDirect3DKey = "Software\\Direct3D";

enum class Destination { Profile, Registry };

struct EnvironmentSetting {
    const char* variable;
    Destination destination;
    const char* location;  // profile section, or registry key path below HKEY_LOCAL_MACHINE
    const char* name;      // profile key, or registry value name
};

// Every environment variable the store reads, and where its value goes.
// README.md documents the same list for users.
constexpr EnvironmentSetting kEnvironmentSettings[] = {
    {"VELLORN_D3DX_DEBUG", Destination::Profile, "Direct3D", "debug"},
    {"VELLORN_D3DX_DONOTMUTE", Destination::Registry, kDirect3DKey, "D3DXDoNotMute"},
    {"VELLORN_D3DX_ASSERT", Destination::Registry, kDirect3DKey, "D3DX"},
    {"VELLORN_DISABLE_MMX", Destination::Registry, kDirect3DKey, "DisableMMX"},
    {"VELLORN_DISABLE_PSGP", Destination::Registry, kDirect3DKey, "DisablePSGP"},
    {"VELLORN_DISABLE_D3DX_PSGP", Destination::Registry, kDirect3DKey, "DisableD3DXPSGP"},
};

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lowered;
}

// Joins a location and a name into one map key. Both come from C strings, so
// they cannot contain '\0' and the join is unambiguous.
std::string EntryName(std::string_view location, std::string_view name) {
    std::string entry = Lowered(location);
    entry += '\0';
    entry += Lowered(name);
    return entry;
}

// Accepts a decimal integer (optionally negative, stored as its 32-bit
// pattern) or a 0x-prefixed hexadecimal one, with nothing around it.
std::optional<DWORD> ParseSettingValue(std::string_view text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint64_t value = 0;
        const auto [end, error] = std::from_chars(first + 2, last, value, 16);
        if (error != std::errc() || end != last || value > 0xFFFFFFFFu) {
            return std::nullopt;
        }
        return static_cast<DWORD>(value);
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value, 10);
    if (error != std::errc() || end != last || value < INT32_MIN || value > 0xFFFFFFFFLL) {
        return std::nullopt;
    }
    return static_cast<DWORD>(value);
}

class SettingsStore {
  public:
    std::mutex mutex;

    // Fills the store from the environment on first use.
    void EnsureFilled() {
        if (!filled_) {
            FillFromEnvironment();
        }
    }

    void Clear() {
        profile_.clear();
        registry_.clear();
        keys_.clear();
        // The keys the runtime's users read always exist, as they do on a
        // Windows installation, even when they hold no values.
        for (const EnvironmentSetting& setting : kEnvironmentSettings) {
            if (setting.destination == Destination::Registry) {
                AddKey(setting.location);
            }
        }
        filled_ = true;
    }

    void FillFromEnvironment() {
        Clear();
        for (const EnvironmentSetting& setting : kEnvironmentSettings) {
            const char* text = std::getenv(setting.variable);
            if (text == nullptr || *text == '\0') {
                continue;
            }
            const std::optional<DWORD> value = ParseSettingValue(text);
            if (!value) {
                std::fprintf(stderr,
                             "vellorn: ignoring %s=\"%s\": not a decimal or 0x-prefixed "
                             "hexadecimal 32-bit integer\n",
                             setting.variable, text);
                continue;
            }
            if (setting.destination == Destination::Profile) {
                SetProfile(setting.location, setting.name, *value);
            } else {
                SetRegistry(setting.location, setting.name, *value);
            }
        }
    }

    void SetProfile(std::string_view section, std::string_view key, DWORD value) {
        profile_[EntryName(section, key)] = value;
    }

    std::optional<DWORD> Profile(std::string_view section, std::string_view key) const {
        const auto found = profile_.find(EntryName(section, key));
        if (found == profile_.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    void SetRegistry(std::string_view keyPath, std::string_view valueName, DWORD value) {
        AddKey(keyPath);
        registry_[EntryName(keyPath, valueName)] = value;
    }

    std::optional<DWORD> Registry(std::string_view keyPath, std::string_view valueName) const {
        const auto found = registry_.find(EntryName(keyPath, valueName));
        if (found == registry_.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    bool KeyExists(const std::string& loweredPath) const {
        return loweredPath.empty() || keys_.count(loweredPath) != 0;
    }

    HKEY OpenHandle(std::string loweredPath) {
        const auto handle = reinterpret_cast<HKEY>(nextHandle_);
        // Handles are never reused, so a closed handle stays invalid.
        nextHandle_ += 4;
        openKeys_.emplace(handle, std::move(loweredPath));
        return handle;
    }

    // The lowered key path a handle refers to, or nothing for an unknown one.
    std::optional<std::string> PathOf(HKEY key) const {
        if (key == HKEY_LOCAL_MACHINE) {
            return std::string();
        }
        const auto found = openKeys_.find(key);
        if (found == openKeys_.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    bool CloseHandle(HKEY key) { return openKeys_.erase(key) != 0; }

  private:
    // Records keyPath and every key above it as existing.
    void AddKey(std::string_view keyPath) {
        const std::string lowered = Lowered(keyPath);
        for (std::size_t separator = lowered.find('\\'); separator != std::string::npos;
             separator = lowered.find('\\', separator + 1)) {
            keys_.insert(lowered.substr(0, separator));
        }
        keys_.insert(lowered);
    }

    bool filled_ = false;
    std::map<std::string, DWORD> profile_;
    std::map<std::string, DWORD> registry_;
    std::set<std::string> keys_;
    std::map<HKEY, std::string> openKeys_;
    std::uintptr_t nextHandle_ = 0x1000;
};

SettingsStore& TheStore() {
    static SettingsStore store;
    return store;
}

// Locks the process-wide store, fills it on first use and runs action on it.
template <class Action>
auto WithStore(Action action) {
    SettingsStore& store = TheStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    store.EnsureFilled();
    return action(store);
}

// The same for the system calls: running out of memory in the store answers
// onOutOfMemory instead of throwing into the caller.
template <class Result, class Action>
Result WithStoreOr(Result onOutOfMemory, Action action) {
    try {
        return WithStore(action);
    } catch (const std::bad_alloc&) {
        return onOutOfMemory;
    }
}

}  // namespace

void SetProfileInt(const char* section, const char* key, int value) {
    if (section == nullptr || key == nullptr) {
        return;
    }
    WithStore(
        [&](SettingsStore& store) { store.SetProfile(section, key, static_cast<DWORD>(value)); });
}

void SetRegistryDword(const char* keyPath, const char* valueName, DWORD value) {
    if (keyPath == nullptr || valueName == nullptr) {
        return;
    }
    WithStore([&](SettingsStore& store) { store.SetRegistry(keyPath, valueName, value); });
}

void ClearSettings() {
    SettingsStore& store = TheStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    store.Clear();
}

void ReloadSettingsFromEnvironment() {
    SettingsStore& store = TheStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    store.FillFromEnvironment();
}

UINT GetProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue) {
    if (section == nullptr || key == nullptr) {
        return static_cast<UINT>(defaultValue);
    }
    return WithStoreOr(static_cast<UINT>(defaultValue), [&](const SettingsStore& store) {
        return store.Profile(section, key).value_or(static_cast<UINT>(defaultValue));
    });
}

LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD /*options*/, REGSAM /*access*/, PHKEY result) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    return WithStoreOr(ERROR_NOT_ENOUGH_MEMORY, [&](SettingsStore& store) {
        std::optional<std::string> path = store.PathOf(root);
        if (!path) {
            return ERROR_INVALID_HANDLE;
        }
        if (subKey != nullptr && *subKey != '\0') {
            if (!path->empty()) {
                *path += '\\';
            }
            *path += Lowered(subKey);
        }
        if (!store.KeyExists(*path)) {
            return ERROR_FILE_NOT_FOUND;
        }
        *result = store.OpenHandle(std::move(*path));
        return ERROR_SUCCESS;
    });
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    return WithStoreOr(ERROR_NOT_ENOUGH_MEMORY, [&](const SettingsStore& store) {
        const std::optional<std::string> path = store.PathOf(key);
        if (!path) {
            return ERROR_INVALID_HANDLE;
        }
        const std::optional<DWORD> value =
            store.Registry(*path, valueName != nullptr ? valueName : "");
        if (!value) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (type != nullptr) {
            *type = REG_DWORD;
        }
        if (data == nullptr) {
            // A query without a buffer asks only for the size.
            if (dataSize != nullptr) {
                *dataSize = sizeof(DWORD);
            }
            return ERROR_SUCCESS;
        }
        const DWORD capacity = *dataSize;
        *dataSize = sizeof(DWORD);
        if (capacity < sizeof(DWORD)) {
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, &*value, sizeof(DWORD));
        return ERROR_SUCCESS;
    });
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) {
        return ERROR_SUCCESS;
    }
    return WithStoreOr(ERROR_NOT_ENOUGH_MEMORY, [&](SettingsStore& store) {
        return store.CloseHandle(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    });
}
