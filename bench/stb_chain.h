// The benchmark peer's side of a texture load: stb_image decoding a file to
// four 8-bit channels and stb_image_resize building the mip chain by halving
// level by level with the box filter, every channel on its own (no
// premultiplied alpha), which is the arithmetic of the box chain.
#pragma once

#include <cstdint>
#include <vector>

using StbBytes = std::vector<std::uint8_t>;

// Decodes file and frees the pixels; false when stb_image cannot decode it.
bool StbDecode(const StbBytes& file);

// Decodes file, then, when topSize is above 0, resizes it to topSize x
// topSize with the triangle filter as level 0, and halves down to 1 x 1 into
// freshly allocated levels. Without topSize the decoded picture is level 0
// and levels holds the ones below it. False when stb_image cannot decode.
bool StbDecodeAndHalve(const StbBytes& file, int topSize, std::vector<StbBytes>* levels);
