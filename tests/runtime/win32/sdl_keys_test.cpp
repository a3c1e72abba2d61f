// SDL key codes map to the virtual-key codes the window messages carry.
#include <gtest/gtest.h>

#include <utility>

#include "runtime/win32/sdl_window.h"

namespace {

class SdlKeyTest : public ::testing::TestWithParam<std::pair<SDL_Keycode, int>> {};

TEST_P(SdlKeyTest, MapsToVirtualKey) {
    EXPECT_EQ(VirtualKeyFromSdl(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SdlKeyTest,
    ::testing::Values(std::pair{SDLK_ESCAPE, 0x1B}, std::pair{SDLK_RETURN, VK_RETURN},
                      std::pair{SDLK_SPACE, VK_SPACE}, std::pair{SDLK_LEFT, 0x25},
                      std::pair{SDLK_UP, 0x26}, std::pair{SDLK_RIGHT, 0x27},
                      std::pair{SDLK_DOWN, 0x28}, std::pair{SDLK_a, 'A'}, std::pair{SDLK_z, 'Z'},
                      std::pair{SDLK_0, '0'}, std::pair{SDLK_9, '9'}, std::pair{SDLK_F1, 0x70},
                      std::pair{SDLK_F12, 0x7B}, std::pair{SDLK_KP_0, VK_NUMPAD0},
                      std::pair{SDLK_KP_9, VK_NUMPAD0 + 9}, std::pair{SDLK_RSHIFT, VK_SHIFT},
                      std::pair{SDLK_MENU, 0}, std::pair{SDLK_UNKNOWN, 0}));

}  // namespace
