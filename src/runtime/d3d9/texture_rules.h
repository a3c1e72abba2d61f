// The creation rules shared by 2D, cube and volume textures: pool and usage
// combinations, the formats the profile offers per resource type, the size,
// power-of-two, aspect and mipmap capabilities, and the level count.
#pragma once

#include "runtime/d3d9/device_profile.h"
#include "vellorn/d3d9.h"

enum class TextureKind { Plain, Cube, Volume };

struct TextureRequest {
    TextureKind kind;
    UINT width;
    UINT height;
    UINT depth;   // 1 except for volumes
    UINT levels;  // 0: the full chain down to 1 x 1 (x 1)
    DWORD usage;
    D3DFORMAT format;
    D3DPOOL pool;
};

// Checks request against profile; on success *levelCount holds the number of
// levels to create (1 for automatically generated mipmaps, whose sublevels
// are not kept).
HRESULT CheckTextureRequest(const DeviceProfile& profile, const TextureRequest& request,
                            UINT* levelCount);

// The number of levels of a full chain for the largest extent.
UINT FullChainLength(UINT largestExtent);
// The extent of level `level` of a chain starting at `extent`.
inline UINT LevelExtent(UINT extent, UINT level) {
    const UINT shifted = extent >> level;
    return shifted == 0 ? 1 : shifted;
}
