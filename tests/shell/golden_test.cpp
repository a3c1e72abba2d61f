// The golden frame: the real entry on the headless runtime plays a scripted
// run (golden_script.h: a fixed seed, a fixed clock, keys per frame, Escape at
// the end) and the last frame it presents equals the stored
// golden/scripted_run.png pixel for pixel.
//
// The stored frame changes only on purpose, after a change meant to alter
// what the game draws. Regenerate it from the source root with
//   VELLORN_UPDATE_GOLDEN=1 build/tests/shell/vellorn_golden_tests
// which rewrites the file (and skips the comparison), then look at it and
// commit it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "game/game_state.h"
#include "runtime/d3d9/device_control.h"
#include "runtime/win32/headless_window.h"
#include "runtime/win32/run_script.h"
#include "shell/golden_script.h"
#include "support/entry_fixture.h"
#include "support/png_image.h"

namespace {

const std::string kGoldenFrame = VELLORN_GOLDEN_DIR "/scripted_run.png";

bool UpdateRequested() {
    const char* update = std::getenv("VELLORN_UPDATE_GOLDEN");
    return update != nullptr && std::string(update) == "1";
}

bool BetweenPixels(float position) {
    return position != std::floor(position);
}

using GoldenFrameTest = EntryFixture;

TEST_F(GoldenFrameTest, ScriptedRunEndsOnTheStoredFrame) {
    RunScript script;
    std::string error;
    ASSERT_TRUE(ParseRunScript(kGoldenScript, &script, &error)) << error;
    ASSERT_TRUE(InstallRunScript(script));
    const std::string frameFile = directory_ + "/frame.png";
    SetPresentedFrameFile(frameFile);

    EXPECT_EQ(RunGame(), 0);

    EXPECT_TRUE(RecordedMessageBoxes().empty());
    EXPECT_EQ(ScriptFrame(), 103) << "Escape ends the game after its frame";
    // The frame shows both figures walking, the player between pixels.
    const Actor& player = gameState.actors[kPlayer];
    EXPECT_EQ(player.moving, 1);
    EXPECT_TRUE(BetweenPixels(player.x) || BetweenPixels(player.y)) << player.x << ", " << player.y;
    EXPECT_EQ(gameState.actors[kEnemy].moving, 1);

    Image frame;
    ASSERT_TRUE(ReadPng(frameFile, &frame));
    if (UpdateRequested()) {
        std::filesystem::copy_file(frameFile, kGoldenFrame,
                                   std::filesystem::copy_options::overwrite_existing);
        GTEST_SKIP() << "rewrote " << kGoldenFrame;
    }
    Image golden;
    ASSERT_TRUE(ReadPng(kGoldenFrame, &golden));
    ASSERT_EQ(frame.width, golden.width);
    ASSERT_EQ(frame.height, golden.height);
    int differing = 0;
    std::size_t first = 0;
    for (std::size_t i = frame.pixels.size(); i-- > 0;) {
        if (frame.pixels[i] != golden.pixels[i]) {
            ++differing;
            first = i;
        }
    }
    EXPECT_EQ(differing, 0) << "first at (" << first % frame.width << ", " << first / frame.width
                            << ")";
}

}  // namespace
