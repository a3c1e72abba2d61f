// The game's one entry point per frame.
#pragma once

// Advances play by the time step measured in the previous active frame, then
// measures the next one. Does nothing while the window is inactive.
void UpdateFrame();
