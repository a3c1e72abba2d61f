#include <algorithm>
#include <cstdio>
#include <string>

#include "commands.h"
#include "names.h"
#include "runtime/headless_device.h"
#include "vellorn/com_ptr.h"

namespace {

void PrintImage(const D3DXIMAGE_INFO& info) {
    const char* kind = info.ResourceType == D3DRTYPE_CUBETEXTURE     ? ", cube map"
                       : info.ResourceType == D3DRTYPE_VOLUMETEXTURE ? ", volume"
                                                                     : "";
    std::printf("  image:   %.*s, %u x %u, depth %u, %u level%s, %s%s\n",
                static_cast<int>(FileFormatName(info.ImageFileFormat).size()),
                FileFormatName(info.ImageFileFormat).data(), info.Width, info.Height, info.Depth,
                info.MipLevels, info.MipLevels == 1 ? "" : "s", FormatName(info.Format).c_str(),
                kind);
}

// The size of every level of a file with more than one level, face or
// slice: "6 faces of 8 x 8, 4 x 4", "8 x 8 x 4, 4 x 4 x 2, 2 x 2 x 1".
void PrintChain(const D3DXIMAGE_INFO& info) {
    const bool cube = info.ResourceType == D3DRTYPE_CUBETEXTURE;
    const bool volume = info.ResourceType == D3DRTYPE_VOLUMETEXTURE;
    if (info.MipLevels <= 1 && !cube && !volume) {
        return;
    }
    std::printf("  chain:   %s", cube ? "6 faces of " : "");
    UINT width = info.Width;
    UINT height = info.Height;
    UINT depth = info.Depth;
    for (UINT level = 0; level < info.MipLevels; ++level) {
        std::printf(level == 0 ? "%u x %u" : ", %u x %u", width, height);
        if (volume) {
            std::printf(" x %u", depth);
        }
        width = std::max(width / 2, 1u);
        height = std::max(height / 2, 1u);
        depth = std::max(depth / 2, 1u);
    }
    std::printf("\n");
}

// The loader's default arguments: what D3DXCreateTextureFromFileA would pass.
HRESULT Describe(IDirect3DDevice9* device, const std::string& file) {
    D3DXIMAGE_INFO info = {};
    ComPtr<IDirect3DTexture9> texture;
    const HRESULT hr =
        D3DXCreateTextureFromFileExA(device, file.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                     0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                     0, &info, nullptr, texture.ReleaseAndGetAddressOf());
    // The image information is filled as soon as a reader has accepted the
    // file, even when the texture then fails.
    if (info.Width != 0) {
        PrintImage(info);
        PrintChain(info);
    }
    if (FAILED(hr)) {
        return hr;
    }
    D3DSURFACE_DESC desc = {};
    const HRESULT described = texture->GetLevelDesc(0, &desc);
    if (FAILED(described)) {
        return described;
    }
    const DWORD levels = texture->GetLevelCount();
    std::printf("  texture: %u x %u, %lu level%s, %s\n", desc.Width, desc.Height,
                static_cast<unsigned long>(levels), levels == 1 ? "" : "s",
                FormatName(desc.Format).c_str());
    return S_OK;
}

}  // namespace

int RunInfo(std::span<const std::string_view> files) {
    if (files.empty()) {
        std::fprintf(stderr, "vellorn-texture: info needs at least one file\n");
        return 2;
    }
    const HeadlessDevice device;
    if (!device) {
        std::fprintf(stderr, "vellorn-texture: no headless device\n");
        return 1;
    }
    int status = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string file(files[i]);
        if (files.size() > 1) {
            std::printf("[%zu/%zu] %s\n", i + 1, files.size(), file.c_str());
        } else {
            std::printf("%s\n", file.c_str());
        }
        std::fflush(stdout);
        const HRESULT hr = Describe(device.Get(), file);
        if (FAILED(hr)) {
            std::fflush(stdout);
            std::fprintf(stderr, "vellorn-texture: %s: cannot load: %s\n", file.c_str(),
                         ResultInWords(hr).c_str());
            status = 1;
        }
    }
    return status;
}
