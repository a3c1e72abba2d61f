// The keyboard's key codes: SDL scancodes (USB usage numbers) to DIK codes
// (PC scan codes, extended keys with bit 7 set).
#pragma once

#include "vellorn/win32_types.h"

// The DIK code of an SDL scancode, or 0 when the key has none.
BYTE DikFromSdlScancode(int scancode);

// Whether some scancode maps to this DIK code.
bool IsMappedDik(BYTE dik);

// The number of distinct DIK codes the table produces.
int MappedKeyCount();
