#include <cstdio>
#include <string>

#include "commands.h"
#include "convert_options.h"
#include "file_faces.h"
#include "names.h"
#include "png_output.h"
#include "runtime/headless_device.h"
#include "vellorn/com_ptr.h"

namespace {

// The file's palette is asked for only when the caller wants a palette
// texture (or the file's own format): with a palette output the loader keeps
// palette formats instead of expanding them.
bool WantsPalette(D3DFORMAT format) {
    return format == D3DFMT_P8 || format == D3DFMT_A8P8 || format == D3DFMT_FROM_FILE;
}

// Writes one level as PNG: an A8R8G8B8 level straight from its lock, any
// other format after converting it into an A8R8G8B8 system-memory surface.
HRESULT WriteLevel(IDirect3DDevice9* device, IDirect3DTexture9* texture, UINT level,
                   const PALETTEENTRY* palette, const std::string& path) {
    ComPtr<IDirect3DSurface9> surface;
    HRESULT hr = texture->GetSurfaceLevel(level, surface.ReleaseAndGetAddressOf());
    D3DSURFACE_DESC desc = {};
    if (SUCCEEDED(hr)) {
        hr = surface->GetDesc(&desc);
    }
    if (SUCCEEDED(hr) && desc.Format != D3DFMT_A8R8G8B8) {
        ComPtr<IDirect3DSurface9> converted;
        hr = device->CreateOffscreenPlainSurface(desc.Width, desc.Height, D3DFMT_A8R8G8B8,
                                                 D3DPOOL_SYSTEMMEM,
                                                 converted.ReleaseAndGetAddressOf(), nullptr);
        if (SUCCEEDED(hr)) {
            hr = D3DXLoadSurfaceFromSurface(converted.Get(), nullptr, nullptr, surface.Get(),
                                            palette, nullptr, D3DX_FILTER_NONE, 0);
        }
        surface = converted;
    }
    D3DLOCKED_RECT locked = {};
    if (SUCCEEDED(hr)) {
        hr = surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    }
    if (FAILED(hr)) {
        std::fprintf(stderr, "vellorn-texture: cannot read level %u: %s\n", level,
                     ResultInWords(hr).c_str());
        return hr;
    }
    std::string error;
    const bool written = WriteRgbaPng(path, desc.Width, desc.Height,
                                      static_cast<const BYTE*>(locked.pBits), locked.Pitch, &error);
    surface->UnlockRect();
    if (!written) {
        std::fprintf(stderr, "vellorn-texture: cannot write %s: %s\n", path.c_str(), error.c_str());
        return E_FAIL;
    }
    std::printf("wrote %s: level %u, %u x %u, %s\n", path.c_str(), level, desc.Width, desc.Height,
                FormatName(desc.Format).c_str());
    return S_OK;
}

}  // namespace

int RunConvert(std::span<const std::string_view> arguments) {
    std::string error;
    const auto options = ParseConvertOptions(arguments, &error);
    if (!options) {
        std::fprintf(stderr, "vellorn-texture: %s (see vellorn-texture --help)\n", error.c_str());
        return 2;
    }
    const HeadlessDevice device;
    if (!device) {
        std::fprintf(stderr, "vellorn-texture: no headless device\n");
        return 1;
    }
    PALETTEENTRY palette[256] = {};
    ComPtr<IDirect3DTexture9> texture;
    const HRESULT hr = D3DXCreateTextureFromFileExA(
        device.Get(), options->input.c_str(), options->width, options->height, options->levels, 0,
        options->format, D3DPOOL_MANAGED, options->filter, options->mipFilter, options->colorKey,
        nullptr, WantsPalette(options->format) ? palette : nullptr,
        texture.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
        std::fprintf(stderr, "vellorn-texture: %s: cannot load: %s\n", options->input.c_str(),
                     ResultInWords(hr).c_str());
        return 1;
    }
    const UINT levels = options->allLevels ? texture->GetLevelCount() : 1;
    for (UINT level = 0; level < levels; ++level) {
        if (FAILED(WriteLevel(device.Get(), texture.Get(), level, palette,
                              LevelPath(options->output, level)))) {
            return 1;
        }
    }
    if (options->allLevels && FAILED(WriteOtherFacesAndSlices(device.Get(), *options))) {
        return 1;
    }
    return 0;
}
