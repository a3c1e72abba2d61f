// libFuzzer target for image readers: each reader named in
// VELLORN_FUZZ_READERS (a comma-separated list of functions declared in
// texture/image_readers.h) reads every input twice, as the dispatcher calls
// it: describing only, then decoding (unless the image is too large). A
// decoded image must match the description and have its pixels inside its
// memory (see ReadImageBounds).
#include <cstddef>
#include <cstdint>
#include <limits>

#include "decoded_image_check.h"
#include "texture/image_readers.h"

namespace {

constexpr ImageReader kReaders[] = {VELLORN_FUZZ_READERS};

void Read(ImageReader reader, const BYTE* data, UINT size) {
    DecodedImage described;
    const HRESULT describedResult = reader(&described, data, size);
    if (SUCCEEDED(describedResult) &&
        TooLargeToDecode(described.width, described.height, described.depth)) {
        return;
    }
    DecodedImage decoded;
    decoded.decode = true;
    if (FAILED(reader(&decoded, data, size))) {
        return;
    }
    FuzzCheck(SUCCEEDED(describedResult), "a reader decodes what it cannot describe");
    CheckSameDescription(described, decoded);
    ReadImageBounds(decoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > std::numeric_limits<UINT>::max()) {
        return 0;
    }
    for (const ImageReader reader : kReaders) {
        Read(reader, data, static_cast<UINT>(size));
    }
    return 0;
}
