// Failures of textures from image files: argument checks, files that cannot
// be read or decoded, and every device call failing in turn, each leaving
// the output untouched and nothing behind.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "texture_load_fixture.h"

namespace {

// Stands for a texture the caller already holds: a failing load must not
// write over it.
IDirect3DTexture9* const kUntouched = reinterpret_cast<IDirect3DTexture9*>(0x1230);

struct ArgumentCase {
    const char* label;
    bool device;
    bool data;
    UINT size;  // 0: the file's
    bool output;
    const char* message;
};

TEST_F(TextureLoadTest, ArgumentsAreCheckedInOrder) {
    const std::vector<BYTE> file = Bmp24(4, 4, Colours(4, 4));
    const ArgumentCase cases[] = {
        {"no device", false, false, 0, false, "pDevice pointer is invalid"},
        {"no data", true, false, 0, false, "pvSrcData pointer is invalid"},
        {"empty data", true, true, 0, false, "cbSrcData value is invalid"},
        {"no output", true, true, static_cast<UINT>(file.size()), false,
         "Texture pointer is invalid"},
    };
    for (const ArgumentCase& c : cases) {
        SCOPED_TRACE(c.label);
        messages_.clear();
        EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(
                      c.device ? device_.Get() : nullptr, c.data ? file.data() : nullptr, c.size,
                      D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                      D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, nullptr),
                  D3DERR_INVALIDCALL);
        EXPECT_EQ(messages_, std::vector<std::string>{"D3DX: " + std::string(c.message) + "\r\n"});
    }
}

// Loads through the file entry: its result, what it reported, and the
// output, which only a success may change.
struct FileCase {
    const char* label;
    const char* name;  // below the test directory; null: no name
    std::vector<BYTE> bytes;
    bool write;
    HRESULT expected;
    std::string message;  // after "<path>: " when it starts with ':'
};

TEST_F(TextureLoadTest, FileEntry) {
    const std::vector<std::uint32_t> pixels = Colours(8, 8);
    const FileCase cases[] = {
        {"image", "image.bmp", Bmp24(8, 8, pixels), true, S_OK, ""},
        {"no name", nullptr, {}, false, D3DERR_INVALIDCALL, "Invalid file name"},
        {"missing",
         "missing.bmp",
         {},
         false,
         D3DXERR_INVALIDDATA,
         std::string(":") + std::strerror(ENOENT)},
        {"empty", "empty.bmp", {}, true, D3DERR_INVALIDCALL, "pvSrcData pointer is invalid"},
        {"unsupported",
         "text.bmp",
         {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'},
         true,
         D3DXERR_INVALIDDATA,
         "Unsupported file format"},
    };
    TemporaryDirectory directory;
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.label);
        messages_.clear();
        ClearCallLog();
        const ULONG references = DeviceReferences();
        std::string path;
        if (c.name != nullptr) {
            path = c.write ? directory.Write(c.name, c.bytes) : directory.Path() + "/" + c.name;
        }
        D3DXIMAGE_INFO info{};
        IDirect3DTexture9* texture = kUntouched;
        EXPECT_EQ(D3DXCreateTextureFromFileExA(device_.Get(), c.name ? path.c_str() : nullptr,
                                               D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN,
                                               D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                               &info, nullptr, &texture),
                  c.expected);
        EXPECT_TRUE(directory.Users().empty());
        if (SUCCEEDED(c.expected)) {
            ASSERT_NE(texture, kUntouched);
            const ComPtr<IDirect3DTexture9> held = ComPtr<IDirect3DTexture9>::Adopt(texture);
            std::vector<std::uint32_t> texels = Texels(texture);
            for (std::uint32_t& t : texels) {
                t &= 0xFFFFFF;
            }
            EXPECT_EQ(texels, pixels);
            EXPECT_EQ(info.Width, 8u);
            EXPECT_EQ(info.Height, 8u);
            EXPECT_EQ(info.Depth, 1u);
            EXPECT_EQ(info.MipLevels, 1u);
            EXPECT_EQ(info.Format, D3DFMT_R8G8B8);
            EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
            EXPECT_EQ(info.ImageFileFormat, D3DXIFF_BMP);
            EXPECT_TRUE(messages_.empty());
            continue;
        }
        EXPECT_EQ(texture, kUntouched);
        EXPECT_EQ(Calls("CreateTexture"), 0);
        EXPECT_EQ(DeviceReferences(), references);
        const std::string message =
            c.message[0] == ':' ? path + ": " + c.message.substr(1) : c.message;
        EXPECT_EQ(messages_, std::vector<std::string>{"D3DX: " + message + "\r\n"});
    }
}

constexpr HRESULT kFault = D3DERR_OUTOFVIDEOMEMORY;

struct FaultCase {
    const char* operation;
    int nth;
    HRESULT expected;
    const char* message;  // null: none from the loader
};

// The device calls the loader makes itself fail with the device's result;
// a format search that cannot ask the device finds nothing.
TEST_F(TextureLoadTest, DeviceFailuresAreReturned) {
    const FaultCase cases[] = {
        {"CreateTexture", 1, kFault, "Failed trying to create texture"},
        {"CreateTexture", 2, kFault, "Failed trying to create texture"},
        {"IDirect3DTexture9::GetSurfaceLevel", 1, kFault, nullptr},
        {"UpdateTexture", 1, kFault, nullptr},
        {"GetDeviceCaps", 1, D3DERR_NOTAVAILABLE, "Device does not support this Usage/ResType"},
        {"GetDeviceCaps", 2, kFault, nullptr},
    };
    const std::vector<BYTE> file = Bmp24(8, 8, Colours(8, 8));
    LoadCall call;
    call.pool = D3DPOOL_DEFAULT;
    call.mipFilter = D3DX_FILTER_TRIANGLE;
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.operation << " " << c.nth);
        messages_.clear();
        const ULONG references = DeviceReferences();
        InjectFault(c.operation, c.nth, kFault);
        IDirect3DTexture9* texture = kUntouched;
        EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(
                      device_.Get(), file.data(), static_cast<UINT>(file.size()), call.width,
                      call.height, call.levels, call.usage, call.format, call.pool, call.filter,
                      call.mipFilter, call.colorKey, nullptr, nullptr, &texture),
                  c.expected);
        EXPECT_EQ(texture, kUntouched);
        EXPECT_EQ(DeviceReferences(), references);
        const std::vector<std::string> expected =
            c.message != nullptr
                ? std::vector<std::string>{"D3DX: " + std::string(c.message) + "\r\n"}
                : std::vector<std::string>{};
        EXPECT_EQ(messages_, expected);
        ResetDeviceControl();
        EnableCallLog(true);
    }
}

// Every device call of a load failing in turn, whoever makes it: the load
// fails with the output untouched or succeeds, and afterwards the device
// holds no more references than before.
TEST_F(TextureLoadTest, EveryDeviceCallMayFail) {
    const std::vector<BYTE> file = Bmp24(8, 8, Colours(8, 8));
    for (const D3DPOOL pool : {D3DPOOL_DEFAULT, D3DPOOL_MANAGED}) {
        LoadCall call;
        call.pool = pool;
        call.colorKey = 0xFFFFFFFF;
        ComPtr<IDirect3DTexture9> loaded;
        ClearCallLog();
        ASSERT_EQ(Load(file, call, &loaded), S_OK);
        loaded.Reset();
        std::map<std::string, int> calls;
        for (const std::string& operation : CallLog()) {
            ++calls[operation];
        }
        ASSERT_GE(calls.size(), 5u);
        int failures = 0;
        for (const auto& [operation, count] : calls) {
            for (int nth = 1; nth <= count; ++nth) {
                SCOPED_TRACE(testing::Message() << pool << " " << operation << " " << nth);
                const ULONG references = DeviceReferences();
                InjectFault(operation.c_str(), nth, kFault);
                IDirect3DTexture9* texture = kUntouched;
                const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
                    device_.Get(), file.data(), static_cast<UINT>(file.size()), call.width,
                    call.height, call.levels, call.usage, call.format, call.pool, call.filter,
                    call.mipFilter, call.colorKey, nullptr, nullptr, &texture);
                if (FAILED(hr)) {
                    ++failures;
                    EXPECT_EQ(texture, kUntouched);
                } else {
                    ASSERT_NE(texture, kUntouched);
                    texture->Release();
                }
                EXPECT_EQ(DeviceReferences(), references);
                ResetDeviceControl();
                EnableCallLog(true);
            }
        }
        EXPECT_GT(failures, 0);
    }
}

}  // namespace
