#include "platform/graphics.h"

IDirect3D9* direct3D = nullptr;
IDirect3DDevice9* device = nullptr;
D3DPRESENT_PARAMETERS presentParams = {};
IDirect3DTexture9* atlasTexture = nullptr;
ID3DXSprite* spriteBatcher = nullptr;
