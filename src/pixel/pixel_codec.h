// PixelCodec: reads rows of one box of a locked surface into ColorF rows and
// writes ColorF rows back, with colour key, gamma, class conversion and
// dithering. One codec serves one side of a conversion.
#pragma once

#include <cstddef>
#include <memory>

#include "pixel/color.h"
#include "pixel/surface_desc.h"
#include "vellorn/d3d9_format.h"
#include "vellorn/win32_types.h"

// How a format's channels are valued.
enum class ValueClass : int {
    None = 0,         // only as other-class: no conversion
    Unsigned = 1,     // all four channels 0..1
    SignedColor = 2,  // red, green, blue -1..1, alpha 0..1 (bump formats)
    Signed = 3,       // all four channels -1..1
    Float = 4,        // no range
};

class PixelCodec {
  public:
    virtual ~PixelCodec();

    PixelCodec(const PixelCodec&) = delete;
    PixelCodec& operator=(const PixelCodec&) = delete;

    // Fills width colours from row y of slice z of the box, then applies the
    // colour key and gamma decoding.
    virtual void ReadRow(UINT y, UINT z, ColorF* row) = 0;

    // Stores width colours into row y of slice z of the box: class conversion,
    // gamma encoding, dithering and quantisation. The input row is left
    // unchanged.
    virtual void WriteRow(UINT y, UINT z, const ColorF* row) = 0;

    // Quantises the colour key through this codec's own writer and reader, so
    // that reading compares against it exactly at the format's precision.
    // Codecs that cache rows quantise it their own way.
    virtual void PrepareColorKey();

    // Takes desc's data, pitches, box, extent, flags and key, as the codec
    // factories bind a new codec; an empty or inverted box becomes 0 x 0 x 0.
    // The format and value class must be set first: the gamma flag is dropped
    // for the signed classes, except for D3DFMT_L6V5U5.
    void BindSurface(const SurfaceDesc& desc);

    D3DFORMAT format = D3DFMT_UNKNOWN;
    ValueClass valueClass = ValueClass::Unsigned;
    // Set for every format addressed per pixel (all but the block and
    // packed-pair formats).
    bool perPixel = false;
    bool gamma = false;
    // Set by the conversion driver when both sides hold gamma-encoded colour.
    bool bothGamma = false;

    DWORD colorKey = 0;
    ColorF keyColor = {};  // the quantised key that reading compares against

    bool hasPalette = false;
    std::unique_ptr<ColorF[]> palette;  // 256 entries when hasPalette

    BYTE* data = nullptr;  // per-pixel formats: the box origin
    UINT rowPitch = 0;
    UINT slicePitch = 0;

    const float* threshold = nullptr;  // 4 x 8 ordered-dither thresholds in use

    PixelBox box = {};  // per-pixel formats: rebased to (0, 0, 0, width, height, depth)
    PixelBox extent = {};
    UINT width = 0;
    UINT height = 0;
    UINT depth = 0;
    UINT bytesPerPixel = 0;
    UINT bytesPerRow = 0;

    // The value class of the other side of the conversion when it differs and
    // is not Float; None otherwise. Set by the conversion driver.
    ValueClass otherClass = ValueClass::None;
    // width colours; the destination's class conversion and gamma encoding
    // work here so that the caller's row stays unchanged.
    std::unique_ptr<ColorF[]> conversionBuffer;
    // width + 2 colours of error carried to the next row; only with diffusion.
    std::unique_ptr<ColorF[]> diffusionBuffer;

  protected:
    PixelCodec() = default;

    // The colour key as a colour of this codec's value class: each byte
    // times 1/255, alpha from the top byte, converted to signed for the
    // signed classes.
    ColorF KeyAsColor() const;

    // Runs after a row has been read: keyed pixels become (0, 0, 0, 0), then
    // gamma decoding when the gamma flag is set.
    void FinishRead(ColorF* row) const;

    // The gamma decoding of FinishRead alone, for codecs that compare the key
    // their own way.
    void DecodeGamma(ColorF* row) const;

    // Runs before a row is quantised: class conversion (when otherClass is
    // set) and gamma encoding (when the gamma flag is set) into the conversion
    // buffer. Returns the row to quantise: the conversion buffer, or row
    // itself when nothing had to change.
    const ColorF* BeginWrite(const ColorF* row);

    // The first byte of row y of slice z of the box (per-pixel formats).
    BYTE* RowAddress(UINT y, UINT z) const {
        return data + static_cast<std::size_t>(y) * rowPitch +
               static_cast<std::size_t>(z) * slicePitch;
    }
};

// Makes the codec for desc's format, bound to desc's box, with its palette,
// conversion buffer and (when desc asks for diffusion) diffusion buffer, and
// its colour key prepared. S_OK with *codec set; otherwise *codec is empty and
// the answer is E_FAIL for a format it cannot convert, E_OUTOFMEMORY when
// memory runs out for the codec or any of its buffers.
HRESULT CreatePixelCodec(const SurfaceDesc& desc, std::unique_ptr<PixelCodec>* codec);
