// The texture library's public calls: textures from image files, surface and
// volume loads, mip-chain regeneration and the filter word they take.
#pragma once

#include "vellorn/d3d9.h"
#include "vellorn/win32_types.h"

// ---- markers accepted in sizes, level counts, formats and filter words ----
inline constexpr DWORD D3DX_DEFAULT = 0xFFFFFFFF;
// A size taken from the image as it is, without rounding to a power of two.
inline constexpr DWORD D3DX_DEFAULT_NONPOW2 = 0xFFFFFFFE;
// A size, level count or format that must be the file's own, or the call fails.
inline constexpr DWORD D3DX_FROM_FILE = 0xFFFFFFFD;
inline constexpr D3DFORMAT D3DFMT_FROM_FILE = static_cast<D3DFORMAT>(0xFFFFFFFD);

// ---- filter word: a kind in the low 16 bits, flags above ----

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
HRESULT D3DXLoadSurfaceFromMemory(IDirect3DSurface9* pDestSurface, const PALETTEENTRY* pDestPalette,
                                  const RECT* pDestRect, LPCVOID pSrcMemory, D3DFORMAT SrcFormat,
                                  UINT SrcPitch, const PALETTEENTRY* pSrcPalette,
                                  const RECT* pSrcRect, DWORD Filter, D3DCOLOR ColorKey);
HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* pDestSurface,
                                   const PALETTEENTRY* pDestPalette, const RECT* pDestRect,
                                   IDirect3DSurface9* pSrcSurface, const PALETTEENTRY* pSrcPalette,
                                   const RECT* pSrcRect, DWORD Filter, D3DCOLOR ColorKey);
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

// ---- image files ----
enum D3DXIMAGE_FILEFORMAT : DWORD {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6,
    D3DXIFF_HDR = 7,
    D3DXIFF_PFM = 8,
};

// What an image file holds, as its reader found it.
struct D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    // The number of levels the file holds, at least 1.
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

// Creates a two-dimensional texture from an image file: the size, level
// count and format follow the caller's wishes, the image and the device's
// capabilities; every level is loaded with Filter (the file's levels) and the
// rest filled with MipFilter. ColorKey (0: none) turns pixels of exactly that
// ARGB colour into transparent black. pSrcInfo receives what the file holds,
// pPalette (256 entries) the file's palette.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* pDevice, LPCSTR pSrcFile, UINT Width,
                                     UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                     D3DPOOL Pool, DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                     D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* pPalette,
                                     IDirect3DTexture9** ppTexture);

// The same from the file's bytes in memory.
HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* pDevice, LPCVOID pSrcData,
                                            UINT SrcDataSize, UINT Width, UINT Height,
                                            UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                            D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                            PALETTEENTRY* pPalette, IDirect3DTexture9** ppTexture);
