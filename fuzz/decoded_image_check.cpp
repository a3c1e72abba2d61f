#include "decoded_image_check.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "pixel/pixel_codec.h"

void FuzzCheck(bool condition, const char* message) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", message);
        std::abort();
    }
}

namespace {

// The corners of a level that ReadLevel reads: up to kStrip texels from each
// end of a row, kStrip rows from each end of a slice, the first and the last
// slice. Rows and slices lie at a fixed pitch, so when these are inside the
// memory every texel between them is too; reading them all would make a
// legal but huge image (a run-length bitmap millions of texels wide) cost
// gigabytes of colour rows. Starts are multiples of 4 for the block formats.
constexpr UINT kStrip = 64;

struct Range {
    UINT begin;
    UINT end;
};

Range Head(UINT size) {
    return {0, size < kStrip ? size : kStrip};
}

Range Tail(UINT size) {
    return {size > kStrip ? (size - kStrip + 3) & ~3u : 0, size};
}

void ReadBox(const DecodedImage& level, Range x, Range y, Range z) {
    SurfaceDesc desc = {};
    desc.data = const_cast<BYTE*>(level.pixels);
    desc.format = level.format;
    desc.rowPitch = static_cast<UINT>(level.rowPitch);
    desc.slicePitch = static_cast<UINT>(level.slicePitch);
    desc.extent = {0, 0, level.width, level.height, 0, level.depth};
    desc.box = {x.begin, y.begin, x.end, y.end, z.begin, z.end};
    desc.palette = level.palette;
    std::unique_ptr<PixelCodec> codec;
    const HRESULT hr = CreatePixelCodec(desc, &codec);
    if (hr == E_OUTOFMEMORY) {
        return;
    }
    FuzzCheck(SUCCEEDED(hr), "the codecs cannot read the format a reader named");
    ColorF row[kStrip];
    for (UINT slice = 0; slice < z.end - z.begin; ++slice) {
        for (UINT line = 0; line < y.end - y.begin; ++line) {
            codec->ReadRow(line, slice, row);
        }
    }
}

void ReadLevel(const DecodedImage& level) {
    if (level.width == 0 || level.height == 0 || level.depth == 0) {
        return;
    }
    FuzzCheck(level.pixels != nullptr, "a decoded level without pixels");
    FuzzCheck(level.rowPitch > 0 && level.slicePitch >= 0, "a negative pitch");
    for (const Range x : {Head(level.width), Tail(level.width)}) {
        for (const Range y : {Head(level.height), Tail(level.height)}) {
            for (const Range z : {Range{0, 1}, Range{level.depth - 1, level.depth}}) {
                ReadBox(level, x, y, z);
            }
        }
    }
}

}  // namespace

bool TooLargeToDecode(UINT width, UINT height, UINT depth) {
    constexpr std::uint64_t kLargestDecodedPixels = std::uint64_t{1} << 20;
    return std::uint64_t{width} * height * depth > kLargestDecodedPixels;
}

void ReadImageBounds(const DecodedImage& image) {
    for (const DecodedImage* face = &image; face != nullptr; face = face->nextFace.get()) {
        for (const DecodedImage* level = face; level != nullptr; level = level->nextLevel.get()) {
            ReadLevel(*level);
        }
    }
}

bool SameFormatOnceDecoded(D3DFORMAT described, D3DFORMAT decoded) {
    return described == decoded || (described == D3DFMT_A1R5G5B5 && decoded == D3DFMT_X1R5G5B5);
}

void CheckSameDescription(const DecodedImage& described, const DecodedImage& decoded) {
    FuzzCheck(SameFormatOnceDecoded(described.format, decoded.format),
              "describing and decoding differ in format");
    FuzzCheck(described.width == decoded.width && described.height == decoded.height &&
                  described.depth == decoded.depth,
              "describing and decoding differ in size");
    FuzzCheck(described.LevelCount() == decoded.LevelCount(),
              "describing and decoding differ in levels");
    FuzzCheck(described.resourceType == decoded.resourceType &&
                  described.fileFormat == decoded.fileFormat,
              "describing and decoding differ in resource type or file format");
}
