// DecodedImage: one level of an image as a reader found it in a file, in a
// pixel format the codecs read directly, with the next smaller level and the
// next cube face chained behind it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "vellorn/d3dx_texture.h"

struct DecodedImage {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    // Row 0 of the pixels: into ownedPixels or into the caller's file bytes.
    const BYTE* pixels = nullptr;
    // 256 entries (the flags byte is alpha): into ownedPalette, or none.
    const PALETTEENTRY* palette = nullptr;
    UINT width = 0;
    UINT height = 0;
    UINT depth = 0;
    D3DBOX box = {};
    INT rowPitch = 0;
    // 0 for plain images.
    INT slicePitch = 0;
    // When clear a reader only fills the format and the geometry.
    bool decode = false;
    // D3DRTYPE_TEXTURE unless the file holds a volume or a cube map.
    D3DRESOURCETYPE resourceType = D3DRTYPE_TEXTURE;
    D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_BMP;

    std::unique_ptr<BYTE[]> ownedPixels;
    std::unique_ptr<PALETTEENTRY[]> ownedPalette;
    std::unique_ptr<DecodedImage> nextLevel;
    std::unique_ptr<DecodedImage> nextFace;

    // An owned pixel buffer of bytes bytes, which pixels then points at; null
    // when bytes passes kMaxDecodedImageBytes or the allocation fails.
    BYTE* AllocatePixels(std::uint64_t bytes);
    // An owned palette of 256 entries, which palette then points at; null when
    // the allocation fails.
    PALETTEENTRY* AllocatePalette();
    // Frees what the record owns and its level and face chains and clears the
    // pointers, leaving the rest of the record as it is.
    void ReleaseContents();
    // This level and every level chained behind it.
    UINT LevelCount() const;
};

// The largest pixel buffer a reader allocates: a larger image is refused
// before anything is allocated.
inline constexpr std::uint64_t kMaxDecodedImageBytes = std::uint64_t{1} << 30;

// The widest, tallest or deepest image the loader decodes. Run-length files
// can promise very long rows in a few bytes, and the resampling filters keep
// tables per source pixel; this keeps both within reason.
inline constexpr UINT kMaxImageSide = 1000000;

// Bytes of rows rows of rowPitch bytes in slices slices, or nothing when the
// pitch does not fit a signed 32-bit value, an operand passes 32 bits or the
// product passes kMaxDecodedImageBytes.
std::optional<std::uint64_t> CheckedImageBytes(std::uint64_t rowPitch, std::uint64_t rows,
                                               std::uint64_t slices = 1);
