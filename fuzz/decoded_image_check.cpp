#include "decoded_image_check.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "pixel/pixel_codec.h"

void FuzzCheck(bool condition, const char* message) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", message);
        std::abort();
    }
}

namespace {

void ReadLevel(const DecodedImage& level) {
    if (level.width == 0 || level.height == 0 || level.depth == 0) {
        return;
    }
    FuzzCheck(level.pixels != nullptr, "a decoded level without pixels");
    FuzzCheck(level.rowPitch > 0 && level.slicePitch >= 0, "a negative pitch");
    SurfaceDesc desc = {};
    desc.data = const_cast<BYTE*>(level.pixels);
    desc.format = level.format;
    desc.rowPitch = static_cast<UINT>(level.rowPitch);
    desc.slicePitch = static_cast<UINT>(level.slicePitch);
    desc.extent = {0, 0, level.width, level.height, 0, level.depth};
    desc.box = desc.extent;
    desc.palette = level.palette;
    std::unique_ptr<PixelCodec> codec;
    const HRESULT hr = CreatePixelCodec(desc, &codec);
    if (hr == E_OUTOFMEMORY) {
        return;
    }
    FuzzCheck(SUCCEEDED(hr), "the codecs cannot read the format a reader named");
    std::unique_ptr<ColorF[]> row(new (std::nothrow) ColorF[level.width]);
    if (!row) {
        return;
    }
    for (UINT z = 0; z < level.depth; ++z) {
        for (UINT y = 0; y < level.height; ++y) {
            codec->ReadRow(y, z, row.get());
        }
    }
}

}  // namespace

void ReadEveryPixel(const DecodedImage& image) {
    for (const DecodedImage* face = &image; face != nullptr; face = face->nextFace.get()) {
        for (const DecodedImage* level = face; level != nullptr; level = level->nextLevel.get()) {
            ReadLevel(*level);
        }
    }
}

void CheckSameDescription(const DecodedImage& described, const DecodedImage& decoded) {
    FuzzCheck(described.format == decoded.format, "describing and decoding differ in format");
    FuzzCheck(described.width == decoded.width && described.height == decoded.height &&
                  described.depth == decoded.depth,
              "describing and decoding differ in size");
    FuzzCheck(described.LevelCount() == decoded.LevelCount(),
              "describing and decoding differ in levels");
    FuzzCheck(described.resourceType == decoded.resourceType &&
                  described.fileFormat == decoded.fileFormat,
              "describing and decoding differ in resource type or file format");
}
