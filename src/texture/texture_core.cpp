#include "texture/texture_core.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/diagnostics.h"
#include "texture/decoded_image.h"
#include "texture/format_choice.h"
#include "texture/format_info.h"
#include "texture/load_image.h"
#include "texture/power_of_two.h"
#include "texture/texture_requirements.h"
#include "texture/working_palette.h"
#include "vellorn/com_ptr.h"

namespace {

// Usage bits that only ask the device questions; a texture is not created
// with them.
constexpr DWORD kCreationUsageMask = 0xFFE07FFF;

constexpr DWORD kDefaultFilter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;
constexpr DWORD kDefaultMipFilter = D3DX_FILTER_BOX;

// A size from the caller resolved against the image's: the image's own, or
// the power of two that holds it, or the caller's value.
UINT ResolveExtent(UINT requested, UINT imageExtent) {
    if (requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE ||
        (imageExtent & 0x80000000) != 0) {
        return imageExtent;
    }
    if (requested == 0 || requested == D3DX_DEFAULT) {
        return PowerOfTwoAtLeast(imageExtent);
    }
    return requested;
}

// The format for the texture when the caller leaves it to the image: with a
// colour key an image format without alpha gets the closest format with
// alpha; the readers' private formats become published ones.
D3DFORMAT FormatForImage(D3DFORMAT imageFormat, D3DCOLOR colorKey, D3DPOOL pool) {
    D3DFORMAT format = imageFormat;
    if (colorKey != 0) {
        const FormatInfo& info = LookupFormatInfo(imageFormat);
        if ((info.kind == FormatKind::Color || info.kind == FormatKind::Palette ||
             info.kind == FormatKind::Luminance) &&
            info.channelBits[kAlphaChannel] == 0) {
            FormatInfo withAlpha = info;
            withAlpha.format = D3DFMT_UNKNOWN;
            withAlpha.channelBits[kAlphaChannel] = 1;
            const D3DFORMAT keyed = FindClosestFormat(nullptr, 0, D3DRTYPE_TEXTURE, withAlpha);
            if (keyed != D3DFMT_UNKNOWN) {
                format = keyed;
            }
        }
    }
    format = MapPrivateFormat(format);
    if (pool != D3DPOOL_SCRATCH && format == D3DFMT_R8G8B8) {
        format = D3DFMT_X8R8G8B8;
    }
    return format;
}

// Gives every level of the image's first face that is in format from the
// format to.
void ReadLevelsAs(DecodedImage* image, D3DFORMAT from, D3DFORMAT to) {
    for (DecodedImage* level = image; level != nullptr; level = level->nextLevel.get()) {
        if (level->format == from) {
            level->format = to;
        }
    }
}

// What every level load shares.
struct LevelSource {
    const PALETTEENTRY* destinationPalette;
    const PALETTEENTRY* workingPalette;
    DWORD filter;
    D3DCOLOR colorKey;
};

// Loads the whole of file level source into level level of target. A level
// whose extents do not fit a rect or whose pitch is negative is refused as
// bad data rather than handed on as a wrapped value.
HRESULT LoadLevel(IDirect3DTexture9* target, UINT level, const DecodedImage& source,
                  const LevelSource& shared) {
    constexpr UINT kLargestExtent = static_cast<UINT>(std::numeric_limits<LONG>::max());
    if (source.pixels == nullptr || source.width > kLargestExtent ||
        source.height > kLargestExtent || source.rowPitch < 0) {
        return D3DXERR_INVALIDDATA;
    }
    ComPtr<IDirect3DSurface9> surface;
    const HRESULT hr = target->GetSurfaceLevel(level, surface.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
        return hr;
    }
    const RECT rect{0, 0, static_cast<LONG>(source.width), static_cast<LONG>(source.height)};
    return D3DXLoadSurfaceFromMemory(surface.Get(), shared.destinationPalette, nullptr,
                                     source.pixels, source.format,
                                     static_cast<UINT>(source.rowPitch), shared.workingPalette,
                                     &rect, shared.filter, shared.colorKey);
}

HRESULT CreateLevels(IDirect3DDevice9* device, UINT width, UINT height, UINT levels, DWORD usage,
                     D3DFORMAT format, D3DPOOL pool, ComPtr<IDirect3DTexture9>* texture) {
    const HRESULT hr = device->CreateTexture(width, height, levels, usage, format, pool,
                                             texture->ReleaseAndGetAddressOf(), nullptr);
    if (FAILED(hr)) {
        DebugMessage(0, "Failed trying to create texture");
    }
    return hr;
}

}  // namespace

HRESULT CreateTextureCore(IDirect3DDevice9* device, const void* data, UINT size,
                          const TextureFileRequest& request, D3DXIMAGE_INFO* info,
                          PALETTEENTRY* palette, IDirect3DTexture9** texture) {
    if (device == nullptr) {
        DebugMessage(0, "pDevice pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (data == nullptr) {
        DebugMessage(0, "pvSrcData pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (size == 0) {
        DebugMessage(0, "cbSrcData value is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (texture == nullptr) {
        DebugMessage(0, "Texture pointer is invalid");
        return D3DERR_INVALIDCALL;
    }

    const bool widthFromFile = request.width == D3DX_FROM_FILE;
    const bool heightFromFile = request.height == D3DX_FROM_FILE;
    const bool levelsFromFile = request.mipLevels == D3DX_FROM_FILE;
    const bool formatFromFile = request.format == D3DFMT_FROM_FILE;

    DecodedImage image;
    HRESULT hr = LoadImageFromMemory(&image, data, size, info, true);
    if (FAILED(hr)) {
        return hr;
    }
    const UINT fileLevels = image.LevelCount();

    UINT mipLevels = levelsFromFile ? fileLevels : request.mipLevels;
    UINT width = ResolveExtent(request.width, image.width);
    UINT height = ResolveExtent(request.height, image.height);
    const DWORD filter = request.filter == D3DX_DEFAULT ? kDefaultFilter : request.filter;
    const DWORD mipFilter =
        request.mipFilter == D3DX_DEFAULT ? kDefaultMipFilter : request.mipFilter;
    const bool generateMips = (filter & 0xFF) == D3DX_FILTER_NONE ||
                              (mipFilter & 0xFF) == D3DX_FILTER_POINT ||
                              (mipFilter & 0xFF) == D3DX_FILTER_BOX;
    // D3DX_DEFAULT asks for no particular usage, as the requirements check
    // reads it; passed on as it is it would ask the device for every bit.
    const DWORD usage = request.usage == D3DX_DEFAULT ? 0 : request.usage;

    PALETTEENTRY workingPalette[kPaletteEntries];
    D3DCOLOR colorKey = request.colorKey;
    BuildWorkingPalette(image.palette, colorKey, workingPalette);
    if (image.palette != nullptr) {
        // The key has been spent on the palette.
        colorKey = 0;
        if (request.format != D3DFMT_P8) {
            const D3DFORMAT readAs = PaletteImageFormat(image.format, workingPalette);
            ReadLevelsAs(&image, image.format, readAs);
        }
    }

    D3DFORMAT format = request.format;
    if (format == D3DFMT_UNKNOWN || format == D3DFMT_FROM_FILE) {
        format = FormatForImage(image.format, colorKey, request.pool);
    }
    if (palette != nullptr) {
        std::memcpy(palette, workingPalette, sizeof workingPalette);
    }
    if (palette == nullptr || image.palette == nullptr) {
        if (formatFromFile && (format == D3DFMT_A8P8 || format == D3DFMT_P8)) {
            DebugMessage(0,
                         "D3DFMT_FROM_FILE specified for palettized files without providing "
                         "memory to return palette");
            return D3DERR_INVALIDCALL;
        }
        if (format == D3DFMT_A8P8) {
            format = D3DFMT_A8R8G8B8;
        } else if (format == D3DFMT_P8) {
            format = HasTranslucentEntry(workingPalette) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
        }
    }
    const bool staging = request.pool == D3DPOOL_DEFAULT && (usage & D3DUSAGE_DYNAMIC) == 0;

    UINT checkedWidth = width;
    UINT checkedHeight = height;
    UINT checkedLevels = mipLevels;
    D3DFORMAT checkedFormat = format;
    hr = CheckTextureRequirements(device, &checkedWidth, &checkedHeight, nullptr, &checkedLevels,
                                  usage, &checkedFormat, request.pool, D3DRTYPE_TEXTURE);
    if (FAILED(hr)) {
        return hr;
    }
    if ((widthFromFile && checkedWidth != width) || (heightFromFile && checkedHeight != height) ||
        (levelsFromFile && checkedLevels != mipLevels) ||
        (formatFromFile && checkedFormat != format)) {
        return D3DERR_NOTAVAILABLE;
    }
    width = checkedWidth;
    height = checkedHeight;
    mipLevels = checkedLevels;
    format = checkedFormat;

    ComPtr<IDirect3DTexture9> created;
    hr = CreateLevels(device, width, height, mipLevels, usage & kCreationUsageMask, format,
                      request.pool, &created);
    if (FAILED(hr)) {
        return hr;
    }
    // An automatically mipmapped texture is asked for with 0 levels and
    // keeps its top level only: that level is loaded and the device builds
    // the rest from it.
    const bool autoGenerated = (usage & D3DUSAGE_AUTOGENMIPMAP) != 0;
    const UINT loadLevels = mipLevels == 0 ? 1 : mipLevels;
    ComPtr<IDirect3DTexture9> stagingTexture;
    if (staging) {
        hr = CreateLevels(device, width, height, loadLevels, 0, format, D3DPOOL_SYSTEMMEM,
                          &stagingTexture);
        if (FAILED(hr)) {
            return hr;
        }
    }
    IDirect3DTexture9* const target = staging ? stagingTexture.Get() : created.Get();

    LevelSource source{palette, workingPalette, filter, colorKey};
    UINT level = 0;
    const DecodedImage* fileLevel = &image;
    const DecodedImage* smallest = &image;
    for (; level < fileLevels && level < loadLevels; ++level) {
        hr = LoadLevel(target, level, *fileLevel, source);
        if (FAILED(hr)) {
            return hr;
        }
        smallest = fileLevel;
        fileLevel = fileLevel->nextLevel.get();
    }
    if (!generateMips) {
        // Each remaining level is resampled from the file's smallest level,
        // the last one loaded.
        for (; level < loadLevels; ++level) {
            hr = LoadLevel(target, level, *smallest, source);
            if (FAILED(hr)) {
                return hr;
            }
        }
    } else if (fileLevels < loadLevels) {
        hr = D3DXFilterTexture(target, workingPalette, fileLevels - 1, mipFilter);
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (staging) {
        hr = device->UpdateTexture(stagingTexture.Get(), created.Get());
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (autoGenerated) {
        created->GenerateMipSubLevels();
    }
    *texture = created.Detach();
    return S_OK;
}
