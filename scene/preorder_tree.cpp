#include "scene/preorder_tree.h"

#include "scene/node_stack.h"

namespace sweepview {

std::vector<PreorderNode> flattenTree(const VolumeNode& root) {
    std::vector<PreorderNode> nodes;
    NodeStack<const VolumeNode> pending;
    pending.push(&root);
    while (!pending.empty()) {
        const VolumeNode* node = pending.pop();
        nodes.push_back(PreorderNode{node->box.centre, node->box.halfExtents,
                                     node->left != nullptr ? NO_TRIANGLE : node->triangle});
        if (node->right != nullptr) {
            pending.push(node->right);
        }
        if (node->left != nullptr) {
            pending.push(node->left);
        }
    }
    return nodes;
}

bool isCompletePreorder(const std::vector<PreorderNode>& nodes) {
    // Count the subtrees still to come: one (the root) at the start, one less
    // for each node, two more for an inner node; it may reach zero only at the end.
    std::size_t open = 1;
    for (const PreorderNode& node : nodes) {
        if (open == 0) {
            return false;
        }
        open = open - 1 + (node.triangle == NO_TRIANGLE ? 2 : 0);
    }
    return open == 0;
}

std::vector<std::uint32_t> secondChildren(const std::vector<PreorderNode>& nodes) {
    // Walking forwards, each inner node waits on the stack until its first
    // subtree is complete; the next node is then its second child.
    std::vector<std::uint32_t> second(nodes.size(), 0);
    std::vector<std::uint32_t> waiting;
    for (std::uint32_t i = 0; i < nodes.size(); ++i) {
        if (i > 0 && nodes[i - 1].triangle != NO_TRIANGLE) {
            if (waiting.empty()) {
                return {};  // nodes after a complete tree
            }
            second[waiting.back()] = i;
            waiting.pop_back();
        }
        if (nodes[i].triangle == NO_TRIANGLE) {
            waiting.push_back(i);
        }
    }
    if (!waiting.empty() || nodes.empty() || nodes.back().triangle == NO_TRIANGLE) {
        return {};
    }
    return second;
}

VolumeNode* linkTreeInPool(const std::vector<PreorderNode>& nodes, NodePool& pool) {
    for (VolumeNode& node : pool) {  // pooled nodes must not free one another
        node.left = nullptr;
        node.right = nullptr;
    }
    pool = NodePool();
    // Everything is allocated before the first link, so that nothing can fail
    // while pooled nodes point at each other.
    const std::vector<std::uint32_t> second = secondChildren(nodes);
    if (second.empty()) {
        return nullptr;
    }
    pool = NodePool(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        VolumeNode& node = pool[i];
        node.box = NodeBox(nodes[i].centre, nodes[i].halfExtents);
        if (nodes[i].triangle == NO_TRIANGLE) {
            node.left = &pool[i + 1];
            node.right = &pool[second[i]];
        } else {
            node.triangle = nodes[i].triangle;
        }
    }
    return &pool[0];
}

}  // namespace sweepview
