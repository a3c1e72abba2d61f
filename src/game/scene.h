// The picture of one frame: the border around the play area, the maze, the
// goal marker and the two figures, all cut from the sprite atlas.
#pragma once

// Clears to blue, draws the whole scene through the sprite batcher in one
// batch and presents it. Reads the game state, changes none of it. A scene
// that cannot begin is not drawn, but the frame is still presented.
void DrawFrame();
