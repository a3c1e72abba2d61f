// StretchRect: which surface kinds and pools may be source and destination,
// the other rules of a copy, and nearest and bilinear stretching by known
// answers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fake_device_context.h"
#include "runtime/d3d9/resources.h"
#include "vellorn/com_ptr.h"

namespace {

constexpr HRESULT kBad = D3DERR_INVALIDCALL;

enum class Kind {
    RenderTarget,
    RenderTargetLevel,
    Offscreen,
    Level,
    DynamicLevel,
    SystemOffscreen,
    ManagedLevel,
    ScratchOffscreen,
    SystemLevel,
};
constexpr Kind kKinds[] = {Kind::RenderTarget, Kind::RenderTargetLevel, Kind::Offscreen,
                           Kind::Level,        Kind::DynamicLevel,      Kind::SystemOffscreen,
                           Kind::ManagedLevel, Kind::ScratchOffscreen,  Kind::SystemLevel};

// A surface of kind, width x height in format; a texture level keeps its
// texture alive through its own reference.
ComPtr<IDirect3DSurface9> Make(FakeDeviceContext& device, Kind kind, UINT width, UINT height,
                               D3DFORMAT format = D3DFMT_A8R8G8B8) {
    auto level = [&](DWORD usage, D3DPOOL pool) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(CreateTextureResource(device, width, height, 1, usage, format, pool, &texture),
                  S_OK);
        ComPtr<IDirect3DSurface9> surface;
        if (texture != nullptr) {
            texture->GetSurfaceLevel(0, surface.ReleaseAndGetAddressOf());
            texture->Release();
        }
        return surface;
    };
    auto standAlone = [&](D3DPOOL pool, DWORD usage) {
        IDirect3DSurface9* surface = nullptr;
        EXPECT_EQ(CreateSurfaceResource(device, width, height, format, pool, usage, true, &surface),
                  S_OK);
        return ComPtr<IDirect3DSurface9>::Adopt(surface);
    };
    switch (kind) {
        case Kind::RenderTarget: return standAlone(D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET);
        case Kind::RenderTargetLevel: return level(D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
        case Kind::Offscreen: return standAlone(D3DPOOL_DEFAULT, 0);
        case Kind::Level: return level(0, D3DPOOL_DEFAULT);
        case Kind::DynamicLevel: return level(D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT);
        case Kind::SystemOffscreen: return standAlone(D3DPOOL_SYSTEMMEM, 0);
        case Kind::ManagedLevel: return level(0, D3DPOOL_MANAGED);
        case Kind::ScratchOffscreen: return standAlone(D3DPOOL_SCRATCH, 0);
        case Kind::SystemLevel: return level(0, D3DPOOL_SYSTEMMEM);
    }
    return {};
}

// ---- source and destination kinds ----

struct KindRow {
    Kind source;
    // Per destination in kKinds order, Y when allowed: a copy of one size,
    // and a stretch from 8 x 8 to 4 x 4.
    const char* copies;
    const char* stretches;
};

class StretchKinds : public ::testing::TestWithParam<KindRow> {};

TEST_P(StretchKinds, FollowTheDeviceRules) {
    const KindRow& row = GetParam();
    ASSERT_EQ(std::string(row.copies).size(), std::size(kKinds));
    ASSERT_EQ(std::string(row.stretches).size(), std::size(kKinds));
    FakeDeviceContext device;
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        for (bool stretch : {false, true}) {
            ComPtr<IDirect3DSurface9> source = Make(device, row.source, 8, 8);
            ComPtr<IDirect3DSurface9> target = Make(device, kKinds[i], 4, 4);
            const RECT rect{0, 0, 4, 4};
            const bool allowed = (stretch ? row.stretches : row.copies)[i] == 'Y';
            EXPECT_EQ(StretchRectResource(source.Get(), stretch ? nullptr : &rect, target.Get(),
                                          nullptr, D3DTEXF_LINEAR),
                      allowed ? S_OK : kBad)
                << "destination " << i << (stretch ? " stretching" : " copying");
        }
    }
}

// Destinations: RenderTarget, RenderTargetLevel, Offscreen, Level,
// DynamicLevel, SystemOffscreen, ManagedLevel, ScratchOffscreen, SystemLevel.
INSTANTIATE_TEST_SUITE_P(
    Rules, StretchKinds,
    ::testing::Values(KindRow{Kind::RenderTarget, "YYNNNNNNN", "YYNNNNNNN"},
                      KindRow{Kind::RenderTargetLevel, "YYNNNNNNN", "YYNNNNNNN"},
                      KindRow{Kind::Offscreen, "YYYNNNNNN", "YYNNNNNNN"},
                      KindRow{Kind::Level, "NNNNNNNNN", "NNNNNNNNN"},
                      KindRow{Kind::DynamicLevel, "NNNNNNNNN", "NNNNNNNNN"},
                      KindRow{Kind::SystemOffscreen, "NNNNNNNNN", "NNNNNNNNN"},
                      KindRow{Kind::ManagedLevel, "NNNNNNNNN", "NNNNNNNNN"},
                      KindRow{Kind::ScratchOffscreen, "NNNNNNNNN", "NNNNNNNNN"},
                      KindRow{Kind::SystemLevel, "NNNNNNNNN", "NNNNNNNNN"}));

// ---- the other rules ----

TEST(StretchRect, RefusesMixedFormatsBadRectsLocksAndFilters) {
    FakeDeviceContext device;
    // R32F as a render-target format, to reach a format LINEAR cannot blend.
    for (FormatSupport& support : device.profile.formats) {
        support.renderTarget = support.renderTarget || support.format == D3DFMT_R32F;
    }
    ComPtr<IDirect3DSurface9> source = Make(device, Kind::RenderTarget, 8, 8);
    ComPtr<IDirect3DSurface9> target = Make(device, Kind::RenderTarget, 8, 8);
    ComPtr<IDirect3DSurface9> other = Make(device, Kind::RenderTarget, 8, 8, D3DFMT_X8R8G8B8);
    ComPtr<IDirect3DSurface9> floats = Make(device, Kind::RenderTarget, 8, 8, D3DFMT_R32F);
    ComPtr<IDirect3DSurface9> smallFloats = Make(device, Kind::RenderTarget, 4, 4, D3DFMT_R32F);
    const RECT left{0, 0, 4, 8};
    const RECT right{4, 0, 8, 8};
    const RECT overlapping{2, 0, 6, 8};
    const RECT outside{4, 4, 9, 8};
    const RECT empty{2, 2, 2, 6};
    const RECT negative{-1, 0, 3, 8};
    const RECT corner{0, 0, 4, 4};
    struct Case {
        const char* name;
        IDirect3DSurface9* source;
        const RECT* sourceRect;
        IDirect3DSurface9* target;
        const RECT* targetRect;
        D3DTEXTUREFILTERTYPE filter;
        HRESULT expected;
    };
    const Case cases[] = {
        {"same format", source.Get(), nullptr, target.Get(), nullptr, D3DTEXF_NONE, S_OK},
        {"other format", source.Get(), nullptr, other.Get(), nullptr, D3DTEXF_NONE, kBad},
        {"disjoint rects on one surface", source.Get(), &left, source.Get(), &right, D3DTEXF_POINT,
         S_OK},
        {"overlapping rects on one surface", source.Get(), &left, source.Get(), &overlapping,
         D3DTEXF_POINT, kBad},
        {"whole surface onto itself", source.Get(), nullptr, source.Get(), nullptr, D3DTEXF_POINT,
         kBad},
        {"source rect outside", source.Get(), &outside, target.Get(), nullptr, D3DTEXF_POINT, kBad},
        {"empty destination rect", source.Get(), nullptr, target.Get(), &empty, D3DTEXF_POINT,
         kBad},
        {"negative source rect", source.Get(), &negative, target.Get(), &left, D3DTEXF_POINT, kBad},
        {"anisotropic filter", source.Get(), nullptr, target.Get(), nullptr, D3DTEXF_ANISOTROPIC,
         kBad},
        {"null source", nullptr, nullptr, target.Get(), nullptr, D3DTEXF_POINT, kBad},
        {"float stretch, linear", floats.Get(), nullptr, smallFloats.Get(), nullptr, D3DTEXF_LINEAR,
         kBad},
        {"float stretch, point", floats.Get(), nullptr, smallFloats.Get(), nullptr, D3DTEXF_POINT,
         S_OK},
        {"float copy of one size, linear", floats.Get(), &corner, smallFloats.Get(), nullptr,
         D3DTEXF_LINEAR, S_OK},
    };
    for (const Case& c : cases) {
        const char* refusal = nullptr;
        EXPECT_EQ(
            StretchRectResource(c.source, c.sourceRect, c.target, c.targetRect, c.filter, &refusal),
            c.expected)
            << c.name;
        // A refusal names the rule; success names none.
        EXPECT_EQ(refusal != nullptr, FAILED(c.expected)) << c.name;
    }
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(source->LockRect(&locked, nullptr, 0), S_OK);
    EXPECT_EQ(StretchRectResource(source.Get(), nullptr, target.Get(), nullptr, D3DTEXF_NONE),
              kBad);
    ASSERT_EQ(source->UnlockRect(), S_OK);
}

// ---- filtering ----

void Write(IDirect3DSurface9* surface, const std::vector<std::uint32_t>& pixels, UINT width) {
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), S_OK);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        std::memcpy(static_cast<BYTE*>(locked.pBits) + (i / width) * locked.Pitch + (i % width) * 4,
                    &pixels[i], 4);
    }
    ASSERT_EQ(surface->UnlockRect(), S_OK);
}

std::vector<std::uint32_t> Read(IDirect3DSurface9* surface, UINT width, UINT height) {
    const SurfaceStorage* storage = StorageOf(surface);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        std::memcpy(&pixels[i], storage->data + (i / width) * storage->pitch + (i % width) * 4, 4);
    }
    return pixels;
}

// Grey levels as A8R8G8B8, every channel (alpha too) holding the level.
std::vector<std::uint32_t> Greys(std::vector<std::uint32_t> levels) {
    for (std::uint32_t& level : levels) {
        level *= 0x01010101u;
    }
    return levels;
}

struct FilterCase {
    const char* name;
    D3DTEXTUREFILTERTYPE filter;
    UINT sourceWidth, sourceHeight;
    std::vector<std::uint32_t> source;  // grey levels
    UINT width, height;
    std::vector<std::uint32_t> expected;  // grey levels
};

class StretchFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(StretchFilter, GivesKnownAnswers) {
    const FilterCase& c = GetParam();
    FakeDeviceContext device;
    ComPtr<IDirect3DSurface9> source =
        Make(device, Kind::RenderTarget, c.sourceWidth, c.sourceHeight);
    ComPtr<IDirect3DSurface9> target = Make(device, Kind::RenderTarget, c.width, c.height);
    Write(source.Get(), Greys(c.source), c.sourceWidth);
    ASSERT_EQ(StretchRectResource(source.Get(), nullptr, target.Get(), nullptr, c.filter), S_OK);
    EXPECT_EQ(Read(target.Get(), c.width, c.height), Greys(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    KnownAnswers, StretchFilter,
    ::testing::Values(
        FilterCase{"LinearWidens", D3DTEXF_LINEAR, 2, 1, {0, 255}, 4, 1, {0, 64, 191, 255}},
        FilterCase{"PointWidens", D3DTEXF_POINT, 2, 1, {0, 255}, 4, 1, {0, 0, 255, 255}},
        FilterCase{"NoneWidens", D3DTEXF_NONE, 2, 1, {0, 255}, 4, 1, {0, 0, 255, 255}},
        FilterCase{"LinearNarrows", D3DTEXF_LINEAR, 4, 1, {0, 100, 200, 255}, 2, 1, {50, 228}},
        FilterCase{"PointNarrows", D3DTEXF_POINT, 4, 1, {0, 100, 200, 255}, 2, 1, {100, 255}},
        FilterCase{"LinearInTwoDimensions",
                   D3DTEXF_LINEAR,
                   2,
                   2,
                   {0, 255, 255, 0},
                   4,
                   4,
                   {0, 64, 191, 255, 64, 96, 159, 191, 191, 159, 96, 64, 255, 191, 64, 0}},
        FilterCase{"PointInTwoDimensions",
                   D3DTEXF_POINT,
                   2,
                   2,
                   {0, 255, 255, 0},
                   4,
                   4,
                   {0, 0, 255, 255, 0, 0, 255, 255, 255, 255, 0, 0, 255, 255, 0, 0}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
