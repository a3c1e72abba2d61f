// The scene drawn for real: the committed atlas, loaded by the texture loader
// as the game loads it, through the sprite batcher onto the headless software
// device. Each rendered frame is also written as
// a PNG beside the test program (scene_*.png) for looking at.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "game/new_game.h"
#include "game/random.h"
#include "game/recording_sprite.h"
#include "game/scene.h"
#include "platform/graphics.h"
#include "runtime/d3d9/device_test_support.h"
#include "support/atlas_texture.h"
#include "support/game_fixture.h"
#include "support/png_image.h"

namespace {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr std::uint32_t kBlue = 0xFF0000FFu;

class SceneRenderTest : public DeviceTest {
  protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_TRUE(ReadKeyedPng(VELLORN_ASSET_DIR "/bitmap.png", &atlasImage_));
        device_ = MakeDevice();
        ASSERT_TRUE(device_);
        ASSERT_EQ(LoadAtlasTexture(device_.Get(), VELLORN_ASSET_DIR "/bitmap.png",
                                   atlas_.ReleaseAndGetAddressOf()),
                  S_OK);
        ASSERT_EQ(D3DXCreateSprite(device_.Get(), sprite_.ReleaseAndGetAddressOf()), S_OK);
        device = device_.Get();
        atlasTexture = atlas_.Get();
        spriteBatcher = sprite_.Get();
        ResetGame();
        SeedRandom(20240607u);
        StartNewGame();
    }
    void TearDown() override {
        device = nullptr;
        atlasTexture = nullptr;
        spriteBatcher = nullptr;
        sprite_.Reset();
        atlas_.Reset();
        device_.Reset();
        DeviceTest::TearDown();
    }

    // Draws the frame through the batcher and returns what was presented,
    // also written to name under the build directory.
    Image Render(const char* name) {
        DrawFrame();
        Image frame;
        UINT width = 0;
        UINT height = 0;
        EXPECT_TRUE(ReadPresentedFrame(device_.Get(), &frame.pixels, &width, &height));
        frame.width = static_cast<int>(width);
        frame.height = static_cast<int>(height);
        EXPECT_TRUE(WriteRgbPng(std::string(VELLORN_TEST_OUTPUT_DIR "/") + name, frame));
        return frame;
    }

    // The frame as a painter would make it from the draws the scene asks
    // for: blue, then each region copied in order, its see-through texels
    // left out, clipped to the screen. Exact for whole-pixel positions.
    Image Composite(bool withFigures) {
        RecordingSprite recorder;
        spriteBatcher = &recorder;
        DrawFrame();
        spriteBatcher = sprite_.Get();
        std::vector<SpriteCall> draws = recorder.Draws();
        if (!withFigures) {
            draws.resize(draws.size() - 2);
        }
        Image out;
        out.width = kScreenWidth;
        out.height = kScreenHeight;
        out.pixels.assign(static_cast<std::size_t>(kScreenWidth) * kScreenHeight, kBlue);
        for (const SpriteCall& draw : draws) {
            const int left = static_cast<int>(draw.position.x);
            const int top = static_cast<int>(draw.position.y);
            for (LONG v = draw.source.top; v < draw.source.bottom; ++v) {
                for (LONG u = draw.source.left; u < draw.source.right; ++u) {
                    const int x = left + static_cast<int>(u - draw.source.left);
                    const int y = top + static_cast<int>(v - draw.source.top);
                    const std::uint32_t texel = atlasImage_.pixels[v * atlasImage_.width + u];
                    if (x >= 0 && y >= 0 && x < kScreenWidth && y < kScreenHeight &&
                        (texel >> 24) != 0) {
                        out.pixels[static_cast<std::size_t>(y) * kScreenWidth + x] = texel;
                    }
                }
            }
        }
        return out;
    }

    static int Differing(const Image& a, const Image& b, const RECT& within) {
        int count = 0;
        for (LONG y = within.top; y < within.bottom; ++y) {
            for (LONG x = within.left; x < within.right; ++x) {
                const std::size_t at = static_cast<std::size_t>(y) * kScreenWidth + x;
                count += a.pixels[at] != b.pixels[at] ? 1 : 0;
            }
        }
        return count;
    }

    Image atlasImage_;
    ComPtr<IDirect3DDevice9> device_;
    ComPtr<IDirect3DTexture9> atlas_;
    ComPtr<ID3DXSprite> sprite_;
};

constexpr RECT kScreen = {0, 0, kScreenWidth, kScreenHeight};

TEST_F(SceneRenderTest, FiguresAtRestGiveThePaintersPictureOfTheAtlas) {
    // The enemy one step right of the player, so that they overlap and the
    // player covers it.
    Actor& player = gameState.actors[kPlayer];
    Actor& enemy = gameState.actors[kEnemy];
    PlaceAtRest(player, 4, 3, kRight, kPlayerSpeed);
    PlaceAtRest(enemy, 4, 3, kLeft, 100.0f);
    enemy.x += 20.0f;
    gameState.clock.animPhase = 0.3f;

    const Image frame = Render("scene_at_rest.png");

    ASSERT_EQ(frame.width, kScreenWidth);
    ASSERT_EQ(frame.height, kScreenHeight);
    EXPECT_EQ(Differing(frame, Composite(true), kScreen), 0);
    // The figures show: without them the picture differs where they stand.
    EXPECT_GT(Differing(frame, Composite(false), {182, 144, 236, 176}), 200);
}

TEST_F(SceneRenderTest, WalkingFiguresBetweenPixelsLeaveTheRestOfTheSceneExact) {
    Actor& player = gameState.actors[kPlayer];
    Actor& enemy = gameState.actors[kEnemy];
    PlaceAtRest(player, 2, 1, kDown, kPlayerSpeed);
    PlaceAtRest(enemy, 7, 6, kUp, 100.0f);
    player.y += 13.37f;
    enemy.x -= 0.5f;
    enemy.y -= 21.75f;
    gameState.clock.animPhase = 0.8f;

    const Image frame = Render("scene_walking.png");

    const Image still = Composite(false);
    // Each figure lies within a pixel around its rectangle.
    const RECT playerBox = {101, 76, 135, 111};
    const RECT enemyBox = {300, 241, 335, 276};
    EXPECT_GT(Differing(frame, still, playerBox), 200);
    EXPECT_GT(Differing(frame, still, enemyBox), 200);
    EXPECT_EQ(Differing(frame, still, kScreen),
              Differing(frame, still, playerBox) + Differing(frame, still, enemyBox));
}

}  // namespace
