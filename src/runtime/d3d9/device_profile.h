// Device profiles: what a software device offers. A profile sets the caps,
// the formats offered per usage and resource type, which device types and
// vertex-processing modes can be created, and whether drawing rasterises.
#pragma once

#include <cstdint>
#include <vector>

#include "vellorn/d3d9.h"

// The most memory one resource (every level and face of a texture, a whole
// surface, volume or buffer) may take unless a profile sets otherwise: 1 GiB.
// Requests beyond it fail as out of memory without anything being allocated.
inline constexpr std::uint64_t kDefaultMaxResourceBytes = std::uint64_t{1} << 30;

struct FormatSupport {
    D3DFORMAT format;
    bool texture;
    bool cubeTexture;
    bool volumeTexture;
    bool renderTarget;
    bool postPixelShaderBlending;  // D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING
    bool filter;                   // D3DUSAGE_QUERY_FILTER
    bool autoGenMipMap;            // D3DUSAGE_AUTOGENMIPMAP
    bool dynamic;                  // D3DUSAGE_DYNAMIC textures
    bool vertexTexture;            // D3DUSAGE_QUERY_VERTEXTEXTURE
};

struct DeviceProfile {
    D3DCAPS9 caps;  // DeviceType and AdapterOrdinal are filled per device
    std::vector<FormatSupport> formats;
    bool halAvailable = true;
    bool refAvailable = true;
    bool hardwareVertexProcessing = true;
    bool softwareVertexProcessing = true;
    bool mixedVertexProcessing = true;
    // Off: draw calls check their arguments as usual but fetch, transform
    // and rasterise nothing, so that callers' own cost can be measured.
    bool rasterize = true;
    // The allocation limit per resource; see kDefaultMaxResourceBytes.
    std::uint64_t maxResourceBytes = kDefaultMaxResourceBytes;
};

// The profile a device gets unless a test installs another: the common 8-,
// 16- and 32-bit colour, luminance and alpha formats, the float formats and
// DXT1 to DXT5 as textures; X8R8G8B8 and A8R8G8B8 as blendable render
// targets; power-of-two-conditional textures up to 4096 with mipmaps.
DeviceProfile DefaultDeviceProfile();

// The support record of format in profile, or null when not offered.
const FormatSupport* FindFormat(const DeviceProfile& profile, D3DFORMAT format);
