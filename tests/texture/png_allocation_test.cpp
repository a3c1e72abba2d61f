// Every allocation the PNG reader makes may fail: the pixel buffer, the row
// table and the palette. Each failure answers E_OUTOFMEMORY and leaves
// nothing behind but what the record owns. Allocations are failed one at a
// time through a replaced global operator new, which is why this test is a
// program of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "support/replaced_operator_new.h"
#include "texture/image_readers.h"
#include "texture/png_writer.h"

namespace {

// Allocations still to succeed before the one that fails; negative: none
// fails.
long allowedAllocations = -1;
bool failureInjected = false;

}  // namespace

void* TestAllocate(std::size_t size) noexcept {
    if (allowedAllocations == 0) {
        allowedAllocations = -1;
        failureInjected = true;
        return nullptr;
    }
    if (allowedAllocations > 0) {
        --allowedAllocations;
    }
    return std::malloc(size == 0 ? 1 : size);
}

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
        failureInjected = false;
        allowedAllocations = failed;
        const HRESULT result = LoadPNG(&image, file.data(), static_cast<UINT>(file.size()));
        allowedAllocations = -1;
        if (!failureInjected) {
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
