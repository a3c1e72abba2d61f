#include "support/recording_sound.h"

#include "platform/sound.h"

std::vector<int>& PlayedSounds() {
    static std::vector<int> played;
    return played;
}

void PlaySoundEffect(int index) {
    PlayedSounds().push_back(index);
}
