// The BMP file and device-independent bitmap readers: uncompressed rows of
// 1 to 32 bits, bit-field rows, and run-length encoded 8-bit and 4-bit data.
// Every size the file gives is taken in 64-bit arithmetic and checked against
// the data and the decoded-image limit before a pointer is formed or a buffer
// allocated.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

#include "platform/diagnostics.h"
#include "texture/image_readers.h"

namespace {

constexpr std::uint64_t kFileHeaderBytes = 14;
constexpr std::uint32_t kCoreHeaderBytes = 12;
constexpr std::uint32_t kInfoHeaderBytes = 40;
// The smallest info headers that hold the colour masks and the alpha mask.
constexpr std::uint32_t kMaskHeaderBytes = 52;
constexpr std::uint32_t kAlphaMaskHeaderBytes = 56;
constexpr std::uint64_t kPaletteEntries = 256;
// The decoded size of one pixel of the generic bit-field format: four floats.
constexpr std::uint64_t kFloatPixelBytes = 16;

enum Compression : std::uint32_t {
    kUncompressed = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kJpeg = 4,
    kPng = 5,
};

std::uint16_t ReadU16(const BYTE* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadU32(const BYTE* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t RoundUpTo4(std::uint64_t bytes) {
    return (bytes + 3) & ~std::uint64_t{3};
}

struct DibHeader {
    std::uint32_t headerSize = 0;
    std::int64_t width = 0;
    // Negative when the rows are stored top to bottom.
    std::int64_t storedHeight = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitsPerPixel = 0;
    std::uint32_t compression = kUncompressed;
    std::uint32_t coloursUsed = 0;
    // Red, green, blue, alpha.
    std::uint32_t masks[4] = {};
    std::uint64_t paletteEntryBytes = 4;
};

// Reads the 12-byte core header or an info header of 40 bytes or more.
bool ReadDibHeader(const BYTE* data, UINT size, DibHeader* header) {
    if (size < 4) {
        return false;
    }
    header->headerSize = ReadU32(data);
    if (header->headerSize > size) {
        return false;
    }
    if (header->headerSize == kCoreHeaderBytes) {
        header->width = static_cast<std::int16_t>(ReadU16(data + 4));
        header->storedHeight = static_cast<std::int16_t>(ReadU16(data + 6));
        header->planes = ReadU16(data + 8);
        header->bitsPerPixel = ReadU16(data + 10);
        header->paletteEntryBytes = 3;
        return true;
    }
    if (header->headerSize < kInfoHeaderBytes) {
        return false;
    }
    header->width = static_cast<std::int32_t>(ReadU32(data + 4));
    header->storedHeight = static_cast<std::int32_t>(ReadU32(data + 8));
    header->planes = ReadU16(data + 12);
    header->bitsPerPixel = ReadU16(data + 14);
    header->compression = ReadU32(data + 16);
    header->coloursUsed = ReadU32(data + 32);
    if (header->headerSize >= kMaskHeaderBytes) {
        for (int channel = 0; channel < 3; ++channel) {
            header->masks[channel] = ReadU32(data + 40 + 4 * channel);
        }
    }
    if (header->headerSize >= kAlphaMaskHeaderBytes) {
        header->masks[3] = ReadU32(data + 52);
    }
    return true;
}

struct BitFieldFormat {
    std::uint16_t bitsPerPixel;
    std::uint32_t masks[4];
    D3DFORMAT format;
    // Bytes to skip at the start of the pixels so the colour bytes land where
    // the format expects them.
    std::uint32_t skip;
};

constexpr BitFieldFormat kBitFieldFormats[] = {
    {16, {0xFF, 0xFF, 0xFF, 0xFF00}, D3DFMT_A8L8, 0},
    {16, {0xF800, 0x7E0, 0x1F, 0}, D3DFMT_R5G6B5, 0},
    {16, {0x7C00, 0x3E0, 0x1F, 0}, D3DFMT_X1R5G5B5, 0},
    {16, {0x7C00, 0x3E0, 0x1F, 0x8000}, D3DFMT_A1R5G5B5, 0},
    {16, {0xF00, 0xF0, 0xF, 0xF000}, D3DFMT_A4R4G4B4, 0},
    {16, {0xE0, 0x1C, 0x3, 0xFF00}, D3DFMT_A8R3G3B2, 0},
    {16, {0xF00, 0xF0, 0xF, 0}, D3DFMT_X4R4G4B4, 0},
    {16, {0xFFFF, 0xFFFF, 0xFFFF, 0}, D3DFMT_L16, 0},
    {24, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_R8G8B8, 0},
    {32, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_X8R8G8B8, 0},
    {32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, D3DFMT_A8R8G8B8, 0},
    {32, {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}, D3DFMT_A2B10G10R10, 0},
    {32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, D3DFMT_A8B8G8R8, 0},
    {32, {0xFF, 0xFF00, 0xFF0000, 0}, D3DFMT_X8B8G8R8, 0},
    {32, {0xFFFF, 0xFFFF0000, 0, 0}, D3DFMT_G16R16, 0},
    {32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, D3DFMT_A2R10G10B10, 0},
    {32, {0xFF000000, 0xFF0000, 0xFF00, 0}, D3DFMT_X8R8G8B8, 1},
};

struct FormatChoice {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    // Bit fields no packed format matches: decoded to four floats a pixel.
    bool generic = false;
    std::uint32_t skip = 0;
};

HRESULT ChooseFormat(const DibHeader& header, FormatChoice* choice) {
    const std::uint16_t bits = header.bitsPerPixel;
    switch (header.compression) {
        case kUncompressed:
        case kRle8:
        case kRle4:
            // Run-length data is decoded as palette indices of its own width
            // only; other pairings have no meaning.
            if ((header.compression == kRle8 && bits != 8) ||
                (header.compression == kRle4 && bits != 4)) {
                return E_FAIL;
            }
            switch (bits) {
                case 1:
                case 4:
                case 8: choice->format = D3DFMT_P8; return S_OK;
                case 16: choice->format = D3DFMT_X1R5G5B5; return S_OK;
                case 24: choice->format = D3DFMT_R8G8B8; return S_OK;
                case 32: choice->format = D3DFMT_X8R8G8B8; return S_OK;
                default: return E_FAIL;
            }
        case kBitFields:
            if (header.headerSize < kMaskHeaderBytes || (bits != 16 && bits != 24 && bits != 32)) {
                return E_FAIL;
            }
            for (const BitFieldFormat& row : kBitFieldFormats) {
                if (row.bitsPerPixel == bits &&
                    std::memcmp(row.masks, header.masks, sizeof(row.masks)) == 0) {
                    choice->format = row.format;
                    choice->skip = row.skip;
                    return S_OK;
                }
            }
            choice->format = D3DFMT_A32B32G32R32F;
            choice->generic = true;
            return S_OK;
        case kJpeg: DebugMessage(0, "LoadBMP: JPEG compression not supported"); return E_FAIL;
        case kPng: DebugMessage(0, "LoadBMP: PNG compression not supported"); return E_FAIL;
        default: return E_FAIL;
    }
}

// True when a pixel of the 32-bit rows has a non-zero top byte.
bool AnyTopByteSet(const BYTE* pixels, std::uint64_t width, std::uint64_t height,
                   std::uint64_t pitch) {
    for (std::uint64_t y = 0; y < height; ++y) {
        const BYTE* row = pixels + y * pitch;
        for (std::uint64_t x = 0; x < width; ++x) {
            if (row[4 * x + 3] != 0) {
                return true;
            }
        }
    }
    return false;
}

HRESULT FillPalette(DecodedImage* image, const BYTE* entries, const DibHeader& header) {
    PALETTEENTRY* palette = image->AllocatePalette();
    if (palette == nullptr) {
        return E_OUTOFMEMORY;
    }
    const std::uint64_t taken = std::min<std::uint64_t>(header.coloursUsed, kPaletteEntries);
    for (std::uint64_t i = 0; i < kPaletteEntries; ++i) {
        if (i < taken) {
            const BYTE* entry = entries + i * header.paletteEntryBytes;
            palette[i] = {entry[2], entry[1], entry[0], 0xFF};
        } else {
            palette[i] = {0xFF, 0xFF, 0xFF, 0xFF};
        }
    }
    return S_OK;
}

// One channel of the generic bit-field format.
struct MaskChannel {
    std::uint32_t shift = 0;
    std::uint32_t fieldMask = 0;
    float scale = 0.0f;
    // The value of a channel without a mask.
    float constant = 1.0f;
};

void SetUpChannels(const std::uint32_t (&masks)[4], MaskChannel (&channels)[4]) {
    const bool noColour = masks[0] == 0 && masks[1] == 0 && masks[2] == 0;
    for (int c = 0; c < 4; ++c) {
        if (masks[c] != 0) {
            channels[c].shift = static_cast<std::uint32_t>(std::countr_zero(masks[c]));
            channels[c].fieldMask = masks[c] >> channels[c].shift;
            channels[c].scale = 1.0f / static_cast<float>(channels[c].fieldMask);
        } else if (noColour && c < 3) {
            channels[c].constant = 0.0f;
        }
    }
}

void ReadGenericRow(BYTE* out, const BYTE* in, std::uint64_t width, std::uint16_t bits,
                    const MaskChannel (&channels)[4]) {
    const std::uint64_t inBytes = bits / 8;
    for (std::uint64_t x = 0; x < width; ++x, in += inBytes, out += kFloatPixelBytes) {
        std::uint32_t pixel = in[0] | (in[1] << 8);
        if (bits >= 24) {
            pixel |= static_cast<std::uint32_t>(in[2]) << 16;
        }
        if (bits == 32) {
            pixel |= static_cast<std::uint32_t>(in[3]) << 24;
        }
        float value[4];
        for (int c = 0; c < 4; ++c) {
            const MaskChannel& channel = channels[c];
            value[c] = channel.fieldMask == 0
                           ? channel.constant
                           : static_cast<float>((pixel >> channel.shift) & channel.fieldMask) *
                                 channel.scale;
        }
        std::memcpy(out, value, sizeof(value));
    }
}

// One palette index a byte from rows of 1 or 4 bits a pixel, leftmost pixel
// in the most significant bits.
void ExpandIndexRow(BYTE* out, const BYTE* in, std::uint64_t width, std::uint16_t bits) {
    for (std::uint64_t x = 0; x < width; ++x) {
        if (bits == 1) {
            out[x] = (in[x / 8] >> (7 - x % 8)) & 1;
        } else {
            out[x] = (x % 2 == 0) ? in[x / 2] >> 4 : in[x / 2] & 0xF;
        }
    }
}

// The decoded-image geometry and where the source rows are.
struct Layout {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    bool bottomUp = false;
    std::uint64_t sourceRowBytes = 0;
    std::uint64_t sourcePitch = 0;
    std::uint64_t decodedRowBytes = 0;
    std::uint64_t decodedPitch = 0;
    std::uint64_t decodedBytes = 0;
};

// Run-length data decoded into a zeroed buffer of palette indices, one a
// byte. The position is a row and a column: a run must end inside its row,
// an end of line goes to the row after the current one (a delta's rows
// included), and the data ends well when the row leaves the image.
class RleDecoder {
  public:
    RleDecoder(const Layout& layout, BYTE* buffer, const BYTE* source, std::uint64_t sourceSize,
               bool nibbles)
        : layout_(layout),
          buffer_(buffer),
          source_(source),
          sourceSize_(sourceSize),
          nibbles_(nibbles),
          row_(layout.bottomUp ? static_cast<std::int64_t>(layout.height) - 1 : 0),
          rowStep_(layout.bottomUp ? -1 : 1) {}

    HRESULT Decode() {
        for (;;) {
            if (row_ < 0 || row_ >= static_cast<std::int64_t>(layout_.height)) {
                return S_OK;
            }
            if (sourceSize_ - position_ < 2) {
                return E_FAIL;
            }
            const BYTE count = source_[position_];
            const BYTE second = source_[position_ + 1];
            if (count != 0) {
                BYTE* out = RunStart(count);
                if (out == nullptr) {
                    return E_FAIL;
                }
                for (std::uint64_t i = 0; i < count; ++i) {
                    out[i] = !nibbles_ ? second : (i % 2 == 0 ? second >> 4 : second & 0xF);
                }
                column_ += count;
                position_ += 2;
                continue;
            }
            switch (second) {
                case 0:
                    row_ += rowStep_;
                    column_ = 0;
                    position_ += 2;
                    break;
                case 1: return S_OK;
                case 2:
                    if (sourceSize_ - position_ < 4) {
                        return E_FAIL;
                    }
                    column_ += source_[position_ + 2];
                    row_ += rowStep_ * source_[position_ + 3];
                    position_ += 4;
                    break;
                default:
                    if (!CopyLiterals(second)) {
                        return E_FAIL;
                    }
                    break;
            }
        }
    }

  private:
    // Where a run of count pixels starts, or null when it would not end
    // inside the current row.
    BYTE* RunStart(std::uint64_t count) const {
        if (column_ > layout_.width || count > layout_.width - column_) {
            return nullptr;
        }
        return buffer_ + static_cast<std::uint64_t>(row_) * layout_.decodedPitch + column_;
    }

    bool CopyLiterals(std::uint64_t count) {
        const std::uint64_t bytes = nibbles_ ? (count + 1) / 2 : count;
        const BYTE* in = source_ + position_ + 2;
        BYTE* out = RunStart(count);
        if (out == nullptr || bytes > sourceSize_ - position_ - 2) {
            return false;
        }
        if (nibbles_) {
            ExpandIndexRow(out, in, count, 4);
        } else {
            std::memcpy(out, in, count);
        }
        column_ += count;
        // Literal runs are padded to an even byte count; a missing pad byte
        // at the very end of the data counts as read.
        position_ = std::min(position_ + 2 + RoundUpTo2(bytes), sourceSize_);
        return true;
    }

    static std::uint64_t RoundUpTo2(std::uint64_t bytes) { return (bytes + 1) & ~std::uint64_t{1}; }

    const Layout& layout_;
    BYTE* buffer_;
    const BYTE* source_;
    std::uint64_t sourceSize_;
    bool nibbles_;
    std::uint64_t position_ = 0;
    std::int64_t row_;
    std::int64_t rowStep_;
    std::uint64_t column_ = 0;
};

// Copies (and expands) the uncompressed rows into buffer, top row first.
void CopyRows(BYTE* buffer, const Layout& layout, const BYTE* source, const DibHeader& header,
              const FormatChoice& choice) {
    MaskChannel channels[4];
    if (choice.generic) {
        SetUpChannels(header.masks, channels);
    }
    for (std::uint64_t y = 0; y < layout.height; ++y) {
        const BYTE* in = source + y * layout.sourcePitch;
        const std::uint64_t outRow = layout.bottomUp ? layout.height - 1 - y : y;
        BYTE* out = buffer + outRow * layout.decodedPitch;
        if (header.bitsPerPixel < 8) {
            ExpandIndexRow(out, in, layout.width, header.bitsPerPixel);
        } else if (choice.generic) {
            ReadGenericRow(out, in, layout.width, header.bitsPerPixel, channels);
        } else {
            std::memcpy(out, in, layout.sourceRowBytes);
        }
        std::memset(out + layout.decodedRowBytes, 0, layout.decodedPitch - layout.decodedRowBytes);
    }
}

// The row sizes of the image, or false when the image is empty or its
// decoded form passes the decoded-image limits.
bool ComputeLayout(const DibHeader& header, const FormatChoice& choice, Layout* layout) {
    // The height's magnitude is taken in 64 bits, so a stored INT_MIN is no
    // special case: the decoded-size limit refuses it like any other
    // oversized image.
    if (header.width <= 0 || header.storedHeight == 0) {
        return false;
    }
    layout->width = static_cast<std::uint64_t>(header.width);
    layout->bottomUp = header.storedHeight > 0;
    layout->height =
        static_cast<std::uint64_t>(layout->bottomUp ? header.storedHeight : -header.storedHeight);
    const std::uint16_t bits = header.bitsPerPixel;
    switch (bits) {
        case 1: layout->sourceRowBytes = (layout->width + 7) / 8; break;
        case 4: layout->sourceRowBytes = (layout->width + 1) / 2; break;
        default: layout->sourceRowBytes = layout->width * (bits / 8u); break;
    }
    layout->sourcePitch = RoundUpTo4(layout->sourceRowBytes);
    if (bits < 8) {
        layout->decodedRowBytes = layout->width;
    } else if (choice.generic) {
        layout->decodedRowBytes = layout->width * kFloatPixelBytes;
    } else {
        layout->decodedRowBytes = layout->sourceRowBytes;
    }
    layout->decodedPitch = RoundUpTo4(layout->decodedRowBytes);
    const std::optional<std::uint64_t> bytes =
        CheckedImageBytes(layout->decodedPitch, layout->height);
    if (!bytes) {
        return false;
    }
    layout->decodedBytes = *bytes;
    return true;
}

}  // namespace

HRESULT LoadBMPFile(DecodedImage* image, const BYTE* data, UINT size) {
    if (size < kFileHeaderBytes || data[0] != 'B' || data[1] != 'M' || ReadU32(data + 2) > size) {
        return E_FAIL;
    }
    return LoadBMP(image, data + kFileHeaderBytes, static_cast<UINT>(size - kFileHeaderBytes));
}

HRESULT LoadBMP(DecodedImage* image, const BYTE* data, UINT size) {
    DibHeader header;
    if (!ReadDibHeader(data, size, &header)) {
        return E_FAIL;
    }
    if (header.bitsPerPixel <= 8 && header.coloursUsed == 0) {
        header.coloursUsed = 1u << header.bitsPerPixel;
    }
    std::uint64_t pixelOffset =
        header.headerSize + std::uint64_t{header.coloursUsed} * header.paletteEntryBytes;
    if (pixelOffset > size || header.planes != 1) {
        return E_FAIL;
    }
    FormatChoice choice;
    if (const HRESULT hr = ChooseFormat(header, &choice); FAILED(hr)) {
        return hr;
    }
    pixelOffset += choice.skip;
    Layout layout;
    if (!ComputeLayout(header, choice, &layout)) {
        return E_FAIL;
    }
    const bool rle = header.compression == kRle8 || header.compression == kRle4;
    if (!rle &&
        pixelOffset + (layout.height - 1) * layout.sourcePitch + layout.sourceRowBytes > size) {
        return E_FAIL;
    }
    const BYTE* source = data + pixelOffset;
    if (header.compression == kUncompressed && choice.format == D3DFMT_X8R8G8B8 &&
        AnyTopByteSet(source, layout.width, layout.height, layout.sourcePitch)) {
        choice.format = D3DFMT_A8R8G8B8;
    }
    image->format = choice.format;
    image->width = static_cast<UINT>(layout.width);
    image->height = static_cast<UINT>(layout.height);
    image->depth = 1;
    image->rowPitch = static_cast<INT>(layout.decodedPitch);
    image->slicePitch = 0;
    if (!image->decode) {
        return S_OK;
    }
    if (choice.format == D3DFMT_P8) {
        if (const HRESULT hr = FillPalette(image, data + header.headerSize, header); FAILED(hr)) {
            return hr;
        }
    }
    if (!rle && !layout.bottomUp && header.bitsPerPixel >= 8 && !choice.generic) {
        // Top-to-bottom packed rows are used where they lie in the file.
        image->pixels = source;
        return S_OK;
    }
    BYTE* buffer = image->AllocatePixels(layout.decodedBytes);
    if (buffer == nullptr) {
        return E_OUTOFMEMORY;
    }
    if (rle) {
        std::memset(buffer, 0, layout.decodedBytes);
        return RleDecoder(layout, buffer, source, size - pixelOffset, header.compression == kRle4)
            .Decode();
    }
    CopyRows(buffer, layout, source, header, choice);
    return S_OK;
}
