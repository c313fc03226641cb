#pragma once

#include <string>

#include "scene/collision_mesh.h"

// Writes scene as a dorn file: the three counted sections, then the tree in
// pre-order (flag 1 for an inner node, 0 for a leaf), little-endian on any
// host. loadDornFile reads the result back to the same values.
//
// Returns 1 on success. Returns 0, with "<fileName>: <reason>" in *whyFailed
// (when not null), when the scene has no root, has a node with exactly one
// child (not expressible in the format), has more elements than a count can
// hold, or the file cannot be written. Trees of any depth are written without
// recursion. Indices are written as they are; the reader checks them.
int saveDornFile(const CollisionMesh& scene, const std::string& fileName,
                 std::string* whyFailed = nullptr);
