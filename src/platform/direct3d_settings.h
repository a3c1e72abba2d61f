// Reads of the 32-bit values under the Direct3D settings key of the
// local-machine registry hive ("D3DXDoNotMute", "D3DX", "DisableMMX", ...).
#pragma once

#include "vellorn/win32_types.h"

inline constexpr const char* kDirect3DSettingsKey = "Software\\Direct3D";

// Reads the REG_DWORD value valueName into *value. Returns true only when such
// a value was read; *value is left alone otherwise.
bool ReadDirect3DSetting(const char* valueName, DWORD* value);
