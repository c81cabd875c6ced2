#pragma once
// The five textures painted by the texture generator at start-up, each 256 x
// 256 RGB, linear filtering, repeat wrap, no mipmaps:
//   texGenUnusedGreen  dark green with faint blue-green wavy clouds (not drawn)
//   texGenSpotsRGB     three soft discs, red, green, blue, wrapping over the edges
//   texGenFire         cloudy noise in a fire ramp (black, red, orange, yellow,
//                      white); the scene later overwrites it with frame copies
//   texGenSpot         grey radial gradient, white centre, black from radius 127.5
//   texGenWarpGrey     grey, sine-bent bands of light from three displaced spots
// Main thread only, with the OpenGL context current.

#include <span>

#include "gfx/texture_table.h"
#include "texgen/texgen.h"

namespace gfx {

// Runs the script on the layers (texgen::RunScript): layer 0 as a texture
// image, GL_RGB, 256 x 256, row 0 first. No GL.
TextureImage MakeGeneratedImage(texgen::TextureLayers& layers, std::span<const std::uint8_t> script);

// The same image uploaded as a new texture through CreateTexture. Returns
// the cell, left bound to GL_TEXTURE_2D, or an empty slot when the cell
// cannot be allocated.
TextureSlot RunScript(texgen::TextureLayers& layers, std::span<const std::uint8_t> script);

// Runs the five built-in scripts in their fixed order (or takes the images
// PrepareTextures made) and stores each texture in its slot of the texture
// table. When the working layers cannot be allocated the five slots stay
// empty (the scene binds texture 0 for an empty slot); start-up goes on
// either way.
void BuildGeneratedTextures();

}  // namespace gfx
