#pragma once

#include <cstddef>
#include <vector>

#include "geometry/assert.h"

namespace sweepview {

// LIFO of node pointers for the tree walks. The tree's depth comes from a file,
// so walks use this instead of recursion: a balanced tree stays in the inline
// slots (no allocation), a degenerate deep one spills to the heap. Node is the
// node type as the walk sees it: const for the walks that only read.
template <typename Node>
class NodeStack {
public:
    bool empty() const { return size_ == 0; }

    void push(Node* node) {
        SWEEP_ASSERT(spill_.size() == (size_ > INLINE_CAPACITY ? size_ - INLINE_CAPACITY : 0));
        if (size_ < INLINE_CAPACITY) {
            inline_[size_] = node;
        } else {
            spill_.push_back(node);
        }
        ++size_;
    }

    Node* pop() {
        SWEEP_ASSERT(size_ > 0);
        --size_;
        if (size_ < INLINE_CAPACITY) {
            return inline_[size_];
        }
        Node* node = spill_.back();
        spill_.pop_back();
        return node;
    }

private:
    static constexpr std::size_t INLINE_CAPACITY = 64;
    Node* inline_[INLINE_CAPACITY];
    std::vector<Node*> spill_;
    std::size_t size_ = 0;
};

}  // namespace sweepview
