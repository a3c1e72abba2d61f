// Float maps and Radiance files under a process locale with a decimal comma:
// their numbers ("-1.5", "0.5") are read with a decimal point through the
// dispatcher, through the texture entry and by the readers called directly,
// and the caller's locale is the same afterwards.
#include <gtest/gtest.h>

#include <locale.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/decimal_comma_locale.h"
#include "texture/image_readers.h"
#include "texture/load_image.h"
#include "texture/text_image_writer.h"
#include "texture_load_fixture.h"

namespace {

struct LocaleFile {
    const char* name;
    TextFileBytes file;
    D3DXIMAGE_FILEFORMAT fileFormat;
    ImageReader reader;
    // Red, green, blue, alpha of the one pixel.
    std::vector<float> pixel;
};

std::vector<LocaleFile> Files() {
    // Scale -1.5: little-endian samples; read as 1 the same bytes would be
    // taken big-endian.
    return {
        {"float map, scale -1.5",
         PfmFile(3, "1 1", "-1.5", {0.25f, 2.0f, -8.0f}),
         D3DXIFF_PFM,
         LoadPFM,
         {0.25f, 2.0f, -8.0f, 1}},
        {"Radiance, exposure 0.5",
         HdrFile({"EXPOSURE=0.5", "FORMAT=32-bit_rle_rgbe"}, "-Y 1 +X 1",
                 FlatScanline({{128, 64, 32, 129}})),
         D3DXIFF_HDR,
         LoadHDR,
         {2.0078125f, 1.0078125f, 0.5078125f, 1}},
    };
}

std::vector<float> FirstPixel(const BYTE* bytes) {
    std::vector<float> pixel(4);
    std::memcpy(pixel.data(), bytes, 16);
    return pixel;
}

class TextReaderLocaleTest : public TextureLoadTest {
  protected:
    void SetUp() override {
        TextureLoadTest::SetUp();
        callerLocale_ = setlocale(LC_ALL, nullptr);
        ASSERT_TRUE(SetProcessDecimalCommaLocale()) << kNoDecimalCommaLocale;
        commaLocale_ = setlocale(LC_ALL, nullptr);
    }
    void TearDown() override {
        setlocale(LC_ALL, callerLocale_.c_str());
        TextureLoadTest::TearDown();
    }

    void ExpectLocaleKept() const {
        EXPECT_EQ(setlocale(LC_ALL, nullptr), commaLocale_);
        EXPECT_EQ(std::string(localeconv()->decimal_point), ",");
    }

    std::string callerLocale_;
    std::string commaLocale_;
};

TEST_F(TextReaderLocaleTest, NumbersReadWithADecimalPoint) {
    for (const LocaleFile& f : Files()) {
        SCOPED_TRACE(f.name);
        const UINT size = static_cast<UINT>(f.file.size());
        DecodedImage direct;
        ASSERT_EQ(f.reader(&direct, f.file.data(), size), S_OK);
        EXPECT_EQ(FirstPixel(direct.pixels), f.pixel);
        ExpectLocaleKept();

        DecodedImage dispatched;
        D3DXIMAGE_INFO info = {};
        ASSERT_EQ(LoadImageFromMemory(&dispatched, f.file.data(), size, &info, true), S_OK);
        EXPECT_EQ(info.ImageFileFormat, f.fileFormat);
        EXPECT_EQ(FirstPixel(dispatched.pixels), f.pixel);
        ExpectLocaleKept();

        LoadCall call;
        call.levels = 1;
        call.format = D3DFMT_A32B32G32R32F;
        call.filter = D3DX_FILTER_NONE;
        ComPtr<IDirect3DTexture9> texture;
        ASSERT_EQ(Load(f.file, call, &texture, nullptr, &info), S_OK);
        EXPECT_EQ(info.ImageFileFormat, f.fileFormat);
        EXPECT_EQ(FirstPixel(ReadBytes(Level(texture.Get()).Get(), 16, 1).data()), f.pixel);
        ExpectLocaleKept();
    }
}

}  // namespace
