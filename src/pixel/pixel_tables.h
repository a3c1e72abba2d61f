// Constant tables shared by the per-pixel writers and the codec base: the
// ordered-dither thresholds and the gamma curves.
#pragma once

// Dither thresholds, 4 rows of 8 floats; each row holds its 4 values twice so
// that (z & 3) + (i & 3) never leaves the row. Index (y & 3) * 8 + (z & 3) +
// (i & 3), where i counts the pixels of the row in writing order.
extern const float kPlainThresholds[32];    // every entry 0.5: rounding half up
extern const float kOrderedThresholds[32];  // (2k + 1) / 32 over a 4 x 4 matrix

// 512 floats: the encode table E (256 entries) followed by the decode table D
// (256 entries). E[k] = (k / 254)^(1 / 1.1) and D[k] = (k / 254)^1.1 for
// k = 0..254, and 1.0 at k = 255.
const float* GammaTables();
