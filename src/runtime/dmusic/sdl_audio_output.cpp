// The SDL2_mixer output: sounds are converted once to the device format and
// played on mixer channels. Every play takes a free channel; when all are
// busy the channel count grows, so no play ever cuts off another.
#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "runtime/dmusic/audio_output.h"
#include "vellorn/win32_system.h"

namespace {

constexpr int kMixChannels = 64;
constexpr int kDeviceRate = 44100;
constexpr int kDeviceChannels = 2;
constexpr int kDeviceBufferFrames = 1024;

// SDL_mixer has one device per process, so one output at a time.
bool sdlOutputOpen = false;

void ReportSdlError(const char* what) {
    std::string text = "DirectMusic: ";
    text += what;
    text += ": ";
    text += SDL_GetError();
    text += "\n";
    OutputDebugStringA(text.c_str());
}

// The ALSA library writes its own lines to stderr when it cannot open a
// device, several for one failed open. SDL reports the failure itself, so
// when SDL's ALSA driver has loaded the library its messages are dropped.
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int error,
                                  const char* format, ...);

void DropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

void QuietAlsaLibrary() {
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD);
    if (alsa == nullptr) {
        return;
    }
    auto* setHandler =
        reinterpret_cast<int (*)(AlsaErrorHandler)>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (setHandler != nullptr) {
        setHandler(DropAlsaMessage);
    }
    dlclose(alsa);
}

// Starts SDL audio and opens the mixer on the driver SDL picks; on failure
// leaves SDL audio stopped and says why in reason.
bool OpenMixer(std::string* reason) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        *reason = std::string("cannot start SDL audio: ") + SDL_GetError();
        return false;
    }
    QuietAlsaLibrary();
    if (Mix_OpenAudio(kDeviceRate, AUDIO_S16SYS, kDeviceChannels, kDeviceBufferFrames) != 0) {
        *reason = std::string("cannot open the audio device: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    return true;
}

// The mixer on SDL's dummy driver, which consumes the mix in real time and
// plays nothing: sounds start, overlap and end as they would on a device.
bool OpenSilentMixer(std::string* reason) {
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    const bool opened = OpenMixer(reason);
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    return opened;
}

class SdlAudioOutput final : public AudioOutput {
  public:
    // A machine without a usable audio device still plays: silently, after
    // one warning.
    bool Open() {
        std::string reason;
        if (!OpenMixer(&reason)) {
            std::string silentReason;
            if (!OpenSilentMixer(&silentReason)) {
                OutputDebugStringA(("DirectMusic: " + reason + "; " + silentReason + "\n").c_str());
                return false;
            }
            OutputDebugStringA(
                ("DirectMusic: warning: " + reason + "; sounds play silently\n").c_str());
        }
        open_ = true;
        sdlOutputOpen = true;
        channelVoice_.assign(static_cast<std::size_t>(Mix_AllocateChannels(kMixChannels)), 0);
        return true;
    }

    ~SdlAudioOutput() override {
        if (!open_) {
            return;
        }
        Mix_HaltChannel(-1);
        for (auto& [handle, sound] : sounds_) {
            Mix_FreeChunk(sound.chunk);
        }
        sounds_.clear();
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdlOutputOpen = false;
    }

    int AddSound(const WavSound& wav, const std::string& name) override {
        int rate = 0;
        Uint16 format = 0;
        int channels = 0;
        if (Mix_QuerySpec(&rate, &format, &channels) == 0) {
            return -1;
        }
        SDL_AudioCVT cvt;
        if (SDL_BuildAudioCVT(&cvt, wav.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB,
                              static_cast<Uint8>(wav.channels), static_cast<int>(wav.sampleRate),
                              format, static_cast<Uint8>(channels), rate) < 0) {
            ReportSdlError(("cannot convert " + name).c_str());
            return -1;
        }
        if (wav.pcm.size() > 0x7FFFFFFFu / static_cast<std::size_t>(cvt.len_mult)) {
            return -1;
        }
        const int handle = nextSound_++;
        Sound& sound = sounds_[handle];
        sound.samples.resize(wav.pcm.size() * static_cast<std::size_t>(cvt.len_mult));
        std::memcpy(sound.samples.data(), wav.pcm.data(), wav.pcm.size());
        cvt.buf = sound.samples.data();
        cvt.len = static_cast<int>(wav.pcm.size());
        if (cvt.needed != 0 && SDL_ConvertAudio(&cvt) != 0) {
            ReportSdlError(("cannot convert " + name).c_str());
            sounds_.erase(handle);
            return -1;
        }
        const std::size_t converted =
            cvt.needed != 0 ? static_cast<std::size_t>(cvt.len_cvt) : wav.pcm.size();
        sound.samples.resize(converted);
        // The chunk points into samples, which stays in place (the map node
        // never moves) until the chunk is freed.
        sound.chunk = Mix_QuickLoad_RAW(sound.samples.data(), static_cast<Uint32>(converted));
        if (sound.chunk == nullptr) {
            ReportSdlError(("cannot prepare " + name).c_str());
            sounds_.erase(handle);
            return -1;
        }
        return handle;
    }

    void RemoveSound(int handle) override {
        const auto found = sounds_.find(handle);
        if (found == sounds_.end()) {
            return;
        }
        // Mix_FreeChunk halts every channel still playing the chunk.
        Mix_FreeChunk(found->second.chunk);
        sounds_.erase(found);
    }

    int Play(int handle) override {
        const auto found = sounds_.find(handle);
        if (found == sounds_.end()) {
            return -1;
        }
        int channel = Mix_PlayChannel(-1, found->second.chunk, 0);
        if (channel < 0) {
            // Every channel is busy: add as many again rather than cut one off.
            const int count = Mix_AllocateChannels(-1);
            channelVoice_.resize(static_cast<std::size_t>(Mix_AllocateChannels(count * 2)), 0);
            channel = Mix_PlayChannel(-1, found->second.chunk, 0);
            if (channel < 0) {
                ReportSdlError("cannot start a sound");
                return -1;
            }
        }
        const int voice = nextVoice_++;
        channelVoice_[static_cast<std::size_t>(channel)] = voice;
        voiceChannel_[voice] = channel;
        return voice;
    }

    bool IsPlaying(int voice) override { return ChannelOf(voice) >= 0; }

    void StopVoice(int voice) override {
        const int channel = ChannelOf(voice);
        if (channel >= 0) {
            Mix_HaltChannel(channel);
        }
    }

    void StopAll() override { Mix_HaltChannel(-1); }

    int PlayingVoices() override { return Mix_Playing(-1); }

  private:
    struct Sound {
        Mix_Chunk* chunk = nullptr;
        std::vector<Uint8> samples;
    };

    // The channel the voice is still sounding on, or -1. Finished voices are
    // forgotten so the map does not grow.
    int ChannelOf(int voice) {
        const auto found = voiceChannel_.find(voice);
        if (found == voiceChannel_.end()) {
            return -1;
        }
        const int channel = found->second;
        if (channelVoice_[static_cast<std::size_t>(channel)] == voice &&
            Mix_Playing(channel) != 0) {
            return channel;
        }
        voiceChannel_.erase(found);
        return -1;
    }

    bool open_ = false;
    std::map<int, Sound> sounds_;
    std::vector<int> channelVoice_;
    std::map<int, int> voiceChannel_;
    int nextSound_ = 1;
    int nextVoice_ = 1;
};

}  // namespace

std::unique_ptr<AudioOutput> OpenSdlAudioOutput() {
    if (sdlOutputOpen) {
        OutputDebugStringA("DirectMusic: the audio device is already in use by a performance\n");
        return nullptr;
    }
    auto output = std::make_unique<SdlAudioOutput>();
    if (!output->Open()) {
        return nullptr;
    }
    return output;
}
