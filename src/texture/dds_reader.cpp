// The DDS reader: a 128-byte header, an optional 1,024-byte palette and the
// pixels of every face and mip level already in a Direct3D 9 layout. Nothing
// is decoded or copied: each level record points into the file's bytes.
// Every size the header gives is taken in 64-bit arithmetic and each level's
// byte range is checked against the data before a pointer into it is formed.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>

#include "platform/diagnostics.h"
#include "texture/format_info.h"
#include "texture/image_readers.h"

namespace {

constexpr UINT kHeaderBytes = 128;
constexpr UINT kPaletteBytes = 1024;
constexpr std::uint32_t kMagic = 0x20534444;  // "DDS "
constexpr std::uint32_t kPixelFormatBlockBytes = 32;
// Header flag: the depth field is valid and the file holds a volume.
constexpr std::uint32_t kDepthValid = 0x800000;
// Caps 2: one bit for each of the six cube faces.
constexpr std::uint32_t kCubeFaceBits = 0xFC00;
constexpr UINT kCubeFaces = 6;

// Pixel-format flags.
constexpr std::uint32_t kAlphaPixels = 0x1;
constexpr std::uint32_t kAlphaOnly = 0x2;
constexpr std::uint32_t kFourCC = 0x4;
constexpr std::uint32_t kPalette8 = 0x20;
constexpr std::uint32_t kRgb = 0x40;
constexpr std::uint32_t kDepthBuffer = 0x400;
constexpr std::uint32_t kLuminance = 0x20000;
constexpr std::uint32_t kBumpLuminance = 0x40000;
constexpr std::uint32_t kBump = 0x80000;

// The flag sets under which a format row's fields are compared.
constexpr std::uint32_t kComparesBits = 0xC4462;
constexpr std::uint32_t kComparesMask[4] = {0xE4040, 0xC4440, 0xC4040, 0x80003};

// A pixel-format row: flags, FOURCC, bit count, then the red (luminance, U),
// green (V, depth), blue and alpha masks. Fields the flags do not compare
// are 0.
struct PixelFormatRow {
    D3DFORMAT format;
    std::uint32_t flags;
    std::uint32_t fourCC;
    std::uint32_t bits;
    std::uint32_t masks[4];
};

constexpr std::uint32_t kRgba = kRgb | kAlphaPixels;
constexpr std::uint32_t kLuminanceAlpha = kLuminance | kAlphaPixels;

constexpr PixelFormatRow FourCCRow(D3DFORMAT format) {
    return {format, kFourCC, static_cast<std::uint32_t>(format), 0, {0, 0, 0, 0}};
}

// Searched in order; the first row that matches wins.
constexpr PixelFormatRow kPixelFormats[] = {
    {D3DFMT_R8G8B8, kRgb, 0, 24, {0xFF0000, 0xFF00, 0xFF, 0}},
    {D3DFMT_A8R8G8B8, kRgba, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
    {D3DFMT_X8R8G8B8, kRgb, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0}},
    {D3DFMT_R5G6B5, kRgb, 0, 16, {0xF800, 0x7E0, 0x1F, 0}},
    {D3DFMT_X1R5G5B5, kRgb, 0, 16, {0x7C00, 0x3E0, 0x1F, 0}},
    {D3DFMT_A1R5G5B5, kRgba, 0, 16, {0x7C00, 0x3E0, 0x1F, 0x8000}},
    {D3DFMT_A4R4G4B4, kRgba, 0, 16, {0xF00, 0xF0, 0xF, 0xF000}},
    {D3DFMT_R3G3B2, kRgb, 0, 8, {0xE0, 0x1C, 0x3, 0}},
    {D3DFMT_A8, kAlphaOnly, 0, 8, {0, 0, 0, 0xFF}},
    {D3DFMT_A8R3G3B2, kRgba, 0, 16, {0xE0, 0x1C, 0x3, 0xFF00}},
    {D3DFMT_X4R4G4B4, kRgb, 0, 16, {0xF00, 0xF0, 0xF, 0}},
    {D3DFMT_A2B10G10R10, kRgba, 0, 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}},
    {D3DFMT_A8B8G8R8, kRgba, 0, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}},
    {D3DFMT_X8B8G8R8, kRgb, 0, 32, {0xFF, 0xFF00, 0xFF0000, 0}},
    {D3DFMT_G16R16, kRgb, 0, 32, {0xFFFF, 0xFFFF0000, 0, 0}},
    {D3DFMT_A2R10G10B10, kRgba, 0, 32, {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}},
    {D3DFMT_A8P8, kPalette8 | kAlphaPixels, 0, 16, {0, 0, 0, 0xFF00}},
    {D3DFMT_P8, kPalette8, 0, 8, {0, 0, 0, 0}},
    {D3DFMT_L8, kLuminance, 0, 0, {0xFF, 0, 0, 0}},
    {D3DFMT_A8L8, kLuminanceAlpha, 0, 0, {0xFF, 0, 0, 0xFF00}},
    {D3DFMT_A4L4, kLuminanceAlpha, 0, 0, {0xF, 0, 0, 0xF0}},
    {D3DFMT_L16, kLuminance, 0, 0, {0xFFFF, 0, 0, 0}},
    {D3DFMT_V8U8, kBump, 0, 16, {0xFF, 0xFF00, 0, 0}},
    {D3DFMT_L6V5U5, kBumpLuminance, 0, 16, {0x1F, 0x3E0, 0xFC00, 0}},
    {D3DFMT_X8L8V8U8, kBumpLuminance, 0, 32, {0xFF, 0xFF00, 0xFF0000, 0}},
    {D3DFMT_Q8W8V8U8, kBump, 0, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}},
    {D3DFMT_V16U16, kBump, 0, 32, {0xFFFF, 0xFFFF0000, 0, 0}},
    {D3DFMT_A2W10V10U10, kBump | kAlphaPixels, 0, 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}},
    FourCCRow(D3DFMT_UYVY),
    FourCCRow(D3DFMT_R8G8_B8G8),
    FourCCRow(D3DFMT_YUY2),
    FourCCRow(D3DFMT_G8R8_G8B8),
    FourCCRow(D3DFMT_DXT1),
    FourCCRow(D3DFMT_DXT2),
    FourCCRow(D3DFMT_DXT3),
    FourCCRow(D3DFMT_DXT4),
    FourCCRow(D3DFMT_DXT5),
    {D3DFMT_D16_LOCKABLE, kDepthBuffer, 0, 16, {0, 0xFFFF, 0, 0}},
    FourCCRow(D3DFMT_D32F_LOCKABLE),
    FourCCRow(D3DFMT_A16B16G16R16),
    FourCCRow(D3DFMT_Q16W16V16U16),
    FourCCRow(D3DFMT_R16F),
    FourCCRow(D3DFMT_G16R16F),
    FourCCRow(D3DFMT_A16B16G16R16F),
    FourCCRow(D3DFMT_R32F),
    FourCCRow(D3DFMT_G32R32F),
    FourCCRow(D3DFMT_A32B32G32R32F),
    FourCCRow(D3DFMT_CxV8U8),
};

std::uint32_t ReadU32(const BYTE* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool RowMatches(const PixelFormatRow& row, const BYTE* header, std::uint32_t flags) {
    if (row.flags != flags) {
        return false;
    }
    if (flags == kFourCC && ReadU32(header + 84) != row.fourCC) {
        return false;
    }
    if ((flags & kComparesBits) != 0 && ReadU32(header + 88) != row.bits) {
        return false;
    }
    for (int mask = 0; mask < 4; ++mask) {
        if ((flags & kComparesMask[mask]) != 0 &&
            ReadU32(header + 92 + 4 * mask) != row.masks[mask]) {
            return false;
        }
    }
    return true;
}

// The format the pixel-format block describes, or D3DFMT_UNKNOWN.
D3DFORMAT RecognizePixelFormat(const BYTE* header) {
    if (ReadU32(header + 76) != kPixelFormatBlockBytes) {
        return D3DFMT_UNKNOWN;
    }
    std::uint32_t flags = ReadU32(header + 80);
    if ((flags & kFourCC) != 0) {
        flags = kFourCC;
    }
    for (const PixelFormatRow& row : kPixelFormats) {
        if (RowMatches(row, header, flags)) {
            return row.format;
        }
    }
    return D3DFMT_UNKNOWN;
}

bool IsDxtFormat(D3DFORMAT format) {
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ||
           format == D3DFMT_DXT4 || format == D3DFMT_DXT5;
}

bool IsPairFormat(D3DFORMAT format) {
    return format == D3DFMT_YUY2 || format == D3DFMT_G8R8_G8B8 || format == D3DFMT_R8G8_B8G8 ||
           format == D3DFMT_UYVY;
}

// The geometry of one level: its pitches and the bytes it spans.
struct LevelLayout {
    INT rowPitch;
    INT slicePitch;
    std::uint64_t bytes;
};

// The layout of a w x h x d level of format, or nothing when a pitch does not
// fit a signed 32-bit value or the level passes the decoded-image limit.
std::optional<LevelLayout> Layout(D3DFORMAT format, std::uint64_t w, std::uint64_t h,
                                  std::uint64_t d) {
    std::uint64_t rowPitch = 0;
    std::uint64_t rows = h;
    if (IsDxtFormat(format)) {
        // 4 x 4 blocks of 8 bytes (DXT1) or 16 bytes.
        rowPitch = (w + 3) / 4 * (format == D3DFMT_DXT1 ? 8 : 16);
        rows = (h + 3) / 4;
    } else if (IsPairFormat(format)) {
        rowPitch = (w + 1) / 2 * 4;
    } else {
        rowPitch = w * (LookupFormatInfo(format).bitsPerPixel / 8);
    }
    const std::optional<std::uint64_t> slice = CheckedImageBytes(rowPitch, rows);
    const std::optional<std::uint64_t> level = CheckedImageBytes(rowPitch, rows, d);
    if (!slice || !level) {
        return std::nullopt;
    }
    return LevelLayout{static_cast<INT>(rowPitch), static_cast<INT>(*slice), *level};
}

// The number of levels from w x h x d down to 1 x 1 x 1.
UINT FullChainLength(UINT width, UINT height, UINT depth) {
    return static_cast<UINT>(std::bit_width(std::max({width, height, depth})));
}

UINT Halve(UINT extent) {
    return std::max(extent / 2, 1u);
}

}  // namespace

HRESULT LoadDDS(DecodedImage* image, const BYTE* data, UINT size) {
    if (size < kHeaderBytes || ReadU32(data) != kMagic) {
        return E_FAIL;
    }
    const std::uint32_t headerFlags = ReadU32(data + 8);
    const bool volume = (headerFlags & kDepthValid) != 0;
    const UINT width = ReadU32(data + 16);
    const UINT height = ReadU32(data + 12);
    const UINT depth = volume ? std::max(ReadU32(data + 24), 1u) : 1;

    const std::uint32_t faceBits = ReadU32(data + 112) & kCubeFaceBits;
    if (faceBits != 0 && faceBits != kCubeFaceBits) {
        DebugMessage(0, "LoadDDS: Partial cubemaps not supported.");
        return E_FAIL;
    }
    const UINT faces = faceBits == kCubeFaceBits ? kCubeFaces : 1;

    const D3DFORMAT format = RecognizePixelFormat(data);
    if (format == D3DFMT_UNKNOWN) {
        DebugMessage(0, "Unrecognized pixel format in DDS file.");
        return E_FAIL;
    }
    image->resourceType = volume                ? D3DRTYPE_VOLUMETEXTURE
                          : faces == kCubeFaces ? D3DRTYPE_CUBETEXTURE
                                                : D3DRTYPE_TEXTURE;

    // An empty level holds nothing to load: a damaged header.
    if (width == 0 || height == 0) {
        return E_FAIL;
    }
    // Levels a header counts past 1 x 1 x 1 belong to no texture and are
    // left unread, which also bounds the records made below to six faces of
    // at most 32 levels.
    const UINT levels =
        std::min(std::max(ReadU32(data + 28), 1u), FullChainLength(width, height, depth));

    std::uint64_t offset = kHeaderBytes;
    const PALETTEENTRY* palette = nullptr;
    if (LookupFormatInfo(format).kind == FormatKind::Palette) {
        if (size - kHeaderBytes < kPaletteBytes) {
            return E_FAIL;
        }
        palette = reinterpret_cast<const PALETTEENTRY*>(data + kHeaderBytes);
        offset += kPaletteBytes;
    }

    DecodedImage* face = image;
    for (UINT f = 0; f < faces; ++f) {
        if (f > 0) {
            face->nextFace.reset(new (std::nothrow) DecodedImage);
            if (!face->nextFace) {
                return E_OUTOFMEMORY;
            }
            face = face->nextFace.get();
        }
        UINT w = width;
        UINT h = height;
        UINT d = depth;
        DecodedImage* level = face;
        for (UINT j = 0; j < levels; ++j) {
            const std::optional<LevelLayout> layout = Layout(format, w, h, d);
            if (!layout || layout->bytes > size - offset) {
                return E_FAIL;
            }
            if (j > 0) {
                level->nextLevel.reset(new (std::nothrow) DecodedImage);
                if (!level->nextLevel) {
                    return E_OUTOFMEMORY;
                }
                level = level->nextLevel.get();
            }
            level->format = format;
            level->pixels = data + offset;
            level->palette = palette;
            level->width = w;
            level->height = h;
            level->depth = d;
            level->rowPitch = layout->rowPitch;
            level->slicePitch = layout->slicePitch;
            offset += layout->bytes;
            w = Halve(w);
            h = Halve(h);
            d = Halve(d);
        }
    }
    return S_OK;
}
