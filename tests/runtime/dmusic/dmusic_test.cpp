#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <thread>

#include "runtime/backend.h"
#include "runtime/dmusic/headless_audio.h"
#include "runtime/win32/ticks.h"
#include "vellorn/com.h"
#include "vellorn/com_ptr.h"
#include "vellorn/dmusic.h"
#include "wav_builder.h"

namespace {

DWORD fakeTicks = 1000;
DWORD FakeTicks() {
    return fakeTicks;
}

std::u16string Wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// A headless performance with its default path, a loader searching a
// temporary directory holding "a.wav" (100 ms) and "b.wav" (200 ms), and a
// check that every object is gone at the end.
class DirectMusicTest : public testing::Test {
  protected:
    void SetUp() override {
        SelectBackend(RuntimeBackend::Headless);
        SetTickSource(FakeTicks);
        fakeTicks = 1000;
        ClearHeadlessPlays();
        char pattern[] = "/tmp/vellorn_dmusic_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        wav_test::WriteFile(directory_ + "/a.wav", wav_test::Build(1, 16, 8000, 800));
        wav_test::WriteFile(directory_ + "/b.wav", wav_test::Build(2, 8, 8000, 1600));
        CoInitialize(nullptr);
        ASSERT_EQ(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                   IID_IDirectMusicPerformance8,
                                   reinterpret_cast<void**>(performance_.ReleaseAndGetAddressOf())),
                  S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC,
                                   IID_IDirectMusicLoader8,
                                   reinterpret_cast<void**>(loader_.ReleaseAndGetAddressOf())),
                  S_OK);
        std::u16string dir = Wide(directory_);
        ASSERT_EQ(loader_->SetSearchDirectory(GUID_DirectMusicAllTypes, dir.data(), FALSE), S_OK);
    }

    void TearDown() override {
        if (performance_) {
            performance_->CloseDown();
        }
        performance_.Reset();
        loader_.Reset();
        EXPECT_EQ(LiveDirectMusicObjects(), 0);
        EXPECT_FALSE(HeadlessAudioOpen());
        ClearDirectMusicFaults();
        SetTickSource(nullptr);
        std::system(("rm -rf " + directory_).c_str());
    }

    void InitAudio() {
        ASSERT_EQ(
            performance_->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB,
                                    64, DMUS_AUDIOF_ALL, nullptr),
            S_OK);
    }

    HRESULT Load(const std::string& name, ComPtr<IDirectMusicSegment8>* segment) {
        std::u16string wide = Wide(name);
        return loader_->LoadObjectFromFile(
            CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, wide.data(),
            reinterpret_cast<void**>(segment->ReleaseAndGetAddressOf()));
    }

    ComPtr<IDirectMusicSegmentState> Play(IDirectMusicSegment8* segment,
                                          IDirectMusicAudioPath* path = nullptr,
                                          HRESULT expected = S_OK) {
        ComPtr<IDirectMusicSegmentState> state;
        EXPECT_EQ(performance_->PlaySegmentEx(segment, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0,
                                              state.ReleaseAndGetAddressOf(), nullptr, path),
                  expected);
        return state;
    }

    std::string directory_;
    ComPtr<IDirectMusicPerformance8> performance_;
    ComPtr<IDirectMusicLoader8> loader_;
};

TEST_F(DirectMusicTest, CreationRejectsUnknownClassesAggregationAndInterfaces) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_DirectMusicSegment, nullptr, CLSCTX_INPROC,
                               IID_IDirectMusicSegment8, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoCreateInstance(CLSID_DirectMusicLoader, performance_.Get(), CLSCTX_INPROC,
                               IID_IDirectMusicLoader8, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC,
                               IID_IDirectMusicPerformance8, &object),
              E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC,
                               IID_IDirectMusicLoader8, nullptr),
              E_POINTER);
    EXPECT_EQ(LiveDirectMusicObjects(), 2) << "a refused object must not linger";
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);

    // COM is initialised per thread.
    HRESULT other = S_OK;
    std::thread([&] {
        void* created = nullptr;
        other = CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC,
                                 IID_IDirectMusicLoader8, &created);
    }).join();
    EXPECT_EQ(other, CO_E_NOTINITIALIZED);
}

TEST_F(DirectMusicTest, LoaderReadsRelativeNamesFromTheSearchDirectory) {
    ComPtr<IDirectMusicSegment8> segment;
    EXPECT_EQ(Load("a.wav", &segment), S_OK);
    EXPECT_TRUE(segment);
    EXPECT_EQ(Load(directory_ + "/b.wav", &segment), S_OK) << "absolute path";

    // A directory set for segments wins over the one for all types.
    const std::string inner = directory_ + "/inner";
    ASSERT_EQ(mkdir(inner.c_str(), 0700), 0);
    std::u16string wideInner = Wide(inner);
    ASSERT_EQ(loader_->SetSearchDirectory(CLSID_DirectMusicSegment, wideInner.data(), FALSE), S_OK);
    EXPECT_EQ(Load("a.wav", &segment), DMUS_E_LOADER_FAILEDOPEN);
    EXPECT_FALSE(segment);
}

TEST_F(DirectMusicTest, LoaderFailuresLeaveTheOutputEmpty) {
    wav_test::WriteFile(directory_ + "/bad.wav", {'R', 'I', 'F', 'F', 1, 2});
    ComPtr<IDirectMusicSegment8> segment;
    EXPECT_EQ(Load("missing.wav", &segment), DMUS_E_LOADER_FAILEDOPEN);
    EXPECT_EQ(Load("bad.wav", &segment), DMUS_E_LOADER_FORMATNOTSUPPORTED);
    EXPECT_EQ(Load("", &segment), DMUS_E_LOADER_BADPATH);
    ASSERT_EQ(mkdir((directory_ + "/dir.wav").c_str(), 0700), 0);
    EXPECT_EQ(Load("dir.wav", &segment), DMUS_E_LOADER_FAILEDOPEN);
    EXPECT_FALSE(segment);

    std::u16string name = u"a.wav";
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(loader_->LoadObjectFromFile(CLSID_DirectMusicLoader, IID_IDirectMusicSegment8,
                                          name.data(), &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    std::u16string unpaired = u"a\xD800.wav";
    EXPECT_EQ(loader_->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8,
                                          unpaired.data(), &object),
              DMUS_E_LOADER_BADPATH);
    std::u16string file = Wide(directory_ + "/a.wav");
    EXPECT_EQ(loader_->SetSearchDirectory(GUID_DirectMusicAllTypes, file.data(), FALSE),
              DMUS_E_LOADER_BADPATH)
        << "a file is not a directory";
    EXPECT_EQ(loader_->SetSearchDirectory(GUID_DirectMusicAllTypes, nullptr, FALSE), E_POINTER);
}

TEST_F(DirectMusicTest, SegmentAnswersItsInterfacesAtOneAddress) {
    ComPtr<IDirectMusicSegment8> segment;
    ASSERT_EQ(Load("a.wav", &segment), S_OK);
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(segment.As(IID_IUnknown, &unknown), S_OK);
    ComPtr<IDirectMusicSegment8> again;
    ASSERT_EQ(unknown.As(IID_IDirectMusicSegment8, &again), S_OK);
    EXPECT_EQ(again.Get(), segment.Get());
    ComPtr<IDirectMusicLoader8> wrong;
    EXPECT_EQ(segment.As(IID_IDirectMusicLoader8, &wrong), E_NOINTERFACE);
}

TEST_F(DirectMusicTest, NothingWorksBeforeInitAudioOrWhenTheOutputFails) {
    ComPtr<IDirectMusicAudioPath> path;
    EXPECT_EQ(performance_->GetDefaultAudioPath(path.ReleaseAndGetAddressOf()), E_FAIL);
    EXPECT_EQ(performance_->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 64, TRUE,
                                                    path.ReleaseAndGetAddressOf()),
              E_FAIL);
    IDirectMusic* music = nullptr;
    EXPECT_EQ(performance_->InitAudio(&music, nullptr, nullptr, 1, 64, DMUS_AUDIOF_ALL, nullptr),
              E_NOTIMPL);
    SetDirectMusicFault(DirectMusicFault::kOpenAudio, true);
    EXPECT_EQ(performance_->InitAudio(nullptr, nullptr, nullptr, 1, 64, DMUS_AUDIOF_ALL, nullptr),
              E_FAIL);
    EXPECT_EQ(performance_->GetDefaultAudioPath(path.ReleaseAndGetAddressOf()), E_FAIL);
    EXPECT_FALSE(path);
}

TEST_F(DirectMusicTest, PlaysNeedADownloadAndAnActivePath) {
    InitAudio();
    EXPECT_EQ(performance_->InitAudio(nullptr, nullptr, nullptr, 1, 64, 0, nullptr), E_FAIL)
        << "only once";
    ComPtr<IDirectMusicSegment8> segment;
    ASSERT_EQ(Load("a.wav", &segment), S_OK);
    EXPECT_FALSE(Play(segment.Get(), nullptr, E_FAIL)) << "not downloaded";
    ASSERT_EQ(segment->Download(performance_.Get()), S_OK);

    ComPtr<IDirectMusicAudioPath> inactive;
    ASSERT_EQ(performance_->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 64, FALSE,
                                                    inactive.ReleaseAndGetAddressOf()),
              S_OK);
    EXPECT_FALSE(Play(segment.Get(), inactive.Get(), E_FAIL));
    EXPECT_FALSE(
        Play(segment.Get(), reinterpret_cast<IDirectMusicAudioPath*>(loader_.Get()), E_FAIL))
        << "not an audio path";
    EXPECT_EQ(HeadlessPlays().size(), 0u);

    EXPECT_TRUE(Play(segment.Get())) << "default path";
    ASSERT_EQ(HeadlessPlays().size(), 1u);
    EXPECT_EQ(HeadlessPlays()[0].sound, directory_ + "/a.wav");
    EXPECT_EQ(HeadlessPlays()[0].startTick, 1000u);
    EXPECT_EQ(HeadlessPlays()[0].durationMs, 100u);
}

TEST_F(DirectMusicTest, QuickPlaysOverlapAndEndOnTheirOwn) {
    InitAudio();
    ComPtr<IDirectMusicAudioPath> path;
    ASSERT_EQ(performance_->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 64, TRUE,
                                                    path.ReleaseAndGetAddressOf()),
              S_OK);
    ComPtr<IDirectMusicSegment8> a;
    ComPtr<IDirectMusicSegment8> b;
    ASSERT_EQ(Load("a.wav", &a), S_OK);
    ASSERT_EQ(Load("b.wav", &b), S_OK);
    ASSERT_EQ(a->Download(path.Get()), S_OK) << "a path stands for its performance";
    ASSERT_EQ(b->Download(performance_.Get()), S_OK);
    for (int i = 0; i < 70; ++i) {
        ComPtr<IDirectMusicSegmentState> state = Play(a.Get(), path.Get());
        ComPtr<IDirectMusicSegmentState8> state8;
        ASSERT_EQ(state.As(IID_IDirectMusicSegmentState8, &state8), S_OK);
    }
    Play(b.Get(), path.Get());
    EXPECT_EQ(PlayingVoiceCount(), 71) << "more plays than mixer channels, none cut off";
    for (const HeadlessPlay& play : HeadlessPlays()) {
        EXPECT_FALSE(play.stopped);
    }
    fakeTicks += 150;  // a.wav (100 ms) has ended, b.wav (200 ms) has not
    EXPECT_EQ(PlayingVoiceCount(), 1);
    fakeTicks += 100;
    EXPECT_EQ(PlayingVoiceCount(), 0);
}

TEST_F(DirectMusicTest, StopEndsOnePlayOneSegmentOrEverything) {
    InitAudio();
    ComPtr<IDirectMusicSegment8> a;
    ComPtr<IDirectMusicSegment8> b;
    ASSERT_EQ(Load("a.wav", &a), S_OK);
    ASSERT_EQ(Load("b.wav", &b), S_OK);
    ASSERT_EQ(a->Download(performance_.Get()), S_OK);
    ASSERT_EQ(b->Download(performance_.Get()), S_OK);
    ComPtr<IDirectMusicSegmentState> first = Play(a.Get());
    Play(a.Get());
    Play(b.Get());
    Play(b.Get());

    EXPECT_EQ(performance_->Stop(nullptr, first.Get(), 0, 0), S_OK);
    EXPECT_EQ(PlayingVoiceCount(), 3);
    EXPECT_TRUE(HeadlessPlays()[0].stopped);
    EXPECT_EQ(performance_->Stop(b.Get(), nullptr, 0, 0), S_OK);
    EXPECT_EQ(PlayingVoiceCount(), 1);
    EXPECT_FALSE(HeadlessPlays()[1].stopped);
    EXPECT_EQ(performance_->Stop(nullptr, nullptr, 0, 0), S_OK);
    EXPECT_EQ(PlayingVoiceCount(), 0);

    // Unload stops the segment's plays and makes it unplayable until it is
    // downloaded again.
    Play(a.Get());
    EXPECT_EQ(HeadlessLoadedSounds(), 2);
    EXPECT_EQ(a->Unload(performance_.Get()), S_OK);
    EXPECT_EQ(a->Unload(performance_.Get()), S_FALSE);
    EXPECT_EQ(HeadlessLoadedSounds(), 1);
    EXPECT_EQ(PlayingVoiceCount(), 0);
    EXPECT_FALSE(Play(a.Get(), nullptr, E_FAIL));
}

TEST_F(DirectMusicTest, CloseDownStopsAndFreesEverything) {
    InitAudio();
    ComPtr<IDirectMusicSegment8> a;
    ASSERT_EQ(Load("a.wav", &a), S_OK);
    ASSERT_EQ(a->Download(performance_.Get()), S_OK);
    ComPtr<IDirectMusicAudioPath> defaultPath;
    ASSERT_EQ(performance_->GetDefaultAudioPath(defaultPath.ReleaseAndGetAddressOf()), S_OK);
    Play(a.Get());
    ASSERT_EQ(performance_->CloseDown(), S_OK);
    EXPECT_FALSE(HeadlessAudioOpen());
    EXPECT_EQ(HeadlessLoadedSounds(), 0);
    EXPECT_TRUE(HeadlessPlays()[0].stopped);
    EXPECT_FALSE(Play(a.Get(), nullptr, E_FAIL));
    EXPECT_EQ(a->Unload(performance_.Get()), S_FALSE);
}

TEST_F(DirectMusicTest, ObjectsMayBeReleasedInAnyOrder) {
    InitAudio();
    ComPtr<IDirectMusicAudioPath> path;
    ASSERT_EQ(performance_->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 64, TRUE,
                                                    path.ReleaseAndGetAddressOf()),
              S_OK);
    ComPtr<IDirectMusicSegment8> a;
    ASSERT_EQ(Load("a.wav", &a), S_OK);
    ASSERT_EQ(a->Download(performance_.Get()), S_OK);
    ComPtr<IDirectMusicSegmentState> state = Play(a.Get(), path.Get());
    a.Reset();  // the performance keeps what was downloaded
    EXPECT_EQ(PlayingVoiceCount(), 1);
    performance_.Reset();  // without CloseDown; the path outlives it
    EXPECT_FALSE(HeadlessAudioOpen());
    ASSERT_EQ(Load("a.wav", &a), S_OK);
    EXPECT_EQ(a->Download(path.Get()), E_FAIL) << "the path has no performance any more";
    path.Reset();
    state.Reset();
    a.Reset();
}

}  // namespace
