// SurfaceLock: one side of a load, a surface locked and described as a
// SurfaceDesc. When the surface itself cannot be locked (a default-pool
// surface) or must not be read in place (the source of a load into itself),
// the lock works on a scratch copy in system memory and writes it back when
// it is closed.
#pragma once

#include "pixel/surface_desc.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3d9.h"

// Lock options.
inline constexpr DWORD kLockReadOnly = 0x1;
// Work on a scratch copy of the surface.
inline constexpr DWORD kLockScratchCopy = 0x10000;
// The caller overwrites the whole locked area: the old contents may be
// discarded.
inline constexpr DWORD kLockOverwrite = 0x20000;

class SurfaceLock {
  public:
    SurfaceLock() = default;
    ~SurfaceLock() { Close(); }

    SurfaceLock(const SurfaceLock&) = delete;
    SurfaceLock& operator=(const SurfaceLock&) = delete;

    // Locks rect of surface (the whole surface when rect is null) and
    // describes it in *desc with colorKey and palette; desc's data points at
    // the locked area and its box and extent are relative to it. An empty
    // rect locks nothing and describes an empty box.
    //
    // Failures: D3DERR_INVALIDCALL for a rect outside the surface ("Invalid
    // rect"); the device's code when no scratch copy could be made ("Failed to
    // create scratch copy of vidmem surface"), when the old contents could not
    // be copied into it, or when it could not be locked ("Could not lock
    // surface").
    HRESULT Open(IDirect3DSurface9* surface, const PALETTEENTRY* palette, const RECT* rect,
                 DWORD colorKey, DWORD options, SurfaceDesc* desc);

    // Unlocks; a scratch copy locked for writing goes back into the surface
    // ("Update of vidmem texture failed" when it cannot). Releases everything
    // the lock holds. Nothing happens when nothing is locked.
    void Close();

  private:
    // Makes the scratch copy of surface_, copies the surface's contents into
    // it when copyContents is set, and locks lockRect of it with flags.
    HRESULT OpenScratch(const RECT* lockRect, bool copyContents, DWORD flags,
                        D3DLOCKED_RECT* locked);

    DWORD options_ = 0;
    D3DSURFACE_DESC info_ = {};
    ComPtr<IDirect3DSurface9> surface_;  // set while locked
    ComPtr<IDirect3DDevice9> device_;
    ComPtr<IDirect3DTexture9> scratchTexture_;
    ComPtr<IDirect3DSurface9> scratch_;
};
