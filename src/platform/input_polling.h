// The per-frame input poll: turns the controller's stick and the arrow keys
// into the four direction flags of gameState.input.
#pragma once

// Reads the controller (when there is one), then the keyboard, and rewrites
// inLeft, inRight, inUp and inDown. A device that cannot be read contributes
// nothing and is re-acquired for the next frame. Any of the arrow keys or
// Return held makes the keyboard replace the controller's flags.
void PollInput();
