// Every allocation the PNG reader makes may fail: the pixel buffer, the row
// table and the palette. Each failure answers E_OUTOFMEMORY and leaves
// nothing behind but what the record owns. Allocations are failed one at a
// time through a replaced global operator new, which is why this test is a
// program of its own.
#include <gtest/gtest.h>

#include <new>

#include "support/failing_allocations.h"
#include "texture/image_readers.h"
#include "texture/png_writer.h"

namespace {

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
