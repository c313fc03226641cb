#pragma once

#include <string>
#include <vector>

#include "collision_mesh.h"
#include "preorder_tree.h"

namespace sweepview {

// Writes a dorn file: the three counted sections, then the tree nodes in the
// order given (flag 1 for an inner node, 0 for a leaf), little-endian on any
// host, through OutputFile: a failed write never leaves a partial file or harms
// an existing one, a link is followed, a device or FIFO written directly.
// Indices are written as they are; the reader checks them.
//
// Returns 1 on success. Returns 0, with "<fileName>: <reason>" in *whyFailed
// (when not null), when tree is not one complete tree in pre-order, an array
// has more elements than a count can hold, or the file cannot be written.
[[nodiscard]] int saveDornFile(const std::string& fileName, const std::vector<Vec3>& vertices,
                               const std::vector<Vec3>& auxVectors,
                               const std::vector<MeshTriangle>& triangles,
                               const std::vector<PreorderNode>& tree,
                               std::string* whyFailed = nullptr);

// The same for a scene; refused also when it has no root or a node with one
// child (which the format cannot hold).
[[nodiscard]] int saveDornFile(const CollisionMesh& scene, const std::string& fileName,
                               std::string* whyFailed = nullptr);

}  // namespace sweepview
