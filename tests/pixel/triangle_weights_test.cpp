#include "pixel/triangle_weights.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "runtime/win32/debug_output.h"
#include "runtime/win32/settings_store.h"

namespace {

struct AxisCase {
    UINT source;
    UINT destination;
    bool wrap;
    friend void PrintTo(const AxisCase& c, std::ostream* os) {
        *os << c.source << " -> " << c.destination << (c.wrap ? " wrapping" : " clamped");
    }
};

class TriangleWeightsTest : public testing::TestWithParam<AxisCase> {};

// The tents of the source pixels add up to 1 everywhere, so every destination
// cell receives weights summing to 1, short only of entries dropped below
// 0.00001 and of float rounding. Every kept entry names a cell inside the
// destination and is above the drop threshold.
TEST_P(TriangleWeightsTest, EachCellsWeightsSumToOne) {
    const AxisCase c = GetParam();
    TriangleWeights weights;
    ASSERT_TRUE(BuildTriangleWeights(c.source, c.destination, c.wrap,
                                     TriangleWeightCapacity(c.source, c.destination, c.wrap),
                                     &weights));
    std::vector<double> sums(c.destination, 0.0);
    for (UINT j = 0; j < c.source; ++j) {
        for (const TriangleWeight* e = weights.RunBegin(j); e != weights.RunEnd(j); ++e) {
            ASSERT_LT(e->index, c.destination);
            ASSERT_GT(e->weight, 0.00001f);
            sums[e->index] += e->weight;
        }
    }
    for (UINT m = 0; m < c.destination; ++m) {
        EXPECT_NEAR(sums[m], 1.0, 5e-5) << "cell " << m;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, TriangleWeightsTest,
                         testing::Values(AxisCase{300, 256, false}, AxisCase{300, 256, true},
                                         AxisCase{200, 256, false}, AxisCase{200, 256, true},
                                         AxisCase{7, 3, false}, AxisCase{7, 3, true},
                                         AxisCase{1, 5, false}, AxisCase{1, 5, true},
                                         AxisCase{512, 1, false}, AxisCase{512, 1, true},
                                         AxisCase{3, 1000, false}, AxisCase{1, 1, true},
                                         AxisCase{1000, 999, true}));

// Hand-computed runs from 2 to 4 cells: with wrap each pixel's outer quarter
// falls on the far end; without, the outer halves of the edge pixels weigh 1.
TEST(TriangleWeights, HandComputedRuns) {
    struct Expected {
        bool wrap;
        std::vector<std::vector<TriangleWeight>> runs;
    };
    for (const Expected& c :
         {Expected{true,
                   {{{3, 0.25f}, {0, 0.75f}, {1, 0.75f}, {2, 0.25f}},
                    {{1, 0.25f}, {2, 0.75f}, {3, 0.75f}, {0, 0.25f}}}},
          Expected{false,
                   {{{0, 1.0f}, {1, 0.75f}, {2, 0.25f}}, {{1, 0.25f}, {2, 0.75f}, {3, 1.0f}}}}}) {
        TriangleWeights weights;
        ASSERT_TRUE(
            BuildTriangleWeights(2, 4, c.wrap, TriangleWeightCapacity(2, 4, c.wrap), &weights));
        for (UINT j = 0; j < 2; ++j) {
            std::vector<std::pair<UINT, float>> run;
            for (const TriangleWeight* e = weights.RunBegin(j); e != weights.RunEnd(j); ++e) {
                run.emplace_back(e->index, e->weight);
            }
            std::vector<std::pair<UINT, float>> expected;
            for (const TriangleWeight& e : c.runs[j]) {
                expected.emplace_back(e.index, e.weight);
            }
            EXPECT_EQ(run, expected) << "run " << j << (c.wrap ? " wrapping" : " clamped");
        }
    }
}

// A list that would outgrow its capacity is refused, and the failed check is
// reported on the diagnostic channel.
TEST(TriangleWeights, OverflowingTheCapacityIsReported) {
    diagnosticChannel = {};
    ClearSettings();
    std::vector<std::string> lines;
    SetDebugOutputCapture([&lines](const char* text) { lines.emplace_back(text); });
    TriangleWeights weights;
    const bool built = BuildTriangleWeights(4, 4, false, 40, &weights);
    SetDebugOutputCapture(nullptr);
    EXPECT_FALSE(built);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("D3DX: Assertion failure! (", 0), 0u) << lines[0];
    const std::string tail = "): uSize <= uSizeMax\r\n";
    ASSERT_GE(lines[0].size(), tail.size());
    EXPECT_EQ(lines[0].substr(lines[0].size() - tail.size()), tail) << lines[0];
    EXPECT_EQ(TriangleWeightCapacity(4, 4, false), 16u + 4u * (12u + 16u * 2u));
}

}  // namespace
