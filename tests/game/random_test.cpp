#include "game/random.h"

#include <gtest/gtest.h>

#include "game/game_state.h"

namespace {

TEST(RandomTest, UnseededGeneratorGivesTheRuntimeLibrarySequence) {
    SeedRandom(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (const int value : expected) {
        EXPECT_EQ(DrawRandom(), value);
    }
}

TEST(RandomTest, DrawsUseBitsSixteenToThirtyOnly) {
    SeedRandom(0x7FFFFFFFu);
    for (int i = 0; i < 100000; ++i) {
        const int draw = DrawRandom();
        ASSERT_GE(draw, 0);
        ASSERT_LE(draw, 32767);
    }
}

struct RandomIntCase {
    int a;
    int b;
    int expected;
    bool draws;
};

class RandomIntTest : public ::testing::TestWithParam<RandomIntCase> {};

TEST_P(RandomIntTest, FirstValueAfterSeedOne) {
    const RandomIntCase c = GetParam();
    SeedRandom(1);
    EXPECT_EQ(RandomInt(c.a, c.b), c.expected);
    // Whether a draw was consumed shows in the next draw.
    EXPECT_EQ(DrawRandom(), c.draws ? 18467 : 41);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RandomIntTest,
    ::testing::Values(RandomIntCase{0, 1, 1, true}, RandomIntCase{1, 100, 42, true},
                      RandomIntCase{1, 4, 2, true}, RandomIntCase{5, 5, 5, true},
                      RandomIntCase{3, 2, 0, false}, RandomIntCase{-1, 5, 0, false},
                      RandomIntCase{0, 2147483647, 41, true}));

TEST(CellTest, ColumnAndRowAreOneBasedAndTruncated) {
    EXPECT_EQ(CellColumn(382.0f), 10);
    EXPECT_EQ(CellRow(266.0f), 6);
    EXPECT_EQ(CellColumn(22.0f), 1);
    EXPECT_EQ(CellRow(66.0f), 1);
    // Just short of the next rest position still counts as this cell.
    EXPECT_EQ(CellColumn(61.9f), 1);
    EXPECT_EQ(CellColumn(62.0f), 2);
}

}  // namespace
