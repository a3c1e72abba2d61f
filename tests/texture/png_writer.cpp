#include "texture/png_writer.h"

#include <zlib.h>

#include <csetjmp>

namespace {

// What the writer works on; it lives outside the function that sets libpng's
// jump point, so an error skips nothing that needs destroying.
struct PngWrite {
    const PngLayout* layout = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<std::uint8_t> bytes;
    std::vector<png_bytep> rows;
};

void Append(png_structp png, png_bytep data, std::size_t count) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    bytes->insert(bytes->end(), data, data + count);
}

void Flush(png_structp) {}

// A refused file is an empty result, not a line on stderr.
[[noreturn]] void Refuse(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

int ChannelsOf(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
        case PNG_COLOR_TYPE_RGB: return 3;
        case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
        default: return 1;
    }
}

void WriteChunks(PngWrite* w) {
    const PngLayout& layout = *w->layout;
    png_set_write_fn(w->png, &w->bytes, Append, Flush);
    // Palette indices past PLTE are what some tests are about.
    png_set_check_for_invalid_index(w->png, 0);
    png_set_IHDR(w->png, w->info, layout.width, layout.height, layout.bitDepth, layout.colorType,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty()) {
        png_set_PLTE(w->png, w->info, layout.palette.data(),
                     static_cast<int>(layout.palette.size()));
    }
    if (!layout.transparentAlpha.empty() || layout.transparentColor) {
        png_color_16 color = layout.transparentColor.value_or(png_color_16{});
        png_set_tRNS(w->png, w->info, layout.transparentAlpha.data(),
                     static_cast<int>(layout.transparentAlpha.size()),
                     layout.transparentColor ? &color : nullptr);
    }
    if (layout.gamma) {
        png_set_gAMA(w->png, w->info, *layout.gamma);
    }
    if (layout.srgbIntent) {
        png_set_sRGB(w->png, w->info, *layout.srgbIntent);
    }
    png_write_info(w->png, w->info);
    png_write_image(w->png, w->rows.data());
    png_write_end(w->png, w->info);
}

bool Guarded(PngWrite* w) {
    if (setjmp(png_jmpbuf(w->png)) != 0) {
        return false;
    }
    WriteChunks(w);
    return true;
}

void AppendBigEndian(std::vector<std::uint8_t>* out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out->push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

}  // namespace

std::size_t PngRowBytes(const PngLayout& layout) {
    const std::size_t bits = std::size_t{layout.width} * ChannelsOf(layout.colorType) *
                             static_cast<unsigned>(layout.bitDepth);
    return (bits + 7) / 8;
}

std::vector<std::uint8_t> WritePng(const PngLayout& layout) {
    const std::size_t rowBytes = PngRowBytes(layout);
    if (layout.rows.size() != rowBytes * layout.height) {
        return {};
    }
    PngWrite w;
    w.layout = &layout;
    auto* first = const_cast<std::uint8_t*>(layout.rows.data());
    for (png_uint_32 y = 0; y < layout.height; ++y) {
        w.rows.push_back(first + y * rowBytes);
    }
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Refuse, IgnoreWarning);
    w.info = w.png != nullptr ? png_create_info_struct(w.png) : nullptr;
    const bool written = w.info != nullptr && Guarded(&w);
    png_destroy_write_struct(&w.png, &w.info);
    return written ? std::move(w.bytes) : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> PngChunk(std::string_view type, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> chunk;
    AppendBigEndian(&chunk, static_cast<std::uint32_t>(data.size()));
    chunk.insert(chunk.end(), type.begin(), type.end());
    chunk.insert(chunk.end(), data.begin(), data.end());
    const uLong crc =
        crc32(crc32(0, nullptr, 0), chunk.data() + 4, static_cast<uInt>(chunk.size() - 4));
    AppendBigEndian(&chunk, static_cast<std::uint32_t>(crc));
    return chunk;
}

std::vector<std::uint8_t> PngHeader(png_uint_32 width, png_uint_32 height, int bitDepth,
                                    int colorType) {
    std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> ihdr;
    AppendBigEndian(&ihdr, width);
    AppendBigEndian(&ihdr, height);
    ihdr.insert(ihdr.end(), {static_cast<std::uint8_t>(bitDepth),
                             static_cast<std::uint8_t>(colorType), 0, 0, 0});
    const std::vector<std::uint8_t> chunk = PngChunk("IHDR", ihdr);
    file.insert(file.end(), chunk.begin(), chunk.end());
    return file;
}
