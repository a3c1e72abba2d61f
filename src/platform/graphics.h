// The graphics device: the Direct3D 9 device that presents into the game
// window, the sprite atlas texture and the one sprite batcher, and the
// per-frame recovery of a lost device.
#pragma once

#include "vellorn/d3d9.h"
#include "vellorn/d3dx_sprite.h"

// Process-wide graphics objects: empty until InitGraphics makes them, emptied
// again at shutdown.
extern IDirect3D9* direct3D;
extern IDirect3DDevice9* device;
// Kept for the whole run: device creation writes the real back-buffer size
// and format into it, and every reset passes it again.
extern D3DPRESENT_PARAMETERS presentParams;
extern ID3DXSprite* spriteBatcher;
// The texture made from "bitmap.png"; white pixels of the file are
// transparent black in it.
extern IDirect3DTexture9* atlasTexture;

// Makes the Direct3D object and a windowed device on mainWindow (hardware
// vertex processing, else software, else the reference device), sets the
// viewport to the back buffer the device took, loads the atlas from
// "bitmap.png" in the current directory and creates the sprite batcher.
// S_OK, or E_FAIL at the first step that fails, leaving what was made so far.
HRESULT InitGraphics();

// The end of every frame: when the device reports itself lost, the sprite
// batcher lets go of its device memory, the device is reset with
// presentParams (a failed reset is tried again next frame) and the batcher
// takes up the device again.
void CheckDeviceLost();
