// The surface and volume loads on the headless software device: results of
// colour-keyed loads, the filter words they take, the device copies chosen
// by pool, the scratch copies behind surfaces that cannot be locked, and the
// failures they report.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "pixel/load_test_support.h"

namespace {

constexpr RECT kInner = {2, 2, 6, 6};

// Pixels of an 8 x 8 surface after loading the 4 x 4 image loaded into
// kInner, or the whole 8 x 8 loaded image.
std::vector<std::uint32_t> Loaded(std::vector<std::uint32_t> before,
                                  const std::vector<std::uint32_t>& image) {
    if (image.size() == before.size()) {
        return image;
    }
    for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 4; ++x) {
            before[(y + 2) * 8 + x + 2] = image[y * 4 + x];
        }
    }
    return before;
}

TEST_F(LoadTest, KeyedWhiteBecomesTransparentBlackAndEveryOtherPixelKeepsItsBits) {
    constexpr UINT kSize = 64;
    constexpr UINT kPitch = kSize * 4 + 12;
    std::vector<std::uint32_t> pixels = Pattern(kSize * kSize);
    pixels[0] = 0xFFFFFFFF;
    pixels[1] = 0x00FFFFFF;  // the X byte does not take part
    pixels[2] = 0xFFFFFFFE;
    pixels[3] = 0xFFFEFFFF;
    std::vector<BYTE> memory(std::size_t{kPitch} * kSize);
    for (UINT y = 0; y < kSize; ++y) {
        std::memcpy(memory.data() + y * kPitch, pixels.data() + y * kSize, kSize * 4);
    }
    ComPtr<IDirect3DTexture9> texture = Texture(kSize, kSize, D3DPOOL_SYSTEMMEM);
    const RECT rect = {0, 0, kSize, kSize};

    ASSERT_EQ(D3DXLoadSurfaceFromMemory(Level(texture.Get()).Get(), nullptr, nullptr, memory.data(),
                                        D3DFMT_X8R8G8B8, kPitch, nullptr, &rect, D3DX_DEFAULT,
                                        0xFFFFFFFF),
              S_OK);
    const std::vector<std::uint32_t> result = Read(Level(texture.Get()).Get());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t rgb = pixels[i] & 0xFFFFFF;
        ASSERT_EQ(result[i], rgb == 0xFFFFFF ? 0u : 0xFF000000 | rgb) << "pixel " << i;
    }
}

// Resizing with D3DX_DEFAULT gives exactly the dithered triangle filter's
// bytes, and neither the undithered one's nor another filter's.
TEST_F(LoadTest, DefaultResizingIsTheDitheredTriangle) {
    std::vector<std::uint32_t> image(300 * 200);
    for (UINT y = 0; y < 200; ++y) {
        for (UINT x = 0; x < 300; ++x) {
            image[y * 300 + x] =
                0xFF000000 | (x * 255 / 299) << 16 | (y * 255 / 199) << 8 | ((x + y) * 255 / 498);
        }
    }
    const RECT rect = {0, 0, 300, 200};
    const auto load = [&](DWORD filter) {
        ComPtr<IDirect3DTexture9> texture = Texture(256, 256, D3DPOOL_SYSTEMMEM, 0, D3DFMT_R5G6B5);
        EXPECT_EQ(
            D3DXLoadSurfaceFromMemory(Level(texture.Get()).Get(), nullptr, nullptr, image.data(),
                                      D3DFMT_A8R8G8B8, 300 * 4, nullptr, &rect, filter, 0),
            S_OK);
        return ReadBytes(Level(texture.Get()).Get(), 256 * 2, 256);
    };
    const std::vector<BYTE> byDefault = load(D3DX_DEFAULT);
    EXPECT_EQ(byDefault, load(D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER));
    EXPECT_NE(byDefault, load(D3DX_FILTER_TRIANGLE));
    EXPECT_NE(byDefault, load(D3DX_FILTER_LINEAR | D3DX_FILTER_DITHER));
    EXPECT_NE(byDefault, load(D3DX_FILTER_BOX | D3DX_FILTER_DITHER | D3DX_FILTER_MIRROR));
}

TEST_F(LoadTest, FilterWordsAreCheckedAndTheDefaultIsAccepted) {
    const struct {
        DWORD filter;
        HRESULT expected;
    } cases[] = {
        {6, D3DERR_INVALIDCALL}, {0x800001, D3DERR_INVALIDCALL},
        {0, D3DERR_INVALIDCALL}, {D3DX_FILTER_DITHER, D3DERR_INVALIDCALL},
        {D3DX_DEFAULT, S_OK},    {D3DX_FILTER_BOX | D3DX_FILTER_MIRROR, S_OK},
        {0x7F0001, S_OK},  // every flag
    };
    const std::vector<std::uint32_t> image = Pattern(16);
    const RECT rect = {0, 0, 4, 4};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filter);
        messages_.clear();
        ComPtr<IDirect3DTexture9> texture = Texture(4, 4, D3DPOOL_MANAGED);
        EXPECT_EQ(
            D3DXLoadSurfaceFromMemory(Level(texture.Get()).Get(), nullptr, nullptr, image.data(),
                                      D3DFMT_A8R8G8B8, 16, nullptr, &rect, c.filter, 0),
            c.expected);
        EXPECT_EQ(Reported("Invalid image filter"), FAILED(c.expected));
        if (SUCCEEDED(c.expected)) {
            EXPECT_EQ(Read(Level(texture.Get()).Get()), image);
        }
    }
}

TEST_F(LoadTest, ArgumentErrorsAreReportedAndRefused) {
    ComPtr<IDirect3DSurface9> surface = Level(Texture(4, 4, D3DPOOL_MANAGED).Get());
    ComPtr<IDirect3DVolumeTexture9> volumes = VolumeTexture(4, 4, 2, D3DPOOL_MANAGED);
    ComPtr<IDirect3DVolume9> volume = VolumeLevel(volumes.Get());
    ComPtr<IDirect3DVolume9> videoVolume =
        VolumeLevel(VolumeTexture(4, 4, 2, D3DPOOL_DEFAULT).Get());
    std::vector<std::uint32_t> memory(64);
    IDirect3DSurface9* s = surface.Get();
    IDirect3DVolume9* v = volume.Get();
    const void* m = memory.data();
    const RECT r = {0, 0, 4, 4};
    const D3DBOX b = {0, 0, 4, 4, 0, 2};
    const auto fromMemory = [&](IDirect3DSurface9* to, const void* from, const RECT* rect,
                                UINT pitch = 16, const RECT* toRect = nullptr) {
        return D3DXLoadSurfaceFromMemory(to, nullptr, toRect, from, D3DFMT_A8R8G8B8, pitch, nullptr,
                                         rect, D3DX_FILTER_NONE, 0);
    };
    const auto fromSurface = [&](IDirect3DSurface9* to, IDirect3DSurface9* from,
                                 const RECT* rect = nullptr) {
        return D3DXLoadSurfaceFromSurface(to, nullptr, nullptr, from, nullptr, rect,
                                          D3DX_FILTER_NONE, 0);
    };
    const auto volumeFromMemory = [&](IDirect3DVolume9* to, const void* from, const D3DBOX* box,
                                      UINT slicePitch = 64, const D3DBOX* toBox = nullptr) {
        return D3DXLoadVolumeFromMemory(to, nullptr, toBox, from, D3DFMT_A8R8G8B8, 16, slicePitch,
                                        nullptr, box, D3DX_FILTER_NONE, 0);
    };
    const auto fromVolume = [&](IDirect3DVolume9* to, IDirect3DVolume9* from) {
        return D3DXLoadVolumeFromVolume(to, nullptr, nullptr, from, nullptr, nullptr,
                                        D3DX_FILTER_NONE, 0);
    };
    const RECT outside = {0, 0, 5, 4};
    const RECT inverted = {2, 0, 1, 4};
    const RECT negative = {-1, 0, 3, 4};
    const RECT farRows = {0, 0x7FFFFFF0, 4, 0x7FFFFFFF};
    const D3DBOX deepBox = {0, 0, 4, 4, 0, 3};
    const D3DBOX invertedBox = {0, 0, 4, 4, 2, 1};
    const D3DBOX farSlices = {0, 0, 4, 4, 0xFFFFFFF0, 0xFFFFFFFF};
    const struct {
        const char* name;
        std::function<HRESULT()> call;
        const char* message;
    } cases[] = {
        {"no destination surface", [&] { return fromMemory(nullptr, m, &r); },
         "pDestSurface pointer is invalid"},
        {"no source memory", [&] { return fromMemory(s, nullptr, &r); },
         "pSrcMemory pointer is invalid"},
        {"no source rect", [&] { return fromMemory(s, m, nullptr); },
         "pSrcRect pointer is invalid"},
        {"no destination for a surface", [&] { return fromSurface(nullptr, s); },
         "pDestSurface pointer is invalid"},
        {"no source surface", [&] { return fromSurface(s, nullptr); },
         "pSrcSurface pointer is invalid"},
        {"no destination volume", [&] { return volumeFromMemory(nullptr, m, &b); },
         "pDestVolume pointer is invalid"},
        {"no source memory for a volume", [&] { return volumeFromMemory(v, nullptr, &b); },
         "pSrcMemory pointer is invalid"},
        {"no source box", [&] { return volumeFromMemory(v, m, nullptr); },
         "pSrcBox pointer is invalid"},
        {"no destination for a volume", [&] { return fromVolume(nullptr, v); },
         "pDestVolume pointer is invalid"},
        {"no source volume", [&] { return fromVolume(v, nullptr); },
         "pSrcVolume pointer is invalid"},
        {"destination rect outside", [&] { return fromMemory(s, m, &r, 16, &outside); },
         "Invalid rect"},
        {"destination rect inverted", [&] { return fromMemory(s, m, &r, 16, &inverted); },
         "Invalid rect"},
        {"source surface rect outside", [&] { return fromSurface(s, s, &negative); },
         "Invalid rect"},
        {"memory rect negative", [&] { return fromMemory(s, m, &negative); }, "Invalid rect"},
        {"memory rect inverted", [&] { return fromMemory(s, m, &inverted); }, "Invalid rect"},
        {"memory rows beyond the address space",
         [&] { return fromMemory(s, m, &farRows, 0xFFFFFFFF); }, "Invalid rect"},
        {"destination box outside", [&] { return volumeFromMemory(v, m, &b, 64, &deepBox); },
         "Invalid source box"},
        {"memory box inverted", [&] { return volumeFromMemory(v, m, &invertedBox); },
         "Invalid source box"},
        {"memory slices beyond the address space",
         [&] { return volumeFromMemory(v, m, &farSlices, 0xFFFFFFFF); }, "Invalid source box"},
        {"video-memory volume", [&] { return volumeFromMemory(videoVolume.Get(), m, &b); },
         "Cannot lock non-dynamic vidmem volumes"},
        {"volume into itself", [&] { return fromVolume(v, v); }, "Could not lock volume"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.clear();
        EXPECT_EQ(c.call(), D3DERR_INVALIDCALL);
        EXPECT_TRUE(Reported(c.message));
    }
}

struct Side {
    D3DPOOL pool;
    DWORD usage;
    D3DFORMAT format;
};
constexpr Side kRenderTarget = {D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8};
constexpr Side kRenderTargetX8 = {D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8};
constexpr Side kPlainDefault = {D3DPOOL_DEFAULT, 0, D3DFMT_A8R8G8B8};
constexpr Side kDynamic = {D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8};
constexpr Side kSystem = {D3DPOOL_SYSTEMMEM, 0, D3DFMT_A8R8G8B8};
constexpr Side kManaged = {D3DPOOL_MANAGED, 0, D3DFMT_A8R8G8B8};

// Which device calls a surface-to-surface load of one 8 x 8 surface into
// another makes.
struct PoolCase {
    const char* name;
    Side destination;
    Side source;
    DWORD filter;
    DWORD key;
    bool otherPalette;
    int stretches;
    int updates;
    int scratches;
    int renderTargets;
};

void PrintTo(const PoolCase& c, std::ostream* os) {
    *os << c.name;
}

const PoolCase kPoolCases[] = {
    {"DefaultFromDefaultStretches", kRenderTarget, kRenderTarget, 1, 0, false, 1, 0, 0, 0},
    {"DefaultFromSystemUpdates", kRenderTarget, kSystem, 1, 0, false, 0, 1, 0, 0},
    {"ManagedFromSystemLocks", kManaged, kSystem, 1, 0, false, 0, 0, 0, 0},
    {"SystemFromManagedLocks", kSystem, kManaged, 1, 0, false, 0, 0, 0, 0},
    {"DefaultFromManagedWritesScratchBack", kRenderTarget, kManaged, 1, 0, false, 0, 1, 1, 0},
    {"ManagedFromDefaultReadsThroughRenderTarget", kManaged, kRenderTarget, 1, 0, false, 1, 0, 1,
     1},
    {"KeyedSkipsDeviceCopy", kRenderTarget, kSystem, 1, 0x01020304, false, 0, 1, 1, 0},
    {"BoxFilterSkipsDeviceCopy", kRenderTarget, kRenderTarget, D3DX_FILTER_BOX, 0, false, 1, 1, 2,
     1},
    {"OtherPaletteSkipsDeviceCopy", kRenderTarget, kRenderTarget, 1, 0, true, 1, 1, 2, 1},
    // The device refuses to convert formats; its refusal is muted.
    {"RefusedStretchFallsThrough", kRenderTarget, kRenderTargetX8, 1, 0, false, 2, 1, 2, 1},
};

class PoolTest : public LoadTest, public ::testing::WithParamInterface<PoolCase> {};

TEST_P(PoolTest, ChoosesDeviceCopyByPool) {
    const PoolCase& c = GetParam();
    const std::vector<std::uint32_t> pixels = Pattern(64, 3);
    ComPtr<IDirect3DSurface9> source =
        Surface(8, 8, c.source.pool, c.source.usage, pixels, c.source.format);
    ComPtr<IDirect3DSurface9> destination = Surface(8, 8, c.destination.pool, c.destination.usage,
                                                    Pattern(64, 4), c.destination.format);
    ASSERT_TRUE(source && destination);
    PALETTEENTRY palettes[2][256] = {};
    palettes[1][7].peRed = 1;
    ClearCallLog();

    ASSERT_EQ(D3DXLoadSurfaceFromSurface(
                  destination.Get(), c.otherPalette ? palettes[0] : nullptr, nullptr, source.Get(),
                  c.otherPalette ? palettes[1] : nullptr, nullptr, c.filter, c.key),
              S_OK);
    EXPECT_EQ(Calls("StretchRect"), c.stretches);
    EXPECT_EQ(Calls("UpdateSurface"), c.updates);
    EXPECT_EQ(Calls("CreateTexture"), c.scratches);
    EXPECT_EQ(Calls("CreateRenderTarget"), c.renderTargets);
    EXPECT_FALSE(DeviceComplained());
    EXPECT_FALSE(diagnosticChannel.debugMuted);
    EXPECT_FALSE(RuntimeDebugMuted());

    std::vector<std::uint32_t> expected = pixels;
    for (std::uint32_t& p : expected) {
        if (c.source.format == D3DFMT_X8R8G8B8) {
            p |= 0xFF000000;
        }
        if (p == c.key) {
            p = 0;
        }
    }
    EXPECT_EQ(Read(destination.Get()), expected);
}

INSTANTIATE_TEST_SUITE_P(Pools, PoolTest, ::testing::ValuesIn(kPoolCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct Fault {
    const char* operation;
    int nth;
    HRESULT code;
};

enum class Content { Loaded, Unchanged, Unreadable };

// A 4 x 4 image loaded into the middle of an 8 x 8 surface (or an 8 x 8
// image into all of it) while device calls fail.
struct FallbackCase {
    const char* name;
    Side destination;
    bool whole;
    std::vector<Fault> faults;
    HRESULT expected;
    const char* message;  // none when null
    Content content;
    int scratches;
    int renderTargets;
};

void PrintTo(const FallbackCase& c, std::ostream* os) {
    *os << c.name;
}

// The surface locks of a partial load into a surface whose own lock fails:
// 1 the surface, 2 and 3 the copy into the scratch surface, 4 the scratch
// surface; on closing 5 and 6 the copy back when the update is refused.
constexpr const char* kLock = "IDirect3DSurface9::LockRect";

constexpr Fault kLockFails = {kLock, 1, E_FAIL};
constexpr Content kLoaded = Content::Loaded;
constexpr Content kUnchanged = Content::Unchanged;
constexpr Content kUnreadable = Content::Unreadable;

// clang-format off
const FallbackCase kFallbackCases[] = {
    {"LockFailureUsesScratchCopy", kManaged, false, {kLockFails}, S_OK, nullptr, kLoaded, 1, 0},
    {"WriteBackFailureIsReported", kManaged, false, {kLockFails, {kLock, 6, E_FAIL}}, S_OK,
     "Update of vidmem texture failed", kUnchanged, 1, 0},
    {"ScratchTextureUnavailable", kManaged, false,
     {kLockFails, {"CreateTexture", 1, E_OUTOFMEMORY}}, E_OUTOFMEMORY,
     "Failed to create scratch copy of vidmem surface", kUnchanged, 1, 0},
    {"ScratchLevelUnavailable", kManaged, false,
     {kLockFails, {"IDirect3DTexture9::GetSurfaceLevel", 1, D3DERR_NOTAVAILABLE}},
     D3DERR_NOTAVAILABLE, "Failed to create scratch copy of vidmem surface", kUnchanged, 1, 0},
    {"ScratchLockFails", kManaged, false, {kLockFails, {kLock, 4, D3DERR_NOTAVAILABLE}},
     D3DERR_NOTAVAILABLE, "Could not lock surface", kUnchanged, 1, 0},
    // The row copy fails and the device does not stretch-copy a managed
    // surface either.
    {"CopyInFailureIsReturned", kManaged, false, {kLockFails, {kLock, 2, E_FAIL}},
     D3DERR_INVALIDCALL, nullptr, kUnchanged, 1, 1},
    {"RenderTargetCopyIn", kRenderTarget, false, {}, S_OK, nullptr, kLoaded, 1, 1},
    {"RenderTargetUnavailable", kRenderTarget, false, {{"CreateRenderTarget", 1, E_OUTOFMEMORY}},
     E_OUTOFMEMORY, nullptr, kUnchanged, 1, 1},
    {"WholeWriteSkipsCopyIn", kPlainDefault, true, {}, S_OK, nullptr, kUnreadable, 1, 0},
    {"PartialPlainDefaultCannotBeRead", kPlainDefault, false, {}, D3DERR_INVALIDCALL, nullptr,
     kUnreadable, 1, 1},
    {"DynamicLocksDirectly", kDynamic, true, {}, S_OK, nullptr, kLoaded, 0, 0},
    {"DynamicPartialLocksDirectly", kDynamic, false, {}, S_OK, nullptr, kLoaded, 0, 0},
};
// clang-format on

class FallbackTest : public LoadTest, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(FallbackTest, LoadsThroughScratchCopiesOrReportsWhy) {
    const FallbackCase& c = GetParam();
    const std::vector<std::uint32_t> before = Pattern(64, 5);
    ComPtr<IDirect3DSurface9> destination =
        Surface(8, 8, c.destination.pool, c.destination.usage, before);
    ASSERT_TRUE(destination);
    const UINT size = c.whole ? 8 : 4;
    const std::vector<std::uint32_t> image = Pattern(size * size, 6);
    const RECT rect = {0, 0, static_cast<LONG>(size), static_cast<LONG>(size)};
    ClearCallLog();
    for (const Fault& fault : c.faults) {
        InjectFault(fault.operation, fault.nth, fault.code);
    }

    EXPECT_EQ(D3DXLoadSurfaceFromMemory(destination.Get(), nullptr, c.whole ? nullptr : &kInner,
                                        image.data(), D3DFMT_A8R8G8B8, size * 4, nullptr, &rect,
                                        D3DX_FILTER_NONE, 0),
              c.expected);
    EXPECT_EQ(Calls("CreateTexture"), c.scratches);
    EXPECT_EQ(Calls("CreateRenderTarget"), c.renderTargets);
    if (c.message != nullptr) {
        EXPECT_TRUE(Reported(c.message));
    } else {
        EXPECT_FALSE(LibraryReported());
    }
    if (c.content == Content::Loaded) {
        EXPECT_EQ(Read(destination.Get()), Loaded(before, image));
    } else if (c.content == Content::Unchanged) {
        EXPECT_EQ(Read(destination.Get()), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Fallbacks, FallbackTest, ::testing::ValuesIn(kFallbackCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoadTest, LoadIntoItselfReadsFromAScratchCopy) {
    const std::vector<std::uint32_t> pixels = Pattern(16, 8);
    ComPtr<IDirect3DTexture9> texture = Texture(8, 2, D3DPOOL_MANAGED);
    ComPtr<IDirect3DSurface9> surface = Level(texture.Get());
    Write(surface.Get(), pixels);
    const RECT from = {0, 0, 7, 2};
    const RECT to = {1, 0, 8, 2};
    ClearCallLog();

    ASSERT_EQ(D3DXLoadSurfaceFromSurface(surface.Get(), nullptr, &to, surface.Get(), nullptr, &from,
                                         D3DX_FILTER_NONE, 0),
              S_OK);
    EXPECT_EQ(Calls("CreateTexture"), 1);
    std::vector<std::uint32_t> expected = pixels;
    for (UINT y = 0; y < 2; ++y) {
        for (UINT x = 1; x < 8; ++x) {
            expected[y * 8 + x] = pixels[y * 8 + x - 1];
        }
    }
    EXPECT_EQ(Read(surface.Get()), expected);
}

TEST_F(LoadTest, EmptyAreasLockNothing) {
    const std::vector<std::uint32_t> before = Pattern(64, 13);
    ComPtr<IDirect3DSurface9> surface = Surface(8, 8, D3DPOOL_DEFAULT, 0, before);
    ComPtr<IDirect3DVolume9> volume = VolumeLevel(VolumeTexture(4, 4, 2, D3DPOOL_MANAGED).Get());
    const std::vector<std::uint32_t> image = Pattern(16, 14);
    const RECT empty = {2, 3, 2, 7};
    const RECT whole = {0, 0, 4, 4};
    const D3DBOX emptyBox = {1, 1, 3, 3, 1, 1};
    const D3DBOX wholeBox = {0, 0, 2, 2, 0, 1};
    ClearCallLog();
    EXPECT_EQ(D3DXLoadSurfaceFromMemory(surface.Get(), nullptr, &empty, image.data(),
                                        D3DFMT_A8R8G8B8, 16, nullptr, &whole, D3DX_FILTER_NONE, 0),
              S_OK);
    EXPECT_EQ(
        D3DXLoadVolumeFromMemory(volume.Get(), nullptr, &emptyBox, image.data(), D3DFMT_A8R8G8B8, 8,
                                 16, nullptr, &wholeBox, D3DX_FILTER_NONE, 0),
        S_OK);
    EXPECT_TRUE(CallLog().empty());
    EXPECT_FALSE(LibraryReported());
}

TEST_F(LoadTest, ReadingVideoMemoryOfALostDeviceFails) {
    ComPtr<IDirect3DSurface9> source =
        Surface(8, 8, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, Pattern(64));
    ComPtr<IDirect3DSurface9> destination = Surface(8, 8, D3DPOOL_SYSTEMMEM, 0, Pattern(64, 2));
    SetHeadlessDeviceLost(device_.Get(), true);
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(destination.Get(), nullptr, nullptr, source.Get(), nullptr,
                                         nullptr, D3DX_FILTER_NONE, 0),
              D3DERR_DEVICELOST);
}

TEST_F(LoadTest, VolumesLoadFromMemoryAndFromVolumes) {
    // A 2 x 2 x 2 image with padded rows and slices into the middle of a
    // 4 x 4 x 2 volume.
    const std::vector<std::uint32_t> image = Pattern(8, 11);
    std::vector<std::uint32_t> memory(2 * 8, 0xDEADBEEF);  // row pitch 12, slice pitch 32
    for (UINT z = 0; z < 2; ++z) {
        for (UINT y = 0; y < 2; ++y) {
            for (UINT x = 0; x < 2; ++x) {
                memory[z * 8 + y * 3 + x] = image[z * 4 + y * 2 + x];
            }
        }
    }
    ComPtr<IDirect3DVolumeTexture9> texture = VolumeTexture(4, 4, 2, D3DPOOL_MANAGED);
    ComPtr<IDirect3DVolume9> volume = VolumeLevel(texture.Get());
    const std::vector<std::uint32_t> before = Pattern(32, 12);
    AccessVolume(volume.Get(), true, before);
    const D3DBOX from = {0, 0, 2, 2, 0, 2};
    const D3DBOX to = {1, 1, 3, 3, 0, 2};
    ASSERT_EQ(D3DXLoadVolumeFromMemory(volume.Get(), nullptr, &to, memory.data(), D3DFMT_A8R8G8B8,
                                       12, 32, nullptr, &from, D3DX_FILTER_NONE, 0),
              S_OK);
    std::vector<std::uint32_t> expected = before;
    for (UINT z = 0; z < 2; ++z) {
        for (UINT y = 0; y < 2; ++y) {
            for (UINT x = 0; x < 2; ++x) {
                expected[z * 16 + (y + 1) * 4 + x + 1] = image[z * 4 + y * 2 + x];
            }
        }
    }
    EXPECT_EQ(AccessVolume(volume.Get()), expected);

    ComPtr<IDirect3DVolumeTexture9> copy = VolumeTexture(4, 4, 2, D3DPOOL_SYSTEMMEM);
    ASSERT_EQ(D3DXLoadVolumeFromVolume(VolumeLevel(copy.Get()).Get(), nullptr, nullptr,
                                       volume.Get(), nullptr, nullptr, D3DX_DEFAULT, 0),
              S_OK);
    EXPECT_EQ(AccessVolume(VolumeLevel(copy.Get()).Get()), expected);
}

TEST_F(LoadTest, FailingVolumeLockIsReported) {
    ComPtr<IDirect3DVolumeTexture9> texture = VolumeTexture(4, 4, 2, D3DPOOL_MANAGED);
    const std::vector<std::uint32_t> memory(32);
    const D3DBOX box = {0, 0, 4, 4, 0, 2};
    InjectFault("IDirect3DVolume9::LockBox", 1, D3DERR_NOTAVAILABLE);
    EXPECT_EQ(
        D3DXLoadVolumeFromMemory(VolumeLevel(texture.Get()).Get(), nullptr, nullptr, memory.data(),
                                 D3DFMT_A8R8G8B8, 16, 64, nullptr, &box, D3DX_FILTER_NONE, 0),
        D3DERR_NOTAVAILABLE);
    EXPECT_TRUE(Reported("Could not lock volume"));
}

}  // namespace
