#pragma once

#include <cstddef>
#include <vector>

class VolumeNode;

// LIFO of node pointers for the tree walks. The tree's depth comes from a file,
// so walks use this instead of recursion: a balanced tree stays in the inline
// slots (no allocation), a degenerate deep one spills to the heap.
class NodeStack {
public:
    bool empty() const { return size_ == 0; }

    void push(VolumeNode* node) {
        if (size_ < INLINE_CAPACITY) {
            inline_[size_] = node;
        } else {
            spill_.push_back(node);
        }
        ++size_;
    }

    // Precondition: not empty.
    VolumeNode* pop() {
        --size_;
        if (size_ < INLINE_CAPACITY) {
            return inline_[size_];
        }
        VolumeNode* node = spill_.back();
        spill_.pop_back();
        return node;
    }

private:
    static constexpr std::size_t INLINE_CAPACITY = 64;
    VolumeNode* inline_[INLINE_CAPACITY];
    std::vector<VolumeNode*> spill_;
    std::size_t size_ = 0;
};
