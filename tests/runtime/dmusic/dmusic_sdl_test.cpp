// The SDL2_mixer backend on SDL's dummy audio driver: the real effect files
// load, mix and overlap on mixer channels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "runtime/backend.h"
#include "runtime/dmusic/headless_audio.h"
#include "vellorn/com.h"
#include "vellorn/com_ptr.h"
#include "vellorn/dmusic.h"

namespace {

TEST(SdlAudioTest, BothEffectsLoadAndPlayOverEachOtherBeyondSixtyFourChannels) {
    // Chosen before SDL starts its audio, so no sound card is needed.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SelectBackend(RuntimeBackend::Sdl);
    CoInitialize(nullptr);
    {
        ComPtr<IDirectMusicPerformance8> performance;
        ComPtr<IDirectMusicLoader8> loader;
        ASSERT_EQ(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                   IID_IDirectMusicPerformance8,
                                   reinterpret_cast<void**>(performance.ReleaseAndGetAddressOf())),
                  S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC,
                                   IID_IDirectMusicLoader8,
                                   reinterpret_cast<void**>(loader.ReleaseAndGetAddressOf())),
                  S_OK);
        ASSERT_EQ(
            performance->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB,
                                   64, DMUS_AUDIOF_ALL, nullptr),
            S_OK);
        EXPECT_FALSE(HeadlessAudioOpen());
        ComPtr<IDirectMusicAudioPath> path;
        ASSERT_EQ(performance->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 64, TRUE,
                                                       path.ReleaseAndGetAddressOf()),
                  S_OK);
        const std::string assets = VELLORN_ASSETS_DIR;
        std::u16string directory(assets.begin(), assets.end());
        ASSERT_EQ(loader->SetSearchDirectory(GUID_DirectMusicAllTypes, directory.data(), FALSE),
                  S_OK);

        ComPtr<IDirectMusicSegment8> effects[2];
        std::u16string names[2] = {u"wave01.wav", u"wave02.wav"};
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(loader->LoadObjectFromFile(
                          CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, names[i].data(),
                          reinterpret_cast<void**>(effects[i].ReleaseAndGetAddressOf())),
                      S_OK);
            ASSERT_EQ(effects[i]->Download(performance.Get()), S_OK);
        }
        // Both effects last over half a second, so all of these plays are
        // still sounding together when counted.
        for (int i = 0; i < 80; ++i) {
            ComPtr<IDirectMusicSegmentState> state;
            ASSERT_EQ(performance->PlaySegmentEx(
                          effects[i % 2].Get(), nullptr, nullptr, DMUS_SEGF_SECONDARY, 0,
                          state.ReleaseAndGetAddressOf(), nullptr, path.Get()),
                      S_OK)
                << i;
        }
        EXPECT_EQ(PlayingVoiceCount(), 80);

        EXPECT_EQ(performance->Stop(nullptr, nullptr, 0, 0), S_OK);
        EXPECT_EQ(PlayingVoiceCount(), 0);
        for (auto& effect : effects) {
            EXPECT_EQ(effect->Unload(performance.Get()), S_OK);
        }
        EXPECT_EQ(performance->CloseDown(), S_OK);
    }
    EXPECT_EQ(LiveDirectMusicObjects(), 0);
}

}  // namespace
