#include "platform/sound.h"

#include <iterator>

#include "shell/window.h"
#include "vellorn/com.h"
#include "vellorn/win32_system.h"

SoundBank soundBank = {nullptr, nullptr, nullptr, nullptr, {}, {}, 2};

namespace {

constexpr DWORD kPathLength = 260;  // MAX_PATH
constexpr DWORD kEffectChannels = 64;
const char* const kSoundFiles[] = {"wave01.wav", "wave02.wav"};

template <class T>
void ReleaseAndClear(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

}  // namespace

HRESULT InitSound() {
    SoundBank& bank = soundBank;
    CoInitialize(nullptr);

    if (FAILED(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                IID_IDirectMusicPerformance8,
                                reinterpret_cast<void**>(&bank.performance)))) {
        return E_FAIL;
    }
    bank.performance->InitAudio(nullptr, nullptr, mainWindow, DMUS_APATH_SHARED_STEREOPLUSREVERB,
                                kEffectChannels, DMUS_AUDIOF_ALL, nullptr);
    if (FAILED(bank.performance->GetDefaultAudioPath(&bank.defaultAudioPath))) {
        return E_FAIL;
    }
    bank.performance->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, kEffectChannels, TRUE,
                                              &bank.effectAudioPath);

    if (FAILED(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC,
                                IID_IDirectMusicLoader8, reinterpret_cast<void**>(&bank.loader)))) {
        return E_FAIL;
    }

    // The sounds ship beside the program and are found in the directory the
    // program is started from.
    char directory[kPathLength];
    const DWORD length = GetCurrentDirectoryA(kPathLength, directory);
    if (length == 0 || length > kPathLength) {
        return E_FAIL;
    }
    WCHAR wideDirectory[kPathLength] = {};
    MultiByteToWideChar(CP_ACP, 0, directory, -1, wideDirectory, kPathLength);
    bank.loader->SetSearchDirectory(GUID_DirectMusicAllTypes, wideDirectory, FALSE);

    for (int i = 0; i < bank.soundCount && i < kSoundSlots; ++i) {
        if (i >= static_cast<int>(std::size(kSoundFiles))) {
            break;
        }
        WCHAR wideName[kPathLength] = {};
        MultiByteToWideChar(CP_ACP, 0, kSoundFiles[i], -1, wideName, kPathLength);
        bank.loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8,
                                        wideName, reinterpret_cast<void**>(&bank.segments[i]));
        if (bank.segments[i] != nullptr) {
            bank.segments[i]->Download(bank.performance);
        }
    }
    return S_OK;
}

void PlaySoundEffect(int index) {
    SoundBank& bank = soundBank;
    if (index < 0 || index >= bank.soundCount || index >= kSoundSlots) {
        return;
    }
    if (bank.performance == nullptr || bank.segments[index] == nullptr) {
        return;
    }
    IDirectMusicSegmentState* played = nullptr;
    if (FAILED(bank.performance->PlaySegmentEx(bank.segments[index], nullptr, nullptr,
                                               DMUS_SEGF_SECONDARY, 0, &played, nullptr,
                                               bank.effectAudioPath)) ||
        played == nullptr) {
        return;
    }
    // Only the latest play of each slot is kept; earlier plays sound on.
    ReleaseAndClear(bank.segmentStates[index]);
    played->QueryInterface(IID_IDirectMusicSegmentState8,
                           reinterpret_cast<void**>(&bank.segmentStates[index]));
    played->Release();
}

void ShutdownSound() {
    SoundBank& bank = soundBank;
    if (bank.performance != nullptr) {
        bank.performance->Stop(nullptr, nullptr, 0, 0);
    }
    for (int i = 0; i < bank.soundCount && i < kSoundSlots; ++i) {
        if (bank.segments[i] != nullptr && bank.performance != nullptr) {
            bank.segments[i]->Unload(bank.performance);
        }
        ReleaseAndClear(bank.segmentStates[i]);
        ReleaseAndClear(bank.segments[i]);
    }
    ReleaseAndClear(bank.loader);
    ReleaseAndClear(bank.effectAudioPath);
    ReleaseAndClear(bank.defaultAudioPath);
    if (bank.performance != nullptr) {
        bank.performance->CloseDown();
        ReleaseAndClear(bank.performance);
    }
}
