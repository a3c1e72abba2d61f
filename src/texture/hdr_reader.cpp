// The Radiance reader: RGBE (or XYZE, read alike) pixels in flat, old
// run-length or new run-length scanlines, in any of the eight orientations
// the resolution line names; decoded to A32B32G32R32F with alpha 1 and every
// value divided by the exposure the header gives.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "texture/image_readers.h"
#include "texture/text_header.h"

namespace {

constexpr std::uint64_t kFloatPixelBytes = 16;
constexpr char kMagic[] = "#?RADIANCE";
constexpr std::uint64_t kMagicBytes = sizeof(kMagic) - 1;
constexpr char kFormatKey[] = "FORMAT=";
constexpr char kExposureKey[] = "EXPOSURE=";
// Both accepted format values are this long; the byte after them is taken as
// their line feed.
constexpr std::uint64_t kFormatValueBytes = 15;
// An exponent byte E scales its mantissas by 2^(E - 136): 128 for the
// exponent bias and 8 for the mantissa bits.
constexpr int kExponentOffset = 136;
// Old run-length repeats count in bytes of 8 bits, lowest byte first; a
// count shifted by 32 bits or more passes every scanline.
constexpr std::uint32_t kMaxRepeatShift = 32;

bool StartsWith(const BYTE* data, std::uint64_t size, const char* key, std::uint64_t keyBytes) {
    return size > keyBytes && std::memcmp(data, key, keyBytes) == 0;
}

std::uint64_t SkipBlanks(const BYTE* data, std::uint64_t size, std::uint64_t position) {
    while (position < size && (data[position] == ' ' || data[position] == '\t')) {
        ++position;
    }
    return position;
}

// Reads the header lines up to the empty line that ends them. Returns the
// position after it, or nothing when a FORMAT or EXPOSURE value is bad, no
// FORMAT line came or the header does not end.
std::optional<std::uint64_t> ReadHeader(const BYTE* data, std::uint64_t size, float* exposure) {
    bool formatKnown = false;
    std::uint64_t position = 0;
    while (position < size) {
        const BYTE* line = data + position;
        const std::uint64_t left = size - position;
        if (line[0] == '\n') {
            if (!formatKnown) {
                return std::nullopt;
            }
            return position + 1;
        }
        if (StartsWith(line, left, kFormatKey, sizeof(kFormatKey) - 1)) {
            position = SkipBlanks(data, size, position + sizeof(kFormatKey) - 1);
            if (size - position < kFormatValueBytes + 1 ||
                (std::memcmp(data + position, "32-bit_rle_rgbe", kFormatValueBytes) != 0 &&
                 std::memcmp(data + position, "32-bit_rle_xyze", kFormatValueBytes) != 0)) {
                return std::nullopt;
            }
            position += kFormatValueBytes + 1;
            formatKnown = true;
        } else if (StartsWith(line, left, kExposureKey, sizeof(kExposureKey) - 1)) {
            position = SkipBlanks(data, size, position + sizeof(kExposureKey) - 1);
            const std::optional<std::size_t> end = FindLineFeed(data + position, size - position);
            if (!end) {
                return std::nullopt;
            }
            const HeaderLine text(data + position, *end);
            float value = 0.0f;
            const char* rest = ScanFloat(text.Text(), &value);
            if (rest == nullptr || !OnlySpaceLeft(rest)) {
                return std::nullopt;
            }
            *exposure *= value;
            position += *end + 1;
        } else {
            // Any other line, the magic line included, is skipped. Without a
            // line feed after it the header cannot end.
            const void* end = std::memchr(line, '\n', left);
            if (end == nullptr) {
                return std::nullopt;
            }
            position = static_cast<std::uint64_t>(static_cast<const BYTE*>(end) - data) + 1;
        }
    }
    return std::nullopt;
}

// The resolution line: how the scanlines lie in the image.
struct Resolution {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Scanlines are rows when "Y" comes first, columns when "X" does.
    bool rows = true;
    char firstSign = '-';
    char secondSign = '+';
};

bool IsSign(char c) {
    return c == '-' || c == '+';
}

bool IsAxis(char c) {
    return c == 'X' || c == 'Y';
}

// Reads the resolution line at *position and moves past it.
std::optional<Resolution> ReadResolution(const BYTE* data, std::uint64_t size,
                                         std::uint64_t* position) {
    const std::optional<std::size_t> end = FindLineFeed(data + *position, size - *position);
    if (!end || *end <= 2) {
        return std::nullopt;
    }
    const HeaderLine line(data + *position, *end);
    const char* text = line.Text();
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    if (!IsSign(text[0]) || !IsAxis(text[1])) {
        return std::nullopt;
    }
    const char* rest = ScanUnsigned(text + 2, &first);
    const char* secondAxis = rest != nullptr ? std::strpbrk(rest, "-+") : nullptr;
    // Both axes named alike leave the other axis's direction unknown.
    if (secondAxis == nullptr || !IsAxis(secondAxis[1]) || secondAxis[1] == text[1] ||
        ScanUnsigned(secondAxis + 2, &second) == nullptr) {
        return std::nullopt;
    }
    *position += *end + 1;
    Resolution resolution;
    resolution.rows = text[1] == 'Y';
    resolution.height = resolution.rows ? first : second;
    resolution.width = resolution.rows ? second : first;
    resolution.firstSign = text[0];
    resolution.secondSign = secondAxis[0];
    return resolution;
}

// Decodes the scanlines into the buffer, each byte as a float in its
// channel: red, green, blue mantissas and the exponent.
class ScanlineDecoder {
  public:
    ScanlineDecoder(const Resolution& resolution, BYTE* pixels, const BYTE* data,
                    std::uint64_t size, std::uint64_t position)
        : resolution_(resolution),
          pixels_(pixels),
          pitch_(std::int64_t{resolution.width} * static_cast<std::int64_t>(kFloatPixelBytes)),
          data_(data),
          size_(size),
          position_(position),
          length_(resolution.rows ? resolution.width : resolution.height) {}

    bool Decode() {
        const std::uint32_t count = resolution_.rows ? resolution_.height : resolution_.width;
        for (std::uint32_t i = 0; i < count; ++i) {
            PlaceScanline(i);
            if (size_ - position_ < 4) {
                return false;
            }
            const BYTE* head = data_ + position_;
            const bool ok = head[0] == 2 && head[1] == 2 && head[2] < 128 ? DecodeNewRunLength()
                                                                          : DecodeOldRunLength();
            if (!ok) {
                return false;
            }
        }
        return true;
    }

  private:
    // Sets where scanline i starts and the step from one of its pixels to
    // the next.
    void PlaceScanline(std::uint32_t i) {
        const std::int64_t width = resolution_.width;
        const std::int64_t height = resolution_.height;
        const std::int64_t pixel = static_cast<std::int64_t>(kFloatPixelBytes);
        std::int64_t row = 0;
        std::int64_t column = 0;
        if (resolution_.rows) {
            row = resolution_.firstSign == '-' ? i : height - 1 - i;
            column = resolution_.secondSign == '+' ? 0 : width - 1;
            step_ = resolution_.secondSign == '+' ? pixel : -pixel;
        } else {
            column = resolution_.firstSign == '+' ? i : width - 1 - i;
            row = resolution_.secondSign == '-' ? 0 : height - 1;
            step_ = resolution_.secondSign == '-' ? pitch_ : -pitch_;
        }
        start_ = row * pitch_ + column * pixel;
    }

    void Store(std::uint64_t index, int channel, BYTE value) {
        const float sample = value;
        std::memcpy(pixels_ + start_ + static_cast<std::int64_t>(index) * step_ + channel * 4,
                    &sample, sizeof(sample));
    }

    void StorePixel(std::uint64_t index, const BYTE* pixel) {
        for (int channel = 0; channel < 4; ++channel) {
            Store(index, channel, pixel[channel]);
        }
    }

    // Four bytes 2, 2, length high, length low, then each channel for the
    // whole scanline as runs (a code above 128 and one byte) and literals (a
    // code of at most 128 and that many bytes).
    bool DecodeNewRunLength() {
        const BYTE* head = data_ + position_;
        if (std::uint64_t{head[2]} * 256 + head[3] != length_) {
            return false;
        }
        position_ += 4;
        for (int channel = 0; channel < 4; ++channel) {
            for (std::uint64_t filled = 0; filled < length_;) {
                if (size_ - position_ < 2) {
                    return false;
                }
                const std::uint64_t code = data_[position_];
                const bool run = code > 128;
                const std::uint64_t count = run ? code - 128 : code;
                if (count > length_ - filled || (!run && size_ - position_ < count + 1)) {
                    return false;
                }
                for (std::uint64_t k = 0; k < count; ++k) {
                    Store(filled++, channel, data_[position_ + 1 + (run ? 0 : k)]);
                }
                position_ += run ? 2 : count + 1;
            }
        }
        return true;
    }

    // Four bytes a pixel; 1, 1, 1, k repeats the previous pixel k times,
    // k times 256 when it follows another repeat, and so on.
    bool DecodeOldRunLength() {
        const BYTE* previous = data_ + position_;
        StorePixel(0, previous);
        position_ += 4;
        std::uint32_t shift = 0;
        for (std::uint64_t filled = 1; filled < length_;) {
            if (size_ - position_ < 4) {
                return false;
            }
            const BYTE* pixel = data_ + position_;
            position_ += 4;
            if (pixel[0] == 1 && pixel[1] == 1 && pixel[2] == 1) {
                const std::uint64_t count = std::uint64_t{pixel[3]} << shift;
                if (count > length_ - filled) {
                    return false;
                }
                for (std::uint64_t k = 0; k < count; ++k) {
                    StorePixel(filled++, previous);
                }
                shift = std::min(shift + 8, kMaxRepeatShift);
            } else {
                previous = pixel;
                StorePixel(filled++, previous);
                shift = 0;
            }
        }
        return true;
    }

    const Resolution& resolution_;
    BYTE* pixels_;
    std::int64_t pitch_;
    const BYTE* data_;
    std::uint64_t size_;
    std::uint64_t position_;
    std::uint64_t length_;
    std::int64_t start_ = 0;
    std::int64_t step_ = 0;
};

// Turns mantissas and exponents into values: (m + 0.5) x 2^(E - 136) divided
// by the exposure, alpha 1.
void ConvertPixels(BYTE* pixels, std::uint64_t count, float exposure) {
    const double scale = 1.0f / exposure;
    for (std::uint64_t i = 0; i < count; ++i, pixels += kFloatPixelBytes) {
        float pixel[4];
        std::memcpy(pixel, pixels, sizeof(pixel));
        const int exponent = static_cast<int>(pixel[3]) - kExponentOffset;
        for (int c = 0; c < 3; ++c) {
            pixel[c] = static_cast<float>(std::ldexp(pixel[c] + 0.5, exponent) * scale);
        }
        pixel[3] = 1.0f;
        std::memcpy(pixels, pixel, sizeof(pixel));
    }
}

}  // namespace

HRESULT LoadHDR(DecodedImage* image, const BYTE* data, UINT size) {
    if (size <= kMagicBytes || std::memcmp(data, kMagic, kMagicBytes) != 0) {
        return E_FAIL;
    }
    float exposure = 1.0f;
    std::optional<std::uint64_t> position = ReadHeader(data, size, &exposure);
    const std::optional<Resolution> resolution =
        position ? ReadResolution(data, size, &*position) : std::nullopt;
    if (!resolution) {
        return E_FAIL;
    }
    const std::uint64_t pixelCount = std::uint64_t{resolution->width} * resolution->height;
    const std::uint64_t scanlines = resolution->rows ? resolution->height : resolution->width;
    const std::optional<std::uint64_t> bytes =
        CheckedImageBytes(resolution->width * kFloatPixelBytes, resolution->height);
    // Every scanline takes at least four bytes: a file too short for its
    // size is refused before its buffer is made.
    if (pixelCount == 0 || !bytes || size - *position < 4 * scanlines) {
        return E_FAIL;
    }
    BYTE* pixels = image->AllocatePixels(*bytes);
    if (pixels == nullptr) {
        return E_OUTOFMEMORY;
    }
    image->format = D3DFMT_A32B32G32R32F;
    image->width = resolution->width;
    image->height = resolution->height;
    image->depth = 1;
    image->rowPitch = static_cast<INT>(resolution->width * kFloatPixelBytes);
    image->slicePitch = 0;
    ScanlineDecoder decoder(*resolution, pixels, data, size, *position);
    if (!decoder.Decode()) {
        image->ownedPixels.reset();
        image->pixels = nullptr;
        return E_FAIL;
    }
    ConvertPixels(pixels, pixelCount, exposure);
    return S_OK;
}
