// Checks the fuzz targets run on what a reader or the dispatcher hands back:
// the record must describe pixels the codecs can read, inside the memory it
// points at. A broken promise aborts the run, so libFuzzer keeps the input as
// a finding.
#pragma once

#include "texture/decoded_image.h"

// Reads the pixels at the ends of the rows, slices and levels of every face
// of a decoded image through the pixel codec of its format, so that
// AddressSanitizer sees any row that lies outside the buffer or the file's
// bytes. Aborts when the codecs cannot read the format the image names.
void ReadImageBounds(const DecodedImage& image);

// Whether a decoding pass may name format decoded for an image a describing
// pass named described: the same format, or D3DFMT_X1R5G5B5 for a 16-bit
// Targa image described as D3DFMT_A1R5G5B5 whose pixels turn out not to use
// the alpha bit (which only decoding looks at).
bool SameFormatOnceDecoded(D3DFORMAT described, D3DFORMAT decoded);

// Aborts unless a describing pass (decode off) found the same image as the
// decoding pass: the same format (see SameFormatOnceDecoded), size, depth,
// levels, resource type and file format.
void CheckSameDescription(const DecodedImage& described, const DecodedImage& decoded);

// Whether an image is too large for the targets to decode. Images up to the
// decoded-size limit are legal, but filling and resampling hundreds of
// megabytes per input would slow fuzzing to a crawl; their headers are still
// read, and the arithmetic that sizes them is the same as for small ones.
bool TooLargeToDecode(UINT width, UINT height, UINT depth);

// Aborts with message on stderr when condition is false.
void FuzzCheck(bool condition, const char* message);
