// The image file readers and the order in which the dispatcher tries them.
// A reader turns a file's bytes into a DecodedImage without converting
// pixels: it names a format whose bytes the pixel codecs read directly.
#pragma once

#include <span>

#include "texture/decoded_image.h"

// On success a reader has set the format, width, height, depth and pitches
// and, when image->decode is set, the pixels (and the palette of a palette
// format); it may chain levels and faces. On failure what it attached stays
// attached for the dispatcher to release. A reader reads nothing outside
// [data, data + size).
using ImageReader = HRESULT (*)(DecodedImage* image, const BYTE* data, UINT size);

// A BMP file: the 14-byte file header, then a DIB.
HRESULT LoadBMPFile(DecodedImage* image, const BYTE* data, UINT size);
// A device-independent bitmap: the info header onwards.
HRESULT LoadBMP(DecodedImage* image, const BYTE* data, UINT size);
HRESULT LoadJPG(DecodedImage* image, const BYTE* data, UINT size);
HRESULT LoadPNG(DecodedImage* image, const BYTE* data, UINT size);
// Portable pixmaps ("P3", "P6"), float maps ("PF", "Pf") and Radiance RGBE
// images: always decoded into an owned buffer, whatever image->decode says.
HRESULT LoadPPM(DecodedImage* image, const BYTE* data, UINT size);
HRESULT LoadPFM(DecodedImage* image, const BYTE* data, UINT size);
HRESULT LoadHDR(DecodedImage* image, const BYTE* data, UINT size);
// A DDS file: every face and mip level, pointing into the file's bytes.
HRESULT LoadDDS(DecodedImage* image, const BYTE* data, UINT size);
HRESULT LoadTGA(DecodedImage* image, const BYTE* data, UINT size);

struct ImageReaderEntry {
    ImageReader read;
    D3DXIMAGE_FILEFORMAT fileFormat;
};

// The readers in the order the dispatcher tries them.
std::span<const ImageReaderEntry> ImageReaders();
