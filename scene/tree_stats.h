#pragma once

#include <cstddef>
#include <vector>

#include "scene/mesh_triangle.h"
#include "scene/preorder_tree.h"

namespace sweepview {

// What a volume tree looks like, and whether the query can trust it.
struct TreeStats {
    std::size_t nodes = 0;
    std::size_t leaves = 0;
    std::size_t depth = 0;  // levels: a single leaf is 1
    // Expected cost of a random ray query: each node's box area relative to the
    // root's, counting 1 per inner node and 1 per leaf (one triangle each).
    double sahCost = 0.0;
    // Boxes that do not enclose every triangle below them, with their bounds
    // computed as the query computes them; such a box can hide contacts.
    std::size_t nonEnclosingBoxes = 0;
    std::size_t unnamedTriangles = 0;        // named by no leaf
    std::size_t multiplyNamedTriangles = 0;  // named by more than one leaf
    std::size_t degenerateTriangles = 0;     // without area: no face contact
    Vec3 boundsMin;  // of the vertices the triangles use (non-numbers left out)
    Vec3 boundsMax;
};

// Measures a complete pre-order tree over triangles whose indices are valid (as
// the reader guarantees). Returns all zeros for an incomplete tree.
TreeStats measureTree(const std::vector<Vec3>& vertices, const std::vector<MeshTriangle>& triangles,
                      const std::vector<PreorderNode>& tree);

}  // namespace sweepview
