#include "runtime/d3d9/state_block.h"

#include "runtime/d3d9/device.h"
#include "runtime/d3d9/runtime_services.h"

void StateRecord::RecordEverything() {
    renderStates.set();
    renderStates.reset(0);
    for (auto& stage : stageStates) {
        stage.set();
        stage.reset(0);
    }
    for (auto& sampler : samplerStates) {
        sampler.set();
        sampler.reset(0);
    }
    transforms.set(D3DTS_VIEW);
    transforms.set(D3DTS_PROJECTION);
    for (DWORD i = 0; i < 8; ++i) {
        transforms.set(D3DTS_TEXTURE0 + i);
    }
    for (DWORD i = D3DTS_WORLD; i < kTransformCount; ++i) {
        transforms.set(i);
    }
    textures.set();
    viewport = stream = indices = declaration = vertexShader = pixelShader = nPatchMode = true;
}

void StateRecord::CaptureFrom(const DeviceState& state) {
    for (DWORD i = 0; i < kRenderStateCount; ++i) {
        if (renderStates.test(i)) {
            values.renderStates[i] = state.renderStates[i];
        }
    }
    for (DWORD stage = 0; stage < kStageCount; ++stage) {
        for (DWORD i = 0; i < kStageStateCount; ++i) {
            if (stageStates[stage].test(i)) {
                values.stageStates[stage][i] = state.stageStates[stage][i];
            }
        }
    }
    for (DWORD sampler = 0; sampler < kSamplerCount; ++sampler) {
        for (DWORD i = 0; i < kSamplerStateCount; ++i) {
            if (samplerStates[sampler].test(i)) {
                values.samplerStates[sampler][i] = state.samplerStates[sampler][i];
            }
        }
        if (textures.test(sampler)) {
            values.textures[sampler] = state.textures[sampler];
        }
    }
    for (DWORD i = 0; i < kTransformCount; ++i) {
        if (transforms.test(i)) {
            values.transforms[i] = state.transforms[i];
        }
    }
    if (viewport) {
        values.viewport = state.viewport;
    }
    if (stream) {
        values.streamBuffer = state.streamBuffer;
        values.streamOffset = state.streamOffset;
        values.streamStride = state.streamStride;
    }
    if (indices) {
        values.indices = state.indices;
    }
    if (declaration) {
        values.declaration = state.declaration;
    }
    if (nPatchMode) {
        values.nPatchSegments = state.nPatchSegments;
    }
}

StateBlock::StateBlock(Device& device, std::unique_ptr<StateRecord> record)
    : device_(device), record_(std::move(record)) {
    device_.AddRef();
    device_.StateBlockCreated();
}

StateBlock::~StateBlock() {
    record_.reset();
    device_.StateBlockDestroyed();
    device_.Release();
}

HRESULT StateBlock::GetDevice(IDirect3DDevice9** device) {
    HRESULT injected = S_OK;
    if (TakeInjectedFault("StateBlock::GetDevice", &injected)) {
        return injected;
    }
    if (device == nullptr) {
        ReportInvalidCall("IDirect3DStateBlock9::GetDevice: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    device_.AddRef();
    *device = &device_;
    return S_OK;
}

HRESULT StateBlock::Capture() {
    HRESULT injected = S_OK;
    if (TakeInjectedFault("StateBlock::Capture", &injected)) {
        return injected;
    }
    record_->CaptureFrom(device_.CurrentState());
    return S_OK;
}

HRESULT StateBlock::Apply() {
    HRESULT injected = S_OK;
    if (TakeInjectedFault("StateBlock::Apply", &injected)) {
        return injected;
    }
    device_.ApplyRecord(*record_);
    return S_OK;
}
