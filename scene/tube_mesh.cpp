#include "scene/tube_mesh.h"

namespace scene {

TubeMesh* tube = nullptr;

TubeMesh::TubeMesh(int, int, float, float) {}

void TubeMesh::Deform(float, float, float) {}

}  // namespace scene
