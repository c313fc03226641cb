#include "scene/volume_node.h"

namespace sweepview {

VolumeNode::~VolumeNode() {
    destroyTree(left);
    destroyTree(right);
}

void destroyTree(VolumeNode* node) {
    // Post-order walk whose stack of unfinished ancestors is threaded through
    // their `left` slots (already detached from the child being freed), so it
    // needs neither recursion nor memory. Each node is freed once it has no
    // children left, hence its own destructor does nothing more.
    VolumeNode* ancestors = nullptr;
    while (node != nullptr) {
        VolumeNode* child = node->left;
        if (child != nullptr) {
            node->left = nullptr;
        } else {
            child = node->right;
            node->right = nullptr;
        }
        if (child != nullptr) {
            node->left = ancestors;
            ancestors = node;
            node = child;
            continue;
        }
        delete node;
        node = ancestors;
        if (node != nullptr) {
            ancestors = node->left;
            node->left = nullptr;
        }
    }
}

}  // namespace sweepview
