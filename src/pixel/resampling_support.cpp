#include "pixel/resampling_support.h"

#include <new>

namespace {

// No filter buffer may exceed this many colours: far beyond any surface the
// library handles, and small enough that the byte count cannot overflow.
constexpr std::size_t kMaxColors = std::size_t{1} << 36;

float Clamp(float v, float lo, float hi) {
    // Written so that a NaN comes out as lo.
    v = v > lo ? v : lo;
    return v < hi ? v : hi;
}

}  // namespace

std::unique_ptr<ColorF[]> NewColorRows(std::size_t count, std::size_t rows) {
    if (count == 0 || rows == 0) {
        count = 1;
        rows = 1;
    }
    if (count > kMaxColors / rows) {
        return nullptr;
    }
    return std::unique_ptr<ColorF[]>(new (std::nothrow) ColorF[count * rows]());
}

void ClampToClass(ValueClass valueClass, ColorF* row, std::size_t count) {
    float lo = 0.0f;
    float alphaLo = 0.0f;
    switch (valueClass) {
        case ValueClass::Float: return;
        case ValueClass::SignedColor: lo = -1.0f; break;
        case ValueClass::Signed:
            lo = -1.0f;
            alphaLo = -1.0f;
            break;
        default: break;
    }
    for (std::size_t x = 0; x < count; ++x) {
        ColorF& c = row[x];
        c = ColorF{Clamp(c.r, lo, 1.0f), Clamp(c.g, lo, 1.0f), Clamp(c.b, lo, 1.0f),
                   Clamp(c.a, alphaLo, 1.0f)};
    }
}
