#include "support/atlas_texture.h"

#include <algorithm>

#include "vellorn/com_ptr.h"
#include "vellorn/d3dx_texture.h"

HRESULT CreateAtlasTexture(IDirect3DDevice9* device, const Image& image,
                           IDirect3DTexture9** texture) {
    ComPtr<IDirect3DTexture9> made;
    HRESULT result = device->CreateTexture(static_cast<UINT>(image.width),
                                           static_cast<UINT>(image.height), 0, 0, D3DFMT_A8R8G8B8,
                                           D3DPOOL_MANAGED, made.ReleaseAndGetAddressOf(), nullptr);
    if (FAILED(result)) {
        return result;
    }
    D3DLOCKED_RECT locked{};
    result = made->LockRect(0, &locked, nullptr, 0);
    if (FAILED(result)) {
        return result;
    }
    for (int y = 0; y < image.height; ++y) {
        const auto* from = image.pixels.data() + static_cast<std::size_t>(y) * image.width;
        auto* to = reinterpret_cast<std::uint32_t*>(static_cast<char*>(locked.pBits) +
                                                    static_cast<std::ptrdiff_t>(y) * locked.Pitch);
        std::copy_n(from, image.width, to);
    }
    made->UnlockRect(0);
    result = D3DXFilterTexture(made.Get(), nullptr, 0, D3DX_FILTER_BOX);
    if (FAILED(result)) {
        return result;
    }
    *texture = made.Detach();
    return S_OK;
}
