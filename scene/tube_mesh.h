#pragma once
// The one animated tube of the intro. Stand-in until the mesh lands: it has
// the shape of the real object's life cycle and nothing else.

namespace scene {

class TubeMesh {
public:
    TubeMesh(int segments, int rings, float radius, float length);
    void Deform(float phase0, float phase1, float phase2);
};

// The one instance, created at start-up and destroyed at shutdown.
extern TubeMesh* tube;

}  // namespace scene
