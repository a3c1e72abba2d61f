// vellorn-texture: what the image readers and the texture loader make of
// image files, and textures written back out as PNG. A thin program over the
// library's public calls on a headless device (no display is needed).
#include <cstdio>
#include <string_view>
#include <vector>

#include "commands.h"

namespace {

constexpr char kUsage[] = R"(usage:
  vellorn-texture info FILE...
      What the image readers find in each file (file format, size, depth,
      levels, format; for a DDS file with several levels, cube faces or
      volume slices the size of every level) and the texture the loader makes
      from it with its default arguments on the default device (size, levels,
      format).
  vellorn-texture convert FILE OUT.png [options]
      Loads FILE through the texture loader and writes level 0 of the texture
      as an 8-bit RGBA PNG.
  vellorn-texture --help

convert options (the loader's defaults when left out):
  --format NAME        texture format: a D3DFMT_ name, with or without the
                       prefix (A8R8G8B8, D3DFMT_R5G6B5, ...)
  --size WxH           texture size in texels
  --levels N           number of levels, 0 for the full chain
  --filter NAME        filter for the file's levels: none, point, linear,
                       triangle or box, each optionally with +dither
  --mip-filter NAME    filter for the levels made from them (same names)
  --color-key AARRGGBB colour made transparent black (hexadecimal ARGB)
  --all-levels         write every level: OUT.png, OUT-1.png, OUT-2.png, ...;
                       of a DDS cube map also the other faces as the file
                       holds them (OUT-face1.png, OUT-face1-1.png, ...), of a
                       volume the other slices (OUT-slice1.png,
                       OUT-1-slice1.png, ...)

Exit status: 0 when every file was done, 1 when a file could not be loaded or
written, 2 for bad arguments.
)";

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string_view command = arguments[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const std::span<const std::string_view> rest(arguments.begin() + 1, arguments.end());
    if (command == "info") {
        return RunInfo(rest);
    }
    if (command == "convert") {
        return RunConvert(rest);
    }
    std::fprintf(stderr, "vellorn-texture: unknown command \"%.*s\"\n\n%s",
                 static_cast<int>(command.size()), command.data(), kUsage);
    return 2;
}
