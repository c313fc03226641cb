#pragma once

#include <memory>
#include <string>
#include <vector>

#include "collision_mesh.h"

namespace sweepview {

// Builds a scene in memory from triangle arrays, as `dorn build` does without
// a file: the surface area heuristic tree over every triangle, one per leaf,
// its nodes in one pool in pre-order (the reader's layout), every box
// enclosing its subtree exactly as the query computes bounds, compiled for
// the query (see CollisionMesh::compiled) and with the boxes' caches filled,
// so the scene is ready to be swept from several threads at once.
//
// Returns the scene, or null when a triangle names a vertex outside vertices,
// with "triangle I names vertex V of N" in *whyRefused (when not null). No
// triangles give a scene without a root, against which every sweep finds
// nothing. Non-number and infinite positions are kept; the tree stays sound.
[[nodiscard]] std::unique_ptr<CollisionMesh> buildCollisionMesh(std::vector<Vec3> vertices,
                                                                std::vector<MeshTriangle> triangles,
                                                                std::string* whyRefused = nullptr);

}  // namespace sweepview
