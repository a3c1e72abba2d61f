// PngSuite conformance: every valid file of the suite loads through the
// dispatcher, and its pixels, converted to A8R8G8B8 by our own pixel codecs,
// equal what libpng itself decodes the file to; every damaged file (names
// starting with 'x') is refused.
//
// Each valid file is compared twice.
// - As it is. A file with gAMA and without sRGB is corrected for a 2.2
//   display; the simplified API would convert it to sRGB with its own curve,
//   so the reference is libpng's normal API with the same correction,
//   palettes and tRNS expanded, grey turned to RGB, an opaque alpha added and
//   16-bit samples rounded to 8 bits here as v x 255 / 65535 to nearest. A
//   file without gAMA, or with sRGB, is not corrected, and neither is it by
//   the simplified API reading 8-bit BGRA, which is then the reference.
// - With its gAMA chunk taken out, against the simplified API: the same
//   samples, uncorrected, and 16-bit samples reduced by libpng's rounding.
// All must match exactly, but for one difference by design: libpng leaves
// samples alone when file gamma x display gamma is within 0.05 of 1, while
// the palette's gamma table is applied whenever a file gamma is known, so
// such a palette image may differ by one step (g04n3p04: 0.45 x 2.2 = 0.99).
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "pixel/load_test_support.h"
#include "texture/load_image.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::filesystem::path kSuite = VELLORN_PNGSUITE_DIR;

// The suite's file names, or one empty name when the suite is not there.
std::vector<std::string> SuiteFiles() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(kSuite, error)) {
        if (entry.path().extension() == ".png") {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names.empty() ? std::vector<std::string>{""} : names;
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// libpng's normal API decoding to RGBA at 8 or 16 bits with the correction
// our reader applies; state outside the function that sets the jump point.
struct NormalRead {
    const Bytes* file = nullptr;
    std::size_t offset = 0;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    bool interlaced = false;
    bool corrected = false;
    double fileGamma = 0.0;
    Bytes pixels;
    std::vector<png_bytep> rows;
};

void ReadFromFile(png_structp png, png_bytep out, std::size_t count) {
    auto* read = static_cast<NormalRead*>(png_get_io_ptr(png));
    if (count > read->file->size() - read->offset) {
        png_error(png, "read error");
    }
    std::copy_n(read->file->begin() + static_cast<std::ptrdiff_t>(read->offset), count, out);
    read->offset += count;
}

[[noreturn]] void Fail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void Ignore(png_structp, png_const_charp) {}

void ReadRgba(NormalRead* r) {
    png_set_read_fn(r->png, r, ReadFromFile);
    png_read_info(r->png, r->info);
    r->interlaced = png_get_interlace_type(r->png, r->info) != PNG_INTERLACE_NONE;
    int intent = 0;
    double gamma = 0.0;
    if (png_get_sRGB(r->png, r->info, &intent) == 0 && png_get_gAMA(r->png, r->info, &gamma) != 0) {
        png_set_gamma(r->png, 2.2, gamma);
        r->corrected = true;
        r->fileGamma = gamma;
    }
    png_set_expand(r->png);
    png_set_gray_to_rgb(r->png);
    png_set_add_alpha(r->png, 0xFFFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(r->png);
    png_read_update_info(r->png, r->info);
    r->width = png_get_image_width(r->png, r->info);
    r->height = png_get_image_height(r->png, r->info);
    r->bitDepth = png_get_bit_depth(r->png, r->info);
    const std::size_t rowBytes = png_get_rowbytes(r->png, r->info);
    r->pixels.resize(rowBytes * r->height);
    for (png_uint_32 y = 0; y < r->height; ++y) {
        r->rows.push_back(r->pixels.data() + y * rowBytes);
    }
    png_read_image(r->png, r->rows.data());
}

bool GuardedRead(NormalRead* r) {
    if (setjmp(png_jmpbuf(r->png)) != 0) {
        return false;
    }
    ReadRgba(r);
    return true;
}

struct Reference {
    bool read = false;
    bool corrected = false;
    // libpng found the correction too small to apply.
    bool skipped = false;
    bool interlaced16 = false;
    std::vector<std::uint32_t> argb;
};

Reference NormalReference(const Bytes& file) {
    NormalRead r;
    r.file = &file;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Ignore);
    r.info = png_create_info_struct(r.png);
    Reference reference;
    reference.read = GuardedRead(&r);
    png_destroy_read_struct(&r.png, &r.info, nullptr);
    reference.corrected = r.corrected;
    reference.interlaced16 = r.interlaced && r.bitDepth == 16;
    reference.skipped = r.corrected && std::abs(r.fileGamma * 2.2 - 1.0) < 0.05;
    const int bytes = r.bitDepth / 8;
    for (std::size_t i = 0; reference.read && i < r.pixels.size(); i += 4 * bytes) {
        std::uint32_t channels[4];
        for (int c = 0; c < 4; ++c) {
            const std::uint8_t* p = &r.pixels[i + c * bytes];
            channels[c] = bytes == 1 ? p[0] : ((p[0] << 8 | p[1]) * 255u + 32767u) / 65535u;
        }
        reference.argb.push_back(channels[3] << 24 | channels[0] << 16 | channels[1] << 8 |
                                 channels[2]);
    }
    return reference;
}

std::vector<std::uint32_t> SimplifiedReference(const Bytes& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, file.data(), file.size()) == 0) {
        return {};
    }
    image.format = PNG_FORMAT_BGRA;
    // Samples without gAMA are display values at 16 bits as at 8.
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    std::vector<std::uint32_t> argb(std::size_t{image.width} * image.height);
    if (png_image_finish_read(&image, nullptr, argb.data(), 0, nullptr) == 0) {
        png_image_free(&image);
        return {};
    }
    return argb;
}

int LargestChannelDifference(const std::vector<std::uint32_t>& a,
                             const std::vector<std::uint32_t>& b) {
    int largest = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            const int d = std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                                   static_cast<int>((b[i] >> shift) & 0xFF));
            largest = std::max(largest, d);
        }
    }
    return largest;
}

std::string FormatName(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_L8: return "L8";
        case D3DFMT_A8L8: return "A8L8";
        case D3DFMT_L16: return "L16";
        case D3DFMT_P8: return "P8";
        case D3DFMT_X8R8G8B8: return "X8R8G8B8";
        case D3DFMT_A8R8G8B8: return "A8R8G8B8";
        case D3DFMT_A16B16G16R16: return "A16B16G16R16";
        default: break;
    }
    if (format == D3DFMT_PRIVATE_AL16) {
        return "AL16";
    }
    return format == D3DFMT_PRIVATE_R16 ? "R16" : std::to_string(format);
}

// The file without its chunks of one type.
Bytes WithoutChunks(const Bytes& file, std::string_view type) {
    Bytes kept(file.begin(), file.begin() + 8);
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::size_t length =
            std::size_t{file[at]} << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        const std::size_t end = std::min(file.size(), at + 12 + length);
        if (std::string_view(reinterpret_cast<const char*>(&file[at + 4]), 4) != type) {
            kept.insert(kept.end(), file.begin() + static_cast<std::ptrdiff_t>(at),
                        file.begin() + static_cast<std::ptrdiff_t>(end));
        }
        at = end;
    }
    return kept;
}

class PngSuiteTest : public LoadTest, public ::testing::WithParamInterface<std::string> {
  protected:
    // Our decode of file converted to A8R8G8B8 by the pixel codecs; image
    // keeps what the reader made.
    std::vector<std::uint32_t> OursAsArgb(const Bytes& file, DecodedImage* image) {
        D3DXIMAGE_INFO info{};
        EXPECT_EQ(
            LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), &info, true),
            S_OK);
        EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
        ComPtr<IDirect3DTexture9> texture = Texture(image->width, image->height, D3DPOOL_SYSTEMMEM);
        if (!texture) {
            return {};
        }
        const RECT rect = {0, 0, static_cast<LONG>(image->width), static_cast<LONG>(image->height)};
        EXPECT_EQ(D3DXLoadSurfaceFromMemory(Level(texture.Get()).Get(), nullptr, nullptr,
                                            image->pixels, image->format, image->rowPitch,
                                            image->palette, &rect, D3DX_FILTER_NONE, 0),
                  S_OK);
        return Read(Level(texture.Get()).Get());
    }

    std::string Said() const {
        std::string said;
        for (const std::string& line : messages_) {
            said += line.substr(6, line.size() - 8) + "; ";
        }
        return said;
    }
};

TEST_P(PngSuiteTest, LoadsLikeLibpngOrIsRefused) {
    if (GetParam().empty()) {
        GTEST_SKIP() << "no PngSuite at " << kSuite;
    }
    const Bytes file = ReadFile(kSuite / GetParam());
    ASSERT_FALSE(file.empty());
    if (GetParam()[0] == 'x') {
        DecodedImage image;
        EXPECT_EQ(
            LoadImageFromMemory(&image, file.data(), static_cast<UINT>(file.size()), nullptr, true),
            D3DXERR_INVALIDDATA);
        EXPECT_TRUE(Reported("Unsupported file format"));
        EXPECT_EQ(image.pixels, nullptr);
        RecordProperty("outcome", "refused");
        RecordProperty("messages", Said());
        return;
    }

    // As the file is, corrected for the display where it states a gamma.
    DecodedImage image;
    const std::vector<std::uint32_t> ours = OursAsArgb(file, &image);
    EXPECT_EQ(Said(), "");
    RecordProperty("format", FormatName(image.format));
    const Reference normal = NormalReference(file);
    ASSERT_TRUE(normal.read);
    const std::vector<std::uint32_t> reference =
        normal.corrected ? normal.argb : SimplifiedReference(file);
    RecordProperty("reference", normal.corrected ? "normal API, 2.2 display" : "simplified API");
    ASSERT_EQ(reference.size(), ours.size());
    const int difference = LargestChannelDifference(ours, reference);
    RecordProperty("largestDifference", difference);
    EXPECT_LE(difference, image.format == D3DFMT_P8 && normal.skipped ? 1 : 0);

    // The same samples without gAMA: nothing is corrected, and the
    // simplified API reads the file as we do. Except for interlaced 16-bit
    // files: libpng 1.6.39's simplified API misreads those when it reduces
    // them to 8 bits (basi0g16 gives 0x3C for a stored 0), so the normal API
    // without correction stands in for it there.
    const Bytes uncorrected = WithoutChunks(file, "gAMA");
    DecodedImage plainImage;
    const std::vector<std::uint32_t> plain = OursAsArgb(uncorrected, &plainImage);
    const Reference plainNormal = NormalReference(uncorrected);
    ASSERT_TRUE(plainNormal.read);
    ASSERT_FALSE(plainNormal.corrected);
    const std::vector<std::uint32_t> plainReference =
        plainNormal.interlaced16 ? plainNormal.argb : SimplifiedReference(uncorrected);
    RecordProperty("referenceWithoutGamma",
                   plainNormal.interlaced16 ? "normal API" : "simplified API");
    ASSERT_EQ(plainReference.size(), plain.size());
    const int plainDifference = LargestChannelDifference(plain, plainReference);
    RecordProperty("largestDifferenceWithoutGamma", plainDifference);
    EXPECT_EQ(plainDifference, 0);
}

INSTANTIATE_TEST_SUITE_P(PngSuite, PngSuiteTest, ::testing::ValuesIn(SuiteFiles()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                             return param.param.empty()
                                        ? std::string("absent")
                                        : param.param.substr(0, param.param.find('.'));
                         });

}  // namespace
