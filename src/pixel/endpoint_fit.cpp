#include "pixel/endpoint_fit.h"

#include <utility>

namespace {

// Below this squared length two endpoints are one point.
constexpr float kSmallestNormal = 1.1754944e-38f;
// Below this squared length (1/4096) the endpoints are not refined.
constexpr float kTinySpan = 0.00024414062f;
// A refinement step stops when every gradient channel squares below 2^-16.
constexpr float kColorConverged = 1.5258789e-05f;
constexpr float kAlphaConverged = 0.015625f;
constexpr int kRefinements = 8;

Rgb operator-(const Rgb& a, const Rgb& b) {
    return Rgb{a.r - b.r, a.g - b.g, a.b - b.b};
}
Rgb operator+(const Rgb& a, const Rgb& b) {
    return Rgb{a.r + b.r, a.g + b.g, a.b + b.b};
}
Rgb operator*(const Rgb& a, float f) {
    return Rgb{a.r * f, a.g * f, a.b * f};
}
Rgb operator/(const Rgb& a, float f) {
    return Rgb{a.r / f, a.g / f, a.b / f};
}
float Dot(const Rgb& a, const Rgb& b) {
    return a.r * b.r + a.g * b.g + a.b * b.b;
}

// The palette position of a texel at parameter t along the endpoints:
// nearest of 0..n - 1.
int Position(float t, int n) {
    if (t >= static_cast<float>(n - 1)) {
        return n - 1;
    }
    const int k = TruncateToInt(t + 0.5f);
    return k < 0 ? 0 : k;
}

void RefineColorEndpoints(const Rgb* colors, int n, Rgb* a, Rgb* b) {
    static constexpr float kWeightsA4[4] = {1.0f, 2.0f / 3.0f, 1.0f / 3.0f, 0.0f};
    static constexpr float kWeightsB4[4] = {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f};
    static constexpr float kWeightsA3[3] = {1.0f, 0.5f, 0.0f};
    static constexpr float kWeightsB3[3] = {0.0f, 0.5f, 1.0f};
    const float* wA = n == 4 ? kWeightsA4 : kWeightsA3;
    const float* wB = n == 4 ? kWeightsB4 : kWeightsB3;
    const auto steps = static_cast<float>(n - 1);

    for (int iteration = 0; iteration < kRefinements; ++iteration) {
        Rgb palette[4];
        for (int k = 0; k < n; ++k) {
            palette[k] = *b * wB[k] + *a * wA[k];
        }
        Rgb e = *b - *a;
        const float length = Dot(e, e);
        if (length < kTinySpan) {
            return;
        }
        e = e * steps / length;

        Rgb gA = {0.0f, 0.0f, 0.0f};
        Rgb gB = {0.0f, 0.0f, 0.0f};
        float hA = 0.0f;
        float hB = 0.0f;
        for (int i = 0; i < 16; ++i) {
            const int k = Position(Dot(colors[i] - *a, e), n);
            const Rgb r = palette[k] - colors[i];
            const float fA = wA[k] / 8.0f;
            const float fB = wB[k] / 8.0f;
            gA = gA + r * fA;
            hA += fA * wA[k];
            gB = gB + r * fB;
            hB += fB * wB[k];
        }
        if (hA > 0.0f) {
            *a = *a - gA / hA;
        }
        if (hB > 0.0f) {
            *b = *b - gB / hB;
        }
        const auto converged = [](const Rgb& g) {
            return g.r * g.r < kColorConverged && g.g * g.g < kColorConverged &&
                   g.b * g.b < kColorConverged;
        };
        if (converged(gA) && converged(gB)) {
            return;
        }
    }
}

}  // namespace

void FitColorEndpoints(const Rgb* colors, int n, Rgb* first, Rgb* second) {
    Rgb lo = kChannelWeights;
    Rgb hi = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 16; ++i) {
        const Rgb& p = colors[i];
        lo = Rgb{p.r < lo.r ? p.r : lo.r, p.g < lo.g ? p.g : lo.g, p.b < lo.b ? p.b : lo.b};
        hi = Rgb{p.r > hi.r ? p.r : hi.r, p.g > hi.g ? p.g : hi.g, p.b > hi.b ? p.b : hi.b};
    }
    const Rgb d = hi - lo;
    const float length = Dot(d, d);
    if (length < kSmallestNormal) {
        *first = lo;
        *second = hi;
        return;
    }

    // Of the four diagonals of the box, the one the colours spread along:
    // signs of green and blue relative to red.
    const Rgb centre = (lo + hi) * 0.5f;
    const Rgb s = d / length;
    float sums[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 16; ++i) {
        const Rgb p = colors[i] - centre;
        const float qr = p.r * s.r;
        const float qg = p.g * s.g;
        const float qb = p.b * s.b;
        const float v[4] = {qr + qg + qb, qr + qg - qb, qr - qg + qb, qr - qg - qb};
        for (int k = 0; k < 4; ++k) {
            sums[k] += v[k] * v[k];
        }
    }
    int best = 0;
    for (int k = 1; k < 4; ++k) {
        if (sums[k] > sums[best]) {
            best = k;
        }
    }
    if ((best & 2) != 0) {
        std::swap(lo.g, hi.g);
    }
    if ((best & 1) != 0) {
        std::swap(lo.b, hi.b);
    }
    if (length >= kTinySpan) {
        RefineColorEndpoints(colors, n, &lo, &hi);
    }
    *first = lo;
    *second = hi;
}

void FitAlphaEndpoints(const float* alphas, int mode, float* lo, float* hi) {
    if (mode == 8) {
        *lo = alphas[0];
        *hi = alphas[0];
        for (int i = 1; i < 16; ++i) {
            *lo = alphas[i] < *lo ? alphas[i] : *lo;
            *hi = alphas[i] > *hi ? alphas[i] : *hi;
        }
    } else {
        // The explicit 0 and 1 cover the extremes; the endpoints cover the
        // values between them.
        *lo = 1.0f;
        *hi = 0.0f;
        for (int i = 0; i < 16; ++i) {
            if (alphas[i] > 0.0f && alphas[i] < *lo) {
                *lo = alphas[i];
            }
            if (alphas[i] < 1.0f && alphas[i] > *hi) {
                *hi = alphas[i];
            }
        }
        if (*lo == *hi) {
            *hi = 1.0f;
        }
    }

    const auto steps = static_cast<float>(mode - 1);
    for (int iteration = 0; iteration < kRefinements && *hi - *lo >= 0.00390625f; ++iteration) {
        const float scale = steps / (*hi - *lo);
        float gLo = 0.0f;
        float gHi = 0.0f;
        float hLo = 0.0f;
        float hHi = 0.0f;
        for (int i = 0; i < 16; ++i) {
            const float a = alphas[i];
            const float t = (a - *lo) * scale;
            int k = Position(t, mode);
            if (mode == 6 && t <= 0.0f && a <= *lo * 0.5f) {
                k = 6;  // the explicit 0
            } else if (mode == 6 && t >= steps && a > (*hi + 1.0f) * 0.5f) {
                k = 7;  // the explicit 1
            }
            if (k >= mode) {
                continue;
            }
            const float wHi = static_cast<float>(k) / steps;
            const float wLo = 1.0f - wHi;
            const float r = a - (*hi * wHi + *lo * wLo);
            gLo += r * wLo;
            hLo += wLo * wLo;
            gHi += r * wHi;
            hHi += wHi * wHi;
        }
        if (hLo > 0.0f) {
            *lo += gLo / hLo;
        }
        if (hHi > 0.0f) {
            *hi += gHi / hHi;
        }
        if (*hi < *lo) {
            std::swap(*lo, *hi);
        }
        if (gLo * gLo < kAlphaConverged && gHi * gHi < kAlphaConverged) {
            break;
        }
    }
    *lo = *lo < 0.0f ? 0.0f : (*lo > 1.0f ? 1.0f : *lo);
    *hi = *hi < 0.0f ? 0.0f : (*hi > 1.0f ? 1.0f : *hi);
}
