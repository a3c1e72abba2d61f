// The arguments of "vellorn-texture convert": the input file, the output PNG
// and the loader's arguments, which default to the loader's own defaults
// (D3DX_DEFAULT sizes, levels and filters, D3DFMT_UNKNOWN, no colour key).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "vellorn/d3dx_texture.h"

struct ConvertOptions {
    std::string input;
    std::string output;
    UINT width = D3DX_DEFAULT;
    UINT height = D3DX_DEFAULT;
    UINT levels = D3DX_DEFAULT;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    DWORD filter = D3DX_DEFAULT;
    DWORD mipFilter = D3DX_DEFAULT;
    D3DCOLOR colorKey = 0;
    // Write every level, level n > 0 beside the output as NAME-n.png, and the
    // cube faces and volume slices after the first as the file holds them.
    bool allLevels = false;
};

// Reads FILE OUT.png and the options (each as "--name value" or
// "--name=value"); nothing, with the reason in error, when an argument is
// missing, unknown or has a bad value.
std::optional<ConvertOptions> ParseConvertOptions(std::span<const std::string_view> arguments,
                                                  std::string* error);

// Where level level of the output goes: the output itself for level 0 of
// face 0 and slice 0, else the output with "-faceF" (face F after the
// first), "-L" (level L after the first) and "-sliceS" (volume slice S after
// the first) before its extension.
std::string LevelPath(const std::string& output, UINT level, UINT face = 0, UINT slice = 0);
