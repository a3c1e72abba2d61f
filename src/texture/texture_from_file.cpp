// The public calls that make a texture from an image file, by name or from
// its bytes in memory.
#include "texture/mapped_file.h"
#include "texture/texture_core.h"

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* pDevice, LPCSTR pSrcFile, UINT Width,
                                     UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                     D3DPOOL Pool, DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                     D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* pPalette,
                                     IDirect3DTexture9** ppTexture) {
    // The texture never refers to the file's bytes: the mapping closes when
    // this call returns, whatever the result.
    FileMapping file;
    const HRESULT hr = MapFileForReading(&file, pSrcFile);
    if (FAILED(hr)) {
        return hr;
    }
    return D3DXCreateTextureFromFileInMemoryEx(pDevice, file.view, file.size, Width, Height,
                                               MipLevels, Usage, Format, Pool, Filter, MipFilter,
                                               ColorKey, pSrcInfo, pPalette, ppTexture);
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* pDevice, LPCVOID pSrcData,
                                            UINT SrcDataSize, UINT Width, UINT Height,
                                            UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                            D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                            PALETTEENTRY* pPalette, IDirect3DTexture9** ppTexture) {
    const TextureFileRequest request{Width, Height, MipLevels, Usage,   Format,
                                     Pool,  Filter, MipFilter, ColorKey};
    return CreateTextureCore(pDevice, pSrcData, SrcDataSize, request, pSrcInfo, pPalette,
                             ppTexture);
}
