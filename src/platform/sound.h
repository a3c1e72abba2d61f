// Sound effects of the game, played through DirectMusic.
#pragma once

#include "vellorn/dmusic.h"

// Room for this many sounds; soundCount of them are in use.
inline constexpr int kSoundSlots = 14;

// Every DirectMusic object the game's sound uses. Empty until InitSound; a
// slot whose file did not load stays empty and is silent.
struct SoundBank {
    IDirectMusicPerformance8* performance;
    IDirectMusicLoader8* loader;
    IDirectMusicAudioPath* defaultAudioPath;  // fetched at set-up, not played on
    IDirectMusicAudioPath* effectAudioPath;   // every effect plays here
    IDirectMusicSegment8* segments[kSoundSlots];
    IDirectMusicSegmentState8* segmentStates[kSoundSlots];  // most recent play per slot
    INT soundCount;
};

extern SoundBank soundBank;

// Sets up DirectMusic and loads "wave01.wav" and "wave02.wav" from the
// current directory into slots 0 and 1. Returns S_OK, or E_FAIL when the
// performance, the loader, the default audio path or the current directory
// cannot be had. A sound file that does not load is not a failure.
HRESULT InitSound();

// Plays sound slot index (0: the goal chime, 1: the caught sound) once, over
// anything still playing. Does nothing when the slot has no sound.
void PlaySoundEffect(int index);

// Stops every sound and releases the whole bank in order: per slot the
// segment's download, play state and segment; the loader and the audio paths;
// then the performance after closing it down. Empty objects are skipped and
// each released one is set to empty, so it is safe after a partial set-up.
void ShutdownSound();
