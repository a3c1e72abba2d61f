// Vertex declarations: the element list of one stream, checked once at
// creation so that vertex fetch can trust it.
#include <memory>
#include <new>
#include <vector>

#include "runtime/d3d9/device_child.h"
#include "runtime/d3d9/resource_identity.h"
#include "runtime/d3d9/resources.h"
#include "vellorn/com_object.h"

namespace {

// The longest declaration accepted, end marker included.
constexpr UINT kMaxElements = 64;

UINT SizeOfType(BYTE type) {
    switch (type) {
        case D3DDECLTYPE_FLOAT1:
        case D3DDECLTYPE_D3DCOLOR: return 4;
        case D3DDECLTYPE_FLOAT2: return 8;
        case D3DDECLTYPE_FLOAT3: return 12;
        case D3DDECLTYPE_FLOAT4: return 16;
        default: return 0;
    }
}

UINT UsageIndexLimit(BYTE usage) {
    switch (usage) {
        case D3DDECLUSAGE_POSITION: return 1;
        case D3DDECLUSAGE_COLOR: return 2;
        case D3DDECLUSAGE_TEXCOORD: return 8;
        default: return 0;
    }
}

bool IsEnd(const D3DVERTEXELEMENT9& element) {
    return element.Stream == 0xFF && element.Type == D3DDECLTYPE_UNUSED;
}

// Elements of stream 0 with float or colour types and position, colour or
// texture-coordinate usages; each usage and index once; offsets 4-byte
// aligned and elements not overlapping.
bool ValidElements(const std::vector<D3DVERTEXELEMENT9>& elements) {
    if (elements.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const D3DVERTEXELEMENT9& e = elements[i];
        const UINT size = SizeOfType(e.Type);
        if (e.Stream != 0 || e.Method != D3DDECLMETHOD_DEFAULT || size == 0 ||
            e.UsageIndex >= UsageIndexLimit(e.Usage) || e.Offset % 4 != 0) {
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            const D3DVERTEXELEMENT9& other = elements[j];
            if (other.Usage == e.Usage && other.UsageIndex == e.UsageIndex) {
                return false;
            }
            const UINT otherSize = SizeOfType(other.Type);
            if (e.Offset < other.Offset + otherSize && other.Offset < e.Offset + size) {
                return false;
            }
        }
    }
    return true;
}

class DeclarationObject final
    : public ComObject<IDirect3DVertexDeclaration9, IID_IDirect3DVertexDeclaration9,
                       DeviceChildObject<IDirect3DVertexDeclaration9>> {
  public:
    static constexpr ResourceKind kResourceKind = ResourceKind::VertexDeclaration;

    DeclarationObject(DeviceContext& device, std::vector<D3DVERTEXELEMENT9> elements)
        : ComObject(device.PublicDevice()),
          identity_(this, kResourceKind),
          device_(device),
          elements_(std::move(elements)) {}
    HRESULT GetDevice(IDirect3DDevice9** device) override { return device_.HandOutDevice(device); }
    // With elements null only the count is given; it includes the end marker.
    HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) override {
        if (count == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        const UINT total = static_cast<UINT>(elements_.size()) + 1;
        if (elements != nullptr) {
            for (std::size_t i = 0; i < elements_.size(); ++i) {
                elements[i] = elements_[i];
            }
            elements[elements_.size()] = D3DDECL_END;
        }
        *count = total;
        return S_OK;
    }

    const std::vector<D3DVERTEXELEMENT9>& Elements() const { return elements_; }
    bool Registered() const { return identity_.Registered(); }

  private:
    ResourceIdentity identity_;
    DeviceContext& device_;
    std::vector<D3DVERTEXELEMENT9> elements_;
};

}  // namespace

HRESULT CreateVertexDeclarationResource(DeviceContext& device, const D3DVERTEXELEMENT9* elements,
                                        IDirect3DVertexDeclaration9** declaration) {
    if (declaration == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *declaration = nullptr;
    if (elements == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    std::vector<D3DVERTEXELEMENT9> list;
    try {
        UINT i = 0;
        for (; i < kMaxElements && !IsEnd(elements[i]); ++i) {
            list.push_back(elements[i]);
        }
        if (i == kMaxElements) {
            return D3DERR_INVALIDCALL;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (!ValidElements(list)) {
        return D3DERR_INVALIDCALL;
    }
    std::unique_ptr<DeclarationObject> object(new (std::nothrow)
                                                  DeclarationObject(device, std::move(list)));
    if (!object || !object->Registered()) {
        return E_OUTOFMEMORY;
    }
    *declaration = object.release();
    return S_OK;
}

const std::vector<D3DVERTEXELEMENT9>* ElementsOf(IDirect3DVertexDeclaration9* declaration) {
    DeclarationObject* object = ResourceCast<DeclarationObject>(declaration);
    return object == nullptr ? nullptr : &object->Elements();
}

DeviceChild* ChildOf(IDirect3DVertexDeclaration9* declaration) {
    return ResourceCast<DeclarationObject>(declaration);
}
