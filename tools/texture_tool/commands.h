// The commands of vellorn-texture. Each loads its files through
// D3DXCreateTextureFromFileExA on a headless device with the default device
// profile and returns the process's exit code: 0 when every file was done,
// 1 when a file could not be loaded or written, 2 for bad arguments.
#pragma once

#include <span>
#include <string_view>

// info FILE...: what the image readers find in each file and the texture the
// loader makes from it with its default arguments.
int RunInfo(std::span<const std::string_view> files);

// convert FILE OUT.png [options]: see ConvertOptions.
int RunConvert(std::span<const std::string_view> arguments);
