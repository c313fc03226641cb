#pragma once

#include <cstdint>
#include <vector>

#include "../geometry/vec3.h"
#include "volume_node.h"

namespace sweepview {

// One node of a volume tree stored as an array in pre-order (a node, then its
// first child's subtree, then its second child's): the layout of the file's
// tree section. An inner node has triangle NO_TRIANGLE and its first child at
// the next index; a leaf names its triangle.
struct PreorderNode {
    Vec3 centre;
    Vec3 halfExtents;
    std::int32_t triangle = NO_TRIANGLE;
};

// The nodes of the tree below root (not null), in pre-order. Trees of any
// depth are flattened without recursion. A node with one child is written with
// that child only, which no reader accepts; callers check the shape first.
std::vector<PreorderNode> flattenTree(const VolumeNode& root);

// Whether nodes is exactly one complete tree in pre-order: every inner node is
// followed by two subtrees, and nothing follows the root's subtree.
[[nodiscard]] bool isCompletePreorder(const std::vector<PreorderNode>& nodes);

// Builds the linked tree of a complete pre-order array (every inner node
// followed by both subtrees), its nodes made all at once in pool (whose earlier
// nodes are unlinked and released), in the array's order; returns the root
// (&pool[0]), or null when nodes is empty or incomplete (pool is then left
// empty). The pool's nodes must be unlinked before the pool goes
// (~CollisionMesh does).
VolumeNode* linkTreeInPool(const std::vector<PreorderNode>& nodes, NodePool& pool);

// For each node of a complete pre-order array, the index of its second child
// (0 for a leaf). Returns an empty vector when nodes is incomplete.
std::vector<std::uint32_t> secondChildren(const std::vector<PreorderNode>& nodes);

}  // namespace sweepview
