// Fitting texture requests to devices of different capabilities: defaults,
// device limits, powers of two, block formats, level counts, the scratch
// pool, and the refusals with their messages.
#include "texture/texture_requirements.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "pixel/load_test_support.h"

namespace {

constexpr DWORD kMipmaps = D3DPTEXTURECAPS_MIPMAP;
constexpr DWORD kPow2 = D3DPTEXTURECAPS_POW2;
constexpr DWORD kConditional = D3DPTEXTURECAPS_NONPOW2CONDITIONAL;

// What the test changes of the default profile (power-of-two-conditional
// textures up to 4096 x 4096 with mipmaps, aspect up to 4096).
struct Caps {
    DWORD textureCaps = kPow2 | kConditional | kMipmaps;
    UINT maxWidth = 4096;
    UINT maxHeight = 4096;
    UINT maxAspect = 4096;
    bool noFormats = false;
};

struct Request {
    UINT width;
    UINT height;
    UINT levels;
    DWORD usage = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    D3DPOOL pool = D3DPOOL_MANAGED;
};

struct RequirementsCase {
    const char* name;
    Caps caps;
    Request request;
    HRESULT expected;
    // The fitted request on success.
    UINT width = 0;
    UINT height = 0;
    UINT levels = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    // The message of a refusal.
    const char* message = nullptr;
};

void PrintTo(const RequirementsCase& c, std::ostream* os) {
    *os << c.name;
}

class TextureRequirementsTest : public LoadTest,
                                public testing::WithParamInterface<RequirementsCase> {};

TEST_P(TextureRequirementsTest, FitsTheRequestToTheDevice) {
    const RequirementsCase& c = GetParam();
    DeviceProfile profile = DefaultDeviceProfile();
    profile.caps.TextureCaps = c.caps.textureCaps;
    profile.caps.MaxTextureWidth = c.caps.maxWidth;
    profile.caps.MaxTextureHeight = c.caps.maxHeight;
    profile.caps.MaxTextureAspectRatio = c.caps.maxAspect;
    if (c.caps.noFormats) {
        for (FormatSupport& support : profile.formats) {
            support.texture = false;
        }
    }
    device_.Reset();
    UseProfile(profile);
    device_ = MakeDevice();
    ASSERT_TRUE(device_);
    messages_.clear();

    UINT width = c.request.width;
    UINT height = c.request.height;
    UINT levels = c.request.levels;
    D3DFORMAT format = c.request.format;
    EXPECT_EQ(CheckTextureRequirements(device_.Get(), &width, &height, nullptr, &levels,
                                       c.request.usage, &format, c.request.pool, D3DRTYPE_TEXTURE),
              c.expected);
    if (SUCCEEDED(c.expected)) {
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        EXPECT_EQ(levels, c.levels);
        EXPECT_EQ(format, c.format);
        EXPECT_TRUE(messages_.empty());
    } else {
        // Outputs stay as they were.
        EXPECT_EQ(width, c.request.width);
        EXPECT_EQ(height, c.request.height);
        EXPECT_EQ(levels, c.request.levels);
        EXPECT_EQ(format, c.request.format);
        EXPECT_EQ(messages_, std::vector<std::string>{"D3DX: " + std::string(c.message) + "\r\n"});
    }
}

constexpr UINT kDefault = D3DX_DEFAULT;
constexpr D3DFORMAT kArgb = D3DFMT_A8R8G8B8;
constexpr D3DFORMAT kXrgb = D3DFMT_X8R8G8B8;

INSTANTIATE_TEST_SUITE_P(
    Cases, TextureRequirementsTest,
    testing::Values(
        RequirementsCase{
            "BothDefaultGive256", {}, {kDefault, kDefault, 0}, S_OK, 256, 256, 9, kArgb},
        RequirementsCase{
            "OneDefaultTakesTheOther", {}, {kDefault, 100, 0, 0, kXrgb}, S_OK, 128, 128, 8, kXrgb},
        RequirementsCase{"ZeroBecomesOne", {}, {0, 0, 0}, S_OK, 1, 1, 1, kArgb},
        RequirementsCase{"PowersOfTwoWithMipmaps", {}, {300, 200, 0}, S_OK, 512, 256, 10, kArgb},
        RequirementsCase{
            "ConditionalNonPowerOfTwoWithOneLevel", {}, {300, 200, 1}, S_OK, 300, 200, 1, kArgb},
        RequirementsCase{"FullNonPowerOfTwo", {kMipmaps}, {300, 200, 0}, S_OK, 300, 200, 9, kArgb},
        RequirementsCase{"ConditionalOnlyHasNoMipmapsOffPowersOfTwo",
                         {kConditional | kMipmaps},
                         {300, 200, 0},
                         S_OK,
                         300,
                         200,
                         1,
                         kArgb},
        RequirementsCase{"SquareOnly",
                         {kPow2 | kMipmaps | D3DPTEXTURECAPS_SQUAREONLY},
                         {512, 128, 0},
                         S_OK,
                         128,
                         128,
                         8,
                         kArgb},
        RequirementsCase{"AspectLimit",
                         {kPow2 | kMipmaps, 4096, 4096, 2},
                         {512, 64, 0},
                         S_OK,
                         128,
                         64,
                         8,
                         kArgb},
        RequirementsCase{
            "MaximumSize", {kPow2 | kMipmaps, 256, 128}, {1024, 512, 0}, S_OK, 256, 128, 9, kArgb},
        RequirementsCase{"NoMipmaps", {kPow2}, {64, 64, 0}, S_OK, 64, 64, 1, kArgb},
        RequirementsCase{"ThreeLevelsKept", {}, {64, 64, 3}, S_OK, 64, 64, 3, kArgb},
        RequirementsCase{"TooManyLevelsGiveTheFullChain", {}, {64, 64, 20}, S_OK, 64, 64, 7, kArgb},
        RequirementsCase{
            "DefaultLevelsGiveTheFullChain", {}, {64, 64, kDefault}, S_OK, 64, 64, 7, kArgb},
        RequirementsCase{"AutomaticMipmapsAskForZeroLevels",
                         {},
                         {64, 64, 0, D3DUSAGE_AUTOGENMIPMAP},
                         S_OK,
                         64,
                         64,
                         0,
                         kArgb},
        RequirementsCase{"AutomaticMipmapsWithOneLevel",
                         {},
                         {64, 64, 1, D3DUSAGE_AUTOGENMIPMAP},
                         S_OK,
                         64,
                         64,
                         1,
                         kArgb},
        RequirementsCase{
            "DefaultUsageIsNone", {}, {64, 64, 1, D3DX_DEFAULT}, S_OK, 64, 64, 1, kArgb},
        RequirementsCase{"BlockFormatRoundsToPowersOfTwoEvenWithOneLevel",
                         {},
                         {5, 3, 1, 0, D3DFMT_DXT1},
                         S_OK,
                         8,
                         4,
                         1,
                         D3DFMT_DXT1},
        RequirementsCase{"BlockFormatWholeBlocksWithoutPowersOfTwo",
                         {kMipmaps},
                         {5, 3, 0, 0, D3DFMT_DXT5},
                         S_OK,
                         8,
                         4,
                         4,
                         D3DFMT_DXT5},
        RequirementsCase{"ScratchIgnoresTheDevice",
                         {kPow2, 256, 256},
                         {5000, 300, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_SCRATCH},
                         S_OK,
                         5000,
                         300,
                         13,
                         kArgb},
        RequirementsCase{"ScratchKeepsAnyFormat",
                         {kPow2, 256, 256},
                         {6, 6, 1, 0, D3DFMT_R8G8B8, D3DPOOL_SCRATCH},
                         S_OK,
                         6,
                         6,
                         1,
                         D3DFMT_R8G8B8},
        // Products and roundings near the top of 32 bits do not wrap.
        RequirementsCase{"HugeSizesSaturate",
                         {kPow2 | kMipmaps, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
                         {0xF0000000, 0xF0000001, 0},
                         S_OK,
                         0x80000000,
                         0x80000000,
                         32,
                         kArgb},
        RequirementsCase{"HugeBlockSizesSaturate",
                         {kMipmaps, 0xFFFFFFFF, 0xFFFFFFFF, 0},
                         {0xFFFFFFFE, 0xFFFFFFF9, 1, 0, D3DFMT_DXT1},
                         S_OK,
                         0xFFFFFFFC,
                         0xFFFFFFFC,
                         1,
                         D3DFMT_DXT1},
        RequirementsCase{"BadUsage",
                         {},
                         {64, 64, 0, D3DUSAGE_WRITEONLY},
                         D3DERR_INVALIDCALL,
                         0,
                         0,
                         0,
                         kArgb,
                         "Usage parameter is invalid"},
        RequirementsCase{"BadPool",
                         {},
                         {64, 64, 0, 0, kArgb, static_cast<D3DPOOL>(4)},
                         D3DERR_INVALIDCALL,
                         0,
                         0,
                         0,
                         kArgb,
                         "Pool parameter is invalid"},
        RequirementsCase{"NoFormat",
                         {.noFormats = true},
                         {64, 64, 0},
                         D3DERR_NOTAVAILABLE,
                         0,
                         0,
                         0,
                         kArgb,
                         "Device does not support this Usage/ResType"}),
    [](const testing::TestParamInfo<RequirementsCase>& info) { return info.param.name; });

// Depth is rounded with the other extents; absent values count as defaults.
TEST_F(TextureRequirementsTest, DepthAbsentValuesAndAbsentDevice) {
    struct DepthCase {
        UINT depth;
        UINT levels;
        UINT expected;
    };
    for (const DepthCase c :
         {DepthCase{7, 0, 8}, DepthCase{0, 0, 1}, DepthCase{kDefault, 0, 1}, DepthCase{7, 1, 7}}) {
        UINT width = 16;
        UINT depth = c.depth;
        UINT levels = c.levels;
        EXPECT_EQ(CheckTextureRequirements(device_.Get(), &width, nullptr, &depth, &levels, 0,
                                           nullptr, D3DPOOL_MANAGED, D3DRTYPE_TEXTURE),
                  S_OK);
        EXPECT_EQ(depth, c.expected) << c.depth << " " << c.levels;
    }
    EXPECT_EQ(CheckTextureRequirements(device_.Get(), nullptr, nullptr, nullptr, nullptr, 0,
                                       nullptr, D3DPOOL_MANAGED, D3DRTYPE_TEXTURE),
              S_OK);
    UINT width = 17;
    EXPECT_EQ(CheckTextureRequirements(device_.Get(), &width, nullptr, nullptr, nullptr, 0, nullptr,
                                       D3DPOOL_MANAGED, D3DRTYPE_TEXTURE),
              S_OK);
    EXPECT_EQ(width, 32u);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(CheckTextureRequirements(nullptr, &width, nullptr, nullptr, nullptr, 0, nullptr,
                                       D3DPOOL_MANAGED, D3DRTYPE_TEXTURE),
              D3DERR_INVALIDCALL);
    EXPECT_TRUE(Reported("pDevice pointer is invalid"));
}

}  // namespace
