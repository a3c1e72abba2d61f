#include "file_faces.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "names.h"
#include "png_output.h"
#include "texture/load_image.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3dx_texture.h"

namespace {

// Slice slice of one file level, converted into an A8R8G8B8 surface and
// written as PNG.
HRESULT WritePart(IDirect3DDevice9* device, const DecodedImage& level, UINT face, UINT index,
                  UINT slice, const std::string& path) {
    ComPtr<IDirect3DSurface9> surface;
    HRESULT hr = device->CreateOffscreenPlainSurface(level.width, level.height, D3DFMT_A8R8G8B8,
                                                     D3DPOOL_SYSTEMMEM,
                                                     surface.ReleaseAndGetAddressOf(), nullptr);
    if (SUCCEEDED(hr)) {
        const RECT rect{0, 0, static_cast<LONG>(level.width), static_cast<LONG>(level.height)};
        const BYTE* pixels =
            level.pixels + std::size_t{slice} * static_cast<UINT>(level.slicePitch);
        hr = D3DXLoadSurfaceFromMemory(surface.Get(), nullptr, nullptr, pixels, level.format,
                                       static_cast<UINT>(level.rowPitch), level.palette, &rect,
                                       D3DX_FILTER_NONE, 0);
    }
    D3DLOCKED_RECT locked = {};
    if (SUCCEEDED(hr)) {
        hr = surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    }
    if (FAILED(hr)) {
        std::fprintf(stderr, "vellorn-texture: cannot read %s: %s\n", path.c_str(),
                     ResultInWords(hr).c_str());
        return hr;
    }
    std::string error;
    const bool written = WriteRgbaPng(path, level.width, level.height,
                                      static_cast<const BYTE*>(locked.pBits), locked.Pitch, &error);
    surface->UnlockRect();
    if (!written) {
        std::fprintf(stderr, "vellorn-texture: cannot write %s: %s\n", path.c_str(), error.c_str());
        return E_FAIL;
    }
    std::printf("wrote %s: face %u, level %u, slice %u, %u x %u, %s\n", path.c_str(), face, index,
                slice, level.width, level.height, FormatName(level.format).c_str());
    return S_OK;
}

}  // namespace

HRESULT WriteOtherFacesAndSlices(IDirect3DDevice9* device, const ConvertOptions& options) {
    std::ifstream stream(options.input, std::ios::binary | std::ios::ate);
    const std::streamoff size = stream ? static_cast<std::streamoff>(stream.tellg()) : -1;
    std::vector<BYTE> file;
    if (size > 0 && static_cast<std::uint64_t>(size) <= std::numeric_limits<UINT>::max()) {
        file.resize(static_cast<std::size_t>(size));
        stream.seekg(0);
        stream.read(reinterpret_cast<char*>(file.data()), size);
    }
    if (file.empty() || !stream) {
        std::fprintf(stderr, "vellorn-texture: %s: cannot read the file again\n",
                     options.input.c_str());
        return E_FAIL;
    }
    DecodedImage image;
    const HRESULT hr =
        LoadImageFromMemory(&image, file.data(), static_cast<UINT>(file.size()), nullptr, true);
    if (FAILED(hr)) {
        std::fprintf(stderr, "vellorn-texture: %s: cannot load: %s\n", options.input.c_str(),
                     ResultInWords(hr).c_str());
        return hr;
    }
    UINT face = 0;
    for (const DecodedImage* top = &image; top != nullptr; top = top->nextFace.get(), ++face) {
        UINT levelIndex = 0;
        for (const DecodedImage* level = top; level != nullptr;
             level = level->nextLevel.get(), ++levelIndex) {
            // Face 0, slice 0 is the texture's, already written.
            for (UINT slice = face == 0 ? 1 : 0; slice < level->depth; ++slice) {
                const HRESULT written =
                    WritePart(device, *level, face, levelIndex, slice,
                              LevelPath(options.output, levelIndex, face, slice));
                if (FAILED(written)) {
                    return written;
                }
            }
        }
    }
    return S_OK;
}
