// vellorn-texture as a user runs it: info and convert on a BMP and a PNG
// written for the test, the PNG files it writes read back with libpng, and
// bad input answered with a message and a non-zero exit status.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "texture/bmp_writer.h"
#include "texture/dds_writer.h"
#include "texture/png_writer.h"

namespace {

using Pixels = std::vector<std::uint32_t>;  // 0xAARRGGBB, rows top first

// 4 x 2 colours whose channels are multiples of 0x11, so that 4-bit formats
// keep them exactly; two are white for the colour key.
const Pixels kColours = {0xFFFFFFFF, 0xFFFF0000, 0xFF336699, 0xFF000000,
                         0xFF88CC44, 0xFF00FF00, 0xFF112233, 0xFFFFFFFF};
constexpr std::uint32_t kWidth = 4;
constexpr std::uint32_t kHeight = 2;

struct ToolRun {
    int status;
    std::string output;  // stdout and stderr
};

ToolRun RunTool(const std::string& arguments) {
    const std::string command = std::string(VELLORN_TEXTURE_TOOL) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {-1, "popen failed"};
    }
    ToolRun run{-1, {}};
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        run.output.append(buffer, n);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

struct PngPixels {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    Pixels pixels;
};

PngPixels ReadPng(const std::string& path) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    PngPixels result;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        return result;
    }
    image.format = PNG_FORMAT_BGRA;
    Pixels pixels(std::size_t{image.width} * image.height);
    if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0) {
        result = {image.width, image.height, std::move(pixels)};
    }
    return result;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

class TextureToolTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string pattern = ::testing::TempDir() + "vellorn_texture_tool_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern + "/";
        BmpDescription bmp;
        bmp.width = kWidth;
        bmp.height = kHeight;
        PngLayout png;
        png.width = kWidth;
        png.height = kHeight;
        png.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        for (std::uint32_t y = 0; y < kHeight; ++y) {
            std::vector<std::uint8_t> row;
            for (std::uint32_t x = 0; x < kWidth; ++x) {
                // The PNG's alpha falls along the row; the BMP has none.
                const std::uint32_t c = kColours[y * kWidth + x];
                row.insert(row.end(),
                           {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                            static_cast<std::uint8_t>(c >> 16)});
                png.rows.insert(
                    png.rows.end(),
                    {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                     static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(255 - 0x44 * x)});
            }
            bmp.rows.push_back(row);
        }
        WriteFile(dir_ + "colours.bmp", BuildBmpFile(bmp));
        WriteFile(dir_ + "colours.png", WritePng(png));
        WriteFile(dir_ + "notes.txt", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }

    static std::string dir_;
};

std::string TextureToolTest::dir_;

// Arguments name files of the test's folder with a leading "@".
std::string InFolder(const std::string& dir, const std::string& arguments) {
    std::string out;
    for (const char c : arguments) {
        out += c == '@' ? dir : std::string(1, c);
    }
    return out;
}

TEST_F(TextureToolTest, InfoTellsTheImageAndTheDefaultTexture) {
    const ToolRun run = RunTool(InFolder(dir_, "info @colours.bmp @colours.png"));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, InFolder(dir_,
                                   "[1/2] @colours.bmp\n"
                                   "  image:   BMP, 4 x 2, depth 1, 1 level, D3DFMT_R8G8B8\n"
                                   "  texture: 4 x 2, 3 levels, D3DFMT_X8R8G8B8\n"
                                   "[2/2] @colours.png\n"
                                   "  image:   PNG, 4 x 2, depth 1, 1 level, D3DFMT_A8R8G8B8\n"
                                   "  texture: 4 x 2, 3 levels, D3DFMT_A8R8G8B8\n"));
}

struct ConvertCase {
    const char* name;
    const char* arguments;  // after "convert", with @out.png as the output
    std::uint32_t width;
    std::uint32_t height;
    const char* format;  // of the texture level
    Pixels expected;
};

Pixels Keyed(Pixels pixels) {
    for (std::uint32_t& pixel : pixels) {
        pixel = pixel == 0xFFFFFFFF ? 0 : pixel;
    }
    return pixels;
}

Pixels WithPngAlpha(Pixels pixels) {
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = (pixels[i] & 0xFFFFFF) | (255u - 0x44u * (i % kWidth)) << 24;
    }
    return pixels;
}

Pixels Doubled(const Pixels& pixels) {
    Pixels out;
    for (std::uint32_t y = 0; y < 2 * kHeight; ++y) {
        for (std::uint32_t x = 0; x < 2 * kWidth; ++x) {
            out.push_back(pixels[y / 2 * kWidth + x / 2]);
        }
    }
    return out;
}

void PrintTo(const ConvertCase& c, std::ostream* out) {
    *out << c.arguments;
}

class ConvertTest : public TextureToolTest, public ::testing::WithParamInterface<ConvertCase> {};

TEST_P(ConvertTest, WritesLevelZeroAsPng) {
    const ConvertCase& c = GetParam();
    const std::string out = dir_ + c.name + ".png";
    const ToolRun run = RunTool(InFolder(dir_, std::string("convert ") + c.arguments + " " + out));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "wrote " + out + ": level 0, " + std::to_string(c.width) + " x " +
                              std::to_string(c.height) + ", " + c.format + "\n");
    const PngPixels png = ReadPng(out);
    EXPECT_EQ(png.width, c.width);
    EXPECT_EQ(png.height, c.height);
    EXPECT_EQ(png.pixels, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ConvertTest,
    ::testing::Values(ConvertCase{"bmp", "@colours.bmp", 4, 2, "D3DFMT_X8R8G8B8", kColours},
                      ConvertCase{"png", "@colours.png", 4, 2, "D3DFMT_A8R8G8B8",
                                  WithPngAlpha(kColours)},
                      ConvertCase{"keyed", "@colours.bmp --color-key FFFFFFFF", 4, 2,
                                  "D3DFMT_A8R8G8B8", Keyed(kColours)},
                      ConvertCase{"a4r4g4b4", "@colours.bmp --format a4r4g4b4 --filter=none", 4, 2,
                                  "D3DFMT_A4R4G4B4", kColours},
                      ConvertCase{"doubled", "@colours.bmp --size 8x4 --filter point --levels 1", 8,
                                  4, "D3DFMT_X8R8G8B8", Doubled(kColours)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextureToolTest, AllLevelsWritesOneFilePerLevel) {
    const ToolRun run = RunTool(InFolder(dir_, "convert @colours.png @chain.png --all-levels"));
    ASSERT_EQ(run.status, 0) << run.output;
    const std::pair<const char*, std::uint32_t> levels[] = {
        {"chain.png", 4}, {"chain-1.png", 2}, {"chain-2.png", 1}};
    for (const auto& [file, width] : levels) {
        const PngPixels png = ReadPng(dir_ + file);
        EXPECT_EQ(png.width, width) << file;
        EXPECT_EQ(png.height, (width + 1) / 2) << file;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ + "chain-3.png"));
}

// A cube map of 4 x 4 with 3 levels and a volume of 4 x 4 x 2 with 2
// levels, A8R8G8B8, every face, level and slice in a colour of its own.
std::uint32_t PartColour(std::uint32_t face, std::uint32_t level, std::uint32_t slice) {
    return 0xFF000000 | (face * 40 + 10) << 16 | (level * 50 + 20) << 8 | (slice * 90 + 30);
}

std::vector<std::uint8_t> ColouredDds(bool cube) {
    DdsDescription d;
    d.pixelFlags = 0x41;
    d.bitCount = 32;
    d.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    d.mipCount = cube ? 3 : 2;
    d.caps2 = cube ? 0x200 | kDdsAllCubeFaces : 0;
    d.headerFlags |= cube ? 0 : kDdsVolumeFlag;
    d.depth = cube ? 0 : 2;
    for (std::uint32_t face = 0; face < (cube ? 6u : 1u); ++face) {
        for (std::uint32_t level = 0; level < d.mipCount; ++level) {
            const std::uint32_t side = 4 >> level;
            for (std::uint32_t slice = 0; slice < (cube ? 1u : 2u >> level); ++slice) {
                const std::uint32_t c = PartColour(face, level, slice);
                for (std::uint32_t i = 0; i < side * side; ++i) {
                    d.pixels.insert(d.pixels.end(), {static_cast<std::uint8_t>(c),
                                                     static_cast<std::uint8_t>(c >> 8),
                                                     static_cast<std::uint8_t>(c >> 16), 0xFF});
                }
            }
        }
    }
    return BuildDds(d);
}

TEST_F(TextureToolTest, DdsChainsInInfoAndEveryFaceAndSliceConverted) {
    WriteFile(dir_ + "cube.dds", ColouredDds(true));
    WriteFile(dir_ + "volume.dds", ColouredDds(false));
    const ToolRun info = RunTool(InFolder(dir_, "info @cube.dds @volume.dds"));
    EXPECT_EQ(info.status, 0) << info.output;
    EXPECT_NE(info.output.find("  image:   DDS, 4 x 4, depth 1, 3 levels, D3DFMT_A8R8G8B8, cube "
                               "map\n  chain:   6 faces of 4 x 4, 2 x 2, 1 x 1\n"),
              std::string::npos)
        << info.output;
    EXPECT_NE(info.output.find("  image:   DDS, 4 x 4, depth 2, 2 levels, D3DFMT_A8R8G8B8, "
                               "volume\n  chain:   4 x 4 x 2, 2 x 2 x 1\n"),
              std::string::npos)
        << info.output;

    struct Part {
        const char* file;
        std::uint32_t face, level, slice;
    };
    const Part cubeParts[] = {{"cube.png", 0, 0, 0},
                              {"cube-2.png", 0, 2, 0},
                              {"cube-face1.png", 1, 0, 0},
                              {"cube-face3-1.png", 3, 1, 0},
                              {"cube-face5-2.png", 5, 2, 0}};
    const Part volumeParts[] = {
        {"volume.png", 0, 0, 0}, {"volume-slice1.png", 0, 0, 1}, {"volume-1.png", 0, 1, 0}};
    for (const auto& [input, parts] : {std::pair{"cube", std::span<const Part>(cubeParts)},
                                       std::pair{"volume", std::span<const Part>(volumeParts)}}) {
        const ToolRun run = RunTool(InFolder(dir_, "convert @" + std::string(input) + ".dds @" +
                                                       input + ".png --all-levels --levels 0"));
        ASSERT_EQ(run.status, 0) << run.output;
        for (const Part& part : parts) {
            const PngPixels png = ReadPng(dir_ + part.file);
            const std::uint32_t side = 4 >> part.level;
            EXPECT_EQ(png.width, side) << part.file;
            EXPECT_EQ(png.pixels,
                      Pixels(side * side, PartColour(part.face, part.level, part.slice)))
                << part.file;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ + "cube-face6.png"));
    EXPECT_FALSE(std::filesystem::exists(dir_ + "volume-1-slice1.png"));
}

struct BadInput {
    const char* arguments;
    int status;
    const char* message;
};

void PrintTo(const BadInput& c, std::ostream* out) {
    *out << c.arguments;
}

class BadInputTest : public TextureToolTest, public ::testing::WithParamInterface<BadInput> {};

TEST_P(BadInputTest, FailsWithAMessage) {
    const ToolRun run = RunTool(InFolder(dir_, GetParam().arguments));
    EXPECT_EQ(run.status, GetParam().status) << run.output;
    EXPECT_NE(run.output.find(InFolder(dir_, GetParam().message)), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BadInputTest,
    ::testing::Values(
        BadInput{"info @missing.png", 1,
                 "D3DX: @missing.png: No such file or directory\r\n"
                 "vellorn-texture: @missing.png: cannot load: D3DXERR_INVALIDDATA"},
        BadInput{"info @colours.bmp @notes.txt", 1,
                 "vellorn-texture: @notes.txt: cannot load: D3DXERR_INVALIDDATA"},
        BadInput{"convert @notes.txt @x.png", 1, "@notes.txt: cannot load: D3DXERR_INVALIDDATA"},
        BadInput{"convert @colours.bmp @no/such/folder/x.png", 1, "cannot write @no/such/folder"},
        BadInput{"convert @colours.bmp @x.png --format R9G9B9", 2,
                 "bad value for --format: \"R9G9B9\""},
        BadInput{"convert @colours.bmp @x.png --size 0x4", 2, "bad value for --size"},
        BadInput{"convert @colours.bmp @x.png --filter cubic", 2, "bad value for --filter"},
        BadInput{"convert @colours.bmp @x.png --color-key FFF", 2, "bad value for --color-key"},
        BadInput{"convert @colours.bmp @x.png --levels", 2, "bad value for --levels"},
        BadInput{"convert @colours.bmp @x.png --sharpen", 2, "unknown option --sharpen"},
        BadInput{"convert @colours.bmp", 2, "needs an input file and an output file"},
        BadInput{"info", 2, "info needs at least one file"},
        BadInput{"resize @colours.bmp", 2, "unknown command \"resize\""}));

TEST_F(TextureToolTest, HelpListsTheCommands) {
    const ToolRun run = RunTool("--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("vellorn-texture info FILE..."), std::string::npos);
    EXPECT_NE(run.output.find("vellorn-texture convert FILE OUT.png [options]"), std::string::npos);
}

}  // namespace
