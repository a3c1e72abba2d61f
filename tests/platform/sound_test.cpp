#include "platform/sound.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "../runtime/dmusic/wav_builder.h"
#include "runtime/backend.h"
#include "runtime/dmusic/headless_audio.h"
#include "runtime/win32/ticks.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

DWORD fakeTicks = 5000;
DWORD FakeTicks() {
    return fakeTicks;
}

// Each test starts in a fresh temporary directory holding both effect files
// (wave01.wav 100 ms, wave02.wav 200 ms) on the headless backend, and ends by
// shutting sound down and checking that nothing is left.
class SoundTest : public testing::Test {
  protected:
    void SetUp() override {
        SelectBackend(RuntimeBackend::Headless);
        SetTickSource(FakeTicks);
        ClearHeadlessPlays();
        char saved[PATH_MAX];
        ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
        saved_ = saved;
        char pattern[] = "/tmp/vellorn_sound_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        wav_test::WriteFile(directory_ + "/wave01.wav", wav_test::Build(1, 16, 8000, 800));
        wav_test::WriteFile(directory_ + "/wave02.wav", wav_test::Build(2, 16, 8000, 1600));
        ASSERT_EQ(chdir(directory_.c_str()), 0);
    }

    void TearDown() override {
        ShutdownSound();
        ClearDirectMusicFaults();
        SetTickSource(nullptr);
        EXPECT_EQ(LiveDirectMusicObjects(), 0);
        EXPECT_FALSE(HeadlessAudioOpen());
        ASSERT_EQ(chdir(saved_.c_str()), 0);
        std::system(("rm -rf " + directory_).c_str());
    }

    std::string saved_;
    std::string directory_;
};

TEST_F(SoundTest, LoadsBothEffectsFromTheCurrentDirectoryAtStartUp) {
    ASSERT_EQ(InitSound(), S_OK);
    EXPECT_NE(soundBank.performance, nullptr);
    EXPECT_NE(soundBank.loader, nullptr);
    EXPECT_NE(soundBank.defaultAudioPath, nullptr);
    EXPECT_NE(soundBank.effectAudioPath, nullptr);
    EXPECT_NE(soundBank.segments[0], nullptr);
    EXPECT_NE(soundBank.segments[1], nullptr);
    EXPECT_EQ(soundBank.soundCount, 2);
    EXPECT_EQ(HeadlessLoadedSounds(), 2);

    // Moving away afterwards changes nothing: the files were found where the
    // process was when sound was set up.
    ASSERT_EQ(chdir("/"), 0);
    PlaySoundEffect(1);
    PlaySoundEffect(0);
    const std::vector<HeadlessPlay> plays = HeadlessPlays();
    ASSERT_EQ(plays.size(), 2u);
    EXPECT_EQ(plays[0].sound, directory_ + "/wave02.wav");
    EXPECT_EQ(plays[1].sound, directory_ + "/wave01.wav");
    EXPECT_NE(soundBank.segmentStates[0], nullptr);
    EXPECT_NE(soundBank.segmentStates[1], nullptr);
}

struct BrokenFileCase {
    const char* name;
    std::function<void(const std::string& path)> breakFile;
};

class BrokenSecondEffectTest : public SoundTest,
                               public testing::WithParamInterface<BrokenFileCase> {};

TEST_P(BrokenSecondEffectTest, LeavesItsSlotSilentAndTheOtherPlaying) {
    GetParam().breakFile(directory_ + "/wave02.wav");
    ASSERT_EQ(InitSound(), S_OK);
    EXPECT_NE(soundBank.segments[0], nullptr);
    EXPECT_EQ(soundBank.segments[1], nullptr);
    PlaySoundEffect(1);
    EXPECT_TRUE(HeadlessPlays().empty());
    EXPECT_EQ(soundBank.segmentStates[1], nullptr);
    PlaySoundEffect(0);
    ASSERT_EQ(HeadlessPlays().size(), 1u);
    EXPECT_EQ(HeadlessPlays()[0].sound, directory_ + "/wave01.wav");
}

void Rewrite(const std::string& path, const std::function<void(Bytes&)>& damage) {
    Bytes bytes = wav_test::Build(2, 16, 8000, 1600);
    damage(bytes);
    wav_test::WriteFile(path, bytes);
}

const BrokenFileCase kBrokenFiles[] = {
    {"Missing", [](const std::string& path) { unlink(path.c_str()); }},
    {"Truncated",
     [](const std::string& path) { Rewrite(path, [](Bytes& b) { b.resize(b.size() / 2); }); }},
    {"WrongChunkSize",
     [](const std::string& path) {
         Rewrite(path, [](Bytes& b) { wav_test::Put32(b, wav_test::kDataSize, 0x7FFFFFFF); });
     }},
    {"WrongFormatCode",
     [](const std::string& path) {
         Rewrite(path, [](Bytes& b) { wav_test::Put16(b, wav_test::kFormatCode, 0x55); });
     }},
    {"ZeroChannels",
     [](const std::string& path) {
         Rewrite(path, [](Bytes& b) { wav_test::Put16(b, wav_test::kChannels, 0); });
     }},
    {"Directory",
     [](const std::string& path) {
         unlink(path.c_str());
         mkdir(path.c_str(), 0700);
     }},
};

INSTANTIATE_TEST_SUITE_P(Files, BrokenSecondEffectTest, testing::ValuesIn(kBrokenFiles),
                         [](const auto& info) { return std::string(info.param.name); });

// Descends into nested directories until the current directory's name is
// exactly length characters long.
void EnterDirectoryOfLength(const std::string& base, std::size_t length) {
    std::string path = base;
    while (path.size() < length) {
        const std::size_t left = length - path.size() - 1;  // one for the slash
        const std::size_t part = std::min<std::size_t>(left, 100);
        ASSERT_GT(part, 0u);
        const std::string name(part, 'd');
        ASSERT_EQ(mkdir(name.c_str(), 0700), 0);
        ASSERT_EQ(chdir(name.c_str()), 0);
        path += "/" + name;
    }
    ASSERT_EQ(path.size(), length);
}

TEST_F(SoundTest, ADirectoryNameOf259CharactersIsStillRead) {
    EnterDirectoryOfLength(directory_, 259);
    wav_test::WriteFile("wave01.wav", wav_test::Build());
    ASSERT_EQ(InitSound(), S_OK);
    EXPECT_NE(soundBank.segments[0], nullptr);
    EXPECT_EQ(soundBank.segments[1], nullptr);
}

TEST_F(SoundTest, ADirectoryNameLongerThan259CharactersFailsSetUp) {
    EnterDirectoryOfLength(directory_, 260);
    EXPECT_EQ(InitSound(), E_FAIL);
}

TEST_F(SoundTest, QuickRepeatedPlaysOverlap) {
    ASSERT_EQ(InitSound(), S_OK);
    for (int i = 0; i < 5; ++i) {
        PlaySoundEffect(0);
        fakeTicks += 10;
    }
    const std::vector<HeadlessPlay> plays = HeadlessPlays();
    ASSERT_EQ(plays.size(), 5u);
    for (const HeadlessPlay& play : plays) {
        EXPECT_FALSE(play.stopped);
    }
    EXPECT_EQ(plays[4].startTick - plays[0].startTick, 40u);
    EXPECT_EQ(PlayingVoiceCount(), 5);
    EXPECT_NE(soundBank.segmentStates[0], nullptr);
}

TEST_F(SoundTest, OutOfRangeSlotsAndAnUnsetBankPlayNothing) {
    PlaySoundEffect(0);  // before set-up
    ASSERT_EQ(InitSound(), S_OK);
    PlaySoundEffect(-1);
    PlaySoundEffect(2);
    PlaySoundEffect(kSoundSlots);
    EXPECT_TRUE(HeadlessPlays().empty());
}

TEST_F(SoundTest, ShutdownReleasesEverythingInOrder) {
    ASSERT_EQ(InitSound(), S_OK);
    PlaySoundEffect(0);
    PlaySoundEffect(1);
    std::vector<std::string> log;
    SetDirectMusicCallLog(&log);
    ShutdownSound();
    SetDirectMusicCallLog(nullptr);

    const std::vector<std::string> expected = {
        "Performance.Stop",
        "Segment(wave01.wav).Unload",
        "SegmentState.Release 0",
        "Segment(wave01.wav).Release 0",
        "Segment(wave02.wav).Unload",
        "SegmentState.Release 0",
        "Segment(wave02.wav).Release 0",
        "Loader.Release 0",
        "AudioPath(8).Release 0",
        // The performance holds its default path until it is closed down.
        "AudioPath(1).Release 1",
        "Performance.CloseDown",
        "AudioPath(1).Release 0",
        "Performance.Release 0",
    };
    EXPECT_EQ(log, expected);
    EXPECT_EQ(LiveDirectMusicObjects(), 0);
    for (const HeadlessPlay& play : HeadlessPlays()) {
        EXPECT_TRUE(play.stopped);
    }
    EXPECT_EQ(soundBank.performance, nullptr);
    EXPECT_EQ(soundBank.loader, nullptr);
    EXPECT_EQ(soundBank.defaultAudioPath, nullptr);
    EXPECT_EQ(soundBank.effectAudioPath, nullptr);
    for (int i = 0; i < kSoundSlots; ++i) {
        EXPECT_EQ(soundBank.segments[i], nullptr);
        EXPECT_EQ(soundBank.segmentStates[i], nullptr);
    }
    ShutdownSound();  // a second shutdown finds everything empty
}

class SetUpFailureTest : public SoundTest, public testing::WithParamInterface<DirectMusicFault> {};

TEST_P(SetUpFailureTest, FailsAndLeavesWhatWasMadeForShutdown) {
    SetDirectMusicFault(GetParam(), true);
    EXPECT_EQ(InitSound(), E_FAIL);
    EXPECT_EQ(soundBank.segments[0], nullptr);
    PlaySoundEffect(0);
    EXPECT_TRUE(HeadlessPlays().empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, SetUpFailureTest,
                         testing::Values(DirectMusicFault::kCreatePerformance,
                                         DirectMusicFault::kCreateLoader,
                                         DirectMusicFault::kOpenAudio,
                                         DirectMusicFault::kGetDefaultAudioPath));

// The committed assets, found from this source file's place in the tree.
std::string AssetsDirectory() {
    const std::string file = __FILE__;
    return file.substr(0, file.rfind("/tests/")) + "/assets";
}

// The real effect files through SDL2_mixer on SDL's dummy audio driver.
TEST(SoundSdlTest, BothEffectsPlayTogetherThroughTheMixer) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SelectBackend(RuntimeBackend::Sdl);
    char saved[PATH_MAX];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(AssetsDirectory().c_str()), 0);
    const HRESULT result = InitSound();
    ASSERT_EQ(chdir(saved), 0);
    ASSERT_EQ(result, S_OK);
    ASSERT_NE(soundBank.segments[0], nullptr);
    ASSERT_NE(soundBank.segments[1], nullptr);
    PlaySoundEffect(0);
    PlaySoundEffect(1);
    PlaySoundEffect(0);
    EXPECT_EQ(PlayingVoiceCount(), 3);
    ShutdownSound();
    EXPECT_EQ(PlayingVoiceCount(), 0);
    EXPECT_EQ(LiveDirectMusicObjects(), 0);
    SelectBackend(RuntimeBackend::Headless);
}

// A machine whose audio cannot be opened still starts the game: the sounds
// play silently and stderr gets exactly one warning line, nothing from the
// audio libraries underneath.
struct NoAudioCase {
    const char* name;
    const char* driver;        // SDL_AUDIODRIVER
    bool emptyAlsaConfig;      // ALSA sees no device at all
    const char* reasonInText;  // part of the reason the warning gives
};

class NoAudioDeviceTest : public testing::TestWithParam<NoAudioCase> {};

TEST_P(NoAudioDeviceTest, SoundsPlaySilentlyAfterOneWarningLine) {
    const NoAudioCase& param = GetParam();
    char alsaConfig[] = "/tmp/vellorn_alsa_XXXXXX";
    const int configFile = mkstemp(alsaConfig);
    ASSERT_GE(configFile, 0);
    close(configFile);
    setenv("SDL_AUDIODRIVER", param.driver, 1);
    if (param.emptyAlsaConfig) {
        setenv("ALSA_CONFIG_PATH", alsaConfig, 1);
    }
    SelectBackend(RuntimeBackend::Sdl);
    char saved[PATH_MAX];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(AssetsDirectory().c_str()), 0);

    testing::internal::CaptureStderr();
    const HRESULT result = InitSound();
    PlaySoundEffect(0);
    PlaySoundEffect(1);
    const int playing = PlayingVoiceCount();
    const bool played =
        soundBank.segmentStates[0] != nullptr && soundBank.segmentStates[1] != nullptr;
    ShutdownSound();
    const std::string errors = testing::internal::GetCapturedStderr();

    ASSERT_EQ(chdir(saved), 0);
    unsetenv("ALSA_CONFIG_PATH");
    unsetenv("SDL_AUDIODRIVER");
    unlink(alsaConfig);
    SelectBackend(RuntimeBackend::Headless);

    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(playing, 2);
    EXPECT_TRUE(played);
    EXPECT_EQ(LiveDirectMusicObjects(), 0);
    EXPECT_EQ(errors.find("DirectMusic: warning: "), 0u) << errors;
    EXPECT_NE(errors.find(param.reasonInText), std::string::npos) << errors;
    EXPECT_NE(errors.find("sounds play silently"), std::string::npos) << errors;
    EXPECT_EQ(errors.find('\n'), errors.size() - 1) << errors;
}

INSTANTIATE_TEST_SUITE_P(
    Machines, NoAudioDeviceTest,
    testing::Values(NoAudioCase{"UnknownDriver", "no-such-driver", false, "no-such-driver"},
                    NoAudioCase{"AlsaWithoutDevice", "alsa", true, "ALSA"}),
    [](const testing::TestParamInfo<NoAudioCase>& info) { return info.param.name; });

}  // namespace
