// The settings store behind the runtime's profile and registry reads.
//
// GetProfileIntA reads integers by section and key; RegOpenKeyExA and
// RegQueryValueExA read 32-bit values by key path (below HKEY_LOCAL_MACHINE)
// and value name. Names compare case-insensitively, as on Windows.
//
// The store is filled from environment variables the first time it is used
// (the table is in settings_store.cpp and README.md), and a test can fill it
// in-process with the functions below.
#pragma once

#include "vellorn/win32_types.h"

// Stores value as the profile integer key in section.
void SetProfileInt(const char* section, const char* key, int value);

// Stores value as the REG_DWORD value valueName of the key keyPath below
// HKEY_LOCAL_MACHINE (for example "Software\\Direct3D").
void SetRegistryDword(const char* keyPath, const char* valueName, DWORD value);

// Empties the store. The environment is not read again afterwards, so a test
// starts from a store that holds exactly what it puts in.
void ClearSettings();

// Empties the store and fills it from the environment variables again, as at
// first use. Each malformed variable is ignored with one warning on stderr.
void ReloadSettingsFromEnvironment();
