// One time step of play: steering, stepping and capture of every actor slot,
// goal handling for the player.
#pragma once

// Advances play by the clock's current time step.
void UpdatePlay();
