// The JPEG reader: libjpeg decodes the file into 8-bit grey (D3DFMT_L8) or
// 32-bit colour (D3DFMT_X8R8G8B8, blue first, the unused top byte 0).
//
// libjpeg reports errors through our exit routine, which must not return: it
// jumps back to the point set in Guarded(). Between that point and the
// library's calls only libjpeg's C frames and functions without objects that
// need destroying run, so the jump skips nothing that owns a resource. The
// decompressor lives in JpegDecode, in LoadJPG's own frame, and is destroyed
// there on every path.
// Our headers come first: they declare TRUE and FALSE as constants, which
// jpeglib.h would otherwise have made macros.
#include "platform/diagnostics.h"
#include "platform/processor_check.h"
#include "texture/image_readers.h"

#include <stdio.h>  // jpeglib.h needs FILE and size_t declared first

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

namespace {

// The standard error manager, the jump back to the reader, and whether the
// header has been read: the library's messages are passed on only from then
// on, since before it any data that is not a JPEG file fails quietly.
struct ErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool reporting;
};

// The whole file as the decoder's only source. Once the decoder has had every
// byte, further requests get an end-of-image marker with the library's
// premature-end warning, so a truncated file ends instead of being read again
// from its start.
struct MemorySource {
    jpeg_source_mgr manager;
    const JOCTET* start;
    std::size_t size;
    bool handedOut;
};

struct JpegDecode {
    jpeg_decompress_struct decompressor;
    ErrorManager errors;
    DecodedImage* image;
    const BYTE* data;
    UINT size;
};

constexpr JOCTET kEndOfImage[] = {0xFF, JPEG_EOI};

// Rows handed to libjpeg in one call: at least the rows it produces together
// (two for vertically subsampled colour), so every row is written straight
// into the image instead of through the library's spare row.
constexpr JDIMENSION kRowsPerRead = 16;

void OutputMessage(j_common_ptr common) {
    const auto* errors = reinterpret_cast<const ErrorManager*>(common->err);
    if (!errors->reporting) {
        return;
    }
    char text[JMSG_LENGTH_MAX];
    (*common->err->format_message)(common, text);
    DebugMessage(0, "LoadJPG: %s", text);
}

[[noreturn]] void ErrorExit(j_common_ptr common) {
    (*common->err->output_message)(common);
    std::longjmp(reinterpret_cast<ErrorManager*>(common->err)->jump, 1);
}

void InitSource(j_decompress_ptr) {}

void TermSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr decompressor) {
    auto* source = reinterpret_cast<MemorySource*>(decompressor->src);
    if (!source->handedOut) {
        source->handedOut = true;
        source->manager.next_input_byte = source->start;
        source->manager.bytes_in_buffer = source->size;
        return TRUE;
    }
    WARNMS(decompressor, JWRN_JPEG_EOF);
    source->manager.next_input_byte = kEndOfImage;
    source->manager.bytes_in_buffer = sizeof(kEndOfImage);
    return TRUE;
}

void SkipInputData(j_decompress_ptr decompressor, long count) {
    jpeg_source_mgr* source = decompressor->src;
    if (count <= 0) {
        return;
    }
    const std::size_t skipped = static_cast<unsigned long>(count) < source->bytes_in_buffer
                                    ? static_cast<std::size_t>(count)
                                    : source->bytes_in_buffer;
    source->next_input_byte += skipped;
    source->bytes_in_buffer -= skipped;
}

void InstallMemorySource(JpegDecode* d) {
    j_common_ptr common = reinterpret_cast<j_common_ptr>(&d->decompressor);
    auto* source = static_cast<MemorySource*>(
        (*common->mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(MemorySource)));
    source->manager.next_input_byte = nullptr;
    source->manager.bytes_in_buffer = 0;
    source->manager.init_source = InitSource;
    source->manager.fill_input_buffer = FillInputBuffer;
    source->manager.skip_input_data = SkipInputData;
    source->manager.resync_to_restart = jpeg_resync_to_restart;
    source->manager.term_source = TermSource;
    source->start = d->data;
    source->size = d->size;
    source->handedOut = false;
    d->decompressor.src = &source->manager;
}

// Clears the top byte of each of count 32-bit pixels: libjpeg fills it with
// 0xFF, and the image's unused byte is 0.
void ClearUnusedBytes(JSAMPROW row, JDIMENSION count) {
    for (JDIMENSION x = 0; x < count; ++x) {
        row[std::size_t{x} * 4 + 3] = 0;
    }
}

// Decodes every row straight into the image's buffer.
void ReadRows(jpeg_decompress_struct* decompressor, BYTE* pixels, UINT rowPitch, bool colour) {
    JSAMPROW rows[kRowsPerRead];
    while (decompressor->output_scanline < decompressor->output_height) {
        const JDIMENSION first = decompressor->output_scanline;
        const JDIMENSION left = decompressor->output_height - first;
        const JDIMENSION count = left < kRowsPerRead ? left : kRowsPerRead;
        for (JDIMENSION i = 0; i < count; ++i) {
            rows[i] = pixels + std::size_t{first + i} * rowPitch;
        }
        const JDIMENSION read = jpeg_read_scanlines(decompressor, rows, count);
        for (JDIMENSION i = 0; colour && i < read; ++i) {
            ClearUnusedBytes(rows[i], decompressor->output_width);
        }
    }
}

// The decode proper. It runs below Guarded's jump point, so it holds no
// object that needs destroying while it calls into libjpeg.
HRESULT ReadJpeg(JpegDecode* d) {
    jpeg_decompress_struct* decompressor = &d->decompressor;
    // libjpeg's working memory (the whole-image coefficient buffer of a
    // progressive file) is held to the bound of a decoded image; past it the
    // library fails instead of asking for gigabytes a forged header names.
    decompressor->mem->max_memory_to_use = static_cast<long>(kMaxDecodedImageBytes);
    InstallMemorySource(d);
    jpeg_read_header(decompressor, TRUE);
    if (!ProcessorHasMmx()) {
        decompressor->dct_method = JDCT_IFAST;
    }
    // Colour arrives blue, green, red and a filler byte, the memory order of
    // D3DFMT_X8R8G8B8, from the same conversion that would produce red,
    // green, blue; grey and four-component files keep the default.
    if (decompressor->out_color_space == JCS_RGB) {
        decompressor->out_color_space = JCS_EXT_BGRX;
    }
    d->errors.reporting = true;
    jpeg_start_decompress(decompressor);

    DecodedImage* image = d->image;
    const JDIMENSION width = decompressor->output_width;
    switch (decompressor->output_components) {
        case 1:
            image->format = D3DFMT_L8;
            image->rowPitch = static_cast<INT>(width);
            break;
        case 4:
            if (decompressor->out_color_space == JCS_EXT_BGRX) {
                image->format = D3DFMT_X8R8G8B8;
                image->rowPitch = static_cast<INT>(width * 4);
                break;
            }
            return E_FAIL;
        default: return E_FAIL;
    }
    image->width = width;
    image->height = decompressor->output_height;
    image->depth = 1;
    image->slicePitch = 0;
    if (!image->decode) {
        return S_OK;
    }
    const std::optional<std::uint64_t> bytes =
        CheckedImageBytes(static_cast<UINT>(image->rowPitch), image->height);
    if (!bytes) {
        return E_FAIL;
    }
    BYTE* pixels = image->AllocatePixels(*bytes);
    if (pixels == nullptr) {
        return E_OUTOFMEMORY;
    }
    ReadRows(decompressor, pixels, static_cast<UINT>(image->rowPitch),
             image->format == D3DFMT_X8R8G8B8);
    jpeg_finish_decompress(decompressor);
    return S_OK;
}

// Creates the decompressor and sets libjpeg's jump point; a libjpeg error
// lands here and fails the read.
HRESULT Guarded(JpegDecode* d) {
    if (setjmp(d->errors.jump) != 0) {
        return E_FAIL;
    }
    jpeg_create_decompress(&d->decompressor);
    return ReadJpeg(d);
}

}  // namespace

HRESULT LoadJPG(DecodedImage* image, const BYTE* data, UINT size) {
    if (data == nullptr || size == 0) {
        return E_FAIL;
    }
    JpegDecode d = {};
    d.image = image;
    d.data = data;
    d.size = size;
    d.decompressor.err = jpeg_std_error(&d.errors.manager);
    d.errors.manager.error_exit = ErrorExit;
    d.errors.manager.output_message = OutputMessage;
    d.errors.reporting = false;
    const HRESULT result = Guarded(&d);
    jpeg_destroy_decompress(&d.decompressor);
    return result;
}
