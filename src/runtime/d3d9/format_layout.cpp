#include "runtime/d3d9/format_layout.h"

bool LayoutOf(D3DFORMAT format, FormatLayout* layout) {
    UINT bytes = 0;
    bool block = false;
    switch (format) {
        case D3DFMT_A8:
        case D3DFMT_R3G3B2:
        case D3DFMT_L8:
        case D3DFMT_A4L4:
        case D3DFMT_P8: bytes = 1; break;
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_A8R3G3B2:
        case D3DFMT_X4R4G4B4:
        case D3DFMT_A8L8:
        case D3DFMT_A8P8:
        case D3DFMT_L16:
        case D3DFMT_V8U8:
        case D3DFMT_L6V5U5:
        case D3DFMT_R16F: bytes = 2; break;
        case D3DFMT_R8G8B8: bytes = 3; break;
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A2B10G10R10:
        case D3DFMT_A8B8G8R8:
        case D3DFMT_X8B8G8R8:
        case D3DFMT_G16R16:
        case D3DFMT_A2R10G10B10:
        case D3DFMT_X8L8V8U8:
        case D3DFMT_Q8W8V8U8:
        case D3DFMT_V16U16:
        case D3DFMT_A2W10V10U10:
        case D3DFMT_G16R16F:
        case D3DFMT_R32F: bytes = 4; break;
        case D3DFMT_A16B16G16R16:
        case D3DFMT_Q16W16V16U16:
        case D3DFMT_A16B16G16R16F:
        case D3DFMT_G32R32F: bytes = 8; break;
        case D3DFMT_A32B32G32R32F: bytes = 16; break;
        case D3DFMT_DXT1:
            bytes = 8;
            block = true;
            break;
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
        case D3DFMT_DXT4:
        case D3DFMT_DXT5:
            bytes = 16;
            block = true;
            break;
        default: return false;
    }
    layout->block = block;
    layout->bytes = bytes;
    return true;
}
