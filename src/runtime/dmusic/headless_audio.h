// Test hooks of the DirectMusic runtime: what the headless output played,
// forced failures, a log of the calls that matter to shutdown order, and the
// number of DirectMusic objects alive.
#pragma once

#include <string>
#include <vector>

#include "vellorn/win32_types.h"

// One play on the headless output. A play sounds from startTick for
// durationMs (by GetTickCount) unless it is stopped earlier.
struct HeadlessPlay {
    std::string sound;  // the file the segment was read from, as opened
    DWORD startTick = 0;
    DWORD durationMs = 0;
    bool stopped = false;
};

// Every play since the last ClearHeadlessPlays, oldest first.
std::vector<HeadlessPlay> HeadlessPlays();
void ClearHeadlessPlays();

// Whether a headless output is open, and how many sounds are downloaded to it.
bool HeadlessAudioOpen();
int HeadlessLoadedSounds();

// The number of plays sounding now on the open output of either backend,
// or 0 when no output is open.
int PlayingVoiceCount();

// Operations a test can make fail.
enum class DirectMusicFault {
    kCreatePerformance,    // CoCreateInstance of the performance
    kCreateLoader,         // CoCreateInstance of the loader
    kOpenAudio,            // the audio output behind InitAudio
    kGetDefaultAudioPath,  // IDirectMusicPerformance8::GetDefaultAudioPath
};
void SetDirectMusicFault(DirectMusicFault fault, bool fail);
void ClearDirectMusicFaults();

// While a log is installed, Stop, CloseDown, Unload and every Release are
// appended to it, e.g. "Performance.Stop", "Segment(wave01.wav).Unload",
// "AudioPath(8).Release 0". nullptr ends logging.
void SetDirectMusicCallLog(std::vector<std::string>* log);

// The number of DirectMusic objects (performances, loaders, audio paths,
// segments, segment states) not yet destroyed.
int LiveDirectMusicObjects();
