#include "texture/working_palette.h"

#include <cstring>

namespace {

// An entry as the little-endian word of its bytes red, green, blue, flags.
DWORD EntryWord(const PALETTEENTRY& entry) {
    return DWORD{entry.peRed} | DWORD{entry.peGreen} << 8 | DWORD{entry.peBlue} << 16 |
           DWORD{entry.peFlags} << 24;
}

bool IsRamp(const PALETTEENTRY* palette, PALETTEENTRY (*expected)(UINT)) {
    for (UINT i = 0; i < kPaletteEntries; ++i) {
        if (EntryWord(palette[i]) != EntryWord(expected(i))) {
            return false;
        }
    }
    return true;
}

PALETTEENTRY GreyEntry(UINT i) {
    const auto grey = static_cast<BYTE>(i);
    return {grey, grey, grey, 0xFF};
}

PALETTEENTRY ThreeThreeTwoEntry(UINT i) {
    static constexpr BYTE kThreeBits[] = {0, 36, 73, 109, 146, 182, 219, 255};
    static constexpr BYTE kTwoBits[] = {0, 85, 170, 255};
    return {kThreeBits[i >> 5], kThreeBits[(i >> 2) & 7], kTwoBits[i & 3], 0xFF};
}

}  // namespace

void BuildWorkingPalette(const PALETTEENTRY* imagePalette, D3DCOLOR colorKey,
                         PALETTEENTRY* working) {
    if (imagePalette == nullptr) {
        std::memset(working, 0xFF, kPaletteEntries * sizeof(PALETTEENTRY));
        return;
    }
    // The key in the entries' byte order: red and blue change places.
    const DWORD key =
        (colorKey & 0xFF00FF00) | ((colorKey >> 16) & 0xFF) | ((colorKey & 0xFF) << 16);
    for (UINT i = 0; i < kPaletteEntries; ++i) {
        working[i] = EntryWord(imagePalette[i]) == key ? PALETTEENTRY{0, 0, 0, 0} : imagePalette[i];
    }
}

D3DFORMAT PaletteImageFormat(D3DFORMAT format, const PALETTEENTRY* palette) {
    if (format != D3DFMT_P8) {
        return format;
    }
    if (IsRamp(palette, GreyEntry)) {
        return D3DFMT_L8;
    }
    if (IsRamp(palette, ThreeThreeTwoEntry)) {
        return D3DFMT_R3G3B2;
    }
    return D3DFMT_P8;
}

bool HasTranslucentEntry(const PALETTEENTRY* palette) {
    for (UINT i = 0; i < kPaletteEntries; ++i) {
        if (palette[i].peFlags != 0xFF) {
            return true;
        }
    }
    return false;
}
