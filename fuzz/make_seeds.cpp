// vellorn_fuzz_seeds DIR [--argument-byte] [--pngsuite DIR]
//
// Writes the seed corpus of a fuzz target into DIR: small BMP files and
// device-independent bitmaps of every depth, header and compression the BMP
// reader knows, PNG files of every colour type and depth, DDS files with
// level chains, a cube, a volume and a palette, small JPEG files (grey and
// colour, each sampling, baseline and progressive), Targa files of every
// image type raw and run-length encoded, portable pixmaps, float maps and
// Radiance files, and, with --pngsuite, every .png file of that folder.
// --argument-byte puts a 0 byte in front of each file, for targets whose
// first byte chooses arguments (0: the game's own).
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "texture/bmp_writer.h"
#include "texture/dds_writer.h"
#include "texture/jpeg_writer.h"
#include "texture/png_writer.h"
#include "texture/text_image_writer.h"
#include "vellorn/d3d9_format.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// height rows of rowBytes bytes each in a deterministic pattern.
std::vector<Bytes> PatternRows(std::size_t rowBytes, std::size_t height) {
    std::vector<Bytes> rows(height, Bytes(rowBytes));
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < rowBytes; ++x) {
            rows[y][x] = static_cast<std::uint8_t>(x * 37 + y * 101 + (x ^ y) * 13);
        }
    }
    return rows;
}

std::vector<std::uint32_t> Palette(std::size_t entries) {
    std::vector<std::uint32_t> palette(entries);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint32_t red = static_cast<std::uint32_t>(i * 255 / (entries - 1));
        const std::uint32_t green = static_cast<std::uint32_t>(i * 97 % 256);
        palette[i] = red << 16 | green << 8 | (255 - red);
    }
    return palette;
}

BmpDescription Bitmap(std::uint32_t headerSize, std::int32_t width, std::int32_t height,
                      std::uint16_t bits) {
    BmpDescription bitmap;
    bitmap.headerSize = headerSize;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bitsPerPixel = bits;
    if (bits <= 8) {
        bitmap.palette = Palette(std::size_t{1} << bits);
    }
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * bits + 7) / 8;
    bitmap.rows = PatternRows(rowBytes, static_cast<std::size_t>(height < 0 ? -height : height));
    return bitmap;
}

BmpDescription Bitfields(std::uint32_t headerSize, std::uint16_t bits,
                         std::array<std::uint32_t, 4> masks) {
    BmpDescription bitmap = Bitmap(headerSize, 5, 3, bits);
    bitmap.compression = 3;
    bitmap.masks = masks;
    return bitmap;
}

// A run-length bitmap (compression 1 for 8 bits, 2 for 4 bits) of 6 x 3: a
// run, line ends, an absolute stretch of 3 pixels, a delta 2 to the right,
// another run and the end of the bitmap.
BmpDescription RunLength(std::uint16_t bits) {
    BmpDescription bitmap = Bitmap(40, 6, 3, bits);
    bitmap.rows.clear();
    if (bits == 8) {
        bitmap.compression = 1;
        bitmap.pixelBytes = {6, 0x12, 0, 0, 0, 3, 0x34, 0x56, 0x78, 0, 0,
                             0, 0,    2, 2, 0, 2, 0x9A, 0,    0,    0, 1};
    } else {
        bitmap.compression = 2;
        bitmap.pixelBytes = {6, 0x12, 0, 0, 0, 3,    0x34, 0x50, 0, 0,
                             0, 2,    2, 0, 2, 0x9A, 0,    0,    0, 1};
    }
    return bitmap;
}

std::vector<BmpDescription> Bitmaps() {
    std::vector<BmpDescription> bitmaps = {
        Bitmap(40, 9, 3, 1),
        Bitmap(40, 5, 3, 4),
        Bitmap(40, 5, 3, 8),
        Bitmap(40, 5, -3, 8),
        Bitmap(40, 5, 3, 16),
        Bitmap(40, 5, 3, 24),
        Bitmap(40, 5, -3, 24),
        Bitmap(40, 5, 3, 32),
        Bitmap(12, 5, 3, 8),
        Bitmap(12, 5, 3, 24),
        Bitfields(108, 16, {0xF800, 0x07E0, 0x001F, 0}),
        Bitfields(56, 16, {0x0F00, 0x00F0, 0x000F, 0xF000}),
        Bitfields(124, 32, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}),
        Bitfields(108, 32, {0x000003FF, 0x000FFC00, 0x3FF00000, 0}),
        RunLength(8),
        RunLength(4),
    };
    BmpDescription fewColours = Bitmap(40, 5, 3, 8);
    fewColours.palette.resize(16);
    fewColours.coloursUsed = 16;
    for (auto& row : fewColours.rows) {
        for (auto& index : row) {
            index &= 15;
        }
    }
    bitmaps.push_back(fewColours);
    return bitmaps;
}

PngLayout Png(int colorType, int bitDepth, bool interlaced = false) {
    PngLayout layout;
    layout.width = 7;
    layout.height = 5;
    layout.colorType = colorType;
    layout.bitDepth = bitDepth;
    layout.interlaced = interlaced;
    const auto rows = PatternRows(PngRowBytes(layout), layout.height);
    for (const auto& row : rows) {
        layout.rows.insert(layout.rows.end(), row.begin(), row.end());
    }
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < (1 << bitDepth); ++i) {
            layout.palette.push_back({static_cast<png_byte>(i * 255 / ((1 << bitDepth) - 1)),
                                      static_cast<png_byte>(i * 7),
                                      static_cast<png_byte>(255 - i)});
        }
        layout.transparentAlpha = {0, 128};
    }
    return layout;
}

std::vector<PngLayout> Pngs() {
    std::vector<PngLayout> pngs;
    for (const int depth : {1, 2, 4, 8, 16}) {
        pngs.push_back(Png(PNG_COLOR_TYPE_GRAY, depth));
    }
    for (const int depth : {1, 2, 4, 8}) {
        pngs.push_back(Png(PNG_COLOR_TYPE_PALETTE, depth));
    }
    for (const int type :
         {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB_ALPHA}) {
        pngs.push_back(Png(type, 8));
        pngs.push_back(Png(type, 16));
    }
    pngs.push_back(Png(PNG_COLOR_TYPE_RGB, 8, true));
    PngLayout keyed = Png(PNG_COLOR_TYPE_RGB, 8);
    keyed.transparentColor = png_color_16{0, 255, 255, 255, 0};
    keyed.gamma = 1.0 / 2.2;
    pngs.push_back(keyed);
    PngLayout keyedGrey = Png(PNG_COLOR_TYPE_GRAY, 16);
    keyedGrey.transparentColor = png_color_16{0, 0, 0, 0, 1000};
    keyedGrey.srgbIntent = 0;
    pngs.push_back(keyedGrey);
    return pngs;
}

struct TextSeed {
    const char* extension;
    Bytes bytes;
};

// Pixmaps with byte and decimal samples, float maps in both byte orders and
// Radiance files with every scanline encoding and a column-first layout.
std::vector<TextSeed> TextSeeds() {
    std::vector<RgbePixel> row;
    for (int i = 0; i < 12; ++i) {
        row.push_back({static_cast<std::uint8_t>(i < 8 ? 40 + i : 90), 20, 200, 130});
    }
    const Bytes oldRuns = OldRunLengthScanline(row);
    const Bytes newRuns = NewRunLengthScanline(row);
    return {
        {"ppm", TextOf("P6\n# seed\n3 2\n255\n") + PatternRows(18, 1)[0]},
        {"ppm", TextOf("P3 2 2 1023 0 1 2 3 4 5 6 7 8 1023 512 9")},
        {"pfm", PfmFile(3, "2 2", "-1.0", {0, 0.25f, 0.5f, 1, 2, 4, 8, 16, 32, 64, 128, 256})},
        {"pfm", PfmFile(1, "3 1", "1.0", {-1, 0.5f, 1e10f})},
        {"hdr", HdrFile({"FORMAT=32-bit_rle_rgbe", "EXPOSURE=2"}, "-Y 2 +X 12",
                        FlatScanline(row) + oldRuns)},
        {"hdr", HdrFile({"FORMAT=32-bit_rle_xyze"}, "+X 2 -Y 12", newRuns + oldRuns)},
    };
}

// DDS files: a DXT1 chain, a DXT5 cube, an A8R8G8B8 volume, a P8 file with
// its palette and a YUY2 file, each with the exact bytes its levels need.
std::vector<Bytes> DdsFiles() {
    DdsDescription dxt1 = FourCCDds(MAKEFOURCC('D', 'X', 'T', '1'), 8, 8, 4);
    dxt1.pixels = PatternBytes(32 + 8 + 8 + 8);
    DdsDescription cube = FourCCDds(MAKEFOURCC('D', 'X', 'T', '5'), 4, 4, 3);
    cube.caps2 = 0x200 | kDdsAllCubeFaces;
    cube.pixels = PatternBytes(6 * 3 * 16);
    DdsDescription volume;
    volume.headerFlags |= kDdsVolumeFlag;
    volume.depth = 2;
    volume.mipCount = 3;
    volume.pixelFlags = 0x41;
    volume.bitCount = 32;
    volume.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    volume.pixels = PatternBytes((16 * 2 + 4 + 1) * 4);
    DdsDescription p8;
    p8.width = 5;
    p8.height = 3;
    p8.mipCount = 2;
    p8.pixelFlags = 0x20;
    p8.bitCount = 8;
    p8.palette = PatternBytes(1024, 1);
    p8.pixels = PatternBytes(15 + 2);
    DdsDescription yuy2 = FourCCDds(MAKEFOURCC('Y', 'U', 'Y', '2'), 6, 2, 1);
    yuy2.pixels = PatternBytes(24);
    return {BuildDds(dxt1), BuildDds(cube), BuildDds(volume), BuildDds(p8), BuildDds(yuy2)};
}

std::vector<JpegLayout> Jpegs() {
    struct Shape {
        int components;
        int horizontal;
        int vertical;
        bool progressive;
    };
    std::vector<JpegLayout> jpegs;
    for (const Shape& shape :
         {Shape{1, 1, 1, false}, Shape{1, 1, 1, true}, Shape{3, 2, 2, false}, Shape{3, 2, 1, false},
          Shape{3, 1, 1, false}, Shape{3, 2, 2, true}}) {
        JpegLayout layout;
        layout.width = 19;
        layout.height = 11;
        layout.components = shape.components;
        layout.horizontalSampling = shape.horizontal;
        layout.verticalSampling = shape.vertical;
        layout.progressive = shape.progressive;
        for (const auto& row : PatternRows(layout.width * shape.components, layout.height)) {
            layout.samples.insert(layout.samples.end(), row.begin(), row.end());
        }
        jpegs.push_back(layout);
    }
    return jpegs;
}

// A 5 x 3 Targa file of imageType (run-length when bit 3 is set) with pixels
// of depth bits, a 24-bit colour map of 16 entries for colour-mapped images.
// Run-length rows are a run of two pixels and a literal of three.
Bytes Targa(std::uint8_t imageType, std::uint8_t depth, std::uint8_t descriptor) {
    const bool mapped = (imageType & 3) == 1;
    Bytes file = {0,         mapped ? std::uint8_t{1} : std::uint8_t{0},
                  imageType, 0,
                  0,         mapped ? std::uint8_t{16} : std::uint8_t{0},
                  0,         mapped ? std::uint8_t{24} : std::uint8_t{0},
                  0,         0,
                  0,         0,
                  5,         0,
                  3,         0,
                  depth,     descriptor};
    if (mapped) {
        const Bytes map = PatternRows(16 * 3, 1)[0];
        file.insert(file.end(), map.begin(), map.end());
    }
    const std::size_t pixelBytes = (depth + 7u) / 8u;
    for (const Bytes& row : PatternRows(5 * pixelBytes, 3)) {
        if ((imageType & 8) == 0) {
            file.insert(file.end(), row.begin(), row.end());
            continue;
        }
        file.push_back(0x81);
        file.insert(file.end(), row.begin(), row.begin() + static_cast<std::ptrdiff_t>(pixelBytes));
        file.push_back(0x02);
        file.insert(file.end(), row.begin() + static_cast<std::ptrdiff_t>(2 * pixelBytes),
                    row.end());
    }
    return file;
}

std::vector<Bytes> Targas() {
    std::vector<Bytes> targas;
    for (const std::uint8_t encoding : {0, 8}) {
        targas.push_back(Targa(1 | encoding, 8, 0x00));
        targas.push_back(Targa(3 | encoding, 8, 0x20));
        for (const std::uint8_t depth : {15, 16, 24, 32}) {
            targas.push_back(Targa(2 | encoding, depth, depth == 24 ? 0x30 : 0x00));
        }
    }
    return targas;
}

bool Write(const std::filesystem::path& path, const Bytes& bytes, bool argumentByte) {
    std::ofstream out(path, std::ios::binary);
    if (argumentByte) {
        out.put('\0');
    }
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool WriteSeeds(const std::filesystem::path& dir, bool argumentByte,
                const std::filesystem::path& pngSuite) {
    bool ok = true;
    int n = 0;
    for (const BmpDescription& bitmap : Bitmaps()) {
        ok = ok && Write(dir / ("seed-" + std::to_string(n) + ".bmp"), BuildBmpFile(bitmap),
                         argumentByte);
        ok = ok &&
             Write(dir / ("seed-" + std::to_string(n) + ".dib"), BuildDib(bitmap), argumentByte);
        ++n;
    }
    for (const PngLayout& png : Pngs()) {
        const Bytes bytes = WritePng(png);
        ok = ok && !bytes.empty() &&
             Write(dir / ("seed-" + std::to_string(n++) + ".png"), bytes, argumentByte);
    }
    for (const TextSeed& seed : TextSeeds()) {
        ok = ok && Write(dir / ("seed-" + std::to_string(n++) + "." + seed.extension), seed.bytes,
                         argumentByte);
    }
    for (const Bytes& dds : DdsFiles()) {
        ok = ok && Write(dir / ("seed-" + std::to_string(n++) + ".dds"), dds, argumentByte);
    }
    for (const JpegLayout& jpeg : Jpegs()) {
        const Bytes bytes = WriteJpeg(jpeg);
        ok = ok && !bytes.empty() &&
             Write(dir / ("seed-" + std::to_string(n++) + ".jpg"), bytes, argumentByte);
    }
    for (const Bytes& targa : Targas()) {
        ok = ok && Write(dir / ("seed-" + std::to_string(n++) + ".tga"), targa, argumentByte);
    }
    if (pngSuite.empty()) {
        return ok;
    }
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(pngSuite, error)) {
        if (entry.path().extension() != ".png") {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ok = ok &&
             Write(dir / ("pngsuite-" + entry.path().filename().string()), bytes, argumentByte);
    }
    return ok && !error;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vellorn_fuzz_seeds DIR [--argument-byte] [--pngsuite DIR]\n");
        return 2;
    }
    bool argumentByte = false;
    std::filesystem::path pngSuite;
    for (int i = 2; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--argument-byte") {
            argumentByte = true;
        } else if (argument == "--pngsuite" && i + 1 < argc) {
            pngSuite = argv[++i];
        } else {
            std::fprintf(stderr, "vellorn_fuzz_seeds: unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    std::error_code error;
    std::filesystem::create_directories(argv[1], error);
    if (error || !WriteSeeds(argv[1], argumentByte, pngSuite)) {
        std::fprintf(stderr, "vellorn_fuzz_seeds: cannot write the seeds into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
