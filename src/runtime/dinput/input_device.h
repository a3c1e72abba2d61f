// The device object shared by both backends: acquisition, the foreground
// rule, the data formats, axis ranges and modes, and the conversion of a
// source's live state into the caller's buffer.
#pragma once

#include <memory>

#include "runtime/dinput/input_source.h"
#include "vellorn/dinput.h"

// Takes over source; the device starts with a reference count of 1.
// Null when out of memory.
IDirectInputDevice8A* MakeInputDevice(std::unique_ptr<InputSource> source);

// The position reported for a raw axis position (kRawAxisMin..kRawAxisMax)
// under the range min..max, rounded to the nearest step.
LONG ScaleAxis(int raw, LONG min, LONG max);
