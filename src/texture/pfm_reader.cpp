// The portable float map reader: "PF" (red, green, blue) and "Pf" (grey)
// files of 32-bit floats, rows stored bottom to top, in the byte order the
// sign of the scale names; decoded to A32B32G32R32F with alpha 1.
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

#include "texture/image_readers.h"
#include "texture/text_header.h"

namespace {

constexpr std::uint64_t kFloatPixelBytes = 16;

// The header line starting at *position: its text, with *position moved past
// its line feed; nothing when no line feed ends it within 256 bytes, the line
// is empty or nothing follows it.
std::optional<HeaderLine> NextLine(const BYTE* data, std::uint64_t size, std::uint64_t* position) {
    const std::optional<std::size_t> end = FindLineFeed(data + *position, size - *position);
    if (!end || *end == 0 || *position + *end + 1 >= size) {
        return std::nullopt;
    }
    HeaderLine line(data + *position, *end);
    *position += *end + 1;
    return line;
}

float ReadSample(const BYTE* in, bool littleEndian) {
    const std::uint32_t bits = littleEndian
                                   ? std::uint32_t{in[0]} | std::uint32_t{in[1]} << 8 |
                                         std::uint32_t{in[2]} << 16 | std::uint32_t{in[3]} << 24
                                   : std::uint32_t{in[3]} | std::uint32_t{in[2]} << 8 |
                                         std::uint32_t{in[1]} << 16 | std::uint32_t{in[0]} << 24;
    return std::bit_cast<float>(bits);
}

}  // namespace

HRESULT LoadPFM(DecodedImage* image, const BYTE* data, UINT size) {
    if (size <= 3 || data[0] != 'P' || (data[1] != 'F' && data[1] != 'f') || data[2] != '\n') {
        return E_FAIL;
    }
    const std::uint64_t channels = data[1] == 'F' ? 3 : 1;
    std::uint64_t position = 3;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const std::optional<HeaderLine> sizeLine = NextLine(data, size, &position);
    const char* rest = sizeLine ? ScanUnsigned(sizeLine->Text(), &width) : nullptr;
    rest = rest != nullptr ? ScanUnsigned(rest, &height) : nullptr;
    if (rest == nullptr || !OnlySpaceLeft(rest) || width == 0 || height == 0) {
        return E_FAIL;
    }
    float scale = 0.0f;
    const std::optional<HeaderLine> scaleLine = NextLine(data, size, &position);
    rest = scaleLine ? ScanFloat(scaleLine->Text(), &scale) : nullptr;
    if (rest == nullptr || !OnlySpaceLeft(rest)) {
        return E_FAIL;
    }
    const bool littleEndian = scale < 0.0f;
    const std::uint64_t rowSamples = std::uint64_t{width} * channels;
    const std::optional<std::uint64_t> bytes = CheckedImageBytes(width * kFloatPixelBytes, height);
    if (!bytes || size - position < rowSamples * height * 4) {
        return E_FAIL;
    }
    BYTE* pixels = image->AllocatePixels(*bytes);
    if (pixels == nullptr) {
        return E_OUTOFMEMORY;
    }
    image->format = D3DFMT_A32B32G32R32F;
    image->width = width;
    image->height = height;
    image->depth = 1;
    image->rowPitch = static_cast<INT>(width * kFloatPixelBytes);
    image->slicePitch = 0;
    const BYTE* in = data + position;
    for (std::uint64_t fileRow = 0; fileRow < height; ++fileRow) {
        BYTE* out = pixels + (height - 1 - fileRow) * width * kFloatPixelBytes;
        for (std::uint64_t x = 0; x < width; ++x, in += 4 * channels, out += kFloatPixelBytes) {
            const float red = ReadSample(in, littleEndian);
            const float pixel[4] = {red, channels == 3 ? ReadSample(in + 4, littleEndian) : red,
                                    channels == 3 ? ReadSample(in + 8, littleEndian) : red, 1.0f};
            std::memcpy(out, pixel, sizeof(pixel));
        }
    }
    return S_OK;
}
