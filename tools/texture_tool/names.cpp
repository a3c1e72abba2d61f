#include "names.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "vellorn/d3d9_types.h"

namespace {

struct FormatEntry {
    D3DFORMAT format;
    std::string_view name;
};

// Every format of vellorn/d3d9_format.h that a texture can have, under its
// name without the prefix.
constexpr FormatEntry kFormats[] = {
    {D3DFMT_UNKNOWN, "UNKNOWN"},
    {D3DFMT_R8G8B8, "R8G8B8"},
    {D3DFMT_A8R8G8B8, "A8R8G8B8"},
    {D3DFMT_X8R8G8B8, "X8R8G8B8"},
    {D3DFMT_R5G6B5, "R5G6B5"},
    {D3DFMT_X1R5G5B5, "X1R5G5B5"},
    {D3DFMT_A1R5G5B5, "A1R5G5B5"},
    {D3DFMT_A4R4G4B4, "A4R4G4B4"},
    {D3DFMT_R3G3B2, "R3G3B2"},
    {D3DFMT_A8, "A8"},
    {D3DFMT_A8R3G3B2, "A8R3G3B2"},
    {D3DFMT_X4R4G4B4, "X4R4G4B4"},
    {D3DFMT_A2B10G10R10, "A2B10G10R10"},
    {D3DFMT_A8B8G8R8, "A8B8G8R8"},
    {D3DFMT_X8B8G8R8, "X8B8G8R8"},
    {D3DFMT_G16R16, "G16R16"},
    {D3DFMT_A2R10G10B10, "A2R10G10B10"},
    {D3DFMT_A16B16G16R16, "A16B16G16R16"},
    {D3DFMT_A8P8, "A8P8"},
    {D3DFMT_P8, "P8"},
    {D3DFMT_L8, "L8"},
    {D3DFMT_A8L8, "A8L8"},
    {D3DFMT_A4L4, "A4L4"},
    {D3DFMT_V8U8, "V8U8"},
    {D3DFMT_L6V5U5, "L6V5U5"},
    {D3DFMT_X8L8V8U8, "X8L8V8U8"},
    {D3DFMT_Q8W8V8U8, "Q8W8V8U8"},
    {D3DFMT_V16U16, "V16U16"},
    {D3DFMT_A2W10V10U10, "A2W10V10U10"},
    {D3DFMT_UYVY, "UYVY"},
    {D3DFMT_R8G8_B8G8, "R8G8_B8G8"},
    {D3DFMT_YUY2, "YUY2"},
    {D3DFMT_G8R8_G8B8, "G8R8_G8B8"},
    {D3DFMT_DXT1, "DXT1"},
    {D3DFMT_DXT2, "DXT2"},
    {D3DFMT_DXT3, "DXT3"},
    {D3DFMT_DXT4, "DXT4"},
    {D3DFMT_DXT5, "DXT5"},
    {D3DFMT_L16, "L16"},
    {D3DFMT_Q16W16V16U16, "Q16W16V16U16"},
    {D3DFMT_R16F, "R16F"},
    {D3DFMT_G16R16F, "G16R16F"},
    {D3DFMT_A16B16G16R16F, "A16B16G16R16F"},
    {D3DFMT_R32F, "R32F"},
    {D3DFMT_G32R32F, "G32R32F"},
    {D3DFMT_A32B32G32R32F, "A32B32G32R32F"},
    {D3DFMT_CxV8U8, "CxV8U8"},
    {D3DFMT_FROM_FILE, "FROM_FILE"},
};

constexpr std::string_view kFormatPrefix = "D3DFMT_";

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

struct FilterEntry {
    std::string_view name;
    DWORD filter;
};

constexpr FilterEntry kFilters[] = {
    {"none", D3DX_FILTER_NONE},     {"point", D3DX_FILTER_POINT},
    {"linear", D3DX_FILTER_LINEAR}, {"triangle", D3DX_FILTER_TRIANGLE},
    {"box", D3DX_FILTER_BOX},
};

constexpr std::string_view kDitherSuffix = "+dither";

struct ResultEntry {
    HRESULT result;
    std::string_view words;
};

constexpr ResultEntry kResults[] = {
    {D3DXERR_INVALIDDATA,
     "D3DXERR_INVALIDDATA (the file cannot be read, or no image reader accepts its data)"},
    {D3DERR_INVALIDCALL, "D3DERR_INVALIDCALL (an argument is not valid for this image)"},
    {D3DERR_NOTAVAILABLE,
     "D3DERR_NOTAVAILABLE (the device offers no texture of that format, size or level count)"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY (out of memory)"},
    {D3DERR_OUTOFVIDEOMEMORY, "D3DERR_OUTOFVIDEOMEMORY (the texture is too large)"},
    {E_FAIL, "E_FAIL (the operation failed)"},
};

}  // namespace

std::string FormatName(D3DFORMAT format) {
    for (const FormatEntry& entry : kFormats) {
        if (entry.format == format) {
            return std::string(kFormatPrefix) + std::string(entry.name);
        }
    }
    const DWORD code = format;
    bool printable = true;
    for (int shift = 0; shift < 32; shift += 8) {
        printable = printable && std::isprint(static_cast<int>((code >> shift) & 0xFF)) != 0;
    }
    char text[16];
    if (printable) {
        std::snprintf(text, sizeof text, "'%c%c%c%c'", static_cast<char>(code),
                      static_cast<char>(code >> 8), static_cast<char>(code >> 16),
                      static_cast<char>(code >> 24));
    } else {
        std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(code));
    }
    return text;
}

std::optional<D3DFORMAT> ParseFormat(std::string_view name) {
    if (name.size() > kFormatPrefix.size() &&
        SameIgnoringCase(name.substr(0, kFormatPrefix.size()), kFormatPrefix)) {
        name.remove_prefix(kFormatPrefix.size());
    }
    for (const FormatEntry& entry : kFormats) {
        if (SameIgnoringCase(entry.name, name)) {
            return entry.format;
        }
    }
    return std::nullopt;
}

std::string_view FileFormatName(D3DXIMAGE_FILEFORMAT format) {
    constexpr std::string_view kNames[] = {"BMP", "JPEG", "Targa", "PNG", "DDS",
                                           "PPM", "DIB",  "HDR",   "PFM"};
    return format < std::size(kNames) ? kNames[format] : "unknown";
}

std::optional<DWORD> ParseFilter(std::string_view name) {
    if (SameIgnoringCase(name, "default")) {
        return D3DX_DEFAULT;
    }
    DWORD flags = 0;
    if (name.size() > kDitherSuffix.size() &&
        SameIgnoringCase(name.substr(name.size() - kDitherSuffix.size()), kDitherSuffix)) {
        flags = D3DX_FILTER_DITHER;
        name.remove_suffix(kDitherSuffix.size());
    }
    for (const FilterEntry& entry : kFilters) {
        if (SameIgnoringCase(entry.name, name)) {
            return entry.filter | flags;
        }
    }
    return std::nullopt;
}

std::string ResultInWords(HRESULT result) {
    for (const ResultEntry& entry : kResults) {
        if (entry.result == result) {
            return std::string(entry.words);
        }
    }
    char text[32];
    std::snprintf(text, sizeof text, "error 0x%08X", static_cast<unsigned>(result));
    return text;
}
