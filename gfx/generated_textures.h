#pragma once
// The five textures painted by the texture generator at start-up.

namespace gfx {

// Runs the built-in texture scripts and stores each texture in its slot of
// the texture table. Needs a current OpenGL context.
void BuildGeneratedTextures();

}  // namespace gfx
