#pragma once

#include <cstdint>
#include <vector>

#include "huge_page_allocator.h"
#include "node_box.h"

namespace sweepview {

inline constexpr std::int32_t NO_TRIANGLE = -1;

// A node of the volume tree. An inner node owns two children and has triangle
// NO_TRIANGLE; a leaf has no children and names one triangle of the scene.
class VolumeNode {
public:
    VolumeNode* left = nullptr;   // owning
    VolumeNode* right = nullptr;  // owning
    NodeBox box{zeroVector, zeroVector};
    std::int32_t triangle = NO_TRIANGLE;

    VolumeNode() = default;
    VolumeNode(const VolumeNode&) = delete;
    VolumeNode& operator=(const VolumeNode&) = delete;

    // Frees the left subtree, then the right one, children before parents. Works
    // without recursion, so a tree of any depth read from a file is freed safely.
    ~VolumeNode();
};

// Frees the tree below and including node (null is allowed), in the order of
// ~VolumeNode: post-order, first child before second.
void destroyTree(VolumeNode* node);

// Tree nodes made all at once, on huge pages where the system allows.
using NodePool = std::vector<VolumeNode, HugePageAllocator<VolumeNode>>;

}  // namespace sweepview
