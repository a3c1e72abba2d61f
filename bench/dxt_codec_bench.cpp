// The block codec beside two peers in one run: encoding and decoding
// throughput (million pixels per second) and quality (PSNR in dB of red,
// green and blue together, and of alpha for "DXT5").
//
// - ours: encoding is D3DXLoadSurfaceFromMemory from an A8R8G8B8 image into
//   a "DXT1" or "DXT5" managed texture level with the default filter, as
//   callers load (and, in the ours-nodither rows, with D3DX_FILTER_NONE,
//   which leaves out the dither); decoding is the same load from the blocks into an A8R8G8B8
//   level. Both run on the headless software device.
// - libsquish with its default fit (cluster fit) through CompressImage and
//   DecompressImage on RGBA8.
// - stb_dxt (stb_compress_dxt_block, normal mode) block by block; it has no
//   decoder.
//
// Every encoder's blocks are decoded by libsquish's decoder for the PSNR, so
// the PSNR columns compare the encoders alone.
//
// Images: two photographs of the lomiri-wallpapers-20.04 package (scripts/
// setup installs it; their 1024 x 1024 centre), a smooth gradient, the
// game's sprite atlas (assets/bitmap.png, white made transparent as the game
// loads it) and noise. Rows whose image is missing are skipped with the
// reason.
#include <benchmark/benchmark.h>

#include <squish.h>
#include <stb/stb_dxt.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/headless_device.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3d9.h"
#include "vellorn/d3dx_texture.h"

namespace {

constexpr int kPhotoSize = 1024;
constexpr int kSyntheticSize = 1024;

// RGBA8, rows packed.
struct Image {
    std::string name;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
    std::string missing;  // why the image could not be made
};

IDirect3DDevice9* Device() {
    static const HeadlessDevice device;
    return device.Get();
}

Image Photo(const char* name, const char* file) {
    Image image;
    image.name = name;
    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* pixels = stbi_load(file, &width, &height, &channels, 4);
    if (pixels == nullptr) {
        image.missing = std::string("cannot read ") + file + " (scripts/setup installs it)";
        return image;
    }
    image.width = std::min(width, kPhotoSize);
    image.height = std::min(height, kPhotoSize);
    const int left = (width - image.width) / 2;
    const int top = (height - image.height) / 2;
    image.rgba.resize(std::size_t(image.width) * image.height * 4);
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(&image.rgba[std::size_t(y) * image.width * 4],
                    pixels + (std::size_t(top + y) * width + left) * 4,
                    std::size_t(image.width) * 4);
    }
    stbi_image_free(pixels);
    return image;
}

Image Gradient() {
    Image image{"gradient", kSyntheticSize, kSyntheticSize, {}, {}};
    image.rgba.resize(std::size_t(kSyntheticSize) * kSyntheticSize * 4);
    for (int y = 0; y < kSyntheticSize; ++y) {
        for (int x = 0; x < kSyntheticSize; ++x) {
            std::uint8_t* p = &image.rgba[(std::size_t(y) * kSyntheticSize + x) * 4];
            p[0] = static_cast<std::uint8_t>(x * 255 / (kSyntheticSize - 1));
            p[1] = static_cast<std::uint8_t>(y * 255 / (kSyntheticSize - 1));
            p[2] = static_cast<std::uint8_t>((x + y) * 255 / (2 * kSyntheticSize - 2));
            p[3] = static_cast<std::uint8_t>(255 - (x + y) * 255 / (2 * kSyntheticSize - 2));
        }
    }
    return image;
}

Image Noise() {
    Image image{"noise", kSyntheticSize, kSyntheticSize, {}, {}};
    image.rgba.resize(std::size_t(kSyntheticSize) * kSyntheticSize * 4);
    std::uint32_t state = 12345u;
    for (std::uint8_t& byte : image.rgba) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return image;
}

Image Atlas() {
    Image image = Photo("atlas", VELLORN_ASSET_DIR "/bitmap.png");
    // The game loads the atlas with the colour key opaque white: those texels
    // become transparent black.
    for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
        std::uint8_t* p = &image.rgba[i];
        if (p[0] == 255 && p[1] == 255 && p[2] == 255) {
            p[0] = p[1] = p[2] = p[3] = 0;
        }
    }
    return image;
}

const std::vector<Image>& Images() {
    static const std::vector<Image> images = {
        Photo("photo-sea", "/usr/share/backgrounds/Infinite-Sea_by_Aury88.jpg"),
        Photo("photo-kleiber", "/usr/share/backgrounds/Kleiber_by_Lukas_Baubkus.jpg"),
        Gradient(),
        Atlas(),
        Noise(),
    };
    return images;
}

// "DXT1" stores one bit of alpha: texels below one half become transparent
// black, which would swamp the colour PSNR of images whose alpha varies
// smoothly. The "DXT1" rows encode those opaque; the atlas keeps its
// transparency, which is what "DXT1" is for.
const Image& OpaqueForDxt1(const Image& image) {
    static std::vector<std::unique_ptr<Image>> opaque;
    if (image.name == "atlas") {
        return image;
    }
    for (const auto& made : opaque) {
        if (made->name == image.name) {
            return *made;
        }
    }
    opaque.push_back(std::make_unique<Image>(image));
    for (std::size_t i = 3; i < opaque.back()->rgba.size(); i += 4) {
        opaque.back()->rgba[i] = 255;
    }
    return *opaque.back();
}

std::vector<std::uint8_t> ToBgra(const Image& image) {
    std::vector<std::uint8_t> bgra(image.rgba);
    for (std::size_t i = 0; i < bgra.size(); i += 4) {
        std::swap(bgra[i], bgra[i + 2]);
    }
    return bgra;
}

int BlockBytes(bool dxt5) {
    return dxt5 ? 16 : 8;
}

std::size_t BlocksSize(const Image& image, bool dxt5) {
    return std::size_t((image.width + 3) / 4) * ((image.height + 3) / 4) * BlockBytes(dxt5);
}

int SquishFlags(bool dxt5) {
    return dxt5 ? squish::kDxt5 : squish::kDxt1;
}

// PSNR of the blocks as libsquish decodes them: red, green and blue
// together, and alpha.
void ReportQuality(benchmark::State& state, const Image& image,
                   const std::vector<std::uint8_t>& blocks, bool dxt5) {
    std::vector<std::uint8_t> decoded(image.rgba.size());
    squish::DecompressImage(decoded.data(), image.width, image.height, blocks.data(),
                            SquishFlags(dxt5));
    double colour = 0.0;
    double alpha = 0.0;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        const double d = double(decoded[i]) - double(image.rgba[i]);
        (i % 4 == 3 ? alpha : colour) += d * d;
    }
    const double pixels = double(decoded.size() / 4);
    const auto psnr = [](double mse) {
        return mse > 0.0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : 99.0;
    };
    state.counters["PSNR_RGB"] = psnr(colour / (3 * pixels));
    if (dxt5) {
        state.counters["PSNR_A"] = psnr(alpha / pixels);
    }
}

void ReportThroughput(benchmark::State& state, const Image& image) {
    state.counters["Mpx/s"] =
        benchmark::Counter(double(image.width) * image.height * double(state.iterations()) / 1e6,
                           benchmark::Counter::kIsRate);
}

ComPtr<IDirect3DSurface9> ManagedLevel(const Image& image, D3DFORMAT format) {
    ComPtr<IDirect3DTexture9> texture;
    ComPtr<IDirect3DSurface9> level;
    if (Device() != nullptr &&
        SUCCEEDED(Device()->CreateTexture(image.width, image.height, 1, 0, format, D3DPOOL_MANAGED,
                                          texture.ReleaseAndGetAddressOf(), nullptr))) {
        texture->GetSurfaceLevel(0, level.ReleaseAndGetAddressOf());
    }
    return level;
}

std::vector<std::uint8_t> StoredBlocks(IDirect3DSurface9* level, const Image& image, bool dxt5) {
    std::vector<std::uint8_t> blocks(BlocksSize(image, dxt5));
    D3DLOCKED_RECT locked{};
    if (FAILED(level->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        return blocks;
    }
    const std::size_t rowBytes = std::size_t((image.width + 3) / 4) * BlockBytes(dxt5);
    for (int row = 0; row < (image.height + 3) / 4; ++row) {
        std::memcpy(&blocks[row * rowBytes],
                    static_cast<const BYTE*>(locked.pBits) + row * locked.Pitch, rowBytes);
    }
    level->UnlockRect();
    return blocks;
}

void EncodeThroughLoad(benchmark::State& state, const Image& image, bool dxt5, DWORD filter) {
    const std::vector<std::uint8_t> bgra = ToBgra(image);
    ComPtr<IDirect3DSurface9> level = ManagedLevel(image, dxt5 ? D3DFMT_DXT5 : D3DFMT_DXT1);
    if (!level) {
        state.SkipWithError("no block texture");
        return;
    }
    const RECT whole = {0, 0, image.width, image.height};
    for (auto _ : state) {
        if (FAILED(D3DXLoadSurfaceFromMemory(level.Get(), nullptr, nullptr, bgra.data(),
                                             D3DFMT_A8R8G8B8, UINT(image.width) * 4, nullptr,
                                             &whole, filter, 0))) {
            state.SkipWithError("load failed");
            return;
        }
    }
    ReportThroughput(state, image);
    ReportQuality(state, image, StoredBlocks(level.Get(), image, dxt5), dxt5);
}

// The default filter of a load: a same-size load with ordered dither, which
// the block encoder turns into error diffusion inside each block.
void OursEncode(benchmark::State& state, const Image& image, bool dxt5) {
    EncodeThroughLoad(state, image, dxt5, D3DX_DEFAULT);
}

// The same load without dither, for the encoder's plain quality.
void OursEncodeNoDither(benchmark::State& state, const Image& image, bool dxt5) {
    EncodeThroughLoad(state, image, dxt5, D3DX_FILTER_NONE);
}

void OursDecode(benchmark::State& state, const Image& image, bool dxt5) {
    std::vector<std::uint8_t> blocks(BlocksSize(image, dxt5));
    squish::CompressImage(image.rgba.data(), image.width, image.height, blocks.data(),
                          SquishFlags(dxt5));
    ComPtr<IDirect3DSurface9> level = ManagedLevel(image, D3DFMT_A8R8G8B8);
    if (!level) {
        state.SkipWithError("no colour texture");
        return;
    }
    const RECT whole = {0, 0, image.width, image.height};
    const UINT pitch = UINT((image.width + 3) / 4) * BlockBytes(dxt5);
    for (auto _ : state) {
        if (FAILED(D3DXLoadSurfaceFromMemory(level.Get(), nullptr, nullptr, blocks.data(),
                                             dxt5 ? D3DFMT_DXT5 : D3DFMT_DXT1, pitch, nullptr,
                                             &whole, D3DX_DEFAULT, 0))) {
            state.SkipWithError("load failed");
            return;
        }
    }
    ReportThroughput(state, image);
}

void SquishEncode(benchmark::State& state, const Image& image, bool dxt5) {
    std::vector<std::uint8_t> blocks(BlocksSize(image, dxt5));
    for (auto _ : state) {
        squish::CompressImage(image.rgba.data(), image.width, image.height, blocks.data(),
                              SquishFlags(dxt5));
        benchmark::DoNotOptimize(blocks.data());
    }
    ReportThroughput(state, image);
    ReportQuality(state, image, blocks, dxt5);
}

void SquishDecode(benchmark::State& state, const Image& image, bool dxt5) {
    std::vector<std::uint8_t> blocks(BlocksSize(image, dxt5));
    squish::CompressImage(image.rgba.data(), image.width, image.height, blocks.data(),
                          SquishFlags(dxt5));
    std::vector<std::uint8_t> decoded(image.rgba.size());
    for (auto _ : state) {
        squish::DecompressImage(decoded.data(), image.width, image.height, blocks.data(),
                                SquishFlags(dxt5));
        benchmark::DoNotOptimize(decoded.data());
    }
    ReportThroughput(state, image);
}

void StbEncode(benchmark::State& state, const Image& image, bool dxt5) {
    std::vector<std::uint8_t> blocks(BlocksSize(image, dxt5));
    const int across = (image.width + 3) / 4;
    const int down = (image.height + 3) / 4;
    for (auto _ : state) {
        std::uint8_t* out = blocks.data();
        for (int by = 0; by < down; ++by) {
            for (int bx = 0; bx < across; ++bx) {
                // Texels past the edges repeat the last row or column.
                std::uint8_t block[64];
                for (int i = 0; i < 16; ++i) {
                    const int x = std::min(bx * 4 + i % 4, image.width - 1);
                    const int y = std::min(by * 4 + i / 4, image.height - 1);
                    std::memcpy(block + 4 * i, &image.rgba[(std::size_t(y) * image.width + x) * 4],
                                4);
                }
                stb_compress_dxt_block(out, block, dxt5 ? 1 : 0, STB_DXT_NORMAL);
                out += BlockBytes(dxt5);
            }
        }
        benchmark::DoNotOptimize(blocks.data());
    }
    ReportThroughput(state, image);
    ReportQuality(state, image, blocks, dxt5);
}

using Runner = void (*)(benchmark::State&, const Image&, bool);

void Register() {
    const struct {
        const char* name;
        Runner run;
    } kRunners[] = {{"encode/ours", OursEncode},     {"encode/ours-nodither", OursEncodeNoDither},
                    {"encode/squish", SquishEncode}, {"encode/stb", StbEncode},
                    {"decode/ours", OursDecode},     {"decode/squish", SquishDecode}};
    for (const Image& image : Images()) {
        for (bool dxt5 : {false, true}) {
            for (const auto& runner : kRunners) {
                const std::string name =
                    std::string(runner.name) + "/" + (dxt5 ? "DXT5" : "DXT1") + "/" + image.name;
                const Runner run = runner.run;
                const Image* shown = dxt5 ? &image : &OpaqueForDxt1(image);
                benchmark::RegisterBenchmark(name.c_str(), [run, shown,
                                                            dxt5](benchmark::State& state) {
                    if (!shown->missing.empty()) {
                        state.SkipWithError(shown->missing.c_str());
                        for (auto _ : state) {
                        }
                        return;
                    }
                    run(state, *shown, dxt5);
                })->Unit(benchmark::kMillisecond);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
