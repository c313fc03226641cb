#pragma once

#include <vector>

#include "geometry/vec3.h"
#include "scene/mesh_triangle.h"

namespace sweepview {

// A triangle mesh on its way into a scene. Each triangle's aux0..aux2 name the
// normals of its three corners in `normals`, or are -1 when there are none.
struct MeshData {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<MeshTriangle> triangles;
};

}  // namespace sweepview
