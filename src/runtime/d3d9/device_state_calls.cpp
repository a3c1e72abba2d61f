// The device's state calls: transforms, viewport, render, texture-stage and
// sampler states, bound textures, streams, indices, declaration and shaders,
// and the state blocks that record and re-apply them.
#include "runtime/d3d9/device.h"

#include <new>

#include "runtime/d3d9/runtime_services.h"

// ---- state ----

namespace {

bool ValidTransform(D3DTRANSFORMSTATETYPE state) {
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION ||
           (state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + 8) ||
           (state >= D3DTS_WORLD && state < kTransformCount);
}

}  // namespace

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    DEVICE_OPERATION("SetTransform");
    if (matrix == nullptr || !ValidTransform(state)) {
        ReportInvalidCall("SetTransform: transform %u does not exist or null matrix",
                          static_cast<unsigned>(state));
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->transforms.set(state);
        recording_->values.transforms[state] = *matrix;
        return S_OK;
    }
    state_.transforms[state] = *matrix;
    return S_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    DEVICE_OPERATION("GetTransform");
    if (matrix == nullptr || !ValidTransform(state)) {
        ReportInvalidCall("GetTransform: transform %u does not exist or null matrix",
                          static_cast<unsigned>(state));
        return D3DERR_INVALIDCALL;
    }
    *matrix = state_.transforms[state];
    return S_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
    DEVICE_OPERATION("SetViewport");
    if (viewport == nullptr || viewport->Width == 0 || viewport->Height == 0 ||
        std::uint64_t{viewport->X} + viewport->Width > parameters_.BackBufferWidth ||
        std::uint64_t{viewport->Y} + viewport->Height > parameters_.BackBufferHeight ||
        !(viewport->MinZ >= 0.0f && viewport->MaxZ <= 1.0f && viewport->MinZ <= viewport->MaxZ)) {
        ReportInvalidCall("SetViewport: the viewport lies outside the render target");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->viewport = true;
        recording_->values.viewport = *viewport;
        return S_OK;
    }
    state_.viewport = *viewport;
    return S_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
    DEVICE_OPERATION("GetViewport");
    if (viewport == nullptr) {
        ReportInvalidCall("GetViewport: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    *viewport = state_.viewport;
    return S_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    DEVICE_OPERATION("SetRenderState");
    if (state == 0 || state >= kRenderStateCount) {
        ReportInvalidCall("SetRenderState: render state %u does not exist",
                          static_cast<unsigned>(state));
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->renderStates.set(state);
        recording_->values.renderStates[state] = value;
        return S_OK;
    }
    state_.renderStates[state] = value;
    return S_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    DEVICE_OPERATION("GetRenderState");
    if (value == nullptr || state == 0 || state >= kRenderStateCount) {
        ReportInvalidCall("GetRenderState: render state %u does not exist or null output",
                          static_cast<unsigned>(state));
        return D3DERR_INVALIDCALL;
    }
    *value = state_.renderStates[state];
    return S_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
    DEVICE_OPERATION("GetTexture");
    if (texture == nullptr || stage >= kSamplerCount) {
        ReportInvalidCall("GetTexture: stage %u does not exist or null output", stage);
        return D3DERR_INVALIDCALL;
    }
    return HandOut(state_.textures[stage].Get(), texture);
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    DEVICE_OPERATION("SetTexture");
    if (stage >= kSamplerCount) {
        ReportInvalidCall("SetTexture: stage %u does not exist", stage);
        return D3DERR_INVALIDCALL;
    }
    D3DPOOL pool = D3DPOOL_DEFAULT;
    if (!IsNullOrOwn(texture) || (texture != nullptr && !PoolOf(texture, &pool))) {
        ReportInvalidCall("SetTexture: not a texture of this device");
        return D3DERR_INVALIDCALL;
    }
    if (pool == D3DPOOL_SCRATCH) {
        ReportInvalidCall("SetTexture: scratch textures cannot be set on the device");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->textures.set(stage);
        recording_->values.textures[stage] = BindingTo(texture);
        return S_OK;
    }
    state_.textures[stage] = BindingTo(texture);
    return S_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    DEVICE_OPERATION("GetTextureStageState");
    if (value == nullptr || stage >= kStageCount || type == 0 || type >= kStageStateCount) {
        ReportInvalidCall("GetTextureStageState: stage %u state %u does not exist", stage,
                          static_cast<unsigned>(type));
        return D3DERR_INVALIDCALL;
    }
    *value = state_.stageStates[stage][type];
    return S_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    DEVICE_OPERATION("SetTextureStageState");
    if (stage >= kStageCount || type == 0 || type >= kStageStateCount) {
        ReportInvalidCall("SetTextureStageState: stage %u state %u does not exist", stage,
                          static_cast<unsigned>(type));
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->stageStates[stage].set(type);
        recording_->values.stageStates[stage][type] = value;
        return S_OK;
    }
    state_.stageStates[stage][type] = value;
    return S_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    DEVICE_OPERATION("GetSamplerState");
    if (value == nullptr || sampler >= kSamplerCount || type == 0 || type >= kSamplerStateCount) {
        ReportInvalidCall("GetSamplerState: sampler %u state %u does not exist", sampler,
                          static_cast<unsigned>(type));
        return D3DERR_INVALIDCALL;
    }
    *value = state_.samplerStates[sampler][type];
    return S_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    DEVICE_OPERATION("SetSamplerState");
    if (sampler >= kSamplerCount || type == 0 || type >= kSamplerStateCount) {
        ReportInvalidCall("SetSamplerState: sampler %u state %u does not exist", sampler,
                          static_cast<unsigned>(type));
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->samplerStates[sampler].set(type);
        recording_->values.samplerStates[sampler][type] = value;
        return S_OK;
    }
    state_.samplerStates[sampler][type] = value;
    return S_OK;
}

HRESULT Device::SetNPatchMode(float segments) {
    DEVICE_OPERATION("SetNPatchMode");
    if (!(segments >= 0.0f)) {
        ReportInvalidCall("SetNPatchMode: negative segment count");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->nPatchMode = true;
        recording_->values.nPatchSegments = segments;
        return S_OK;
    }
    state_.nPatchSegments = segments;
    return S_OK;
}

float Device::GetNPatchMode() {
    HRESULT ignored = S_OK;
    InjectedFailure("GetNPatchMode", &ignored);
    return state_.nPatchSegments;
}

HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
    DEVICE_OPERATION("SetVertexDeclaration");
    if (!IsNullOrOwn(declaration)) {
        ReportInvalidCall("SetVertexDeclaration: not a declaration of this device");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->declaration = true;
        recording_->values.declaration = BindingTo(declaration);
        return S_OK;
    }
    state_.declaration = BindingTo(declaration);
    return S_OK;
}

HRESULT Device::GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) {
    DEVICE_OPERATION("GetVertexDeclaration");
    if (declaration == nullptr) {
        ReportInvalidCall("GetVertexDeclaration: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    return HandOut(state_.declaration.Get(), declaration);
}

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* shader) {
    DEVICE_OPERATION("SetVertexShader");
    if (shader != nullptr) {
        ReportInvalidCall("SetVertexShader: only the fixed-function pipeline is offered");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->vertexShader = true;
        return S_OK;
    }
    state_.vertexShader.Reset();
    return S_OK;
}

HRESULT Device::GetVertexShader(IDirect3DVertexShader9** shader) {
    DEVICE_OPERATION("GetVertexShader");
    if (shader == nullptr) {
        ReportInvalidCall("GetVertexShader: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    return HandOut(state_.vertexShader.Get(), shader);
}

HRESULT Device::SetPixelShader(IDirect3DPixelShader9* shader) {
    DEVICE_OPERATION("SetPixelShader");
    if (shader != nullptr) {
        ReportInvalidCall("SetPixelShader: only the fixed-function pipeline is offered");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->pixelShader = true;
        return S_OK;
    }
    state_.pixelShader.Reset();
    return S_OK;
}

HRESULT Device::GetPixelShader(IDirect3DPixelShader9** shader) {
    DEVICE_OPERATION("GetPixelShader");
    if (shader == nullptr) {
        ReportInvalidCall("GetPixelShader: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    return HandOut(state_.pixelShader.Get(), shader);
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                UINT stride) {
    DEVICE_OPERATION("SetStreamSource");
    if (stream != 0) {
        ReportInvalidCall("SetStreamSource: only stream 0 is offered, not %u", stream);
        return D3DERR_INVALIDCALL;
    }
    if (!IsNullOrOwn(buffer)) {
        ReportInvalidCall("SetStreamSource: not a vertex buffer of this device");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->stream = true;
        recording_->values.streamBuffer = BindingTo(buffer);
        recording_->values.streamOffset = offset;
        recording_->values.streamStride = stride;
        return S_OK;
    }
    state_.streamBuffer = BindingTo(buffer);
    state_.streamOffset = offset;
    state_.streamStride = stride;
    return S_OK;
}

HRESULT Device::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                                UINT* stride) {
    DEVICE_OPERATION("GetStreamSource");
    if (stream != 0 || buffer == nullptr || offset == nullptr || stride == nullptr) {
        ReportInvalidCall("GetStreamSource: stream %u does not exist or null output", stream);
        return D3DERR_INVALIDCALL;
    }
    *offset = state_.streamOffset;
    *stride = state_.streamStride;
    return HandOut(state_.streamBuffer.Get(), buffer);
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* indices) {
    DEVICE_OPERATION("SetIndices");
    if (!IsNullOrOwn(indices)) {
        ReportInvalidCall("SetIndices: not an index buffer of this device");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->indices = true;
        recording_->values.indices = BindingTo(indices);
        return S_OK;
    }
    state_.indices = BindingTo(indices);
    return S_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** indices) {
    DEVICE_OPERATION("GetIndices");
    if (indices == nullptr) {
        ReportInvalidCall("GetIndices: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    return HandOut(state_.indices.Get(), indices);
}

// ---- state blocks ----

HRESULT Device::CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) {
    DEVICE_OPERATION("CreateStateBlock");
    if (block == nullptr || type != D3DSBT_ALL || recording_) {
        ReportInvalidCall(
            "CreateStateBlock: only D3DSBT_ALL blocks are offered, outside of recording");
        return D3DERR_INVALIDCALL;
    }
    auto record = std::unique_ptr<StateRecord>(new (std::nothrow) StateRecord);
    if (!record) {
        return E_OUTOFMEMORY;
    }
    record->RecordEverything();
    record->CaptureFrom(state_);
    StateBlock* created = new (std::nothrow) StateBlock(*this, std::move(record));
    if (created == nullptr) {
        return E_OUTOFMEMORY;
    }
    *block = created;
    return S_OK;
}

HRESULT Device::BeginStateBlock() {
    DEVICE_OPERATION("BeginStateBlock");
    if (recording_) {
        ReportInvalidCall("BeginStateBlock: already recording a state block");
        return D3DERR_INVALIDCALL;
    }
    recording_.reset(new (std::nothrow) StateRecord);
    return recording_ ? S_OK : E_OUTOFMEMORY;
}

HRESULT Device::EndStateBlock(IDirect3DStateBlock9** block) {
    DEVICE_OPERATION("EndStateBlock");
    if (block == nullptr || !recording_) {
        ReportInvalidCall("EndStateBlock: no BeginStateBlock before, or null output");
        return D3DERR_INVALIDCALL;
    }
    StateBlock* created = new (std::nothrow) StateBlock(*this, std::move(recording_));
    if (created == nullptr) {
        return E_OUTOFMEMORY;
    }
    *block = created;
    return S_OK;
}

void Device::ApplyRecord(const StateRecord& record) {
    // The block's Apply is the logged operation, not each state it sets.
    applying_ = true;
    const DeviceState& values = record.values;
    for (DWORD i = 0; i < kRenderStateCount; ++i) {
        if (record.renderStates.test(i)) {
            SetRenderState(static_cast<D3DRENDERSTATETYPE>(i), values.renderStates[i]);
        }
    }
    for (DWORD stage = 0; stage < kStageCount; ++stage) {
        for (DWORD i = 0; i < kStageStateCount; ++i) {
            if (record.stageStates[stage].test(i)) {
                SetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(i),
                                     values.stageStates[stage][i]);
            }
        }
    }
    for (DWORD sampler = 0; sampler < kSamplerCount; ++sampler) {
        for (DWORD i = 0; i < kSamplerStateCount; ++i) {
            if (record.samplerStates[sampler].test(i)) {
                SetSamplerState(sampler, static_cast<D3DSAMPLERSTATETYPE>(i),
                                values.samplerStates[sampler][i]);
            }
        }
        if (record.textures.test(sampler)) {
            SetTexture(sampler, values.textures[sampler].Get());
        }
    }
    for (DWORD i = 0; i < kTransformCount; ++i) {
        if (record.transforms.test(i)) {
            SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(i), &values.transforms[i]);
        }
    }
    if (record.viewport) {
        SetViewport(&values.viewport);
    }
    if (record.stream) {
        SetStreamSource(0, values.streamBuffer.Get(), values.streamOffset, values.streamStride);
    }
    if (record.indices) {
        SetIndices(values.indices.Get());
    }
    if (record.declaration) {
        SetVertexDeclaration(values.declaration.Get());
    }
    if (record.vertexShader) {
        SetVertexShader(nullptr);
    }
    if (record.pixelShader) {
        SetPixelShader(nullptr);
    }
    if (record.nPatchMode) {
        SetNPatchMode(values.nPatchSegments);
    }
    applying_ = false;
}
