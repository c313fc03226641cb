#pragma once

// The one top-down walk over a compiled tree, in its binary form
// (CompiledTree::nodes) or its wide form (CompiledTree::wide). The walk owns
// the order (first child first, as a recursive walk goes), the stack and the
// fetching ahead; a visitor says which boxes to go into and what to do at a
// leaf, and keeps whatever it finds. Queries over a compiled scene are
// visitors of it.
//
// A visitor of the binary form has
//   bool enterNode(const CompiledNode& node)
//       whether the walk goes into node (for a leaf: reaches its triangle);
//   void leaf(std::uint32_t prepared, std::int32_t sceneTriangle)
//       a leaf reached, its triangle in tree.triangles[prepared].
// A visitor of the wide form has
//   int enterSlots(const WideNode& node)
//       the slots (bit i for slot i, among node.used) the walk goes into;
//   void wideLeaf(std::uint32_t prepared)
//       a leaf among them, reached by the wide form's quick box tests.
// A visitor of the wide form may also have
//   void orderSlots(const WideNode& node, int entered, std::uint8_t (&lanes)[4])
//       the entered slots' lanes in the order to walk them (as many as
//       entered has bits), for a query that gains by walking nearer boxes
//       first; without it, lane order.
// A visitor of the binary form may also have
//   bool secondFirst(const CompiledNode& node)
//       whether the walk goes into an entered inner node's second child
//       before its first (without it, or when it says false, first child
//       first), for a query that gains by walking nearer boxes first.
// Both are called in the walk's order; walkTree returns when every entered
// box has been walked.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/compiled_tree.h"

namespace sweepview {

// The walk's pending entries: node indices (in the wide form also
// WIDE_LEAF | a prepared triangle). The tree's depth comes from a file: a
// balanced tree stays in the inline slots, a degenerate deep one spills to
// the heap.
class WalkStack {
public:
    bool empty() const { return size_ == 0; }
    void push(std::uint32_t entry) {
        if (size_ < INLINE_CAPACITY) {
            inline_[size_] = entry;
        } else {
            spill_.push_back(entry);
        }
        ++size_;
    }
    std::uint32_t pop() {
        --size_;
        if (size_ < INLINE_CAPACITY) {
            return inline_[size_];
        }
        const std::uint32_t entry = spill_.back();
        spill_.pop_back();
        return entry;
    }

private:
    static constexpr std::size_t INLINE_CAPACITY = 128;
    std::uint32_t inline_[INLINE_CAPACITY];
    std::vector<std::uint32_t> spill_;
    std::size_t size_ = 0;
};

// Asks for both cache lines of a leaf's triangle.
inline void fetchTriangle(const CompiledTriangle* triangle) {
    const char* bytes = reinterpret_cast<const char*>(triangle);
    __builtin_prefetch(bytes);
    __builtin_prefetch(bytes + 64);
}

// The binary nodes, in pre-order: an inner node's first child is the next
// node. Leaves entered wait in a short queue while the walk goes on among the
// nodes and their triangles are fetched (on big trees most of a short sweep's
// time was spent waiting for them); the visitor gets them in the walk's
// order. The wait only delays what a leaf's result lets the visitor skip.
class BinaryNodes {
public:
    explicit BinaryNodes(const CompiledTree& tree) : tree_(tree) {}

    // Goes into entry's node; true with entry the node to go on to at once,
    // false when the walk goes on from the stack.
    template <class Visitor>
    bool step(std::uint32_t& entry, Visitor& visitor, WalkStack& pending) {
        const CompiledNode& node = tree_.nodes[entry];
        if (!visitor.enterNode(node)) {
            return false;
        }
        if (isCompiledInner(node)) {
            if (node.secondChild != 0) {
                if constexpr (requires { visitor.secondFirst(node); }) {
                    if (visitor.secondFirst(node)) {
                        pending.push(entry + 1);
                        entry = node.secondChild;
                        return true;
                    }
                }
                // Walked after the first child's subtree: fetched meanwhile.
                __builtin_prefetch(tree_.nodes.data() + node.secondChild);
                pending.push(node.secondChild);
            }
            ++entry;
            return true;
        }
        if (node.triangle >= 0) {
            fetchTriangle(&tree_.triangles[node.secondChild]);
            queued_[queuedCount_++] = {node.secondChild, node.triangle};
            if (queuedCount_ == QUEUED_LEAVES) {
                finish(visitor);
            }
        }
        return false;
    }

    // Hands the queued leaves to the visitor.
    template <class Visitor>
    void finish(Visitor& visitor) {
        for (int i = 0; i < queuedCount_; ++i) {
            visitor.leaf(queued_[i].prepared, queued_[i].sceneTriangle);
        }
        queuedCount_ = 0;
    }

private:
    // More waiting leaves spare no more waits but delay the skipping longer.
    static constexpr int QUEUED_LEAVES = 16;
    struct QueuedLeaf {
        std::uint32_t prepared;
        std::int32_t sceneTriangle;
    };

    const CompiledTree& tree_;
    QueuedLeaf queued_[QUEUED_LEAVES];
    int queuedCount_ = 0;
};

// The wide nodes (the tree must have them): four boxes a node, tested at
// once. Of the slots entered, the leaves before the first inner one are
// handed on, the rest wait on the stack, so leaves come in the binary walk's
// order. On a big tree, as in the binary walk, leaves handed on wait in a
// short queue while their triangles are fetched; on a small one, whose
// triangles stay in the caches, the wait would only delay what a leaf's
// result lets the visitor skip.
class WideNodes {
public:
    explicit WideNodes(const CompiledTree& tree)
        : tree_(tree), queueLeaves_(tree.triangles.size() > WIDE_QUEUE_ABOVE_TRIANGLES) {}

    template <class Visitor>
    bool step(std::uint32_t& entry, Visitor& visitor, WalkStack& pending) {
        if ((entry & WIDE_LEAF) != 0) {
            leaves(entry, visitor);
            return false;
        }
        const WideNode& node = tree_.wide[entry];
        int entered = visitor.enterSlots(node);
        if constexpr (requires(std::uint8_t (&lanes)[4]) { visitor.orderSlots(node, entered, lanes); }) {
            return stepOrdered(node, entered, entry, visitor, pending);
        }
        while (entered != 0) {
            const int lane = __builtin_ctz(static_cast<unsigned>(entered));
            entered &= entered - 1;
            const std::uint32_t slot = node.slot[lane];
            if ((slot & WIDE_LEAF) != 0) {
                leaves(slot, visitor);
                continue;
            }
            for (int rest = entered; rest != 0;) {
                const int last = 31 - __builtin_clz(static_cast<unsigned>(rest));
                rest &= ~(1 << last);
                postpone(node.slot[last], pending);
            }
            entry = slot;
            return true;
        }
        return false;
    }

    // Hands the queued leaves to the visitor.
    template <class Visitor>
    void finish(Visitor& visitor) {
        for (int i = 0; i < queuedCount_; ++i) {
            visitor.wideLeaf(queued_[i]);
        }
        queuedCount_ = 0;
    }

private:
    // Measured with the first-contact query, radius 2.5: 10 to 20% of a
    // sweep spared on 20,000 to 4 million triangles; 5 to 10% lost on
    // trees that stay in the caches.
    static constexpr std::size_t WIDE_QUEUE_ABOVE_TRIANGLES = 8192;
    static constexpr int QUEUED_LEAVES = 8;

    // A leaf slot's triangles, one by one.
    template <class Visitor>
    void leaves(std::uint32_t slot, Visitor& visitor) {
        const std::uint32_t first = slot & WIDE_PREPARED_MASK;
        const std::uint32_t last = first + (slot >> WIDE_RUN_SHIFT & 3);
        for (std::uint32_t prepared = first; prepared <= last; ++prepared) {
            leaf(prepared, visitor);
        }
    }

    template <class Visitor>
    void leaf(std::uint32_t prepared, Visitor& visitor) {
        if (!queueLeaves_) {
            visitor.wideLeaf(prepared);
            return;
        }
        fetchTriangle(&tree_.triangles[prepared]);
        queued_[queuedCount_++] = prepared;
        if (queuedCount_ == QUEUED_LEAVES) {
            finish(visitor);
        }
    }

    // Puts an entered slot on the stack, to walk after the slot gone into;
    // a wide node is fetched meanwhile.
    void postpone(std::uint32_t slot, WalkStack& pending) const {
        if ((slot & WIDE_LEAF) == 0) {
            // Both cache lines of the node: its masks lie in the second.
            const char* bytes = reinterpret_cast<const char*>(tree_.wide.data() + slot);
            __builtin_prefetch(bytes);
            __builtin_prefetch(bytes + 64);
        }
        pending.push(slot);
    }

    // step's walk of the entered slots in the order the visitor gives.
    template <class Visitor>
    bool stepOrdered(const WideNode& node, int entered, std::uint32_t& entry, Visitor& visitor,
                     WalkStack& pending) {
        const int count = slotCount(entered);
        std::uint8_t lanes[4];
        visitor.orderSlots(node, entered, lanes);
        for (int i = 0; i < count; ++i) {
            const std::uint32_t slot = node.slot[lanes[i]];
            if ((slot & WIDE_LEAF) != 0) {
                leaves(slot, visitor);
                continue;
            }
            for (int last = count - 1; last > i; --last) {
                postpone(node.slot[lanes[last]], pending);
            }
            entry = slot;
            return true;
        }
        return false;
    }

    const CompiledTree& tree_;
    const bool queueLeaves_;
    std::uint32_t queued_[QUEUED_LEAVES];
    int queuedCount_ = 0;
};

// Walks nodes (BinaryNodes or WideNodes of a compiled tree) from the root
// down with visitor.
template <class Nodes, class Visitor>
void walkTree(Nodes nodes, Visitor& visitor) {
    WalkStack pending;
    std::uint32_t entry = 0;
    for (;;) {
        if (nodes.step(entry, visitor, pending)) {
            continue;
        }
        if (pending.empty()) {
            break;
        }
        entry = pending.pop();
    }
    nodes.finish(visitor);
}

}  // namespace sweepview
