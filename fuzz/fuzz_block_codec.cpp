// libFuzzer target for the block codec: an input describes a surface of
// "DXT1" to "DXT5" blocks and a box in it, the blocks are decoded row by row,
// encoded into a second surface (some rows of the last block row left out,
// so that the codec completes them when it goes) and decoded again. Every
// decoded channel must lie in 0..1.
//   byte 0  bits 0-2 format (modulo 5); bit 3 colour key; bit 4 gamma;
//           bit 5 dither; bits 6-7 rows left unwritten at the end
//   byte 1  width - 1 (modulo 64), byte 2 height - 1 (modulo 64)
//   bytes 3-6  left, top, and the box's width and height (modulo what fits)
//   the rest  the blocks, repeated to fill the surface (zeros without any)
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "decoded_image_check.h"
#include "pixel/format_groups.h"
#include "pixel/pixel_codec.h"

namespace {

constexpr D3DFORMAT kFormats[] = {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5};

struct Surface {
    std::vector<BYTE> bytes;
    SurfaceDesc desc;
};

void CheckRow(const std::vector<ColorF>& row) {
    for (const ColorF& c : row) {
        FuzzCheck(c.r >= 0.0f && c.r <= 1.0f && c.g >= 0.0f && c.g <= 1.0f && c.b >= 0.0f &&
                      c.b <= 1.0f && c.a >= 0.0f && c.a <= 1.0f,
                  "a decoded channel lies outside 0..1");
    }
}

std::unique_ptr<PixelCodec> Codec(const SurfaceDesc& desc) {
    std::unique_ptr<PixelCodec> codec;
    FuzzCheck(SUCCEEDED(CreatePixelCodec(desc, &codec)), "the block codec was refused");
    return codec;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 7) {
        return 0;
    }
    const std::uint8_t flags = data[0];
    const D3DFORMAT format = kFormats[(flags & 7) % 5];
    const UINT width = 1 + data[1] % 64;
    const UINT height = 1 + data[2] % 64;
    const UINT left = data[3] % width;
    const UINT top = data[4] % height;
    const UINT boxWidth = 1 + data[5] % (width - left);
    const UINT boxHeight = 1 + data[6] % (height - top);
    const UINT skipped = (flags >> 6) < boxHeight ? flags >> 6 : 0;

    const UINT pitch = (width + 3) / 4 * BlockBytes(format);
    const std::size_t bytes = std::size_t{pitch} * ((height + 3) / 4);
    Surface source{std::vector<BYTE>(bytes), {}};
    for (std::size_t i = 0; i < bytes && size > 7; ++i) {
        source.bytes[i] = data[7 + i % (size - 7)];
    }
    Surface target{source.bytes, {}};
    for (Surface* s : {&source, &target}) {
        s->desc.data = s->bytes.data();
        s->desc.format = format;
        s->desc.rowPitch = pitch;
        s->desc.extent = PixelBox{0, 0, width, height, 0, 1};
        s->desc.box = PixelBox{left, top, left + boxWidth, top + boxHeight, 0, 1};
        s->desc.gamma = (flags & 0x10) != 0;
    }
    source.desc.colorKey = (flags & 8) != 0 ? 0xFF00FF00 : 0;
    target.desc.dither = (flags & 0x20) != 0;

    std::vector<ColorF> row(boxWidth);
    {
        std::unique_ptr<PixelCodec> reader = Codec(source.desc);
        std::unique_ptr<PixelCodec> writer = Codec(target.desc);
        for (UINT y = 0; y < boxHeight; ++y) {
            reader->ReadRow(y, 0, row.data());
            CheckRow(row);
            if (y + skipped < boxHeight) {
                writer->WriteRow(y, 0, row.data());
            }
        }
    }
    target.desc.box = target.desc.extent;
    std::unique_ptr<PixelCodec> check = Codec(target.desc);
    row.resize(width);
    for (UINT y = 0; y < height; ++y) {
        check->ReadRow(y, 0, row.data());
        CheckRow(row);
    }
    return 0;
}
