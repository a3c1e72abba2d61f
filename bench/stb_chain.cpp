#include "stb_chain.h"

#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>

#include <cstddef>

namespace {

stbi_uc* DecodeRgba(const StbBytes& file, int* width, int* height) {
    int channels = 0;
    return stbi_load_from_memory(file.data(), static_cast<int>(file.size()), width, height,
                                 &channels, 4);
}

void Resize(const unsigned char* from, int width, int height, unsigned char* to, int toWidth,
            int toHeight, stbir_filter filter) {
    stbir_resize_uint8_generic(from, width, height, 0, to, toWidth, toHeight, 0, 4,
                               STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP, filter,
                               STBIR_COLORSPACE_LINEAR, nullptr);
}

}  // namespace

bool StbDecode(const StbBytes& file) {
    int width = 0;
    int height = 0;
    stbi_uc* decoded = DecodeRgba(file, &width, &height);
    stbi_image_free(decoded);
    return decoded != nullptr;
}

bool StbDecodeAndHalve(const StbBytes& file, int topSize, std::vector<StbBytes>* levels) {
    int width = 0;
    int height = 0;
    stbi_uc* decoded = DecodeRgba(file, &width, &height);
    if (decoded == nullptr) {
        return false;
    }
    levels->clear();
    const unsigned char* from = decoded;
    if (topSize > 0) {
        levels->emplace_back(static_cast<std::size_t>(topSize) * topSize * 4);
        Resize(decoded, width, height, levels->back().data(), topSize, topSize,
               STBIR_FILTER_TRIANGLE);
        from = levels->back().data();
        width = topSize;
        height = topSize;
    }
    for (; width > 1 || height > 1; from = levels->back().data()) {
        const int nextWidth = width > 1 ? width / 2 : 1;
        const int nextHeight = height > 1 ? height / 2 : 1;
        levels->emplace_back(static_cast<std::size_t>(nextWidth) * nextHeight * 4);
        Resize(from, width, height, levels->back().data(), nextWidth, nextHeight, STBIR_FILTER_BOX);
        width = nextWidth;
        height = nextHeight;
    }
    stbi_image_free(decoded);
    return true;
}
