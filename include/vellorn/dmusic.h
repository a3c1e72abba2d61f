// DirectMusic: the performance, loader, audio paths, segments and segment
// states the game plays its sound effects with. Implemented by the runtime in
// src/runtime/dmusic; objects are created through CoCreateInstance
// (vellorn/com.h) and the loader.
#pragma once

#include <cstdint>

#include "vellorn/unknown.h"
#include "vellorn/win32_system.h"

using MUSIC_TIME = LONG;
using REFERENCE_TIME = std::int64_t;

// Class identifiers.
// {D2AC2881-B39B-11D1-8704-00600893B1BD}
inline constexpr CLSID CLSID_DirectMusicPerformance = {
    0xD2AC2881, 0xB39B, 0x11D1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
// {D2AC2882-B39B-11D1-8704-00600893B1BD}
inline constexpr CLSID CLSID_DirectMusicSegment = {
    0xD2AC2882, 0xB39B, 0x11D1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
// {D2AC2892-B39B-11D1-8704-00600893B1BD}
inline constexpr CLSID CLSID_DirectMusicLoader = {
    0xD2AC2892, 0xB39B, 0x11D1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
// {D2AC2893-B39B-11D1-8704-00600893B1BD}
inline constexpr GUID GUID_DirectMusicAllTypes = {
    0xD2AC2893, 0xB39B, 0x11D1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};

// Interface identifiers.
// {679C4137-C62E-4147-B2B4-9D569ACB254C}
inline constexpr IID IID_IDirectMusicPerformance8 = {
    0x679C4137, 0xC62E, 0x4147, {0xB2, 0xB4, 0x9D, 0x56, 0x9A, 0xCB, 0x25, 0x4C}};
// {19E7C08C-0A44-4E6A-A116-595A7CD5DE8C}
inline constexpr IID IID_IDirectMusicLoader8 = {
    0x19E7C08C, 0x0A44, 0x4E6A, {0xA1, 0x16, 0x59, 0x5A, 0x7C, 0xD5, 0xDE, 0x8C}};
// {F96029A2-4282-11D2-8717-00600893B1BD}
inline constexpr IID IID_IDirectMusicSegment = {
    0xF96029A2, 0x4282, 0x11D2, {0x87, 0x17, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
// {C6784488-41A3-418F-AA15-B35093BA42D4}
inline constexpr IID IID_IDirectMusicSegment8 = {
    0xC6784488, 0x41A3, 0x418F, {0xAA, 0x15, 0xB3, 0x50, 0x93, 0xBA, 0x42, 0xD4}};
// {A3AFDCC7-D3EE-11D1-BC8D-00A0C922E6EB}
inline constexpr IID IID_IDirectMusicSegmentState = {
    0xA3AFDCC7, 0xD3EE, 0x11D1, {0xBC, 0x8D, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEB}};
// {A50E4730-0AE4-48A7-9839-BC04BFE07772}
inline constexpr IID IID_IDirectMusicSegmentState8 = {
    0xA50E4730, 0x0AE4, 0x48A7, {0x98, 0x39, 0xBC, 0x04, 0xBF, 0xE0, 0x77, 0x72}};
// {C87631F5-23BE-4986-8836-05832FCC48F9}
inline constexpr IID IID_IDirectMusicAudioPath = {
    0xC87631F5, 0x23BE, 0x4986, {0x88, 0x36, 0x05, 0x83, 0x2F, 0xCC, 0x48, 0xF9}};

// Standard audio path types.
inline constexpr DWORD DMUS_APATH_SHARED_STEREOPLUSREVERB = 1;
inline constexpr DWORD DMUS_APATH_DYNAMIC_3D = 6;
inline constexpr DWORD DMUS_APATH_DYNAMIC_MONO = 7;
inline constexpr DWORD DMUS_APATH_DYNAMIC_STEREO = 8;

// InitAudio feature flags.
inline constexpr DWORD DMUS_AUDIOF_ALL = 0x3F;

// Segment play flags.
inline constexpr DWORD DMUS_SEGF_SECONDARY = 0x80;

// Loader results.
inline constexpr HRESULT DMUS_E_LOADER_BADPATH = static_cast<HRESULT>(0x88781161u);
inline constexpr HRESULT DMUS_E_LOADER_FAILEDOPEN = static_cast<HRESULT>(0x88781162u);
inline constexpr HRESULT DMUS_E_LOADER_FORMATNOTSUPPORTED = static_cast<HRESULT>(0x88781163u);

// Objects the performance can be handed instead of creating its own; this
// runtime always creates its own, so only null is accepted.
struct IDirectMusic;
struct IDirectSound;
struct DMUS_AUDIOPARAMS;

// An audio path: the route from segments to the mixer.
struct IDirectMusicAudioPath : IUnknown {};

// A segment: a piece of sound that can be played.
struct IDirectMusicSegment : IUnknown {};

struct IDirectMusicSegment8 : IDirectMusicSegment {
    // Makes the segment's sound data ready to play on a performance (or on the
    // performance of an audio path).
    virtual HRESULT Download(IUnknown* audioPath) = 0;
    // Frees what Download made ready, stopping any play of it first.
    virtual HRESULT Unload(IUnknown* audioPath) = 0;
};

// One play of a segment.
struct IDirectMusicSegmentState : IUnknown {};
struct IDirectMusicSegmentState8 : IDirectMusicSegmentState {};

struct IDirectMusicPerformance8 : IUnknown {
    virtual HRESULT InitAudio(IDirectMusic** directMusic, IDirectSound** directSound, HWND window,
                              DWORD defaultPathType, DWORD pChannelCount, DWORD flags,
                              DMUS_AUDIOPARAMS* params) = 0;
    virtual HRESULT PlaySegmentEx(IUnknown* source, WCHAR* segmentName, IUnknown* transition,
                                  DWORD flags, std::int64_t startTime,
                                  IDirectMusicSegmentState** segmentState, IUnknown* from,
                                  IUnknown* audioPath) = 0;
    // Stops every play of segment, or the one play segmentState, or with both
    // null everything.
    virtual HRESULT Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* segmentState,
                         MUSIC_TIME time, DWORD flags) = 0;
    virtual HRESULT CreateStandardAudioPath(DWORD type, DWORD pChannelCount, BOOL activate,
                                            IDirectMusicAudioPath** audioPath) = 0;
    virtual HRESULT GetDefaultAudioPath(IDirectMusicAudioPath** audioPath) = 0;
    // Stops everything, frees every downloaded sound and closes the audio
    // output; the performance cannot play afterwards.
    virtual HRESULT CloseDown() = 0;
};

struct IDirectMusicLoader8 : IUnknown {
    // Sets the directory relative file names are looked up in, for the
    // objects of class classId (GUID_DirectMusicAllTypes: every class).
    virtual HRESULT SetSearchDirectory(REFGUID classId, WCHAR* path, BOOL clear) = 0;
    // Reads an object of class classId from a file and returns its interface
    // interfaceId. Segments are read from RIFF/WAVE PCM files.
    virtual HRESULT LoadObjectFromFile(REFGUID classId, REFIID interfaceId, WCHAR* filePath,
                                       void** object) = 0;
};
