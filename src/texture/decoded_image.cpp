#include "texture/decoded_image.h"

#include <limits>
#include <new>

BYTE* DecodedImage::AllocatePixels(std::uint64_t bytes) {
    if (bytes > kMaxDecodedImageBytes) {
        return nullptr;
    }
    ownedPixels.reset(new (std::nothrow) BYTE[bytes == 0 ? 1 : bytes]);
    pixels = ownedPixels.get();
    return ownedPixels.get();
}

PALETTEENTRY* DecodedImage::AllocatePalette() {
    ownedPalette.reset(new (std::nothrow) PALETTEENTRY[256]);
    palette = ownedPalette.get();
    return ownedPalette.get();
}

void DecodedImage::ReleaseContents() {
    ownedPixels.reset();
    ownedPalette.reset();
    nextLevel.reset();
    nextFace.reset();
    pixels = nullptr;
    palette = nullptr;
}

UINT DecodedImage::LevelCount() const {
    UINT count = 1;
    for (const DecodedImage* level = nextLevel.get(); level != nullptr;
         level = level->nextLevel.get()) {
        ++count;
    }
    return count;
}

std::optional<std::uint64_t> CheckedImageBytes(std::uint64_t rowPitch, std::uint64_t rows,
                                               std::uint64_t slices) {
    constexpr std::uint64_t kOperandLimit = std::numeric_limits<std::uint32_t>::max();
    if (rowPitch > static_cast<std::uint64_t>(std::numeric_limits<INT>::max()) ||
        rows > kOperandLimit || slices > kOperandLimit) {
        return std::nullopt;
    }
    // Each operand has at most 32 bits, so neither product wraps.
    const std::uint64_t sliceBytes = rowPitch * rows;
    if (sliceBytes > kMaxDecodedImageBytes || sliceBytes * slices > kMaxDecodedImageBytes) {
        return std::nullopt;
    }
    return sliceBytes * slices;
}
