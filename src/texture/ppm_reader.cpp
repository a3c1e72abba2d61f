// The portable pixmap reader: "P3" files with decimal samples and "P6" files
// with byte samples, both decoded to X8R8G8B8 with every sample scaled from
// the file's maximum to 255.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "texture/image_readers.h"
#include "texture/text_header.h"

namespace {

// Hands out the decimal tokens of the header and of "P3" samples, skipping
// white space and "#" comments, never reading past the data.
class TokenReader {
  public:
    TokenReader(const BYTE* data, std::uint64_t size, std::uint64_t position)
        : data_(data), size_(size), position_(position) {}

    // The next token as a number; nothing at the end of the data, for a token
    // that is not all digits and for a number that passes 32 bits.
    std::optional<std::uint32_t> Next() {
        while (position_ < size_) {
            const BYTE c = data_[position_];
            if (IsHeaderSpace(c)) {
                ++position_;
            } else if (c == '#') {
                while (position_ < size_ && data_[position_] != '\n') {
                    ++position_;
                }
            } else {
                return Number();
            }
        }
        return std::nullopt;
    }

    std::uint64_t Position() const { return position_; }

  private:
    std::optional<std::uint32_t> Number() {
        std::uint64_t value = 0;
        for (; position_ < size_ && !IsHeaderSpace(data_[position_]); ++position_) {
            const BYTE c = data_[position_];
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            value = value * 10 + (c - '0');
            if (value > UINT32_MAX) {
                return std::nullopt;
            }
        }
        return static_cast<std::uint32_t>(value);
    }

    const BYTE* data_;
    std::uint64_t size_;
    std::uint64_t position_;
};

// The largest maximum sample value a file may name.
constexpr std::uint32_t kMaxSampleRange = 65535;
constexpr std::uint32_t kMaxByteSampleRange = 255;

// One pixel scaled from 0..maximum to 0..255. A sample above the maximum
// counts as the maximum: unclamped it would pass 255 and spill into the
// neighbouring channel.
std::uint32_t Pixel(std::uint64_t red, std::uint64_t green, std::uint64_t blue,
                    std::uint64_t maximum) {
    const auto scaled = [maximum](std::uint64_t sample) {
        return std::min(sample, maximum) * 255 / maximum;
    };
    return static_cast<std::uint32_t>(0xFF000000u + scaled(red) * 65536 + scaled(green) * 256 +
                                      scaled(blue));
}

void StorePixel(DecodedImage* image, std::uint64_t index, std::uint32_t pixel) {
    BYTE* out = image->ownedPixels.get() + index * 4;
    out[0] = static_cast<BYTE>(pixel);
    out[1] = static_cast<BYTE>(pixel >> 8);
    out[2] = static_cast<BYTE>(pixel >> 16);
    out[3] = static_cast<BYTE>(pixel >> 24);
}

// The caller has checked that the data holds every pixel.
void ReadByteSamples(DecodedImage* image, const BYTE* in, std::uint64_t pixels,
                     std::uint32_t maximum) {
    for (std::uint64_t i = 0; i < pixels; ++i, in += 3) {
        StorePixel(image, i, Pixel(in[0], in[1], in[2], maximum));
    }
}

HRESULT ReadDecimalSamples(DecodedImage* image, TokenReader* tokens, std::uint64_t pixels,
                           std::uint32_t maximum) {
    for (std::uint64_t i = 0; i < pixels; ++i) {
        const std::optional<std::uint32_t> red = tokens->Next();
        const std::optional<std::uint32_t> green = red ? tokens->Next() : std::nullopt;
        const std::optional<std::uint32_t> blue = green ? tokens->Next() : std::nullopt;
        if (!blue) {
            return E_FAIL;
        }
        StorePixel(image, i, Pixel(*red, *green, *blue, maximum));
    }
    return S_OK;
}

}  // namespace

HRESULT LoadPPM(DecodedImage* image, const BYTE* data, UINT size) {
    if (size < 2 || data[0] != 'P' || (data[1] != '3' && data[1] != '6')) {
        return E_FAIL;
    }
    const bool bytes = data[1] == '6';
    TokenReader tokens(data, size, 2);
    const std::optional<std::uint32_t> width = tokens.Next();
    const std::optional<std::uint32_t> height = width ? tokens.Next() : std::nullopt;
    const std::optional<std::uint32_t> maximum = height ? tokens.Next() : std::nullopt;
    if (!maximum || *width == 0 || *height == 0 || *maximum == 0 ||
        *maximum > (bytes ? kMaxByteSampleRange : kMaxSampleRange)) {
        return E_FAIL;
    }
    const std::uint64_t pixels = std::uint64_t{*width} * *height;
    std::uint64_t position = tokens.Position();
    if (bytes) {
        // One white-space byte, or a carriage return and line feed, ends the
        // header.
        if (position >= size) {
            return E_FAIL;
        }
        position +=
            data[position] == '\r' && position + 1 < size && data[position + 1] == '\n' ? 2 : 1;
    }
    // Each pixel takes three bytes, or three digits each after a white-space
    // byte: a file too short for its size is refused before its buffer is
    // made.
    const std::uint64_t needed = (bytes ? 3 : 6) * pixels;
    const std::optional<std::uint64_t> bufferBytes =
        CheckedImageBytes(std::uint64_t{*width} * 4, *height);
    if (!bufferBytes || size - position < needed) {
        return E_FAIL;
    }
    if (image->AllocatePixels(*bufferBytes) == nullptr) {
        return E_OUTOFMEMORY;
    }
    image->format = D3DFMT_X8R8G8B8;
    image->width = *width;
    image->height = *height;
    image->depth = 1;
    image->rowPitch = static_cast<INT>(*width * 4);
    image->slicePitch = 0;
    if (!bytes) {
        return ReadDecimalSamples(image, &tokens, pixels, *maximum);
    }
    ReadByteSamples(image, data + position, pixels, *maximum);
    return S_OK;
}
