#include "texture/jpeg_writer.h"

#include <stdio.h>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>

namespace {

struct Compression {
    jpeg_compress_struct compressor = {};
    jpeg_error_mgr errors = {};
    std::jmp_buf jump;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

[[noreturn]] void ErrorExit(j_common_ptr common) {
    std::longjmp(*static_cast<std::jmp_buf*>(common->client_data), 1);
}

// The libjpeg calls, below the jump point and free of objects to destroy.
bool Compress(Compression* c, const JpegLayout& layout) {
    if (setjmp(c->jump) != 0) {
        return false;
    }
    jpeg_create_compress(&c->compressor);
    jpeg_mem_dest(&c->compressor, &c->buffer, &c->size);
    c->compressor.image_width = layout.width;
    c->compressor.image_height = layout.height;
    c->compressor.input_components = layout.components;
    c->compressor.in_color_space =
        layout.components == 1 ? JCS_GRAYSCALE : (layout.components == 4 ? JCS_CMYK : JCS_RGB);
    jpeg_set_defaults(&c->compressor);
    jpeg_set_quality(&c->compressor, layout.quality, TRUE);
    c->compressor.comp_info[0].h_samp_factor = layout.horizontalSampling;
    c->compressor.comp_info[0].v_samp_factor = layout.verticalSampling;
    if (layout.progressive) {
        jpeg_simple_progression(&c->compressor);
    }
    jpeg_start_compress(&c->compressor, TRUE);
    const std::size_t rowBytes = std::size_t{layout.width} * layout.components;
    while (c->compressor.next_scanline < c->compressor.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(layout.samples.data()) + c->compressor.next_scanline * rowBytes;
        jpeg_write_scanlines(&c->compressor, &row, 1);
    }
    jpeg_finish_compress(&c->compressor);
    return true;
}

}  // namespace

std::vector<std::uint8_t> WriteJpeg(const JpegLayout& layout) {
    if (layout.samples.size() !=
        std::size_t{layout.width} * layout.height * static_cast<std::size_t>(layout.components)) {
        return {};
    }
    Compression c;
    c.compressor.err = jpeg_std_error(&c.errors);
    c.errors.error_exit = ErrorExit;
    c.compressor.client_data = &c.jump;
    const bool ok = Compress(&c, layout);
    std::vector<std::uint8_t> file;
    if (ok) {
        file.assign(c.buffer, c.buffer + c.size);
    }
    jpeg_destroy_compress(&c.compressor);
    std::free(c.buffer);
    return file;
}
