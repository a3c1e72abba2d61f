// Extents, pitches and byte sizes of every resource kind: 2D, cube and volume
// textures and their levels, stand-alone surfaces, volumes, vertex and index
// buffers. Everything is computed in 64-bit arithmetic and checked against
// the device's allocation limit before a resource allocates, so that no
// size a caller or a file asks for can wrap around into a small one.
#pragma once

#include <cstdint>

#include "runtime/d3d9/device_profile.h"
#include "runtime/d3d9/format_layout.h"
#include "runtime/d3d9/texture_rules.h"

// Bytes of one storage row of width pixels (of ceil(width / 4) blocks for
// block formats), and the storage rows of height pixels.
std::uint64_t RowBytesOf(const FormatLayout& layout, std::uint64_t width);
std::uint64_t StorageRowsOf(const FormatLayout& layout, std::uint64_t height);

// Bytes of a width x height x depth level, saturating at UINT64_MAX.
std::uint64_t LevelBytesOf(const FormatLayout& layout, UINT width, UINT height, UINT depth);

// Bytes of every level (of every face, for cubes) of a texture with levels
// levels as request describes it, saturating at UINT64_MAX.
std::uint64_t TextureBytesOf(const FormatLayout& layout, const TextureRequest& request,
                             UINT levels);

// The allocation limit per resource in force for profile. Locks report
// pitches as INT, so it never exceeds INT_MAX: every pitch of a resource
// that fits the limit can be reported.
std::uint64_t AllocationLimitOf(const DeviceProfile& profile);

// The storage of one surface or volume: rows of pixels (or blocks), slices
// of rows.
struct LevelSize {
    UINT rowPitch;        // bytes of one storage row
    UINT rows;            // storage rows of one slice
    UINT slicePitch;      // bytes of one slice
    std::uint64_t bytes;  // of every slice
};

// The storage of a width x height x depth level. False for an empty extent
// or a level of more than limit bytes (limit at most AllocationLimitOf).
bool LevelSizeOf(const FormatLayout& layout, UINT width, UINT height, UINT depth,
                 std::uint64_t limit, LevelSize* size);

// What creation answers when memory for a resource in pool cannot be had:
// D3DERR_OUTOFVIDEOMEMORY in the default pool, E_OUTOFMEMORY in the others.
HRESULT OutOfMemoryIn(D3DPOOL pool);

// S_OK when a resource of bytes fits profile's limit, else OutOfMemoryIn(pool).
HRESULT CheckAllocation(const DeviceProfile& profile, D3DPOOL pool, std::uint64_t bytes);
