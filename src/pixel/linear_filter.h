// The linear filter's tap tables: per destination index along one axis, the
// two source indices around the destination sample's centre and their
// weights.
#pragma once

#include <memory>

#include "vellorn/win32_types.h"

struct LinearTap {
    UINT first;
    float firstWeight;
    UINT second;
    float secondWeight;
};

// The taps of destinationSize indices resampling sourceSize (both non-zero).
// With wrap an index before the first source index is the last one and one
// past the last is the first; without, the edge index is repeated. None when
// memory runs out.
std::unique_ptr<LinearTap[]> BuildLinearTaps(UINT sourceSize, UINT destinationSize, bool wrap);
