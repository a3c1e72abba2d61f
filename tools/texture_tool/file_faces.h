// The parts of a file that a two-dimensional texture leaves out: the cube
// faces after the first and the volume slices after the first, written for
// "convert --all-levels" beside the texture's own levels.
#pragma once

#include "convert_options.h"
#include "vellorn/d3d9.h"

// Writes every level of every face after the first, and every slice after
// the first of every volume level, each as the file holds it (its own size,
// converted to 8-bit RGBA without filtering) to the paths of LevelPath.
// Nothing is written for a file of one face without slices. Reports its own
// failures on stderr.
HRESULT WriteOtherFacesAndSlices(IDirect3DDevice9* device, const ConvertOptions& options);
