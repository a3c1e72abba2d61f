// The Targa reader: colour-mapped, true-colour and grey images, raw or
// run-length encoded, stored in any of the four row and column orders. The
// format has no magic number, so the header's fields are checked against the
// values the format allows before anything else is read.
//
// Raw data stored top to bottom and left to right is used where it lies in
// the file; everything else is copied into an owned buffer in display order
// (top row first, left pixel first).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "texture/image_readers.h"

namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr std::uint64_t kPaletteSize = 256;

constexpr BYTE kImageTypeBits = 0x0B;
constexpr BYTE kRunLengthBit = 0x08;
constexpr BYTE kColourMapped = 1;
constexpr BYTE kTrueColour = 2;
constexpr BYTE kGrey = 3;

constexpr BYTE kRightToLeftBit = 0x10;
constexpr BYTE kTopToBottomBit = 0x20;

constexpr BYTE kRunPacketBit = 0x80;

struct TargaHeader {
    BYTE idLength;
    BYTE mapType;
    BYTE imageType;
    UINT firstIndex;
    UINT mapLength;
    BYTE mapEntryBits;
    UINT width;
    UINT height;
    BYTE pixelDepth;
    BYTE descriptor;
};

UINT Word(const BYTE* at) {
    return UINT{at[0]} | UINT{at[1]} << 8;
}

TargaHeader ReadHeader(const BYTE* data) {
    return {data[0], data[1],         data[2],         Word(data + 3), Word(data + 5),
            data[7], Word(data + 12), Word(data + 14), data[16],       data[17]};
}

D3DFORMAT FormatOfDepth(BYTE bits) {
    switch (bits) {
        case 15: return D3DFMT_X1R5G5B5;
        case 16: return D3DFMT_A1R5G5B5;
        case 24: return D3DFMT_R8G8B8;
        case 32: return D3DFMT_A8R8G8B8;
        default: return D3DFMT_UNKNOWN;
    }
}

D3DFORMAT ImageFormat(const TargaHeader& header) {
    switch (header.imageType & 3) {
        case kColourMapped:
            return header.mapType == 1 && header.pixelDepth == 8 ? D3DFMT_P8 : D3DFMT_UNKNOWN;
        case kTrueColour: return FormatOfDepth(header.pixelDepth);
        case kGrey: return header.pixelDepth == 8 ? D3DFMT_L8 : D3DFMT_UNKNOWN;
        default: return D3DFMT_UNKNOWN;
    }
}

// Five bits widened to eight by repeating their top three bits below them.
BYTE Widen5(UINT value) {
    const UINT five = value & 0x1F;
    return static_cast<BYTE>(five * 8 + five / 4);
}

PALETTEENTRY MapEntry(const BYTE* at, BYTE bits) {
    switch (bits) {
        case 24: return {at[2], at[1], at[0], 0xFF};
        case 32: return {at[2], at[1], at[0], at[3]};
        default: break;
    }
    const UINT word = Word(at);
    const BYTE alpha = bits == 15 || (word & 0x8000) != 0 ? BYTE{0xFF} : BYTE{0};
    return {Widen5(word >> 10), Widen5(word >> 5), Widen5(word), alpha};
}

// The 256-entry palette: the map's entries from slot firstIndex on, opaque
// white everywhere else. A map whose alphas are all 0 is taken as opaque.
HRESULT BuildPalette(DecodedImage* image, const TargaHeader& header, const BYTE* map) {
    if (std::uint64_t{header.firstIndex} + header.mapLength > kPaletteSize) {
        return E_FAIL;
    }
    PALETTEENTRY* palette = image->AllocatePalette();
    if (palette == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::memset(palette, 0xFF, kPaletteSize * sizeof(PALETTEENTRY));
    const std::size_t entryBytes = (header.mapEntryBits + 7u) / 8u;
    bool anyAlpha = false;
    PALETTEENTRY* slots = palette + header.firstIndex;
    for (UINT i = 0; i < header.mapLength; ++i) {
        slots[i] = MapEntry(map + i * entryBytes, header.mapEntryBits);
        anyAlpha = anyAlpha || slots[i].peFlags != 0;
    }
    for (UINT i = 0; !anyAlpha && i < header.mapLength; ++i) {
        slots[i].peFlags = 0xFF;
    }
    return S_OK;
}

// Where the file's rows and columns go in the buffer.
struct Placement {
    BYTE* buffer;
    std::size_t rowBytes;
    std::size_t bytesPerPixel;
    UINT width;
    UINT height;
    bool bottomToTop;
    bool rightToLeft;

    BYTE* Row(UINT fileRow) const {
        return buffer + (bottomToTop ? height - 1 - fileRow : fileRow) * rowBytes;
    }
    // The place of the file's pixel column in a row.
    std::size_t Column(UINT fileColumn) const {
        return (rightToLeft ? width - 1 - fileColumn : fileColumn) * bytesPerPixel;
    }
};

Placement PlacementOf(BYTE* buffer, const TargaHeader& header, std::size_t bytesPerPixel) {
    return {buffer,
            std::size_t{header.width} * bytesPerPixel,
            bytesPerPixel,
            header.width,
            header.height,
            (header.descriptor & kTopToBottomBit) == 0,
            (header.descriptor & kRightToLeftBit) != 0};
}

// Raw rows, width pixels each; the caller has checked that they are all there.
void CopyRawRows(const Placement& place, const BYTE* source) {
    for (UINT y = 0; y < place.height; ++y, source += place.rowBytes) {
        BYTE* row = place.Row(y);
        if (!place.rightToLeft) {
            std::memcpy(row, source, place.rowBytes);
            continue;
        }
        for (UINT x = 0; x < place.width; ++x) {
            std::memcpy(row + place.Column(x), source + x * place.bytesPerPixel,
                        place.bytesPerPixel);
        }
    }
}

// Run-length rows: each row is built from whole packets; what a packet holds
// past the row's end is read and dropped. Fails when a packet byte or pixel
// lies at or past end.
HRESULT DecodeRunLengthRows(const Placement& place, const BYTE* source, const BYTE* end) {
    const std::size_t pixelBytes = place.bytesPerPixel;
    for (UINT y = 0; y < place.height; ++y) {
        BYTE* row = place.Row(y);
        UINT x = 0;
        while (x < place.width) {
            if (source == end) {
                return E_FAIL;
            }
            const BYTE packet = *source++;
            const UINT count = (packet & 0x7Fu) + 1;
            const bool run = (packet & kRunPacketBit) != 0;
            const std::size_t packetBytes = (run ? 1 : count) * pixelBytes;
            if (static_cast<std::size_t>(end - source) < packetBytes) {
                return E_FAIL;
            }
            const UINT stored = count < place.width - x ? count : place.width - x;
            for (UINT i = 0; i < stored; ++i) {
                std::memcpy(row + place.Column(x + i), run ? source : source + i * pixelBytes,
                            pixelBytes);
            }
            x += stored;
            source += packetBytes;
        }
    }
    return S_OK;
}

// Whether any of count 16-bit pixels has its top bit set.
bool AnyTopBit(const BYTE* pixels, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if ((pixels[i * 2 + 1] & 0x80) != 0) {
            return true;
        }
    }
    return false;
}

HRESULT DecodePixels(DecodedImage* image, const TargaHeader& header, const BYTE* pixels,
                     const BYTE* end) {
    const std::size_t bytesPerPixel = (header.pixelDepth + 7u) / 8u;
    const std::uint64_t imageBytes = std::uint64_t{header.width} * header.height * bytesPerPixel;
    const bool runLength = (header.imageType & kRunLengthBit) != 0;
    const std::uint64_t available = static_cast<std::uint64_t>(end - pixels);
    if (!runLength && available < imageBytes) {
        return E_FAIL;
    }
    // A packet covers at most 128 pixels and holds at least one pixel, so a
    // stream shorter than that for every row cannot fill the image: refused
    // before a buffer of the header's size is allocated.
    const std::uint64_t packetsPerRow = (std::uint64_t{header.width} + 127) / 128;
    if (runLength &&
        available < std::uint64_t{header.height} * packetsPerRow * (1 + bytesPerPixel)) {
        return E_FAIL;
    }
    const bool inPlace = !runLength && (header.descriptor & kTopToBottomBit) != 0 &&
                         (header.descriptor & kRightToLeftBit) == 0;
    if (!inPlace) {
        const std::optional<std::uint64_t> bytes =
            CheckedImageBytes(static_cast<UINT>(image->rowPitch), header.height);
        if (!bytes) {
            return E_FAIL;
        }
        BYTE* buffer = image->AllocatePixels(*bytes);
        if (buffer == nullptr) {
            return E_OUTOFMEMORY;
        }
        const Placement place = PlacementOf(buffer, header, bytesPerPixel);
        if (runLength) {
            const HRESULT result = DecodeRunLengthRows(place, pixels, end);
            if (FAILED(result)) {
                return result;
            }
        } else {
            CopyRawRows(place, pixels);
        }
    }
    if (image->format == D3DFMT_A1R5G5B5 &&
        !AnyTopBit(image->pixels, std::size_t{header.width} * header.height)) {
        image->format = D3DFMT_X1R5G5B5;
    }
    return S_OK;
}

}  // namespace

HRESULT LoadTGA(DecodedImage* image, const BYTE* data, UINT size) {
    if (data == nullptr || size < kHeaderSize) {
        return E_FAIL;
    }
    const TargaHeader header = ReadHeader(data);
    if (header.mapType > 1 || (header.imageType & ~kImageTypeBits) != 0 || header.width == 0 ||
        header.height == 0) {
        return E_FAIL;
    }
    if (header.mapType == 1 && FormatOfDepth(header.mapEntryBits) == D3DFMT_UNKNOWN) {
        return E_FAIL;
    }
    const D3DFORMAT format = ImageFormat(header);
    if (format == D3DFMT_UNKNOWN) {
        return E_FAIL;
    }
    const std::uint64_t afterHeader = size - kHeaderSize;
    const std::uint64_t mapBytes =
        std::uint64_t{header.mapLength} * ((header.mapEntryBits + 7u) / 8u);
    if (afterHeader < header.idLength || afterHeader - header.idLength < mapBytes) {
        return E_FAIL;
    }
    const BYTE* map = data + kHeaderSize + header.idLength;
    const BYTE* pixels = map + mapBytes;

    if (image->decode && format == D3DFMT_P8) {
        const HRESULT result = BuildPalette(image, header, map);
        if (FAILED(result)) {
            return result;
        }
    }
    image->format = format;
    image->width = header.width;
    image->height = header.height;
    image->depth = 1;
    image->rowPitch = static_cast<INT>(header.width * ((header.pixelDepth + 7u) / 8u));
    image->slicePitch = 0;
    image->pixels = pixels;
    if (!image->decode) {
        return S_OK;
    }
    return DecodePixels(image, header, pixels, data + size);
}
