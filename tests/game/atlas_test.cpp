// The committed sprite atlas, assets/bitmap.png: what the atlas tool draws,
// laid out as the scene cuts it, with see-through margins around the figures
// and no holes in the maze's tiles.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/png_image.h"
#include "vellorn/win32_types.h"

namespace {

class AtlasTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(ReadKeyedPng(VELLORN_ASSET_DIR "/bitmap.png", &atlas_)); }

    std::uint32_t At(LONG x, LONG y) const { return atlas_.pixels[y * atlas_.width + x]; }
    bool SeeThrough(LONG x, LONG y) const { return At(x, y) == 0; }

    int Opaque(const RECT& r) const {
        int count = 0;
        for (LONG y = r.top; y < r.bottom; ++y) {
            for (LONG x = r.left; x < r.right; ++x) {
                count += SeeThrough(x, y) ? 0 : 1;
            }
        }
        return count;
    }

    bool RingSeeThrough(const RECT& r) const {
        for (LONG x = r.left; x < r.right; ++x) {
            if (!SeeThrough(x, r.top) || !SeeThrough(x, r.bottom - 1)) {
                return false;
            }
        }
        for (LONG y = r.top; y < r.bottom; ++y) {
            if (!SeeThrough(r.left, y) || !SeeThrough(r.right - 1, y)) {
                return false;
            }
        }
        return true;
    }

    bool Same(const RECT& a, const RECT& b) const {
        for (LONG y = 0; y < a.bottom - a.top; ++y) {
            for (LONG x = 0; x < a.right - a.left; ++x) {
                if (At(a.left + x, a.top + y) != At(b.left + x, b.top + y)) {
                    return false;
                }
            }
        }
        return true;
    }

    Image atlas_;
};

RECT Figure(LONG row, LONG direction, LONG frame) {
    const LONG left = 96 * direction + 32 * frame;
    return {left, 32 * row, left + 32, 32 * row + 32};
}

TEST_F(AtlasTest, IsThePictureTheToolDraws) {
    const std::string drawn = VELLORN_TEST_OUTPUT_DIR "/atlas_drawn_by_tool.png";
    ASSERT_EQ(std::system((std::string(VELLORN_MAKE_ATLAS " ") + drawn).c_str()), 0);
    Image fresh;
    ASSERT_TRUE(ReadKeyedPng(drawn, &fresh));
    EXPECT_EQ(fresh.width, atlas_.width);
    EXPECT_EQ(fresh.height, atlas_.height);
    EXPECT_TRUE(fresh.pixels == atlas_.pixels)
        << "assets/bitmap.png is stale: regenerate it with the atlas tool";
}

TEST_F(AtlasTest, IsA512By64ColourImageWithoutAlphaOrPalette) {
    EXPECT_EQ(atlas_.width, 512);
    EXPECT_EQ(atlas_.height, 64);
    EXPECT_FALSE(atlas_.fileHasAlpha);
    EXPECT_FALSE(atlas_.fileHasPalette);
    EXPECT_FALSE(atlas_.fileIsGrey);
}

// A figure drawn between pixels is filtered: its outermost texels must be
// see-through, or the neighbouring picture would bleed in.
TEST_F(AtlasTest, FiguresAndGoalStandInSeeThroughMargins) {
    std::vector<RECT> cells = {{384, 0, 416, 32}};
    for (LONG row = 0; row < 2; ++row) {
        for (LONG direction = 0; direction < 4; ++direction) {
            for (LONG frame = 0; frame < 3; ++frame) {
                cells.push_back(Figure(row, direction, frame));
            }
        }
    }
    for (const RECT& cell : cells) {
        SCOPED_TRACE(cell.left * 1000 + cell.top);
        EXPECT_TRUE(RingSeeThrough(cell));
        EXPECT_GT(Opaque(cell), 250);
    }
}

TEST_F(AtlasTest, EveryDirectionHasThreeDistinctWalkingFramesAndTheFiguresDiffer) {
    for (LONG row = 0; row < 2; ++row) {
        for (LONG direction = 0; direction < 4; ++direction) {
            SCOPED_TRACE(row * 10 + direction);
            EXPECT_FALSE(Same(Figure(row, direction, 0), Figure(row, direction, 1)));
            EXPECT_FALSE(Same(Figure(row, direction, 0), Figure(row, direction, 2)));
            EXPECT_FALSE(Same(Figure(row, direction, 1), Figure(row, direction, 2)));
            for (LONG other = direction + 1; other < 4; ++other) {
                EXPECT_FALSE(Same(Figure(row, direction, 0), Figure(row, other, 0)));
            }
            EXPECT_FALSE(Same(Figure(0, direction, 0), Figure(1, direction, 0)));
        }
    }
}

TEST_F(AtlasTest, MazeTilesHaveNoHoles) {
    const RECT tiles[] = {
        {440, 0, 476, 36},  {478, 0, 482, 36},  {484, 0, 488, 36},
        {440, 38, 476, 42}, {440, 44, 476, 48}, {479, 39, 483, 43},
    };
    for (const RECT& tile : tiles) {
        SCOPED_TRACE(tile.left * 1000 + tile.top);
        EXPECT_EQ(Opaque(tile), (tile.right - tile.left) * (tile.bottom - tile.top));
    }
}

}  // namespace
