#include "texture/format_choice.h"

#include "platform/diagnostics.h"
#include "vellorn/com_ptr.h"

namespace {

constexpr DWORD kExtraChannelCost = 256;
constexpr DWORD kLostChannelCost = 0x1000000;
constexpr int kLostPrecisionShift = 16;
constexpr int kLostChannelShift = 24;

// Whether data of kind requested may be held in a format of kind candidate.
bool KindsCompatible(FormatKind requested, FormatKind candidate) {
    switch (requested) {
        case FormatKind::Color: return candidate == FormatKind::Color;
        case FormatKind::Palette:
            return candidate == FormatKind::Color || candidate == FormatKind::Palette;
        case FormatKind::Luminance:
            return candidate == FormatKind::Color || candidate == FormatKind::Luminance;
        case FormatKind::Bump: return candidate == FormatKind::Bump;
        case FormatKind::DepthStencil: return candidate == FormatKind::DepthStencil;
    }
    return false;
}

// The device's side of the search: where CheckDeviceFormat is asked.
struct DeviceQuery {
    ComPtr<IDirect3D9> direct3D;
    UINT adapter = 0;
    D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
    D3DFORMAT adapterFormat = D3DFMT_UNKNOWN;
    DWORD usage = 0;
};

bool QueryDevice(IDirect3DDevice9* device, DWORD usage, DeviceQuery* query) {
    D3DCAPS9 caps{};
    D3DDISPLAYMODE mode{};
    if (FAILED(device->GetDirect3D(query->direct3D.ReleaseAndGetAddressOf())) ||
        FAILED(device->GetDeviceCaps(&caps)) || FAILED(device->GetDisplayMode(0, &mode))) {
        return false;
    }
    if ((usage & D3DUSAGE_QUERY_VERTEXTEXTURE) != 0) {
        D3DDEVICE_CREATION_PARAMETERS parameters{};
        if (FAILED(device->GetCreationParameters(&parameters))) {
            return false;
        }
        if ((parameters.BehaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) != 0) {
            usage |= D3DUSAGE_SOFTWAREPROCESSING;
        }
    }
    query->adapter = caps.AdapterOrdinal;
    query->deviceType = caps.DeviceType;
    query->adapterFormat = mode.Format;
    query->usage = usage;
    return true;
}

// Whether the device offers format for the query's usage and resourceType.
bool Offers(const DeviceQuery& query, D3DRESOURCETYPE resourceType, D3DFORMAT format) {
    return SUCCEEDED(query.direct3D->CheckDeviceFormat(
        query.adapter, query.deviceType, query.adapterFormat, query.usage, resourceType, format));
}

// The walk over the table; query is null when there is no device.
D3DFORMAT SearchRows(const DeviceQuery* query, D3DRESOURCETYPE resourceType,
                     const FormatInfo& request) {
    const FormatInfo* best = &DefaultFormatInfo();
    DWORD bestCost = kUnusableFormatDistance;
    for (const FormatInfo& row : FormatInfoTable()) {
        if (query != nullptr && !Offers(*query, resourceType, row.format)) {
            continue;
        }
        if (row.format == request.format) {
            return row.format;
        }
        if (!row.substitute) {
            continue;
        }
        const DWORD cost = FormatDistance(request, row);
        if (cost == kUnusableFormatDistance || cost > bestCost ||
            (cost == bestCost && row.bitsPerPixel >= best->bitsPerPixel)) {
            continue;
        }
        best = &row;
        bestCost = cost;
    }
    return best->format;
}

}  // namespace

DWORD FormatDistance(const FormatInfo& request, const FormatInfo& candidate) {
    if (!KindsCompatible(request.kind, candidate.kind)) {
        return kUnusableFormatDistance;
    }
    DWORD cost = 0;
    DWORD present = 0;
    for (std::size_t i = 0; i < kChannelCount; ++i) {
        const UINT wanted = request.channelBits[i];
        const UINT offered = candidate.channelBits[i];
        if (wanted != 0) {
            ++present;
        }
        if (wanted < offered) {
            cost += wanted == 0 ? kExtraChannelCost : offered - wanted;
        } else if (wanted > offered) {
            cost += offered == 0 ? kLostChannelCost : (wanted - offered) << kLostPrecisionShift;
        }
    }
    return (cost >> kLostChannelShift) == present ? kUnusableFormatDistance : cost;
}

D3DFORMAT FindClosestFormat(IDirect3DDevice9* device, DWORD usage, D3DRESOURCETYPE resourceType,
                            const FormatInfo& request) {
    SetDebugMute(TRUE);
    D3DFORMAT chosen = D3DFMT_UNKNOWN;
    if (device == nullptr) {
        chosen = SearchRows(nullptr, resourceType, request);
    } else {
        DeviceQuery query;
        if (QueryDevice(device, usage, &query)) {
            chosen = SearchRows(&query, resourceType, request);
        }
    }
    SetDebugMute(FALSE);
    return chosen;
}
