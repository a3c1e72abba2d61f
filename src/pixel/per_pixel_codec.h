// Codecs of the formats addressed pixel by pixel: packed integer fields,
// luminance, bump (signed) fields, palettes and floats.
#pragma once

#include <memory>

#include "pixel/pixel_codec.h"

// Makes the codec object for a per-pixel format with its format, value class,
// per-pixel flag, bytes per pixel and palette flag set, not yet bound to a
// surface. S_OK with *codec set; E_FAIL for a format that is not addressed
// per pixel or not known; E_OUTOFMEMORY when memory runs out.
HRESULT CreatePerPixelCodec(D3DFORMAT format, std::unique_ptr<PixelCodec>* codec);
