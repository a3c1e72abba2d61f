// The performance: opens the audio output, hands out audio paths, keeps the
// sounds downloaded to it and starts plays. Every play starts at once and
// mixes over everything still sounding; only Stop, Unload and CloseDown end
// a play early.
#include <algorithm>

#include "runtime/backend.h"
#include "runtime/dmusic/objects.h"

namespace {

bool KnownPathType(DWORD type) {
    return type == DMUS_APATH_SHARED_STEREOPLUSREVERB || type == DMUS_APATH_DYNAMIC_3D ||
           type == DMUS_APATH_DYNAMIC_MONO || type == DMUS_APATH_DYNAMIC_STEREO;
}

}  // namespace

AudioPath::~AudioPath() {
    if (owner_ != nullptr) {
        owner_->ForgetPath(this);
    }
}

HRESULT AudioPath::QueryInterface(REFIID riid, void** object) {
    return Answer(riid, object, {&IID_IUnknown, &IID_IDirectMusicAudioPath});
}

HRESULT SegmentState::QueryInterface(REFIID riid, void** object) {
    return Answer(riid, object,
                  {&IID_IUnknown, &IID_IDirectMusicSegmentState, &IID_IDirectMusicSegmentState8});
}

Performance* PerformanceOf(IUnknown* object) {
    if (auto* performance = dynamic_cast<Performance*>(object)) {
        return performance;
    }
    if (auto* path = dynamic_cast<AudioPath*>(object)) {
        return path->Owner();
    }
    return nullptr;
}

Performance::~Performance() {
    // Paths may outlive the performance; they must not call back into it.
    for (AudioPath* path : paths_) {
        path->Detach();
    }
    paths_.clear();
    defaultPath_.Reset();
    if (output_ != nullptr) {
        SetCurrentAudioOutput(nullptr);
    }
}

HRESULT Performance::QueryInterface(REFIID riid, void** object) {
    return Answer(riid, object, {&IID_IUnknown, &IID_IDirectMusicPerformance8});
}

HRESULT Performance::InitAudio(IDirectMusic** directMusic, IDirectSound** directSound,
                               HWND /*window*/, DWORD defaultPathType, DWORD pChannelCount,
                               DWORD /*flags*/, DMUS_AUDIOPARAMS* params) {
    if (initialised_) {
        return E_FAIL;
    }
    // The performance always makes its own mixer; it cannot take or hand
    // out DirectMusic or DirectSound objects, nor tune the synthesizer.
    if (directMusic != nullptr || directSound != nullptr || params != nullptr) {
        return E_NOTIMPL;
    }
    if (defaultPathType != 0 && (!KnownPathType(defaultPathType) || pChannelCount == 0)) {
        return E_FAIL;
    }
    std::unique_ptr<AudioOutput> output;
    if (!DirectMusicFaultActive(DirectMusicFault::kOpenAudio)) {
        output = ActiveBackend() == RuntimeBackend::Headless ? OpenHeadlessAudioOutput()
                                                             : OpenSdlAudioOutput();
    }
    if (output == nullptr) {
        return E_FAIL;
    }
    if (defaultPathType != 0) {
        auto* path = new (std::nothrow) AudioPath(this, defaultPathType, true);
        if (path == nullptr) {
            return E_OUTOFMEMORY;
        }
        paths_.push_back(path);
        defaultPath_ = ComPtr<AudioPath>::Adopt(path);
    }
    output_ = std::move(output);
    SetCurrentAudioOutput(output_.get());
    initialised_ = true;
    return S_OK;
}

HRESULT Performance::GetDefaultAudioPath(IDirectMusicAudioPath** audioPath) {
    if (audioPath == nullptr) {
        return E_POINTER;
    }
    *audioPath = nullptr;
    if (!Ready() || !defaultPath_ ||
        DirectMusicFaultActive(DirectMusicFault::kGetDefaultAudioPath)) {
        return E_FAIL;
    }
    defaultPath_->AddRef();
    *audioPath = defaultPath_.Get();
    return S_OK;
}

HRESULT Performance::CreateStandardAudioPath(DWORD type, DWORD pChannelCount, BOOL activate,
                                             IDirectMusicAudioPath** audioPath) {
    if (audioPath == nullptr) {
        return E_POINTER;
    }
    *audioPath = nullptr;
    if (!Ready() || !KnownPathType(type) || pChannelCount == 0) {
        return E_FAIL;
    }
    auto* path = new (std::nothrow) AudioPath(this, type, activate != FALSE);
    if (path == nullptr) {
        return E_OUTOFMEMORY;
    }
    paths_.push_back(path);
    *audioPath = path;
    return S_OK;
}

void Performance::ForgetPath(AudioPath* path) {
    paths_.erase(std::remove(paths_.begin(), paths_.end(), path), paths_.end());
}

HRESULT Performance::DownloadSegment(const Segment& segment) {
    if (!Ready()) {
        return E_FAIL;
    }
    if (downloads_.count(segment.Serial()) != 0) {
        return S_OK;
    }
    const int sound = output_->AddSound(segment.Sound(), segment.Path());
    if (sound < 0) {
        return E_FAIL;
    }
    downloads_[segment.Serial()] = sound;
    return S_OK;
}

HRESULT Performance::UnloadSegment(const Segment& segment) {
    const auto found = downloads_.find(segment.Serial());
    if (found == downloads_.end()) {
        return S_FALSE;
    }
    output_->RemoveSound(found->second);
    downloads_.erase(found);
    std::erase_if(voices_, [&](const Voice& v) { return v.segment == segment.Serial(); });
    return S_OK;
}

HRESULT Performance::PlaySegmentEx(IUnknown* source, WCHAR* segmentName, IUnknown* transition,
                                   DWORD /*flags*/, std::int64_t startTime,
                                   IDirectMusicSegmentState** segmentState, IUnknown* from,
                                   IUnknown* audioPath) {
    if (segmentState != nullptr) {
        *segmentState = nullptr;
    }
    if (!Ready()) {
        return E_FAIL;
    }
    if (source == nullptr) {
        return E_POINTER;
    }
    // Only whole segments starting at once are played: there are no named
    // segments, transitions, scheduled starts or plays to replace. Primary
    // and secondary plays alike mix over everything sounding.
    if (segmentName != nullptr || transition != nullptr || from != nullptr || startTime != 0) {
        return E_NOTIMPL;
    }
    auto* segment = dynamic_cast<Segment*>(source);
    if (segment == nullptr) {
        return E_FAIL;
    }
    AudioPath* path = defaultPath_.Get();
    if (audioPath != nullptr) {
        path = dynamic_cast<AudioPath*>(audioPath);
        if (path == nullptr || path->Owner() != this) {
            return E_FAIL;
        }
    }
    if (path == nullptr || !path->Active()) {
        return E_FAIL;
    }
    const auto download = downloads_.find(segment->Serial());
    if (download == downloads_.end()) {
        return E_FAIL;
    }
    const int voice = output_->Play(download->second);
    if (voice < 0) {
        return E_FAIL;
    }
    auto* state = new (std::nothrow) SegmentState(voice);
    if (state == nullptr) {
        output_->StopVoice(voice);
        return E_OUTOFMEMORY;
    }
    std::erase_if(voices_, [&](const Voice& v) { return !output_->IsPlaying(v.voice); });
    voices_.push_back({voice, segment->Serial()});
    if (segmentState != nullptr) {
        *segmentState = state;
    } else {
        state->Release();
    }
    return S_OK;
}

HRESULT Performance::Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* segmentState,
                          MUSIC_TIME /*time*/, DWORD /*flags*/) {
    LogDirectMusicCall("Performance.Stop");
    if (!Ready()) {
        return S_OK;
    }
    // Stops take effect at once; there is no musical time to wait for.
    if (segment == nullptr && segmentState == nullptr) {
        output_->StopAll();
        voices_.clear();
        return S_OK;
    }
    if (auto* state = dynamic_cast<SegmentState*>(segmentState)) {
        output_->StopVoice(state->Voice());
    }
    if (auto* stopped = dynamic_cast<Segment*>(segment)) {
        for (const Voice& v : voices_) {
            if (v.segment == stopped->Serial()) {
                output_->StopVoice(v.voice);
            }
        }
    }
    return S_OK;
}

HRESULT Performance::CloseDown() {
    LogDirectMusicCall("Performance.CloseDown");
    if (output_ != nullptr) {
        output_->StopAll();
        for (const auto& [serial, sound] : downloads_) {
            output_->RemoveSound(sound);
        }
        SetCurrentAudioOutput(nullptr);
        output_.reset();
    }
    downloads_.clear();
    voices_.clear();
    defaultPath_.Reset();
    return S_OK;
}
