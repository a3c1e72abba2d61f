// Endpoint fitting of the block encoders: the two colours (or alphas) whose
// interpolated palette best covers the 16 texels of a block.
#pragma once

// A colour in the encoder's weighted space: red, green, blue each multiplied
// by its channel weight.
struct Rgb {
    float r;
    float g;
    float b;
};

// Channel weights of the colour encoder: the luminance weights 0.2125,
// 0.7154, 0.0721 divided by the green one, and their reciprocals.
inline constexpr Rgb kChannelWeights = {0.29703665f, 1.0f, 0.10078278f};
inline constexpr Rgb kInverseChannelWeights = {3.3665881f, 1.0f, 9.9223299f};

// Fits endpoints *first and *second to 16 weighted colours for a palette of
// n = 3 or 4 evenly spaced points: the diagonal of the colours' bounding box
// that best follows them, then up to 8 least-squares refinements.
void FitColorEndpoints(const Rgb* colors, int n, Rgb* first, Rgb* second);

// Fits the endpoints *lo and *hi (0..1) to 16 alphas for the 8-value mode
// (mode 8) or the 6-value mode with explicit 0 and 1 (mode 6).
void FitAlphaEndpoints(const float* alphas, int mode, float* lo, float* hi);

// Whole-number truncation toward zero of values in the range the encoders
// produce; NaNs and values far outside it are limited first so that the
// conversion stays defined.
inline int TruncateToInt(float v) {
    if (!(v > -65536.0f)) {
        return -65536;
    }
    return v < 65536.0f ? static_cast<int>(v) : 65536;
}
