// libFuzzer target for D3DXCreateTextureFromFileInMemoryEx on a headless
// device with the default profile. The first byte of an input chooses the
// arguments and the rest is the file; a first byte of 0 is the game's own
// call (D3DX_DEFAULT sizes, mip levels 0, usage 0, D3DFMT_UNKNOWN, the
// managed pool, default filters, colour key 0xFFFFFFFF). Its bits:
//   0-1  sizes and levels: D3DX_DEFAULT; D3DX_DEFAULT_NONPOW2; D3DX_FROM_FILE
//        (levels too); 37 x 19 with every level
//   2-3  pool: managed, default (loaded through a staging texture), system
//        memory, scratch
//   4-5  format: D3DFMT_UNKNOWN, D3DFMT_FROM_FILE, D3DFMT_A8R8G8B8,
//        D3DFMT_P8; the palette output is given with the last two
//   6-7  filter, mip filter and colour key: default, default, 0xFFFFFFFF;
//        none, point, 0; linear, triangle (levels resampled from the file),
//        0xFF000000; box with dither, box, 0xFF00FF00
// Images too large to decode are left out (see TooLargeToDecode). A texture
// that is made must have the levels and format it reports.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "decoded_image_check.h"
#include "runtime/headless_device.h"
#include "texture/load_image.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3dx_texture.h"

namespace {

struct Arguments {
    UINT width = D3DX_DEFAULT;
    UINT height = D3DX_DEFAULT;
    UINT mipLevels = 0;
    D3DPOOL pool = D3DPOOL_MANAGED;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    bool paletteOutput = false;
    DWORD filter = D3DX_DEFAULT;
    DWORD mipFilter = D3DX_DEFAULT;
    D3DCOLOR colorKey = 0xFFFFFFFF;
};

Arguments ArgumentsOf(std::uint8_t choice) {
    Arguments arguments;
    switch (choice & 3) {
        case 1: arguments.width = arguments.height = D3DX_DEFAULT_NONPOW2; break;
        case 2: arguments.width = arguments.height = arguments.mipLevels = D3DX_FROM_FILE; break;
        case 3:
            arguments.width = 37;
            arguments.height = 19;
            break;
        default: break;
    }
    constexpr D3DPOOL kPools[] = {D3DPOOL_MANAGED, D3DPOOL_DEFAULT, D3DPOOL_SYSTEMMEM,
                                  D3DPOOL_SCRATCH};
    arguments.pool = kPools[(choice >> 2) & 3];
    constexpr D3DFORMAT kFormats[] = {D3DFMT_UNKNOWN, D3DFMT_FROM_FILE, D3DFMT_A8R8G8B8, D3DFMT_P8};
    arguments.format = kFormats[(choice >> 4) & 3];
    arguments.paletteOutput = ((choice >> 4) & 1) != 0;
    struct Filters {
        DWORD filter;
        DWORD mipFilter;
        D3DCOLOR colorKey;
    };
    constexpr Filters kFilters[] = {
        {D3DX_DEFAULT, D3DX_DEFAULT, 0xFFFFFFFF},
        {D3DX_FILTER_NONE, D3DX_FILTER_POINT, 0},
        {D3DX_FILTER_LINEAR, D3DX_FILTER_TRIANGLE, 0xFF000000},
        {D3DX_FILTER_BOX | D3DX_FILTER_DITHER, D3DX_FILTER_BOX, 0xFF00FF00},
    };
    const Filters& filters = kFilters[choice >> 6];
    arguments.filter = filters.filter;
    arguments.mipFilter = filters.mipFilter;
    arguments.colorKey = filters.colorKey;
    return arguments;
}

// Made once, before the first input, and kept for the run.
IDirect3DDevice9* Device() {
    static const HeadlessDevice device;
    return device.Get();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzCheck(Device() != nullptr, "no headless device");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size - 1 > std::numeric_limits<UINT>::max()) {
        return 0;
    }
    DecodedImage described;
    D3DXIMAGE_INFO info = {};
    if (SUCCEEDED(
            LoadImageFromMemory(&described, data + 1, static_cast<UINT>(size - 1), &info, false)) &&
        TooLargeToDecode(info.Width, info.Height, info.Depth)) {
        return 0;
    }
    const Arguments arguments = ArgumentsOf(data[0]);
    PALETTEENTRY palette[256];
    ComPtr<IDirect3DTexture9> texture;
    const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
        Device(), data + 1, static_cast<UINT>(size - 1), arguments.width, arguments.height,
        arguments.mipLevels, 0, arguments.format, arguments.pool, arguments.filter,
        arguments.mipFilter, arguments.colorKey, &info, arguments.paletteOutput ? palette : nullptr,
        texture.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
        FuzzCheck(!texture, "a failed load handed out a texture");
        return 0;
    }
    FuzzCheck(static_cast<bool>(texture), "a successful load handed out no texture");
    const DWORD levels = texture->GetLevelCount();
    FuzzCheck(levels >= 1, "a texture without levels");
    D3DSURFACE_DESC desc = {};
    for (DWORD level = 0; level < levels; ++level) {
        FuzzCheck(SUCCEEDED(texture->GetLevelDesc(level, &desc)), "a level without a description");
        FuzzCheck(desc.Format != D3DFMT_UNKNOWN && desc.Width >= 1 && desc.Height >= 1,
                  "a level of no format or no size");
    }
    return 0;
}
