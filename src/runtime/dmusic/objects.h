// The DirectMusic objects of the runtime. A performance owns the audio
// output and the sounds downloaded to it; audio paths and segment states
// belong to one performance; segments hold the sound read from their file
// and can be downloaded to any performance.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/dmusic/audio_output.h"
#include "runtime/dmusic/hooks_internal.h"
#include "runtime/dmusic/wav_reader.h"
#include "vellorn/com_ptr.h"
#include "vellorn/dmusic.h"

// Reference counting shared by every object: the object is destroyed by the
// Release that drops the count to zero. Each Release is logged for tests.
template <class Interface>
class DirectMusicObject : public Interface {
  public:
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        LogDirectMusicCall(Describe() + ".Release " + std::to_string(left));
        if (left == 0) {
            delete this;
        }
        return left;
    }

  protected:
    DirectMusicObject() { CountDirectMusicObject(1); }
    virtual ~DirectMusicObject() { CountDirectMusicObject(-1); }
    virtual std::string Describe() const = 0;

    // Answers QueryInterface for the interfaces in ids, all of which this
    // object implements at the same address.
    HRESULT Answer(REFIID riid, void** object, std::initializer_list<const IID*> ids) {
        if (object == nullptr) {
            return E_POINTER;
        }
        for (const IID* id : ids) {
            if (riid == *id) {
                AddRef();
                *object = static_cast<Interface*>(this);
                return S_OK;
            }
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

  private:
    std::atomic<ULONG> references_{1};
};

class Performance;

class AudioPath final : public DirectMusicObject<IDirectMusicAudioPath> {
  public:
    AudioPath(Performance* owner, DWORD type, bool active)
        : owner_(owner), type_(type), active_(active) {}
    HRESULT QueryInterface(REFIID riid, void** object) override;

    Performance* Owner() const { return owner_; }
    bool Active() const { return active_; }
    // Called by a performance going away before its paths.
    void Detach() { owner_ = nullptr; }

  private:
    ~AudioPath() override;
    std::string Describe() const override { return "AudioPath(" + std::to_string(type_) + ")"; }

    Performance* owner_;
    DWORD type_;
    bool active_;
};

class Segment final : public DirectMusicObject<IDirectMusicSegment8> {
  public:
    Segment(std::shared_ptr<const WavSound> sound, std::string path, std::string name);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT Download(IUnknown* audioPath) override;
    HRESULT Unload(IUnknown* audioPath) override;

    std::uint64_t Serial() const { return serial_; }
    const WavSound& Sound() const { return *sound_; }
    const std::string& Path() const { return path_; }

  private:
    std::string Describe() const override { return "Segment(" + name_ + ")"; }

    std::shared_ptr<const WavSound> sound_;
    std::string path_;  // the file as opened
    std::string name_;  // its last component
    std::uint64_t serial_;
};

class SegmentState final : public DirectMusicObject<IDirectMusicSegmentState8> {
  public:
    explicit SegmentState(int voice) : voice_(voice) {}
    HRESULT QueryInterface(REFIID riid, void** object) override;
    int Voice() const { return voice_; }

  private:
    std::string Describe() const override { return "SegmentState"; }
    int voice_;
};

class Performance final : public DirectMusicObject<IDirectMusicPerformance8> {
  public:
    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT InitAudio(IDirectMusic** directMusic, IDirectSound** directSound, HWND window,
                      DWORD defaultPathType, DWORD pChannelCount, DWORD flags,
                      DMUS_AUDIOPARAMS* params) override;
    HRESULT PlaySegmentEx(IUnknown* source, WCHAR* segmentName, IUnknown* transition, DWORD flags,
                          std::int64_t startTime, IDirectMusicSegmentState** segmentState,
                          IUnknown* from, IUnknown* audioPath) override;
    HRESULT Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* segmentState,
                 MUSIC_TIME time, DWORD flags) override;
    HRESULT CreateStandardAudioPath(DWORD type, DWORD pChannelCount, BOOL activate,
                                    IDirectMusicAudioPath** audioPath) override;
    HRESULT GetDefaultAudioPath(IDirectMusicAudioPath** audioPath) override;
    HRESULT CloseDown() override;

    HRESULT DownloadSegment(const Segment& segment);
    HRESULT UnloadSegment(const Segment& segment);
    void ForgetPath(AudioPath* path);

  private:
    ~Performance() override;
    std::string Describe() const override { return "Performance"; }
    bool Ready() const { return output_ != nullptr; }

    struct Voice {
        int voice;
        std::uint64_t segment;
    };

    std::unique_ptr<AudioOutput> output_;
    bool initialised_ = false;
    ComPtr<AudioPath> defaultPath_;
    std::vector<AudioPath*> paths_;           // every live path of this performance
    std::map<std::uint64_t, int> downloads_;  // segment serial -> output sound
    std::vector<Voice> voices_;               // plays that may still sound
};

// The performance an object passed as a download target or audio path stands
// for: the performance itself, or an audio path's performance. Null when the
// object is neither.
Performance* PerformanceOf(IUnknown* object);

class Loader final : public DirectMusicObject<IDirectMusicLoader8> {
  public:
    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT SetSearchDirectory(REFGUID classId, WCHAR* path, BOOL clear) override;
    HRESULT LoadObjectFromFile(REFGUID classId, REFIID interfaceId, WCHAR* filePath,
                               void** object) override;

  private:
    std::string Describe() const override { return "Loader"; }

    struct SearchDirectory {
        GUID classId;
        std::string path;
    };
    std::vector<SearchDirectory> directories_;
};
