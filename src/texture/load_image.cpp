#include "texture/load_image.h"

#include <locale.h>
#include <cstring>

#include "platform/diagnostics.h"
#include "texture/format_info.h"
#include "texture/image_readers.h"

namespace {

// One reader a line, in the order of tries.
// clang-format off
constexpr ImageReaderEntry kReaders[] = {
    {LoadBMPFile, D3DXIFF_BMP},
    {LoadPPM, D3DXIFF_PPM},
    {LoadDDS, D3DXIFF_DDS},
    {LoadJPG, D3DXIFF_JPG},
    {LoadPNG, D3DXIFF_PNG},
    {LoadPFM, D3DXIFF_PFM},
    {LoadHDR, D3DXIFF_HDR},
    {LoadTGA, D3DXIFF_TGA},
    {LoadBMP, D3DXIFF_DIB},
};
// clang-format on

// Switches the calling thread's numeric locale to "C" for the life of the
// object, leaving the other categories and other threads alone. When the
// locale cannot be made the thread keeps its own.
class NumericLocaleC {
  public:
    NumericLocaleC() {
        const locale_t current = uselocale(static_cast<locale_t>(nullptr));
        const locale_t copy = duplocale(current);
        if (copy == static_cast<locale_t>(nullptr)) {
            return;
        }
        numericC_ = newlocale(LC_NUMERIC_MASK, "C", copy);
        if (numericC_ == static_cast<locale_t>(nullptr)) {
            freelocale(copy);
            return;
        }
        previous_ = uselocale(numericC_);
    }
    ~NumericLocaleC() {
        if (numericC_ != static_cast<locale_t>(nullptr)) {
            uselocale(previous_);
            freelocale(numericC_);
        }
    }
    NumericLocaleC(const NumericLocaleC&) = delete;
    NumericLocaleC& operator=(const NumericLocaleC&) = delete;

  private:
    locale_t numericC_ = static_cast<locale_t>(nullptr);
    locale_t previous_ = static_cast<locale_t>(nullptr);
};

void SetBoxes(DecodedImage* face) {
    for (; face != nullptr; face = face->nextFace.get()) {
        for (DecodedImage* level = face; level != nullptr; level = level->nextLevel.get()) {
            level->box = {0, 0, level->width, level->height, 0, level->depth};
        }
    }
}

}  // namespace

std::span<const ImageReaderEntry> ImageReaders() {
    return kReaders;
}

HRESULT LoadImageFromMemory(DecodedImage* image, const void* data, UINT size, D3DXIMAGE_INFO* info,
                            bool decode) {
    if (data == nullptr || size == 0) {
        DebugMessage(0, "Source image data (pvSrcData or cbSrcData) is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (info == nullptr && !decode) {
        return S_OK;
    }
    bool accepted = false;
    {
        const NumericLocaleC numericLocale;
        for (const ImageReaderEntry& reader : kReaders) {
            image->decode = decode;
            image->resourceType = D3DRTYPE_TEXTURE;
            image->fileFormat = reader.fileFormat;
            if (SUCCEEDED(reader.read(image, static_cast<const BYTE*>(data), size))) {
                accepted = true;
                break;
            }
            image->ReleaseContents();
        }
    }
    if (!accepted) {
        DebugMessage(0, "Unsupported file format");
        return D3DXERR_INVALIDDATA;
    }
    if (decode && (image->width > kMaxImageSide || image->height > kMaxImageSide ||
                   image->depth > kMaxImageSide)) {
        DebugMessage(0, "Image larger than %u pixels on a side", kMaxImageSide);
        image->ReleaseContents();
        return D3DXERR_INVALIDDATA;
    }
    if (info != nullptr) {
        std::memset(info, 0, sizeof(*info));
        info->Width = image->width;
        info->Height = image->height;
        info->Depth = image->depth;
        info->MipLevels = image->LevelCount();
        info->Format = MapPrivateFormat(image->format);
        info->ResourceType = image->resourceType;
        info->ImageFileFormat = image->fileFormat;
    }
    SetBoxes(image);
    return S_OK;
}
