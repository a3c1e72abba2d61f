// The process-wide graphics objects: the Direct3D object, the device that
// draws into the game window with the presentation parameters it was made
// with, the sprite atlas texture and the sprite batcher. Each is empty until
// the graphics set-up fills it and again after shutdown releases it.
#pragma once

#include "vellorn/d3d9.h"
#include "vellorn/d3dx_sprite.h"

extern IDirect3D9* direct3D;
extern IDirect3DDevice9* device;
extern D3DPRESENT_PARAMETERS presentParams;
extern IDirect3DTexture9* atlasTexture;
extern ID3DXSprite* spriteBatcher;
