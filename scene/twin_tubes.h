#pragma once
// The twin tubes: the one tube mesh drawn left and right of the centre, each
// in several passes over the same geometry. Left: rock, animated caustics
// and a sphere-mapped highlight, modulated 2x. Right: a grey warped surface
// with the previous finished frame (texGenFire) added through sphere
// mapping, so the reflection feeds back on itself, then grey and highlight
// modulated 2x.

namespace scene {

class TubeMesh;
struct SceneState;

struct TwinTubesState {
    int causticFrame = 0;  // which caustics picture is on the left tube, 0..gfx::kCausticsPictures - 1
};

// Both tubes, all passes. Expects: modelview matrix mode, texturing on,
// depth test on with GL_LEQUAL, blending off, lighting off, texture
// environment GL_MODULATE. Leaves: texturing on, blending off, sphere mapping
// off, depth function GL_LEQUAL, colour white, the right tube's modelview.
void DrawTwinTubes(const SceneState& state, TubeMesh& mesh);

// The next caustics picture: causticFrame = (causticFrame + 1) mod
// gfx::kCausticsPictures. No GL.
void NextCausticsPicture(SceneState& state);

}  // namespace scene
