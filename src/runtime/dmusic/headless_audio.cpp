// The headless output and the test hooks of the DirectMusic runtime.
#include "runtime/dmusic/headless_audio.h"

#include <map>
#include <set>

#include "runtime/dmusic/audio_output.h"
#include "runtime/dmusic/hooks_internal.h"
#include "vellorn/win32_system.h"

namespace {

struct HookState {
    // Plays only ever get appended, so a voice can keep the index of its
    // record; clearing just moves the start of what tests see.
    std::vector<HeadlessPlay> plays;
    std::size_t firstVisible = 0;
    bool open = false;
    int loadedSounds = 0;
    std::set<DirectMusicFault> faults;
    std::vector<std::string>* log = nullptr;
    int liveObjects = 0;
    AudioOutput* currentOutput = nullptr;
};

HookState& State() {
    static HookState state;
    return state;
}

bool Sounding(const HeadlessPlay& play) {
    return !play.stopped && GetTickCount() - play.startTick < play.durationMs;
}

class HeadlessAudioOutput final : public AudioOutput {
  public:
    HeadlessAudioOutput() { State().open = true; }
    ~HeadlessAudioOutput() override {
        StopAll();
        State().loadedSounds -= static_cast<int>(sounds_.size());
        State().open = false;
    }

    int AddSound(const WavSound& sound, const std::string& name) override {
        const int handle = nextSound_++;
        sounds_[handle] = {name, sound.DurationMs() == 0 ? 1 : sound.DurationMs()};
        ++State().loadedSounds;
        return handle;
    }

    void RemoveSound(int sound) override {
        const auto found = sounds_.find(sound);
        if (found == sounds_.end()) {
            return;
        }
        for (const auto& [voice, entry] : voices_) {
            if (entry.sound == sound) {
                State().plays[entry.record].stopped = true;
            }
        }
        sounds_.erase(found);
        --State().loadedSounds;
    }

    int Play(int sound) override {
        const auto found = sounds_.find(sound);
        if (found == sounds_.end()) {
            return -1;
        }
        State().plays.push_back({found->second.name, GetTickCount(), found->second.durationMs});
        const int voice = nextVoice_++;
        voices_[voice] = {sound, State().plays.size() - 1};
        return voice;
    }

    bool IsPlaying(int voice) override {
        const auto found = voices_.find(voice);
        return found != voices_.end() && Sounding(State().plays[found->second.record]);
    }

    void StopVoice(int voice) override {
        if (IsPlaying(voice)) {
            State().plays[voices_[voice].record].stopped = true;
        }
    }

    void StopAll() override {
        for (const auto& [voice, entry] : voices_) {
            HeadlessPlay& play = State().plays[entry.record];
            if (Sounding(play)) {
                play.stopped = true;
            }
        }
    }

    int PlayingVoices() override {
        int count = 0;
        for (const auto& [voice, entry] : voices_) {
            count += Sounding(State().plays[entry.record]) ? 1 : 0;
        }
        return count;
    }

  private:
    struct Sound {
        std::string name;
        DWORD durationMs;
    };
    struct Voice {
        int sound;
        std::size_t record;
    };
    std::map<int, Sound> sounds_;
    std::map<int, Voice> voices_;
    int nextSound_ = 1;
    int nextVoice_ = 1;
};

}  // namespace

std::unique_ptr<AudioOutput> OpenHeadlessAudioOutput() {
    if (State().open) {
        OutputDebugStringA("DirectMusic: the headless audio output is already open\n");
        return nullptr;
    }
    return std::make_unique<HeadlessAudioOutput>();
}

std::vector<HeadlessPlay> HeadlessPlays() {
    const HookState& state = State();
    return {state.plays.begin() + static_cast<std::ptrdiff_t>(state.firstVisible),
            state.plays.end()};
}

void ClearHeadlessPlays() {
    State().firstVisible = State().plays.size();
}

bool HeadlessAudioOpen() {
    return State().open;
}

int HeadlessLoadedSounds() {
    return State().loadedSounds;
}

int PlayingVoiceCount() {
    AudioOutput* output = State().currentOutput;
    return output != nullptr ? output->PlayingVoices() : 0;
}

void SetDirectMusicFault(DirectMusicFault fault, bool fail) {
    if (fail) {
        State().faults.insert(fault);
    } else {
        State().faults.erase(fault);
    }
}

void ClearDirectMusicFaults() {
    State().faults.clear();
}

void SetDirectMusicCallLog(std::vector<std::string>* log) {
    State().log = log;
}

int LiveDirectMusicObjects() {
    return State().liveObjects;
}

bool DirectMusicFaultActive(DirectMusicFault fault) {
    return State().faults.count(fault) != 0;
}

void LogDirectMusicCall(const std::string& entry) {
    if (State().log != nullptr) {
        State().log->push_back(entry);
    }
}

void CountDirectMusicObject(int delta) {
    State().liveObjects += delta;
}

void SetCurrentAudioOutput(AudioOutput* output) {
    State().currentOutput = output;
}
