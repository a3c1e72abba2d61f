// The runtime's side of the test hooks in headless_audio.h.
#pragma once

#include <string>

#include "runtime/dmusic/headless_audio.h"

class AudioOutput;

bool DirectMusicFaultActive(DirectMusicFault fault);
void LogDirectMusicCall(const std::string& entry);
void CountDirectMusicObject(int delta);
// The output PlayingVoiceCount reports on (null: none).
void SetCurrentAudioOutput(AudioOutput* output);
