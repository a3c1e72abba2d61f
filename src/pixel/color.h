// ColorF: the one intermediate of every pixel conversion, four 32-bit floats.
// Unsigned normalised channels use 0..1, signed ones -1..1, float formats any
// value.
#pragma once

struct ColorF {
    float r;
    float g;
    float b;
    float a;
};
