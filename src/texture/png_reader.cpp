// The PNG reader: libpng decodes the file straight into the rows of the
// decoded image, with transforms chosen so that the bytes come out in the
// memory order of a Direct3D format and no pass over the pixels follows.
//
// libpng reports errors by calling our error handler, which must not return:
// it jumps back to the point set in Guarded(). Between that point and the
// handlers only libpng's C frames and functions without objects that need
// destroying run, so the jump skips nothing that owns a resource. Everything
// that must be freed lives in PngDecode, in LoadPNG's own frame.
#include <png.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "platform/diagnostics.h"
#include "texture/image_readers.h"

namespace {

// The display the samples are corrected for when a file states its gamma.
constexpr double kScreenGamma = 2.2;

// libpng is not let read past the loader's side limit. With at most eight
// bytes a pixel a row always fits the record's signed 32-bit pitch, and the
// row table stays small; the pixel buffer is checked separately.
static_assert(std::uint64_t{kMaxImageSide} * 8 <= INT_MAX, "a row's bytes fit the row pitch");

constexpr int kPaletteSize = 256;

// The file bytes not yet handed to libpng.
struct MemorySource {
    const BYTE* next;
    std::size_t left;
};

// Everything a decode owns or learns that outlives the jump back on an error.
struct PngDecode {
    DecodedImage* image = nullptr;
    MemorySource source = {};
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::unique_ptr<png_bytep[]> rows;
    // The file's PLTE and tRNS entries as read. libpng may correct its own
    // copy of the palette in place once the transforms are set up (it does
    // for interlaced files), and the gamma table must see the file's values.
    png_color plte[kPaletteSize] = {};
    int plteCount = 0;
    png_byte trnsAlpha[kPaletteSize] = {};
    int trnsCount = 0;
    // Both stay 0 unless a gamma correction was asked of libpng.
    double fileGamma = 0.0;
    double screenGamma = 0.0;
};

void ReadFromMemory(png_structp png, png_bytep out, std::size_t count) {
    auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (count > source->left) {
        png_error(png, "read error");
    }
    std::memcpy(out, source->next, count);
    source->next += count;
    source->left -= count;
}

[[noreturn]] void OnError(png_structp png, png_const_charp text) {
    DebugMessage(0, "LoadPNG: %s", text);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp text) {
    DebugMessage(0, "LoadPNG: %s", text);
}

D3DFORMAT FormatOfColorType(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY: return D3DFMT_L8;
        case PNG_COLOR_TYPE_RGB: return D3DFMT_R8G8B8;
        case PNG_COLOR_TYPE_PALETTE: return D3DFMT_P8;
        case PNG_COLOR_TYPE_GRAY_ALPHA: return D3DFMT_A8L8;
        case PNG_COLOR_TYPE_RGB_ALPHA: return D3DFMT_A8R8G8B8;
        default: return D3DFMT_UNKNOWN;
    }
}

// The format of the same samples at 16 bits, or D3DFMT_UNKNOWN.
D3DFORMAT SixteenBitFormat(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_R8G8B8: return D3DFMT_PRIVATE_R16;
        case D3DFMT_A8R8G8B8: return D3DFMT_A16B16G16R16;
        case D3DFMT_L8: return D3DFMT_L16;
        case D3DFMT_A8L8: return D3DFMT_PRIVATE_AL16;
        default: return D3DFMT_UNKNOWN;
    }
}

// The format once a tRNS chunk has become an alpha channel.
D3DFORMAT WithTransparency(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_L16: return D3DFMT_PRIVATE_AL16;
        case D3DFMT_R8G8B8: return D3DFMT_A8R8G8B8;
        case D3DFMT_L8: return D3DFMT_A8L8;
        default: break;
    }
    return format == D3DFMT_PRIVATE_R16 ? D3DFMT_A16B16G16R16 : format;
}

png_byte ChannelCount(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_L8:
        case D3DFMT_L16:
        case D3DFMT_P8: return 1;
        case D3DFMT_A8L8: return 2;
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A8R8G8B8:
        case D3DFMT_A16B16G16R16: return 4;
        default: break;
    }
    if (format == D3DFMT_PRIVATE_AL16) {
        return 2;
    }
    return format == D3DFMT_PRIVATE_R16 ? 3 : 0;
}

void CopyPaletteChunks(PngDecode* d) {
    png_colorp plte = nullptr;
    int plteCount = 0;
    if (png_get_valid(d->png, d->info, PNG_INFO_PLTE) != 0 &&
        png_get_PLTE(d->png, d->info, &plte, &plteCount) != 0) {
        d->plteCount = std::clamp(plteCount, 0, kPaletteSize);
        std::copy_n(plte, d->plteCount, d->plte);
    }
    png_bytep alpha = nullptr;
    int trnsCount = 0;
    if (png_get_valid(d->png, d->info, PNG_INFO_tRNS) != 0 &&
        png_get_tRNS(d->png, d->info, &alpha, &trnsCount, nullptr) != 0) {
        d->trnsCount = std::clamp(trnsCount, 0, d->plteCount);
        std::copy_n(alpha, d->trnsCount, d->trnsAlpha);
    }
}

// The 256-entry palette of a palette image: the PLTE entries through the
// gamma table, the tRNS alphas on the first of them, and opaque white past
// the PLTE entries so that every index byte reads a defined colour.
HRESULT BuildPalette(const PngDecode& d) {
    PALETTEENTRY* palette = d.image->AllocatePalette();
    if (palette == nullptr) {
        return E_OUTOFMEMORY;
    }
    // T[i] = (i / 255)^(1 / (file gamma x screen gamma)) x 255, rounded; the
    // identity when no correction was asked for.
    BYTE gamma[kPaletteSize];
    const bool corrected = d.fileGamma > 0.000001 && d.screenGamma > 0.000001;
    const double exponent = corrected ? 1.0 / (d.fileGamma * d.screenGamma) : 1.0;
    for (int i = 0; i < kPaletteSize; ++i) {
        gamma[i] = corrected ? static_cast<BYTE>(std::pow(i / 255.0, exponent) * 255.0 + 0.5)
                             : static_cast<BYTE>(i);
    }
    for (int i = 0; i < kPaletteSize; ++i) {
        if (i < d.plteCount) {
            palette[i] = {gamma[d.plte[i].red], gamma[d.plte[i].green], gamma[d.plte[i].blue],
                          i < d.trnsCount ? d.trnsAlpha[i] : BYTE{0xFF}};
        } else {
            palette[i] = {0xFF, 0xFF, 0xFF, 0xFF};
        }
    }
    return S_OK;
}

// The decode proper. It runs below Guarded's jump point, so it holds no
// object that needs destroying while it calls into libpng.
HRESULT ReadPng(PngDecode* d) {
    png_structp png = d->png;
    png_infop info = d->info;
    DecodedImage* image = d->image;

    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_read_fn(png, &d->source, ReadFromMemory);
    png_read_info(png, info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);

    D3DFORMAT format = FormatOfColorType(colorType);
    if (bitDepth == 16) {
        png_set_swap(png);
        format = SixteenBitFormat(format);
        if (format == D3DFMT_UNKNOWN) {
            return E_FAIL;
        }
    } else if (bitDepth < 8) {
        png_set_packing(png);
        if (colorType == PNG_COLOR_TYPE_GRAY) {
            png_set_expand(png);
        }
    }

    // An sRGB chunk needs no correction: the samples are already meant for
    // the display. The file's intent is recorded by libpng itself on reading
    // the chunk, so it is not stored again (libpng 1.6 refuses a second sRGB
    // statement with a warning and ignores it).
    int intent = 0;
    double fileGamma = 0.0;
    if (png_get_sRGB(png, info, &intent) == 0 && png_get_gAMA(png, info, &fileGamma) != 0) {
        png_set_gamma(png, kScreenGamma, fileGamma);
        d->fileGamma = fileGamma;
        d->screenGamma = kScreenGamma;
    }

    if (format == D3DFMT_P8) {
        CopyPaletteChunks(d);
    } else if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) {
        png_set_expand(png);
        format = WithTransparency(format);
    }

    if (format == D3DFMT_R8G8B8 || format == D3DFMT_PRIVATE_R16 || format == D3DFMT_A8R8G8B8) {
        png_set_bgr(png);
    }
    if (format == D3DFMT_R8G8B8) {
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        format = D3DFMT_X8R8G8B8;
    }
    // png_read_image fills whole rows from the passes of an interlaced file;
    // libpng wants that asked for before the transforms are set up, or it
    // warns and turns it on itself.
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_channels(png, info) != ChannelCount(format)) {
        return E_FAIL;
    }

    const std::size_t rowBytes = png_get_rowbytes(png, info);
    image->format = format;
    image->width = width;
    image->height = height;
    image->depth = 1;
    image->rowPitch = static_cast<INT>(rowBytes);
    image->slicePitch = 0;
    if (!image->decode) {
        return S_OK;
    }

    const std::optional<std::uint64_t> bytes = CheckedImageBytes(rowBytes, height);
    if (!bytes) {
        return E_FAIL;
    }
    BYTE* pixels = image->AllocatePixels(*bytes);
    d->rows.reset(new (std::nothrow) png_bytep[height]);
    if (pixels == nullptr || !d->rows) {
        return E_OUTOFMEMORY;
    }
    for (png_uint_32 y = 0; y < height; ++y) {
        d->rows[y] = pixels + std::size_t{y} * rowBytes;
    }
    png_read_image(png, d->rows.get());
    return format == D3DFMT_P8 ? BuildPalette(*d) : S_OK;
}

// Sets libpng's jump point; a libpng error lands here and fails the read.
HRESULT Guarded(PngDecode* d) {
    if (setjmp(png_jmpbuf(d->png)) != 0) {
        return E_FAIL;
    }
    return ReadPng(d);
}

}  // namespace

HRESULT LoadPNG(DecodedImage* image, const BYTE* data, UINT size) {
    if (png_sig_cmp(data, 0, std::min<std::size_t>(size, 8)) != 0) {
        return E_FAIL;
    }
    PngDecode d;
    d.image = image;
    d.source = {data, size};
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (d.png == nullptr) {
        return E_OUTOFMEMORY;
    }
    d.info = png_create_info_struct(d.png);
    const HRESULT result = d.info != nullptr ? Guarded(&d) : E_OUTOFMEMORY;
    png_destroy_read_struct(&d.png, &d.info, nullptr);
    return result;
}
