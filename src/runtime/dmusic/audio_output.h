// The sound output under a performance: a mixer that holds prepared sounds
// and plays any number of them at once. The SDL2_mixer output plays through
// the audio device; the headless output plays nothing and records each play.
#pragma once

#include <memory>
#include <string>

#include "runtime/dmusic/wav_reader.h"

class AudioOutput {
  public:
    virtual ~AudioOutput() = default;

    // Prepares sound for playing; returns its handle, or -1 on failure. name
    // says where the sound came from (the file), for diagnostics and records.
    virtual int AddSound(const WavSound& sound, const std::string& name) = 0;
    // Stops every play of the sound and frees it.
    virtual void RemoveSound(int sound) = 0;
    // Starts the sound now, mixed over everything playing; returns the play's
    // voice (never reused), or -1 on failure. Never stops another play.
    virtual int Play(int sound) = 0;
    virtual bool IsPlaying(int voice) = 0;
    virtual void StopVoice(int voice) = 0;
    virtual void StopAll() = 0;
    // The number of plays sounding now.
    virtual int PlayingVoices() = 0;
};

// Both return null (with a line on the debugger output) when the output
// cannot be opened. Without a usable audio device the SDL output opens on
// SDL's silent driver instead, after one warning line.
std::unique_ptr<AudioOutput> OpenHeadlessAudioOutput();
std::unique_ptr<AudioOutput> OpenSdlAudioOutput();
