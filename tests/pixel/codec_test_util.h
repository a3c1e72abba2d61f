// Helpers of the codec tests: surfaces in exactly sized heap memory and codecs
// bound to them.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "pixel/per_pixel_codec.h"
#include "pixel/pixel_codec.h"
#include "vellorn/result_codes.h"

// A surface of width x height x depth pixels with the given pitches; the
// memory ends at the last byte of the last pixel so that any access beyond
// the described memory is a heap overflow.
struct TestSurface {
    TestSurface(UINT bytesPerPixel, UINT w, UINT h, UINT d = 1, UINT rowPad = 0, UINT slicePad = 0)
        : bpp(bytesPerPixel),
          width(w),
          height(h),
          depth(d),
          rowPitch(w * bytesPerPixel + rowPad),
          slicePitch(rowPitch * h + slicePad),
          bytes((d - 1) * std::size_t{slicePitch} + (h - 1) * std::size_t{rowPitch} +
                std::size_t{w} * bytesPerPixel) {}

    BYTE* Pixel(UINT x, UINT y, UINT z = 0) {
        return bytes.data() + z * std::size_t{slicePitch} + y * std::size_t{rowPitch} +
               x * std::size_t{bpp};
    }

    SurfaceDesc Desc(D3DFORMAT format) {
        SurfaceDesc desc = {};
        desc.data = bytes.data();
        desc.format = format;
        desc.rowPitch = rowPitch;
        desc.slicePitch = depth > 1 ? slicePitch : 0;
        desc.extent = PixelBox{0, 0, width, height, 0, depth};
        desc.box = desc.extent;
        return desc;
    }

    UINT bpp, width, height, depth, rowPitch, slicePitch;
    std::vector<BYTE> bytes;
};

template <typename Word>
void PutWord(BYTE* p, Word w, UINT bytes = sizeof(Word)) {
    std::memcpy(p, &w, bytes);
}

template <typename Word>
Word GetWord(const BYTE* p, UINT bytes = sizeof(Word)) {
    Word w = 0;
    std::memcpy(&w, p, bytes);
    return w;
}

struct CodecOptions {
    bool dither = false;
    bool diffusion = false;
    bool gamma = false;
    DWORD colorKey = 0;
    const PALETTEENTRY* palette = nullptr;
};

// The codec for desc; the factory must accept it.
inline std::unique_ptr<PixelCodec> MakeCodec(const SurfaceDesc& desc) {
    std::unique_ptr<PixelCodec> codec;
    EXPECT_EQ(CreatePixelCodec(desc, &codec), S_OK) << "format " << desc.format;
    return codec;
}

inline std::unique_ptr<PixelCodec> MakeCodec(TestSurface& surface, D3DFORMAT format,
                                             const CodecOptions& options = {}) {
    SurfaceDesc desc = surface.Desc(format);
    desc.dither = options.dither;
    desc.diffusion = options.diffusion;
    desc.gamma = options.gamma;
    desc.colorKey = options.colorKey;
    desc.palette = options.palette;
    return MakeCodec(desc);
}

// Bytes per pixel of a per-pixel format; 0 for any other.
inline UINT BytesPerPixel(D3DFORMAT format) {
    std::unique_ptr<PixelCodec> codec;
    return SUCCEEDED(CreatePerPixelCodec(format, &codec)) ? codec->bytesPerPixel : 0;
}

inline bool SameColor(const ColorF& a, const ColorF& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}
