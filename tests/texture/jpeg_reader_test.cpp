// The JPEG reader: its pixels against the reference decoder djpeg on files
// cjpeg makes (every sampling, progressive, arithmetic, restart markers,
// grey, the fast integer transform, files cut short), the formats and
// pitches, describing without decoding, and the files it refuses and what it
// says about them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "runtime/win32/debug_output.h"
#include "runtime/win32/settings_store.h"
#include "texture/image_readers.h"
#include "texture/jpeg_writer.h"
#include "texture/load_image.h"
#include "texture/texture_file_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class JpegReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearSettings();
        diagnosticChannel = {};
        SetDebugOutputCapture([this](const char* text) { messages_.emplace_back(text); });
    }
    void TearDown() override {
        SetDebugOutputCapture({});
        ClearSettings();
    }

    // The library's lines, without the "D3DX: " prefix and line end.
    std::vector<std::string> Messages() const {
        std::vector<std::string> lines;
        for (const std::string& line : messages_) {
            lines.push_back(line.substr(6, line.size() - 8));
        }
        return lines;
    }

    std::vector<std::string> messages_;
};

HRESULT Load(DecodedImage* image, const Bytes& file, bool decode = true) {
    image->decode = decode;
    return LoadJPG(image, file.data(), static_cast<UINT>(file.size()));
}

// A picture with smooth gradients, edges and a little noise, as width x
// height x components samples.
Bytes Picture(unsigned width, unsigned height, int components) {
    Bytes samples;
    std::uint32_t seed = 12345;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            for (int c = 0; c < components; ++c) {
                seed = seed * 1664525u + 1013904223u;
                const unsigned edge = (x / 7 + y / 5) % 2 == 0 ? 60 : 0;
                samples.push_back(static_cast<std::uint8_t>(
                    (x * (3 + c) + y * (5 - c) + edge + (seed >> 29)) & 0xFF));
            }
        }
    }
    return samples;
}

JpegLayout Layout(unsigned width, unsigned height, int components, bool progressive = false) {
    JpegLayout layout;
    layout.width = width;
    layout.height = height;
    layout.components = components;
    layout.progressive = progressive;
    layout.samples = Picture(width, height, components);
    return layout;
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A binary PGM (P5) or PPM (P6) with maxval 255: its samples, or nothing.
struct Pnm {
    unsigned width = 0;
    unsigned height = 0;
    int components = 0;
    Bytes samples;
};

Pnm ReadPnm(const std::filesystem::path& path) {
    const Bytes file = ReadFile(path);
    std::istringstream in(std::string(file.begin(), file.end()));
    std::string magic;
    unsigned maxval = 0;
    Pnm pnm;
    in >> magic >> pnm.width >> pnm.height >> maxval;
    in.get();
    if ((magic != "P5" && magic != "P6") || maxval != 255) {
        return {};
    }
    pnm.components = magic == "P5" ? 1 : 3;
    const auto offset = static_cast<std::size_t>(in.tellg());
    pnm.samples.assign(file.begin() + static_cast<std::ptrdiff_t>(offset), file.end());
    return pnm;
}

void WritePnm(const std::filesystem::path& path, const JpegLayout& layout) {
    const std::string header = (layout.components == 1 ? "P5\n" : "P6\n") +
                               std::to_string(layout.width) + " " + std::to_string(layout.height) +
                               "\n255\n";
    Bytes file(header.begin(), header.end());
    file.insert(file.end(), layout.samples.begin(), layout.samples.end());
    WriteFile(path, file);
}

// The decoded image's samples in PNM order: grey as it is, colour as red,
// green, blue (dropping the unused byte).
Bytes AsPnmSamples(const DecodedImage& image) {
    Bytes samples;
    for (UINT y = 0; y < image.height; ++y) {
        const BYTE* row = image.pixels + std::size_t{y} * image.rowPitch;
        for (UINT x = 0; x < image.width; ++x) {
            if (image.format == D3DFMT_L8) {
                samples.push_back(row[x]);
            } else {
                samples.insert(samples.end(), {row[x * 4 + 2], row[x * 4 + 1], row[x * 4]});
            }
        }
    }
    return samples;
}

bool ToolsInstalled() {
    return std::system("command -v cjpeg >/dev/null 2>&1 && command -v djpeg >/dev/null 2>&1") == 0;
}

int Shell(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str());
}

struct ConformanceCase {
    const char* name;
    int components;
    const char* cjpegOptions;
    const char* djpegOptions;
    bool disableMmx;
    // Bytes kept of the file, in percent (100: the whole file).
    int keptPercent;
};

const ConformanceCase kConformanceCases[] = {
    {"Baseline420", 3, "-quality 90 -sample 2x2", "", false, 100},
    {"Baseline422", 3, "-quality 90 -sample 2x1", "", false, 100},
    {"Baseline444", 3, "-quality 90 -sample 1x1", "", false, 100},
    {"Progressive", 3, "-quality 85 -progressive", "", false, 100},
    {"Greyscale", 1, "-quality 90", "", false, 100},
    {"GreyscaleProgressive", 1, "-quality 75 -progressive", "", false, 100},
    {"ArithmeticCoded", 3, "-quality 90 -arithmetic", "", false, 100},
    {"RestartMarkersOptimised", 3, "-quality 60 -restart 1 -optimize", "", false, 100},
    {"FastIntegerTransformWithDisableMmx", 3, "-quality 90", "-dct fast", true, 100},
    {"TruncatedBaseline", 3, "-quality 90", "", false, 60},
    {"TruncatedProgressive", 3, "-quality 90 -progressive", "", false, 70},
};

class JpegConformanceTest : public JpegReaderTest,
                            public ::testing::WithParamInterface<ConformanceCase> {};

TEST_P(JpegConformanceTest, PixelsEqualTheReferenceDecoder) {
    if (!ToolsInstalled()) {
        GTEST_SKIP() << "cjpeg and djpeg are not installed (libjpeg-turbo-progs)";
    }
    const ConformanceCase& c = GetParam();
    TemporaryDirectory dir;
    const std::filesystem::path root = dir.Path();
    const JpegLayout source = Layout(97, 61, c.components);
    WritePnm(root / "source.pnm", source);
    ASSERT_EQ(Shell(std::string("cjpeg ") + c.cjpegOptions + " -outfile " +
                    (root / "full.jpg").string() + " " + (root / "source.pnm").string()),
              0);
    Bytes file = ReadFile(root / "full.jpg");
    ASSERT_GT(file.size(), 1000u);
    file.resize(file.size() * static_cast<std::size_t>(c.keptPercent) / 100);
    const std::filesystem::path jpeg = root / "test.jpg";
    WriteFile(jpeg, file);
    const std::string decode = std::string("djpeg -pnm ") + c.djpegOptions + " -outfile ";
    // djpeg's status is 2 after a warning, such as a premature end.
    const int status = Shell(decode + (root / "reference.pnm").string() + " " + jpeg.string());
    ASSERT_EQ(status, c.keptPercent < 100 ? 2 << 8 : 0);
    const Pnm reference = ReadPnm(root / "reference.pnm");
    ASSERT_EQ(reference.components, c.components);

    if (c.disableMmx) {
        SetRegistryDword("Software\\Direct3D", "DisableMMX", 1);
    }
    DecodedImage image;
    ASSERT_EQ(Load(&image, file), S_OK);
    EXPECT_EQ(image.format, c.components == 1 ? D3DFMT_L8 : D3DFMT_X8R8G8B8);
    EXPECT_EQ(image.width, reference.width);
    EXPECT_EQ(image.height, reference.height);
    EXPECT_EQ(AsPnmSamples(image), reference.samples);
    const std::vector<std::string> truncation = {"LoadJPG: Premature end of JPEG file"};
    EXPECT_EQ(Messages(), c.keptPercent < 100 ? truncation : std::vector<std::string>{});

    if (c.disableMmx) {
        // The setting is what chose the transform: the default one differs.
        ASSERT_EQ(
            Shell("djpeg -pnm -outfile " + (root / "default.pnm").string() + " " + jpeg.string()),
            0);
        EXPECT_NE(ReadPnm(root / "default.pnm").samples, reference.samples);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, JpegConformanceTest, ::testing::ValuesIn(kConformanceCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(JpegReaderTest, FormatsPitchesAndDescribingWithoutDecoding) {
    struct Case {
        int components;
        D3DFORMAT format;
        INT pitch;
    };
    for (const Case& c : {Case{1, D3DFMT_L8, 13}, Case{3, D3DFMT_X8R8G8B8, 52}}) {
        const Bytes file = WriteJpeg(Layout(13, 7, c.components));
        DecodedImage described;
        ASSERT_EQ(Load(&described, file, false), S_OK);
        DecodedImage decoded;
        ASSERT_EQ(Load(&decoded, file), S_OK);
        for (const DecodedImage* image : {&described, &decoded}) {
            EXPECT_EQ(image->format, c.format);
            EXPECT_EQ(image->rowPitch, c.pitch);
            EXPECT_EQ(image->width, 13u);
            EXPECT_EQ(image->height, 7u);
            EXPECT_EQ(image->depth, 1u);
            EXPECT_EQ(image->slicePitch, 0);
        }
        EXPECT_EQ(described.pixels, nullptr);
        ASSERT_NE(decoded.ownedPixels, nullptr);
        EXPECT_EQ(decoded.pixels, decoded.ownedPixels.get());
        for (UINT i = 0; c.components == 3 && i < 13 * 7; ++i) {
            ASSERT_EQ(decoded.pixels[i * 4 + 3], 0) << "pixel " << i;
        }
    }
    EXPECT_TRUE(Messages().empty());
}

// The quantisation table number of the second component in the frame header.
std::size_t SecondTableSelector(const Bytes& file) {
    for (std::size_t i = 0; i + 1 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == 0xC0) {
            return i + 10 + 3 + 2;
        }
    }
    return 0;
}

TEST_F(JpegReaderTest, RefusedFilesAndWhatIsSaidAboutThem) {
    const Bytes colour = WriteJpeg(Layout(16, 16, 3));
    Bytes missingTable = colour;
    missingTable.at(SecondTableSelector(colour)) = 3;
    struct Case {
        const char* name;
        Bytes file;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"cmyk", WriteJpeg(Layout(16, 16, 4)), {}},
        {"foreign bytes", Png24(2, 2, {1, 2, 3, 4}), {}},
        {"start marker then junk", {0xFF, 0xD8, 0x12, 0x34, 0x56, 0x78, 0x9A}, {}},
        {"header cut short", Bytes(colour.begin(), colour.begin() + 100), {}},
        {"no image", {0xFF, 0xD8, 0xFF, 0xD9}, {}},
        {"quantisation table missing after the header",
         missingTable,
         {"LoadJPG: Quantization table 0x03 was not defined"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.clear();
        for (const bool decode : {false, true}) {
            DecodedImage image;
            EXPECT_EQ(Load(&image, c.file, decode), E_FAIL);
        }
        std::vector<std::string> twice = c.messages;
        twice.insert(twice.end(), c.messages.begin(), c.messages.end());
        EXPECT_EQ(Messages(), twice);
    }
    DecodedImage image;
    EXPECT_EQ(LoadJPG(&image, colour.data(), 0), E_FAIL);
}

// Every prefix of a file ends: one that stops before the first scan fails;
// a baseline file cut inside its scan decodes what is there. (A progressive
// file cut inside a later table or scan header may read as corrupt.)
TEST_F(JpegReaderTest, EveryPrefixEndsAndOnlyThoseWithAScanDecode) {
    for (const bool progressive : {false, true}) {
        const Bytes file = WriteJpeg(Layout(24, 16, 3, progressive));
        std::size_t scan = 0;
        while (scan + 1 < file.size() && !(file[scan] == 0xFF && file[scan + 1] == 0xDA)) {
            ++scan;
        }
        const std::size_t scanData = scan + 2 + (file.at(scan + 2) << 8 | file.at(scan + 3));
        for (std::size_t size = 1; size <= file.size(); ++size) {
            const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
            DecodedImage image;
            const HRESULT result = Load(&image, prefix);
            if (size <= scan) {
                EXPECT_EQ(result, E_FAIL) << size;
            } else if (size >= scanData && !progressive) {
                EXPECT_EQ(result, S_OK) << size;
            }
        }
    }
}

TEST_F(JpegReaderTest, TheDispatcherNamesTheFileJpeg) {
    const Bytes file = WriteJpeg(Layout(21, 9, 1));
    DecodedImage image;
    D3DXIMAGE_INFO info = {};
    ASSERT_EQ(LoadImageFromMemory(&image, file.data(), static_cast<UINT>(file.size()), &info, true),
              S_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_JPG);
    EXPECT_EQ(info.Format, D3DFMT_L8);
    EXPECT_EQ(info.Width, 21u);
    EXPECT_EQ(info.Height, 9u);
    EXPECT_EQ(info.MipLevels, 1u);
}

}  // namespace
