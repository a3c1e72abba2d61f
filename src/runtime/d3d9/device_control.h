// Test control of the software Direct3D 9 device: the profile that devices
// created afterwards get, fault injection, the call log with the arguments of
// draws and buffer locks, a device-loss hook for the headless backend, the
// last presented frame of a headless device and the state of the runtime's
// debug mute.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/d3d9/device_profile.h"
#include "vellorn/d3d9.h"

// The profile of every Direct3D object created from now on (each keeps the
// one it was made with, for its answers and its devices). ResetDeviceControl
// returns to DefaultDeviceProfile().
void InstallDeviceProfile(const DeviceProfile& profile);
DeviceProfile ActiveDeviceProfile();

// Makes the nth call (1 = the next one) of operation, counted from now, fail
// with code. Operation names are the method names ("DrawPrimitive",
// "CreateTexture", "Present", ...). Several faults may be pending.
void InjectFault(const char* operation, int nth, HRESULT code);

// The call log is off until a test turns it on: a running program would
// otherwise keep every call it ever made.
void EnableCallLog(bool enabled);

// The operations called, in order, since the last ClearCallLog.
const std::vector<std::string>& CallLog();

// The arguments of every DrawIndexedPrimitive that reached its checks, with
// the texture of stage 0 at the time, in order.
struct DrawRecord {
    INT baseVertexIndex;
    UINT minVertexIndex;
    UINT numVertices;
    UINT startIndex;
    UINT primitiveCount;
    IDirect3DBaseTexture9* texture;  // no reference held
};
const std::vector<DrawRecord>& DrawLog();

// The arguments of every successful vertex- or index-buffer lock, in order.
struct BufferLockRecord {
    IDirect3DResource9* buffer;  // no reference held
    UINT offset;
    UINT size;
    DWORD flags;
};
const std::vector<BufferLockRecord>& BufferLockLog();

// Empties the call log and the draw and lock records.
void ClearCallLog();

// Loses the device (true) as the platform would, or ends the cause of the
// loss (false): the device then waits for Reset. Used by the headless
// backend, where nothing else takes the device away.
void SetHeadlessDeviceLost(IDirect3DDevice9* device, bool lost);

// The back buffer as last presented by a headless device, A8R8G8B8 (alpha
// 0xFF for an X8R8G8B8 back buffer), row after row; from a device presenting
// into an SDL window, while a presented-frame file is named, the window's
// client area as read back after presenting. False when nothing has been
// presented or kept, or device is not a device of this runtime.
bool ReadPresentedFrame(IDirect3DDevice9* device, std::vector<std::uint32_t>* pixels, UINT* width,
                        UINT* height);

// Names the file that every device writes its last presented frame to (as
// ReadPresentedFrame gives it), as an 8-bit RGB PNG, when its last reference
// goes; an empty path names none. Until a call names one, the environment
// variable VELLORN_FRAME_FILE does.
void SetPresentedFrameFile(const std::string& path);

// Whether the runtime's own debug output is muted ("DebugSetMute").
bool RuntimeDebugMuted();

// Forgets the installed profile, pending faults, the logs and the
// presented-frame file named in-process, turns the call log off and unmutes.
void ResetDeviceControl();
