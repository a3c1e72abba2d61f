// The image dispatcher: recognises an image file by trying every reader in
// turn.
#pragma once

#include "texture/decoded_image.h"

// Decodes (decode set) or only describes the image in [data, data + size)
// into image, and fills info when given. Numbers in text headers are read in
// the "C" numeric locale whatever the calling thread's locale is; the thread's
// locale is its own again on return. A reader's own failure is not passed on:
// when no reader accepts the bytes the result is D3DXERR_INVALIDDATA.
HRESULT LoadImageFromMemory(DecodedImage* image, const void* data, UINT size, D3DXIMAGE_INFO* info,
                            bool decode);
