// Helpers of the block codec tests: surfaces of 4 x 4 blocks in exactly sized
// heap memory, decoded texel by texel.
#pragma once

#include <cstdint>
#include <vector>

#include "pixel/block_decoding.h"
#include "pixel/color.h"
#include "pixel/format_groups.h"
#include "pixel/surface_desc.h"

// A width x height surface of a block format, its blocks packed row after row.
struct BlockSurface {
    BlockSurface(D3DFORMAT f, UINT w, UINT h)
        : format(f),
          width(w),
          height(h),
          across((w + 3) / 4),
          rowPitch(across * BlockBytes(f)),
          bytes(std::size_t{rowPitch} * ((h + 3) / 4)) {}

    SurfaceDesc Desc(const PixelBox& box) {
        SurfaceDesc desc = {};
        desc.data = bytes.data();
        desc.format = format;
        desc.rowPitch = rowPitch;
        desc.extent = PixelBox{0, 0, width, height, 0, 1};
        desc.box = box;
        return desc;
    }
    SurfaceDesc Desc() { return Desc(PixelBox{0, 0, width, height, 0, 1}); }

    BYTE* Block(UINT column, UINT row) {
        return bytes.data() + std::size_t{row} * rowPitch +
               std::size_t{column} * BlockBytes(format);
    }

    // Texel (x, y) as the format's decoder gives it.
    ColorF Texel(UINT x, UINT y) {
        ColorF texels[16];
        BlockDecoderOf(format)(Block(x / 4, y / 4), texels);
        return texels[(y % 4) * 4 + x % 4];
    }

    D3DFORMAT format;
    UINT width, height, across, rowPitch;
    std::vector<BYTE> bytes;
};

// The 5:6:5 word as the encoders' inputs and the decoders' outputs give it,
// with alpha a.
inline ColorF Grid565(unsigned word, float a = 1.0f) {
    ColorF c = ColorFrom565(word);
    c.a = a;
    return c;
}
