// Every allocation a codec makes while it is created may fail: the factory
// then answers E_OUTOFMEMORY and hands out no codec. Allocations are failed
// one at a time through a replaced global operator new, which is why this
// test is a program of its own.
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <vector>

#include "codec_test_util.h"
#include "pixel/pixel_codec.h"
#include "support/failing_allocations.h"
#include "vellorn/result_codes.h"

namespace {

struct AllocationCase {
    const char* name;
    D3DFORMAT format;
    UINT bytesPerPixel;
    bool diffusion;
    DWORD colorKey;
    long allocations;  // what a successful creation allocates
};

class CodecAllocation : public ::testing::TestWithParam<AllocationCase> {};

TEST_P(CodecAllocation, EveryFailureAnswersOutOfMemory) {
    const AllocationCase& c = GetParam();
    TestSurface surface(c.bytesPerPixel, 6, 2);
    std::vector<PALETTEENTRY> palette(256, PALETTEENTRY{10, 20, 30, 255});
    SurfaceDesc desc = surface.Desc(c.format);
    desc.box = PixelBox{1, 0, 6, 2, 0, 1};
    desc.diffusion = c.diffusion;
    desc.colorKey = c.colorKey;
    desc.palette = palette.data();

    long failures = 0;
    for (long allowed = 0;; ++allowed) {
        std::unique_ptr<PixelCodec> codec;
        allocationFaults.allowed = allowed;
        allocationFaults.injected = false;
        allocationFaults.count = 0;
        const HRESULT hr = CreatePixelCodec(desc, &codec);
        allocationFaults.allowed = -1;
        if (!allocationFaults.injected) {
            ASSERT_EQ(hr, S_OK);
            ASSERT_NE(codec, nullptr);
            EXPECT_EQ(allocationFaults.count, c.allocations);
            EXPECT_EQ(codec->diffusionBuffer != nullptr, c.diffusion);
            break;
        }
        ++failures;
        EXPECT_EQ(hr, E_OUTOFMEMORY) << "allocation " << allowed;
        EXPECT_EQ(codec, nullptr) << "allocation " << allowed;
    }
    EXPECT_EQ(failures, c.allocations);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Codecs, CodecAllocation, ::testing::Values(
    // The codec object and its conversion buffer.
    AllocationCase{"Packed", D3DFMT_A8R8G8B8, 4, false, 0, 2},
    // The diffusion buffer besides: without it the codec could not diffuse.
    AllocationCase{"PackedDiffusion", D3DFMT_R5G6B5, 2, true, 0xFF00FF00, 3},
    // The palette besides.
    AllocationCase{"Palette", D3DFMT_P8, 1, true, 0, 4},
    AllocationCase{"PaletteWithAlpha", D3DFMT_A8P8, 2, false, 0xFF102030, 3},
    AllocationCase{"Float", D3DFMT_A16B16G16R16F, 8, false, 0, 2},
    // The codec object, the decoded-row cache, the luma and chroma bytes and
    // the conversion buffer.
    AllocationCase{"PackedPair", D3DFMT_YUY2, 2, false, 0xFFFFFFFF, 5},
    // The codec object, the conversion buffer and the write grid; the read
    // cache and the write buffers come on first use.
    AllocationCase{"Block", D3DFMT_DXT5, 4, false, 0xFFFFFFFF, 3}),
    [](const ::testing::TestParamInfo<AllocationCase>& info) { return std::string(info.param.name); });
// clang-format on

// Writing into a palette format needs no memory: the search structures it
// makes on the way are only a shortcut, and without them (the first, the
// second or the third allocation failing, or every one) the same indices
// are stored.
TEST(PaletteWriteAllocation, FailuresChangeNoIndex) {
    constexpr UINT kWidth = 3000;
    std::vector<PALETTEENTRY> palette(256);
    std::vector<ColorF> row(kWidth);
    std::uint32_t state = 99;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (PALETTEENTRY& e : palette) {
        const std::uint32_t bits = next();
        e = PALETTEENTRY{static_cast<BYTE>(bits), static_cast<BYTE>(bits >> 8),
                         static_cast<BYTE>(bits >> 16), 255};
    }
    for (ColorF& c : row) {
        c = ColorF{(next() & 255) / 255.0f, (next() & 255) / 255.0f, (next() & 255) / 255.0f, 1};
    }
    CodecOptions options;
    options.palette = palette.data();
    // Each row is written twice, so that the search would list its cells.
    auto writeRows = [&](TestSurface& surface) {
        std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_P8, options);
        if (!codec) {
            return;
        }
        for (UINT y = 0; y < 4; ++y) {
            codec->WriteRow(y, 0, row.data());
        }
    };
    TestSurface expected(1, kWidth, 4);
    writeRows(expected);

    for (long allowed : {0L, 1L, 2L, -1L}) {
        TestSurface surface(1, kWidth, 4);
        std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_P8, options);
        ASSERT_NE(codec, nullptr);
        allocationFaults.injected = false;
        allocationFaults.allowed = allowed;
        allocationFaults.failEvery = allowed < 0;
        for (UINT y = 0; y < 4; ++y) {
            codec->WriteRow(y, 0, row.data());
        }
        allocationFaults.allowed = -1;
        allocationFaults.failEvery = false;
        EXPECT_TRUE(allocationFaults.injected) << allowed;
        EXPECT_EQ(surface.bytes, expected.bytes) << allowed;
    }
}

// The block codec takes its read cache and write buffers on first use: when
// they cannot be had, reading leaves the row as it was and writing leaves
// the surface as it was.
TEST(BlockCodecAllocation, FailuresLeaveRowAndSurfaceAlone) {
    std::vector<BYTE> blocks = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0x1B, 0x00, 0xFF};
    const std::vector<BYTE> original = blocks;
    SurfaceDesc desc = {};
    desc.data = blocks.data();
    desc.format = D3DFMT_DXT1;
    desc.rowPitch = 8;
    desc.extent = PixelBox{0, 0, 4, 4, 0, 1};
    desc.box = desc.extent;
    std::unique_ptr<PixelCodec> codec = MakeCodec(desc);
    ASSERT_NE(codec, nullptr);
    const ColorF kUntouched = {0.25f, 0.5f, 0.75f, 0.125f};
    std::vector<ColorF> row(4, kUntouched);
    const std::vector<ColorF> green(4, ColorF{0, 1, 0, 1});
    allocationFaults.injected = false;
    allocationFaults.failEvery = true;
    codec->ReadRow(0, 0, row.data());
    for (UINT y = 0; y < 4; ++y) {
        codec->WriteRow(y, 0, green.data());
    }
    codec.reset();
    allocationFaults.failEvery = false;
    EXPECT_TRUE(allocationFaults.injected);
    for (const ColorF& c : row) {
        EXPECT_TRUE(SameColor(c, kUntouched));
    }
    EXPECT_EQ(blocks, original);
}

}  // namespace
