#pragma once

#include <cstddef>
#include <cstdint>

namespace sweepview {

struct CompiledTree;

// Up to four descendants of a compiled tree's inner node in one node (its
// children, the widest inner ones replaced by theirs, in walk order), their
// boxes per axis across the lanes, for a walk that tests four at once with a
// quick test that never rejects a box the exact one reaches. Such a walk meets
// the leaves in the compiled walk's order (a superset of them); one whose
// triangle reports a contact counts only when the exact test reaches every box
// from the root down to it (CompiledTree::parents), as it does in the compiled
// walk. 128 bytes, two cache lines.
struct alignas(64) WideNode {
    float slotMin[3][4];
    float slotMax[3][4];
    // WIDE_EMPTY, a wide node's index, or a leaf: WIDE_LEAF | a prepared
    // triangle, on a big tree also a run of them (see wideLeafRun).
    std::uint32_t slot[4];
    std::uint8_t used;      // bit i: slot i holds a node
    std::uint8_t prunable;  // bit i: slot i is an inner node whose box holds
                            // its triangles' contacts (COMPILED_INNER)
    std::uint8_t slackLanes;  // bit i: slot i is an inner node whose box holds them
                              // only grown by its slack (COMPILED_INNER_SLACK):
                              // its box here is the grown one
    std::uint8_t boxedLeaves;  // bit i: slot i is a leaf whose box holds its
                               // triangle's contacts (CompiledTree::boxedLeaves)
};

static_assert(sizeof(WideNode) == 128);

// How many of a wide node's four slots a lane mask names: a table in a word,
// as without the POPCNT instruction the compiler calls a library function.
inline int slotCount(int lanes) {
    return static_cast<int>(0x4332322132212110ull >> (4 * (lanes & 15)) & 15);
}

inline constexpr std::uint32_t WIDE_EMPTY = 0xffffffffu;
inline constexpr std::uint32_t WIDE_LEAF = 0x80000000u;
// A leaf slot's run: bits 29 and 30 hold how many prepared triangles after
// the first follow it (0 to 3), the bits below the first one.
inline constexpr int WIDE_RUN_SHIFT = 29;
inline constexpr std::uint32_t WIDE_PREPARED_MASK = (1u << WIDE_RUN_SHIFT) - 1;

// A leaf slot naming prepared triangles first to first + count - 1 (count 1
// to 4), tested one by one whenever the slot's box is entered.
inline std::uint32_t wideLeafRun(std::uint32_t first, std::uint32_t count) {
    return WIDE_LEAF | (count - 1) << WIDE_RUN_SHIFT | first;
}

// The largest tree whose all-contacts query walks the wide form. Beyond it the
// exact checks of the leaves' contacts miss the caches more than the quick
// tests spare (measured: 10 to 60% faster up to 4,000 triangles, even at
// 7,000, slower on 20,000 and more).
inline constexpr std::size_t WIDE_TRIANGLE_LIMIT = 8192;

// The largest tree given a wide form: the first-contact query, which needs no
// exact checks, walks it on every tree that has one (1.2 to 1.5 times faster
// on 120,000 and 200,000 triangles). Above it the form would cost a third
// more memory again for a walk that waits on memory either way.
inline constexpr std::size_t WIDE_BUILD_LIMIT = std::size_t{1} << 22;

// Above this many triangles the wide form keeps subtrees of four leaves or
// fewer whole (see buildWideNodes): a quarter fewer wide nodes, 3 to 6%
// faster first-contact sweeps on 120,000 and 200,000 triangles, whose nodes
// miss the caches; level on 20,000; up to 7% slower on 3,700, whose nodes
// stay in them.
inline constexpr std::size_t WIDE_WHOLE_SUBTREES_ABOVE = 8192;

// Above this many triangles a subtree of four leaves or fewer that would
// make a wide node of its own is a run in its parent's slot instead (see
// wideLeafRun): a third of the wide nodes or fewer, so more of the walk stays
// in the caches, for triangle tests that the leaves' own boxes would have
// spared. Measured with the first-contact query, against the nodes of
// four: 5 to 10% faster on 120,000 and 200,000 triangles, 5 to 17% on 2 and
// 4 million; on 20,000, whose nodes stay in the caches either way, up to 7%
// slower with two-sided faces. Runs of up to eight were no faster again.
inline constexpr std::size_t WIDE_LEAF_RUNS_ABOVE = 65536;

static_assert(WIDE_BUILD_LIMIT <= WIDE_PREPARED_MASK);

// Fills tree.wide, tree.leafNodes and tree.parents from
// tree.nodes; leaves them empty when the root is a leaf, when a bound is not
// a finite number, or when the tree has more than WIDE_BUILD_LIMIT
// triangles. Works without recursion. Wide node 0 holds the root's
// descendants.
void buildWideNodes(CompiledTree& tree);

}  // namespace sweepview
