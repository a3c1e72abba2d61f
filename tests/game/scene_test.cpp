// The scene's draws for known game states, recorded through a sprite batcher
// that draws nothing, and the device calls around them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "game/recording_sprite.h"
#include "game/scene.h"
#include "platform/graphics.h"
#include "runtime/d3d9/device_test_support.h"
#include "shell/window.h"
#include "support/game_fixture.h"

// Rectangles compare and print by their four edges; found by argument lookup
// in the global namespace, where RECT lives.
bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::ostream& operator<<(std::ostream& os, const RECT& r) {
    return os << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

namespace {

constexpr RECT kGoal = {384, 0, 416, 32};
constexpr RECT kFrameTile = {418, 0, 438, 20};
constexpr RECT kFloor = {440, 0, 476, 36};
constexpr RECT kVerticalWall = {478, 0, 482, 36};
constexpr RECT kVerticalOpen = {484, 0, 488, 36};
constexpr RECT kHorizontalWall = {440, 38, 476, 42};
constexpr RECT kHorizontalOpen = {440, 44, 476, 48};
constexpr RECT kPost = {478, 38, 484, 44};

class SceneTest : public DeviceTest {
  protected:
    void SetUp() override {
        DeviceTest::SetUp();
        device_ = MakeDevice();
        ASSERT_TRUE(device_);
        ASSERT_EQ(device_->CreateTexture(512, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                         atlas_.ReleaseAndGetAddressOf(), nullptr),
                  S_OK);
        device = device_.Get();
        atlasTexture = atlas_.Get();
        spriteBatcher = &sprite_;
        SetKnownState();
    }
    void TearDown() override {
        device = nullptr;
        atlasTexture = nullptr;
        spriteBatcher = nullptr;
        atlas_.Reset();
        device_.Reset();
        DeviceTest::TearDown();
    }

    // An open maze with one extra wall each way, the goal bottom right, the
    // enemy at rest on cell (9, 5) facing down, the player half-way through
    // a step facing left, at the second quarter of the walking cycle.
    static void SetKnownState() {
        ResetGame();
        OpenMaze(gameState.maze);
        gameState.maze.vWalls[3][4] = 1;
        gameState.maze.hWalls[7][2] = 1;
        gameState.goalX = 582.0f;
        gameState.goalY = 466.0f;
        PlaceAtRest(gameState.actors[kEnemy], 9, 5, kDown, 100.0f);
        PlaceAtRest(gameState.actors[kPlayer], 3, 2, kLeft, 150.0f);
        gameState.actors[kPlayer].x = 142.25f;
        gameState.actors[kPlayer].y = 146.5f;
        gameState.actors[kPlayer].moving = 1;
        gameState.clock.animPhase = 0.3f;
    }

    // The device operations of a frame, without the batcher's own.
    static std::vector<std::string> FrameCalls() {
        std::vector<std::string> calls;
        for (const std::string& call : CallLog()) {
            if (call == "Clear" || call == "BeginScene" || call == "EndScene" ||
                call == "Present") {
                calls.push_back(call);
            }
        }
        return calls;
    }

    ComPtr<IDirect3DDevice9> device_;
    ComPtr<IDirect3DTexture9> atlas_;
    RecordingSprite sprite_;
};

struct Landmark {
    int index;
    RECT source;
    float x;
    float y;
};

// Worked out by hand from the layout: 48 side tiles, 96 top and bottom
// tiles, 165 floors, 176 vertical and 180 horizontal edges, 192 posts, the
// goal, the enemy and the player.
const Landmark kLandmarks[] = {
    {0, kFrameTile, 0, 0},
    {1, kFrameTile, 620, 0},
    {46, kFrameTile, 0, 460},
    {47, kFrameTile, 620, 460},
    {48, kFrameTile, 0, 0},
    {49, kFrameTile, 0, 460},
    {50, kFrameTile, 0, 480},
    {141, kFrameTile, 620, 0},
    {143, kFrameTile, 620, 480},
    {144, kFloor, 20, 20},
    {145, kFloor, 20, 60},
    {155, kFloor, 60, 20},
    {308, kFloor, 580, 420},
    {309, kVerticalWall, 16, 20},
    {320, kVerticalOpen, 56, 20},
    {346, kVerticalWall, 136, 180},
    {347, kVerticalOpen, 136, 220},
    {484, kVerticalWall, 616, 420},
    {485, kHorizontalWall, 20, 16},
    {486, kHorizontalOpen, 20, 56},
    {496, kHorizontalWall, 20, 456},
    {571, kHorizontalWall, 300, 96},
    {572, kHorizontalOpen, 300, 136},
    {664, kHorizontalWall, 580, 456},
    {665, kPost, 15, 15},
    {666, kPost, 15, 55},
    {856, kPost, 615, 455},
    {857, kGoal, 582, 422},
    {858, {320, 32, 352, 64}, 382, 224},
    {859, {128, 0, 160, 32}, 142.25f, 104.5f},
};

TEST_F(SceneTest, DrawsTheWholeSceneInPaintingOrderInOneBatch) {
    DrawFrame();

    const std::vector<SpriteCall>& calls = sprite_.Calls();
    ASSERT_EQ(calls.size(), 862u);
    EXPECT_EQ(calls.front().kind, SpriteCall::kBegin);
    EXPECT_EQ(calls.front().flags, D3DXSPRITE_ALPHABLEND | D3DXSPRITE_DONOTSAVESTATE);
    EXPECT_EQ(calls.back().kind, SpriteCall::kEnd);
    const std::vector<SpriteCall> draws = sprite_.Draws();
    ASSERT_EQ(draws.size(), 860u);
    for (const Landmark& landmark : kLandmarks) {
        SCOPED_TRACE(landmark.index);
        const SpriteCall& draw = draws[landmark.index];
        EXPECT_EQ(draw.source, landmark.source);
        EXPECT_EQ(draw.position.x, landmark.x);
        EXPECT_EQ(draw.position.y, landmark.y);
    }
    std::map<LONG, int> perRegion;
    for (const SpriteCall& draw : draws) {
        EXPECT_EQ(draw.texture, atlas_.Get());
        EXPECT_TRUE(draw.hasSource);
        EXPECT_FALSE(draw.hasCenter);
        EXPECT_TRUE(draw.hasPosition);
        EXPECT_EQ(draw.position.z, 0.0f);
        EXPECT_EQ(draw.color, 0xFFFFFFFFu);
        ++perRegion[draw.source.left * 100 + draw.source.top];
    }
    // Borders closed plus the one extra wall each way.
    const std::map<LONG, int> expected = {
        {41800, 144}, {44000, 165}, {47800, 23}, {48400, 153}, {44038, 31},
        {44044, 149}, {47838, 192}, {38400, 1},  {32032, 1},   {12800, 1},
    };
    EXPECT_EQ(perRegion, expected);
}

struct WalkingCase {
    float phase;
    int playerDir;
    int enemyDir;
    LONG playerLeft;  // of the player's source, in the top row
    LONG enemyLeft;   // of the enemy's source, in the row below
};

void PrintTo(const WalkingCase& c, std::ostream* os) {
    *os << "phase " << c.phase << " player dir " << c.playerDir << " enemy dir " << c.enemyDir;
}

class WalkingFrameTest : public SceneTest, public ::testing::WithParamInterface<WalkingCase> {};

// Frames 0, 1, 0, 2 over the quarters of the phase, both figures alike,
// the direction choosing the block of three.
const WalkingCase kWalkingCases[] = {
    {0.0f, kRight, kLeft, 0, 96},      {0.25f, kLeft, kUp, 96, 192},
    {0.2501f, kUp, kDown, 224, 320},   {0.3f, kDown, kRight, 320, 32},
    {0.4999f, kRight, kRight, 32, 32}, {0.5f, kUp, kLeft, 192, 96},
    {0.75f, kDown, kUp, 288, 192},     {0.7501f, kLeft, kDown, 160, 352},
    {0.9999f, kRight, kUp, 64, 256},   {1.0f, kDown, kDown, 352, 352},
};

TEST_P(WalkingFrameTest, FiguresShowTheWalkingFrameOfThePhaseForTheirDirection) {
    const WalkingCase& c = GetParam();
    gameState.clock.animPhase = c.phase;
    gameState.actors[kPlayer].dir = c.playerDir;
    gameState.actors[kEnemy].dir = c.enemyDir;
    // A figure at rest animates as well as a walking one.
    gameState.actors[kPlayer].moving = 0;

    DrawFrame();

    const std::vector<SpriteCall> draws = sprite_.Draws();
    ASSERT_EQ(draws.size(), 860u);
    const RECT enemy = {c.enemyLeft, 32, c.enemyLeft + 32, 64};
    const RECT player = {c.playerLeft, 0, c.playerLeft + 32, 32};
    EXPECT_EQ(draws[858].source, enemy);
    EXPECT_EQ(draws[859].source, player);
}

INSTANTIATE_TEST_SUITE_P(Phases, WalkingFrameTest, ::testing::ValuesIn(kWalkingCases));

struct FrameCase {
    const char* name;
    int beginSceneFailures;  // 0 or 1: the frame's BeginScene fails
    bool windowActive;
    bool playerCaught;
    std::vector<std::string> deviceCalls;
    std::size_t spriteCalls;
};

void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.name;
}

class FrameSequenceTest : public SceneTest, public ::testing::WithParamInterface<FrameCase> {};

const FrameCase kFrameCases[] = {
    {"Normal", 0, true, false, {"Clear", "BeginScene", "EndScene", "Present"}, 862},
    {"WindowInactive", 0, false, false, {"Clear", "BeginScene", "EndScene", "Present"}, 862},
    {"PlayerFlyingOff", 0, true, true, {"Clear", "BeginScene", "EndScene", "Present"}, 862},
    {"SceneCannotBegin", 1, true, false, {"Clear", "BeginScene", "Present"}, 0},
};

TEST_P(FrameSequenceTest, ClearsDrawsAndPresentsLeavingTheGameAlone) {
    const FrameCase& c = GetParam();
    windowActive = c.windowActive ? 1 : 0;
    if (c.playerCaught) {
        gameState.actors[kPlayer].state = kActorCaught;
        gameState.actors[kPlayer].y = 12.0f;
    }
    if (c.beginSceneFailures > 0) {
        InjectFault("BeginScene", 1, D3DERR_INVALIDCALL);
    }
    unsigned char before[sizeof gameState];
    std::memcpy(before, &gameState, sizeof gameState);
    ClearCallLog();

    DrawFrame();

    EXPECT_EQ(FrameCalls(), c.deviceCalls);
    EXPECT_EQ(sprite_.Calls().size(), c.spriteCalls);
    EXPECT_EQ(std::memcmp(before, &gameState, sizeof gameState), 0);
    if (c.playerCaught) {
        const std::vector<SpriteCall> draws = sprite_.Draws();
        ASSERT_EQ(draws.size(), 860u);
        EXPECT_EQ(draws[859].position.y, -30.0f);
    }
    // The next frame draws again.
    sprite_.Forget();
    DrawFrame();
    EXPECT_EQ(sprite_.Draws().size(), 860u);
}

INSTANTIATE_TEST_SUITE_P(Frames, FrameSequenceTest, ::testing::ValuesIn(kFrameCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
