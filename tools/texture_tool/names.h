// The words vellorn-texture uses for the library's values: format names
// (the D3DFMT_ names, read with or without the prefix and in any case),
// image file formats, filter words and result codes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vellorn/d3dx_texture.h"

// "D3DFMT_A8R8G8B8"; a format without a name as its four-character code
// ("'ABCD'") or its number.
std::string FormatName(D3DFORMAT format);
std::optional<D3DFORMAT> ParseFormat(std::string_view name);

// "BMP", "PNG", ...
std::string_view FileFormatName(D3DXIMAGE_FILEFORMAT format);

// none, point, linear, triangle or box, each optionally followed by
// "+dither", or "default" (D3DX_DEFAULT).
std::optional<DWORD> ParseFilter(std::string_view name);

// "D3DXERR_INVALIDDATA (the data is not an image any reader accepts, or the
// file cannot be read)"; an unknown code in hexadecimal.
std::string ResultInWords(HRESULT result);
