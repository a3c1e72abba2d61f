#include "platform/direct3d_settings.h"

#include "vellorn/win32_system.h"

bool ReadDirect3DSetting(const char* valueName, DWORD* value) {
    if (valueName == nullptr || value == nullptr) {
        return false;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDirect3DSettingsKey, 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    const LONG result =
        RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(&data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data)) {
        return false;
    }
    *value = data;
    return true;
}
