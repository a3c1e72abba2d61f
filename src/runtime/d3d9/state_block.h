// State blocks: a set of recorded states with their values. BeginStateBlock
// and EndStateBlock record exactly the states set in between; Apply sets them
// on the device, Capture refreshes their values from the device's state.
#pragma once

#include <bitset>
#include <memory>

#include "runtime/d3d9/device_state.h"
#include "vellorn/com_object.h"

class Device;

struct StateRecord {
    std::bitset<kRenderStateCount> renderStates;
    std::array<std::bitset<kStageStateCount>, kStageCount> stageStates;
    std::array<std::bitset<kSamplerStateCount>, kSamplerCount> samplerStates;
    std::bitset<kTransformCount> transforms;
    std::bitset<kSamplerCount> textures;
    bool viewport = false;
    bool stream = false;
    bool indices = false;
    bool declaration = false;
    bool vertexShader = false;
    bool pixelShader = false;
    bool nPatchMode = false;
    DeviceState values;

    // Marks every state (a D3DSBT_ALL block).
    void RecordEverything();
    // Copies the current values of the recorded states from state.
    void CaptureFrom(const DeviceState& state);
};

class StateBlock final : public ComObject<IDirect3DStateBlock9, IID_IDirect3DStateBlock9> {
  public:
    // Takes the record; counts itself among the device's live state blocks.
    StateBlock(Device& device, std::unique_ptr<StateRecord> record);

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT Capture() override;
    HRESULT Apply() override;

  private:
    ~StateBlock() override;

    Device& device_;
    std::unique_ptr<StateRecord> record_;
};
