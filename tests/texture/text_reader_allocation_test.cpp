// The pixmap, float map and Radiance readers make one allocation, the pixel
// buffer: failing it answers E_OUTOFMEMORY, and a file too short for the
// size it names is refused without allocating at all. Allocations are
// counted and failed through a replaced global operator new, which is why
// this test is a program of its own.
#include <gtest/gtest.h>

#include "support/failing_allocations.h"
#include "texture/image_readers.h"
#include "texture/text_image_writer.h"

namespace {

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
