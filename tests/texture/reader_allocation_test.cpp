// Every allocation an image reader makes may fail: the pixel buffer, the PNG
// row table and the palettes. Each failure answers E_OUTOFMEMORY and leaves
// nothing behind but what the record owns, and a file too short for the size
// it names is refused before anything is allocated. Allocations are counted
// and failed one at a time through a replaced global operator new, which is
// why this test is a program of its own.
#include <gtest/gtest.h>

#include <new>
#include <utility>

#include "support/failing_allocations.h"
#include "texture/image_readers.h"
#include "texture/jpeg_writer.h"
#include "texture/png_writer.h"
#include "texture/text_image_writer.h"

namespace {

// Fails each allocation of reader on file in turn until one run makes none
// fail, and returns the number of allocations it made; the record of that
// run goes to *succeeded when given.
long FailEachAllocation(ImageReader reader, const std::vector<std::uint8_t>& file,
                        DecodedImage* succeeded = nullptr) {
    long failed = 0;
    for (;; ++failed) {
        DecodedImage image;
        image.decode = true;
        allocationFaults.injected = false;
        allocationFaults.allowed = failed;
        const HRESULT result = reader(&image, file.data(), static_cast<UINT>(file.size()));
        allocationFaults.allowed = -1;
        if (!allocationFaults.injected) {
            EXPECT_EQ(result, S_OK);
            if (succeeded != nullptr) {
                *succeeded = std::move(image);
            }
            return failed;
        }
        EXPECT_EQ(result, E_OUTOFMEMORY) << "allocation " << failed;
    }
}

TEST(ReaderAllocation, JpegPixelsAndTargaPaletteAndPixels) {
    JpegLayout jpeg;
    jpeg.width = 9;
    jpeg.height = 5;
    jpeg.samples.assign(9 * 5 * 3, 0x80);
    const std::vector<std::uint8_t> file = WriteJpeg(jpeg);
    // The reader's one allocation is the pixel buffer; the settings it reads
    // allocate too, and answer "no setting" when they cannot.
    for (const bool decode : {false, true}) {
        DecodedImage image;
        image.decode = decode;
        allocationFaults.failEvery = true;
        const HRESULT result = LoadJPG(&image, file.data(), static_cast<UINT>(file.size()));
        allocationFaults.failEvery = false;
        EXPECT_EQ(result, decode ? E_OUTOFMEMORY : S_OK);
    }
    // A colour-mapped, run-length, 2 x 1 Targa with a two-entry map.
    const std::vector<std::uint8_t> targa = {0, 1, 9, 0, 0, 2, 0, 24, 0, 0, 0, 0,    2,
                                             0, 1, 0, 8, 0, 1, 2, 3,  4, 5, 6, 0x81, 1};
    EXPECT_EQ(FailEachAllocation(LoadTGA, targa), 2) << "palette, pixels";
}

TEST(PngAllocation, EachFailedAllocationIsOutOfMemory) {
    PngLayout layout;
    layout.width = 5;
    layout.height = 3;
    layout.bitDepth = 4;
    layout.colorType = PNG_COLOR_TYPE_PALETTE;
    layout.palette = {{1, 2, 3}, {4, 5, 6}};
    layout.rows.assign(PngRowBytes(layout) * layout.height, 0x10);
    const std::vector<std::uint8_t> file = WritePng(layout);
    ASSERT_FALSE(file.empty());

    DecodedImage image;
    EXPECT_EQ(FailEachAllocation(LoadPNG, file, &image), 3) << "pixels, row table, palette";
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.pixels[5], 1);
    EXPECT_EQ(image.palette[1].peGreen, 5);
}

struct ReaderFile {
    const char* name;
    ImageReader reader;
    TextFileBytes good;
    // Names a size its data cannot hold.
    TextFileBytes tooShort;
};

TEST(TextReaderAllocation, OnlyThePixelBufferIsAllocated) {
    const std::vector<RgbePixel> row(4, RgbePixel{1, 2, 3, 130});
    const ReaderFile files[] = {
        {"P6", LoadPPM, TextOf("P6 2 2 255\n") + TextFileBytes(12, 7),
         TextOf("P6 4000 4000 255\n") + TextFileBytes(12, 7)},
        {"P3", LoadPPM, TextOf("P3 1 1 255 1 2 3"), TextOf("P3 4000 4000 255 1 2 3 4 5 6")},
        {"PF", LoadPFM, PfmFile(3, "1 2", "-1", {1, 2, 3, 4, 5, 6}),
         PfmFile(3, "4000 4000", "-1", {1, 2, 3, 4, 5, 6})},
        {"Radiance", LoadHDR,
         HdrFile({"FORMAT=32-bit_rle_rgbe"}, "-Y 1 +X 4", NewRunLengthScanline(row)),
         HdrFile({"FORMAT=32-bit_rle_rgbe"}, "-Y 4000 +X 4000", NewRunLengthScanline(row))},
    };
    for (const ReaderFile& f : files) {
        SCOPED_TRACE(f.name);
        for (const bool fail : {true, false}) {
            DecodedImage image;
            allocationFaults.injected = false;
            allocationFaults.allowed = fail ? 0 : -1;
            allocationFaults.count = 0;
            const HRESULT result =
                f.reader(&image, f.good.data(), static_cast<UINT>(f.good.size()));
            allocationFaults.allowed = -1;
            EXPECT_EQ(allocationFaults.count, 1);
            EXPECT_EQ(result, fail ? E_OUTOFMEMORY : S_OK);
            EXPECT_EQ(image.pixels != nullptr, !fail);
        }
        DecodedImage image;
        allocationFaults.count = 0;
        EXPECT_EQ(f.reader(&image, f.tooShort.data(), static_cast<UINT>(f.tooShort.size())),
                  E_FAIL);
        EXPECT_EQ(allocationFaults.count, 0);
    }
}

}  // namespace
