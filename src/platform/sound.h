// Sound effects of the game.
#pragma once

// Plays sound slot index (0: the goal chime, 1: the caught sound) once, over
// anything still playing. Does nothing when the slot has no sound.
void PlaySoundEffect(int index);
