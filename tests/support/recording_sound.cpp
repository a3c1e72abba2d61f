#include "support/recording_sound.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/sound.h"
#include "runtime/backend.h"
#include "runtime/dmusic/headless_audio.h"

namespace {

// InitSound reads the effect files from the current directory.
bool SetUpSound() {
    SelectBackend(RuntimeBackend::Headless);
    char saved[PATH_MAX];
    if (getcwd(saved, sizeof saved) == nullptr || chdir(VELLORN_ASSETS_DIR) != 0) {
        return false;
    }
    const HRESULT result = InitSound();
    const bool back = chdir(saved) == 0;
    return back && result == S_OK && soundBank.segments[0] != nullptr &&
           soundBank.segments[1] != nullptr;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

void ResetPlayedSounds() {
    static const bool ready = SetUpSound();
    if (!ready) {
        ADD_FAILURE() << "the game's sound could not be set up from " << VELLORN_ASSETS_DIR;
    }
    ClearHeadlessPlays();
}

std::vector<int> PlayedSounds() {
    std::vector<int> slots;
    for (const HeadlessPlay& play : HeadlessPlays()) {
        slots.push_back(EndsWith(play.sound, "/wave01.wav")   ? 0
                        : EndsWith(play.sound, "/wave02.wav") ? 1
                                                              : -1);
    }
    return slots;
}
