// The Direct3D object: one adapter (the desktop), format questions answered
// from the active device profile, and device creation.
#pragma once

#include "runtime/d3d9/device_profile.h"
#include "vellorn/d3d9.h"

// Completes presentation parameters for a device on focusWindow: a 0 x 0
// back buffer takes the window's client size, an unknown format becomes
// X8R8G8B8. Checks windowed mode, the format (a render-target format of the
// profile) and one back buffer without multisampling.
HRESULT CompletePresentParameters(const DeviceProfile& profile, HWND focusWindow,
                                  D3DPRESENT_PARAMETERS* parameters);
