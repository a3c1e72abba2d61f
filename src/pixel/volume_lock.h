// VolumeLock: one side of a volume load, a volume locked and described as a
// SurfaceDesc. Unlike a surface lock it has no scratch copy: a volume the
// device does not let anyone lock cannot be loaded.
#pragma once

#include "pixel/surface_desc.h"
#include "pixel/surface_lock.h"  // the lock options
#include "vellorn/com_ptr.h"
#include "vellorn/d3d9.h"

class VolumeLock {
  public:
    VolumeLock() = default;
    ~VolumeLock() { Close(); }

    VolumeLock(const VolumeLock&) = delete;
    VolumeLock& operator=(const VolumeLock&) = delete;

    // Locks box of volume (the whole volume when box is null) and describes
    // it in *desc with colorKey and palette; desc's data points at the locked
    // area and its box and extent are relative to it. Options as for
    // SurfaceLock, without the scratch copy. An empty box locks nothing and
    // describes an empty box.
    //
    // Failures: D3DERR_INVALIDCALL for a box outside the volume ("Invalid
    // source box") or a default-pool volume that is not dynamic ("Cannot lock
    // non-dynamic vidmem volumes"); the device's code when the lock fails
    // ("Could not lock volume").
    HRESULT Open(IDirect3DVolume9* volume, const PALETTEENTRY* palette, const D3DBOX* box,
                 DWORD colorKey, DWORD options, SurfaceDesc* desc);

    // Unlocks and releases the volume. Nothing happens when nothing is locked.
    void Close();

  private:
    ComPtr<IDirect3DVolume9> volume_;  // set while locked
};
