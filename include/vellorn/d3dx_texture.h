// The texture library's surface and volume loads, mip-chain regeneration and
// the filter word they take.
#pragma once

#include "vellorn/d3d9.h"
#include "vellorn/win32_types.h"

// ---- filter word: a kind in the low 16 bits, flags above ----
inline constexpr DWORD D3DX_DEFAULT = 0xFFFFFFFF;

inline constexpr DWORD D3DX_FILTER_NONE = 1;
inline constexpr DWORD D3DX_FILTER_POINT = 2;
inline constexpr DWORD D3DX_FILTER_LINEAR = 3;
inline constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
inline constexpr DWORD D3DX_FILTER_BOX = 5;

inline constexpr DWORD D3DX_FILTER_MIRROR_U = 0x10000;
inline constexpr DWORD D3DX_FILTER_MIRROR_V = 0x20000;
inline constexpr DWORD D3DX_FILTER_MIRROR_W = 0x40000;
inline constexpr DWORD D3DX_FILTER_MIRROR = 0x70000;
inline constexpr DWORD D3DX_FILTER_DITHER = 0x80000;
inline constexpr DWORD D3DX_FILTER_DITHER_DIFFUSION = 0x100000;
inline constexpr DWORD D3DX_FILTER_SRGB_IN = 0x200000;
inline constexpr DWORD D3DX_FILTER_SRGB_OUT = 0x400000;
inline constexpr DWORD D3DX_FILTER_SRGB = 0x600000;

// ---- loads ----
HRESULT D3DXLoadSurfaceFromMemory(IDirect3DSurface9* pDestSurface,
                                  const PALETTEENTRY* pDestPalette, const RECT* pDestRect,
                                  LPCVOID pSrcMemory, D3DFORMAT SrcFormat, UINT SrcPitch,
                                  const PALETTEENTRY* pSrcPalette, const RECT* pSrcRect,
                                  DWORD Filter, D3DCOLOR ColorKey);
HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* pDestSurface,
                                   const PALETTEENTRY* pDestPalette, const RECT* pDestRect,
                                   IDirect3DSurface9* pSrcSurface,
                                   const PALETTEENTRY* pSrcPalette, const RECT* pSrcRect,
                                   DWORD Filter, D3DCOLOR ColorKey);
HRESULT D3DXLoadVolumeFromMemory(IDirect3DVolume9* pDestVolume, const PALETTEENTRY* pDestPalette,
                                 const D3DBOX* pDestBox, LPCVOID pSrcMemory, D3DFORMAT SrcFormat,
                                 UINT SrcRowPitch, UINT SrcSlicePitch,
                                 const PALETTEENTRY* pSrcPalette, const D3DBOX* pSrcBox,
                                 DWORD Filter, D3DCOLOR ColorKey);
HRESULT D3DXLoadVolumeFromVolume(IDirect3DVolume9* pDestVolume, const PALETTEENTRY* pDestPalette,
                                 const D3DBOX* pDestBox, IDirect3DVolume9* pSrcVolume,
                                 const PALETTEENTRY* pSrcPalette, const D3DBOX* pSrcBox,
                                 DWORD Filter, D3DCOLOR ColorKey);

// Rebuilds every level below SrcLevel of a texture, cube texture or volume
// texture from the levels above it.
HRESULT D3DXFilterTexture(IDirect3DBaseTexture9* pBaseTexture, const PALETTEENTRY* pPalette,
                          UINT SrcLevel, DWORD Filter);
