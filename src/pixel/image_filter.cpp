#include "pixel/image_filter.h"

#include <memory>
#include <new>

#include "pixel/direct_copies.h"
#include "pixel/format_groups.h"
#include "pixel/pixel_codec.h"
#include "pixel/resampling_filters.h"
#include "platform/diagnostics.h"
#include "vellorn/result_codes.h"

namespace {

// Sets the destination up for what the source delivers: class conversion on
// writing, the conversion row buffer it needs, and the both-gamma shortcut.
HRESULT PrepareDestination(PixelCodec& source, PixelCodec& destination) {
    if (source.valueClass != destination.valueClass &&
        destination.valueClass != ValueClass::Float) {
        destination.otherClass = source.valueClass;
    }
    if ((destination.otherClass != ValueClass::None || destination.gamma) &&
        !destination.conversionBuffer) {
        const UINT width = destination.width > 0 ? destination.width : 1;
        destination.conversionBuffer.reset(new (std::nothrow) ColorF[width]);
        if (!destination.conversionBuffer) {
            return E_OUTOFMEMORY;
        }
    }
    if (source.gamma && destination.gamma) {
        source.bothGamma = true;
        destination.bothGamma = true;
    }
    return S_OK;
}

// Runs the strategies on two prepared codecs.
HRESULT Convert(PixelCodec& source, PixelCodec& destination, DWORD filter) {
    if (SUCCEEDED(CopySameFormat(source, destination)) ||
        SUCCEEDED(ConvertSameSize(source, destination))) {
        return S_OK;
    }
    // Every failure, running out of memory included, hands over to the next
    // filter; the triangle filters accept every kind and size.
    for (ResamplingFilter resample : kResamplingFilters) {
        if (SUCCEEDED(resample(source, destination, filter))) {
            return S_OK;
        }
    }
    DebugMessage(0, "No suitable image filter found");
    return E_FAIL;
}

}  // namespace

HRESULT RunImageFilter(SurfaceDesc source, SurfaceDesc destination, DWORD filter) {
    if (!IsValidImageFilter(filter)) {
        DebugMessage(0, "Invalid image filter");
        return D3DERR_INVALIDCALL;
    }
    source.gamma = (filter & D3DX_FILTER_SRGB_IN) != 0;
    destination.gamma = (filter & D3DX_FILTER_SRGB_OUT) != 0;
    destination.dither = (filter & D3DX_FILTER_DITHER) != 0;
    destination.diffusion = (filter & D3DX_FILTER_DITHER_DIFFUSION) != 0;

    // Whole blocks of a block format are copied without decoding them.
    if (IsBlockFormat(source.format) && SUCCEEDED(CopyBlocks(source, destination))) {
        return S_OK;
    }

    std::unique_ptr<PixelCodec> to;
    std::unique_ptr<PixelCodec> from;
    HRESULT hr = CreatePixelCodec(destination, &to);
    if (SUCCEEDED(hr)) {
        hr = CreatePixelCodec(source, &from);
    }
    if (hr == E_OUTOFMEMORY) {
        return hr;
    }
    if (FAILED(hr)) {
        DebugMessage(0, "Unsupported image format");
        return E_FAIL;
    }
    hr = PrepareDestination(*from, *to);
    if (FAILED(hr)) {
        return hr;
    }
    return Convert(*from, *to, filter);
}
