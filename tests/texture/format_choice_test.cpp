// The cost function on known answers and the closest-format search, without
// a device and against the headless software device under profiles that
// offer different formats.
#include "texture/format_choice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <vector>

#include "platform/diagnostics.h"
#include "runtime/d3d9/device_test_support.h"

namespace {

// The row of format, described without naming a format, as the loader asks
// when the image format itself may not be available.
FormatInfo Described(D3DFORMAT format) {
    FormatInfo row = LookupFormatInfo(format);
    row.format = D3DFMT_UNKNOWN;
    return row;
}

// The colour-key request: the row of format with a 1-bit alpha channel.
FormatInfo WithOneBitAlpha(D3DFORMAT format) {
    FormatInfo row = Described(format);
    row.channelBits[kAlphaChannel] = 1;
    return row;
}

constexpr FormatInfo kNoChannels = {D3DFMT_UNKNOWN, FormatKind::Color, 0, {0, 0, 0, 0, 0}, false};

struct DistanceCase {
    FormatInfo request;
    D3DFORMAT candidate;
    DWORD expected;
};

TEST(FormatDistanceTest, KnownAnswers) {
    constexpr DWORD kLostBit = 0x10000;
    constexpr DWORD kLostChannel = 0x1000000;
    const DistanceCase cases[] = {
        // Colour key: one alpha bit gained up to eight, or up to two plus
        // two bits in each colour channel.
        {WithOneBitAlpha(D3DFMT_X8R8G8B8), D3DFMT_A8R8G8B8, 7},
        {WithOneBitAlpha(D3DFMT_X8R8G8B8), D3DFMT_A2B10G10R10, 7},
        {WithOneBitAlpha(D3DFMT_L8), D3DFMT_A8L8, 7},
        {WithOneBitAlpha(D3DFMT_L8), D3DFMT_A8R8G8B8, 7},
        {LookupFormatInfo(D3DFMT_R5G6B5), D3DFMT_X8R8G8B8, 3 + 2 + 3},
        {LookupFormatInfo(D3DFMT_R3G3B2), D3DFMT_A8R8G8B8, 256 + 5 + 5 + 6},
        {LookupFormatInfo(D3DFMT_A8), D3DFMT_A8R8G8B8, 3 * 256},
        {LookupFormatInfo(D3DFMT_A8R8G8B8), D3DFMT_A1R5G5B5, (7 + 3 + 3 + 3) * kLostBit},
        {LookupFormatInfo(D3DFMT_A8R8G8B8), D3DFMT_R5G6B5, kLostChannel + (3 + 2 + 3) * kLostBit},
        {LookupFormatInfo(D3DFMT_A32B32G32R32F), D3DFMT_A1R5G5B5, (31 + 3 * 27) * kLostBit},
        {LookupFormatInfo(D3DFMT_G16R16), D3DFMT_R16F, kLostChannel},
        {LookupFormatInfo(D3DFMT_R16F), D3DFMT_G16R16F, 256},
        {LookupFormatInfo(D3DFMT_D16), D3DFMT_D24S8, 256 + 8},
        {LookupFormatInfo(D3DFMT_D24S8), D3DFMT_D16, kLostChannel + 8 * kLostBit},
        {LookupFormatInfo(D3DFMT_V8U8), D3DFMT_X8L8V8U8, 256},
        // Palette and luminance data may be held in colour formats.
        {LookupFormatInfo(D3DFMT_P8), D3DFMT_A8R8G8B8, 0},
        {LookupFormatInfo(D3DFMT_L8), D3DFMT_A8R8G8B8, 256},
        // Incompatible kinds.
        {LookupFormatInfo(D3DFMT_A8R8G8B8), D3DFMT_A8P8, kUnusableFormatDistance},
        {LookupFormatInfo(D3DFMT_A8R8G8B8), D3DFMT_A8L8, kUnusableFormatDistance},
        {LookupFormatInfo(D3DFMT_A8R8G8B8), D3DFMT_Q8W8V8U8, kUnusableFormatDistance},
        {LookupFormatInfo(D3DFMT_L8), D3DFMT_P8, kUnusableFormatDistance},
        {LookupFormatInfo(D3DFMT_V8U8), D3DFMT_A8R8G8B8, kUnusableFormatDistance},
        {LookupFormatInfo(D3DFMT_D16), D3DFMT_L16, kUnusableFormatDistance},
        // Every channel the request has would be lost.
        {LookupFormatInfo(D3DFMT_X8R8G8B8), D3DFMT_A8, kUnusableFormatDistance},
        {LookupFormatInfo(D3DFMT_A8), D3DFMT_X8R8G8B8, kUnusableFormatDistance},
        {kNoChannels, D3DFMT_A8R8G8B8, kUnusableFormatDistance},
    };
    for (const DistanceCase& c : cases) {
        EXPECT_EQ(FormatDistance(c.request, LookupFormatInfo(c.candidate)), c.expected)
            << "candidate " << c.candidate;
    }
    EXPECT_EQ(FormatDistance(kNoChannels, kNoChannels), kUnusableFormatDistance);
}

struct ChoiceCase {
    FormatInfo request;
    D3DFORMAT expected;
};

TEST(FindClosestFormatTest, WithoutDeviceEveryRowCounts) {
    const ChoiceCase cases[] = {
        {LookupFormatInfo(D3DFMT_X8R8G8B8), D3DFMT_X8R8G8B8},
        // An exact match is taken even where the row may not substitute.
        {LookupFormatInfo(D3DFMT_DXT1), D3DFMT_DXT1},
        // Without their own rows the block formats fall to the first 32-bit
        // row of equal cost.
        {Described(D3DFMT_DXT1), D3DFMT_A8R8G8B8},
        {Described(D3DFMT_R8G8B8), D3DFMT_X8R8G8B8},
        {Described(D3DFMT_A16B16G16R16F), D3DFMT_A16B16G16R16},
        {Described(D3DFMT_CxV8U8), D3DFMT_X8L8V8U8},
        {Described(D3DFMT_D24FS8), D3DFMT_D24S8},
        // Equal costs go to the row with the fewest bits per pixel.
        {Described(D3DFMT_A8P8), D3DFMT_P8},
        {WithOneBitAlpha(D3DFMT_X8R8G8B8), D3DFMT_A8R8G8B8},
        {WithOneBitAlpha(D3DFMT_L8), D3DFMT_A8L8},
        {kNoChannels, D3DFMT_UNKNOWN},
    };
    for (const ChoiceCase& c : cases) {
        EXPECT_EQ(FindClosestFormat(nullptr, 0, D3DRTYPE_TEXTURE, c.request), c.expected)
            << "expected " << c.expected;
    }
}

FormatSupport Offer(D3DFORMAT format, bool cube = false, bool renderTarget = false) {
    FormatSupport support{};
    support.format = format;
    support.texture = true;
    support.cubeTexture = cube;
    support.renderTarget = renderTarget;
    support.vertexTexture = true;
    return support;
}

struct DeviceCase {
    const char* name;
    std::optional<std::vector<FormatSupport>> offered;  // none: the default profile
    FormatInfo request;
    DWORD usage;
    D3DRESOURCETYPE resourceType;
    D3DFORMAT expected;
    long checks;  // CheckDeviceFormat calls
};

void PrintTo(const DeviceCase& c, std::ostream* os) {
    *os << c.name;
}

class FindClosestFormatDeviceTest : public DeviceTest,
                                    public testing::WithParamInterface<DeviceCase> {
  protected:
    // A device of the default profile, offering only offered when given;
    // X8R8G8B8 is always offered as a render target, for the back buffer.
    ComPtr<IDirect3DDevice9> MakeDeviceOffering(
        const std::optional<std::vector<FormatSupport>>& offered,
        DWORD behaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING) {
        DeviceProfile profile = DefaultDeviceProfile();
        if (offered) {
            profile.formats = *offered;
            auto backBuffer = std::find_if(
                profile.formats.begin(), profile.formats.end(),
                [](const FormatSupport& support) { return support.format == D3DFMT_X8R8G8B8; });
            if (backBuffer == profile.formats.end()) {
                FormatSupport renderTargetOnly{};
                renderTargetOnly.format = D3DFMT_X8R8G8B8;
                profile.formats.push_back(renderTargetOnly);
                backBuffer = profile.formats.end() - 1;
            }
            backBuffer->renderTarget = true;
        }
        UseProfile(profile);
        ComPtr<IDirect3DDevice9> device;
        EXPECT_EQ(CreateDevice(D3DDEVTYPE_HAL, behaviour, &device), S_OK);
        return device;
    }

    static long CheckCalls() {
        return std::count(CallLog().begin(), CallLog().end(), "CheckDeviceFormat");
    }
};

TEST_P(FindClosestFormatDeviceTest, ChoosesAmongOfferedFormats) {
    const DeviceCase& c = GetParam();
    ComPtr<IDirect3DDevice9> device = MakeDeviceOffering(c.offered);
    ASSERT_TRUE(device);
    ClearCallLog();
    EXPECT_EQ(FindClosestFormat(device.Get(), c.usage, c.resourceType, c.request), c.expected);
    EXPECT_EQ(CheckCalls(), c.checks);
}

const std::vector<FormatSupport> kColourKeyTies = {
    Offer(D3DFMT_A2R10G10B10), Offer(D3DFMT_A8B8G8R8), Offer(D3DFMT_A2B10G10R10)};

INSTANTIATE_TEST_SUITE_P(
    Profiles, FindClosestFormatDeviceTest,
    testing::Values(
        DeviceCase{"ExactMatchStopsAtRow3", std::nullopt, LookupFormatInfo(D3DFMT_X8R8G8B8), 0,
                   D3DRTYPE_TEXTURE, D3DFMT_X8R8G8B8, 3},
        DeviceCase{"ExactBlockFormatStopsAtRow40", std::nullopt, LookupFormatInfo(D3DFMT_DXT5), 0,
                   D3DRTYPE_TEXTURE, D3DFMT_DXT5, 40},
        DeviceCase{"MissingFormatGetsItsTwin",
                   std::vector{Offer(D3DFMT_X8R8G8B8), Offer(D3DFMT_A8B8G8R8)},
                   LookupFormatInfo(D3DFMT_A8R8G8B8), 0, D3DRTYPE_TEXTURE, D3DFMT_A8B8G8R8, 57},
        DeviceCase{"EqualCostAndBitsGoToTheEarlierRow", kColourKeyTies,
                   WithOneBitAlpha(D3DFMT_X8R8G8B8), 0, D3DRTYPE_TEXTURE, D3DFMT_A2B10G10R10, 57},
        DeviceCase{"EqualCostGoesToFewerBits",
                   std::vector{Offer(D3DFMT_A8R8G8B8), Offer(D3DFMT_A8L8)},
                   WithOneBitAlpha(D3DFMT_L8), 0, D3DRTYPE_TEXTURE, D3DFMT_A8L8, 57},
        DeviceCase{"LosingEveryChannelIsNoChoice", std::vector{Offer(D3DFMT_A8)},
                   LookupFormatInfo(D3DFMT_X8R8G8B8), 0, D3DRTYPE_TEXTURE, D3DFMT_UNKNOWN, 57},
        DeviceCase{"NothingOffered", std::vector<FormatSupport>{},
                   LookupFormatInfo(D3DFMT_A8R8G8B8), 0, D3DRTYPE_TEXTURE, D3DFMT_UNKNOWN, 57},
        DeviceCase{"ResourceTypeIsAsked",
                   std::vector{Offer(D3DFMT_A8R8G8B8), Offer(D3DFMT_X8R8G8B8, true)},
                   LookupFormatInfo(D3DFMT_A8R8G8B8), 0, D3DRTYPE_CUBETEXTURE, D3DFMT_X8R8G8B8, 57},
        DeviceCase{"UsageIsAsked",
                   std::vector{Offer(D3DFMT_A8R8G8B8), Offer(D3DFMT_A4R4G4B4, false, true)},
                   LookupFormatInfo(D3DFMT_A8R8G8B8), D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE,
                   D3DFMT_A4R4G4B4, 57}),
    [](const testing::TestParamInfo<DeviceCase>& info) { return info.param.name; });

TEST_F(FindClosestFormatDeviceTest, AsksForTheDevicesOwnType) {
    DeviceProfile profile = DefaultDeviceProfile();
    profile.halAvailable = false;
    UseProfile(profile);
    ComPtr<IDirect3DDevice9> device;
    ASSERT_EQ(CreateDevice(D3DDEVTYPE_REF, D3DCREATE_HARDWARE_VERTEXPROCESSING, &device), S_OK);
    EXPECT_EQ(
        FindClosestFormat(device.Get(), 0, D3DRTYPE_TEXTURE, LookupFormatInfo(D3DFMT_A8R8G8B8)),
        D3DFMT_A8R8G8B8);
}

// The creation parameters are read only for vertex-texture queries. A device
// that cannot be queried yields no format, asks for none, and the diagnostic
// channel ends unmuted.
TEST_F(FindClosestFormatDeviceTest, FailedDeviceQueriesChooseNothing) {
    ComPtr<IDirect3DDevice9> device = MakeDeviceOffering(std::vector{Offer(D3DFMT_A8R8G8B8)},
                                                         D3DCREATE_SOFTWARE_VERTEXPROCESSING);
    ASSERT_TRUE(device);
    const FormatInfo request = LookupFormatInfo(D3DFMT_A8R8G8B8);
    ClearCallLog();
    ASSERT_EQ(
        FindClosestFormat(device.Get(), D3DUSAGE_QUERY_VERTEXTEXTURE, D3DRTYPE_TEXTURE, request),
        D3DFMT_A8R8G8B8);
    EXPECT_NE(std::find(CallLog().begin(), CallLog().end(), "GetCreationParameters"),
              CallLog().end());
    ClearCallLog();
    ASSERT_EQ(FindClosestFormat(device.Get(), 0, D3DRTYPE_TEXTURE, request), D3DFMT_A8R8G8B8);
    EXPECT_EQ(std::find(CallLog().begin(), CallLog().end(), "GetCreationParameters"),
              CallLog().end());

    for (const char* operation :
         {"GetDirect3D", "GetDeviceCaps", "GetDisplayMode", "GetCreationParameters"}) {
        SCOPED_TRACE(operation);
        SetDebugMute(TRUE);
        InjectFault(operation, 1, E_FAIL);
        ClearCallLog();
        EXPECT_EQ(FindClosestFormat(device.Get(), D3DUSAGE_QUERY_VERTEXTEXTURE, D3DRTYPE_TEXTURE,
                                    request),
                  D3DFMT_UNKNOWN);
        EXPECT_EQ(CheckCalls(), 0);
        EXPECT_FALSE(diagnosticChannel.debugMuted);
    }
}

}  // namespace
