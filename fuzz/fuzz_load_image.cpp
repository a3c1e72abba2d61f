// libFuzzer target for the image dispatcher: LoadImageFromMemory describes
// each input (decode off, with the image information), then decodes it
// unless it is too large. The two passes must agree on the image information
// and the decoded image must have its pixels inside its memory (see
// ReadImageBounds).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "decoded_image_check.h"
#include "texture/load_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > std::numeric_limits<UINT>::max()) {
        return 0;
    }
    DecodedImage described;
    D3DXIMAGE_INFO describedInfo = {};
    const HRESULT describedResult =
        LoadImageFromMemory(&described, data, static_cast<UINT>(size), &describedInfo, false);
    if (SUCCEEDED(describedResult) &&
        TooLargeToDecode(describedInfo.Width, describedInfo.Height, describedInfo.Depth)) {
        return 0;
    }
    DecodedImage decoded;
    D3DXIMAGE_INFO decodedInfo = {};
    const HRESULT decodedResult =
        LoadImageFromMemory(&decoded, data, static_cast<UINT>(size), &decodedInfo, true);
    if (FAILED(decodedResult)) {
        return 0;
    }
    FuzzCheck(SUCCEEDED(describedResult), "the dispatcher decodes what it cannot describe");
    FuzzCheck(SameFormatOnceDecoded(describedInfo.Format, decodedInfo.Format),
              "describing and decoding give different formats");
    describedInfo.Format = decodedInfo.Format;
    FuzzCheck(std::memcmp(&describedInfo, &decodedInfo, sizeof describedInfo) == 0,
              "describing and decoding give different image information");
    CheckSameDescription(described, decoded);
    ReadImageBounds(decoded);
    return 0;
}
