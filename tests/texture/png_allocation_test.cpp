// Every allocation the PNG, JPEG and Targa readers make may fail: the pixel
// buffer, the PNG row table and the palettes. Each failure answers
// E_OUTOFMEMORY and leaves nothing behind but what the record owns. Allocations are failed one at a
// time through a replaced global operator new, which is why this test is a
// program of its own.
#include <gtest/gtest.h>

#include <new>

#include "support/failing_allocations.h"
#include "texture/image_readers.h"
#include "texture/jpeg_writer.h"
#include "texture/png_writer.h"

namespace {

// Fails each allocation of reader on file in turn until one run makes none
// fail, and returns the number of allocations it made.
long FailEachAllocation(ImageReader reader, const std::vector<std::uint8_t>& file) {
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

    long failed = 0;
    for (;; ++failed) {
        DecodedImage image;
        image.decode = true;
        allocationFaults.injected = false;
        allocationFaults.allowed = failed;
        const HRESULT result = LoadPNG(&image, file.data(), static_cast<UINT>(file.size()));
        allocationFaults.allowed = -1;
        if (!allocationFaults.injected) {
            EXPECT_EQ(result, S_OK);
            EXPECT_EQ(image.pixels[5], 1);
            EXPECT_EQ(image.palette[1].peGreen, 5);
            break;
        }
        EXPECT_EQ(result, E_OUTOFMEMORY) << "allocation " << failed;
    }
    EXPECT_EQ(failed, 3) << "pixels, row table, palette";
}

}  // namespace
