// The SDL scancode to DIK code table.
#include <gtest/gtest.h>

#include <SDL_scancode.h>

#include <map>

#include "runtime/dinput/scancode_table.h"
#include "vellorn/dinput.h"

namespace {

struct KeyCase {
    SDL_Scancode scancode;
    BYTE dik;
};

class ScancodeTableTest : public testing::TestWithParam<KeyCase> {};

TEST_P(ScancodeTableTest, MapsToThePublishedKeyCode) {
    EXPECT_EQ(DikFromSdlScancode(GetParam().scancode), GetParam().dik);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ScancodeTableTest,
    testing::Values(KeyCase{SDL_SCANCODE_LEFT, 203}, KeyCase{SDL_SCANCODE_RIGHT, 205},
                    KeyCase{SDL_SCANCODE_UP, 200}, KeyCase{SDL_SCANCODE_DOWN, 208},
                    KeyCase{SDL_SCANCODE_RETURN, 28}, KeyCase{SDL_SCANCODE_ESCAPE, 1},
                    KeyCase{SDL_SCANCODE_A, 0x1E}, KeyCase{SDL_SCANCODE_SPACE, 0x39},
                    KeyCase{SDL_SCANCODE_KP_ENTER, 0x9C}, KeyCase{SDL_SCANCODE_RCTRL, 0x9D},
                    KeyCase{SDL_SCANCODE_F12, 0x58}, KeyCase{SDL_SCANCODE_KP_8, 0x48}));

TEST(ScancodeTable, UnmappedAndOutOfRangeScancodesGiveZero) {
    EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(DikFromSdlScancode(-1), 0);
    EXPECT_EQ(DikFromSdlScancode(SDL_NUM_SCANCODES), 0);
    EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_AC_BACK), 0);
}

TEST(ScancodeTable, NoTwoKeysShareACode) {
    std::map<int, int> owner;
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
        const BYTE dik = DikFromSdlScancode(scancode);
        if (dik == 0) {
            continue;
        }
        const auto [it, fresh] = owner.emplace(dik, scancode);
        EXPECT_TRUE(fresh) << "scancodes " << it->second << " and " << scancode << " both give "
                           << int{dik};
        EXPECT_TRUE(IsMappedDik(dik));
    }
    EXPECT_EQ(static_cast<int>(owner.size()), MappedKeyCount());
    EXPECT_FALSE(IsMappedDik(0));
}

}  // namespace
