#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../geometry/prepared_triangle.h"
#include "huge_page_allocator.h"
#include "wide_tree.h"

namespace sweepview {

class CollisionMesh;

// One node of a compiled tree: 32 bytes, in pre-order, so an inner node's
// first child is the next node.
struct CompiledNode {
    Vec3 boundsMin;             // as NodeBox::updateBounds computes them
    std::uint32_t secondChild;  // an inner node's second child (0 when it has none);
                                // a leaf's prepared triangle in CompiledTree::triangles
    Vec3 boundsMax;
    std::int32_t triangle;  // a leaf's triangle in the scene, or one of the marks below
};

// Two nodes to a 64-byte cache line; each bound is followed by a 4-byte field
// inside the node, so the walk's 16-byte loads of a bound stay in the node.
static_assert(sizeof(CompiledNode) == 32);
static_assert(offsetof(CompiledNode, boundsMin) == 0 && offsetof(CompiledNode, secondChild) == 12 &&
              offsetof(CompiledNode, boundsMax) == 16 && offsetof(CompiledNode, triangle) == 28);

inline constexpr std::int32_t COMPILED_INNER = -1;
// An inner node whose box does not surely hold every contact a sweep can make
// with the triangles under it (a box that leaves out a corner, from a file or
// a hand-built tree, or a triangle too thin for its face test's rounding to
// stay near it): the query may not skip it on the time the sweep enters it.
inline constexpr std::int32_t COMPILED_INNER_LOOSE = -3;
// An inner node whose box, grown by CompiledTree::slack of the node on every
// side, holds every contact under it: a sliver or a triangle a little off its
// own plane, whose face test's rounding can place a contact that far beyond
// its corners, lies below. The all-contacts query treats it as loose; the
// first-contact and closest-point queries test the grown box.
inline constexpr std::int32_t COMPILED_INNER_SLACK = -4;
// A leaf whose triangle or vertex indices lie outside the scene's arrays: the
// query skips it, as it does in the linked tree.
inline constexpr std::int32_t COMPILED_SKIPPED = -2;

// node with its box grown by distance on every side: for a node marked
// COMPILED_INNER_SLACK and its slack, the box every query tests (the binary
// walks and the wide form's stored boxes alike, so the same bits).
inline CompiledNode grownBox(const CompiledNode& node, float distance) {
    CompiledNode grown = node;
    grown.boundsMin = node.boundsMin - Vec3(distance, distance, distance);
    grown.boundsMax = node.boundsMax + Vec3(distance, distance, distance);
    return grown;
}

// A leaf's triangle as the walks keep it: prepared, with its index in the
// scene beside it. 128 bytes on a cache-line boundary, so a triangle is two
// whole lines, fetched together, and the index comes with them (in 108-byte
// steps most triangles straddled three lines, the index a fourth).
struct alignas(64) CompiledTriangle : PreparedTriangle {
    std::int32_t sceneTriangle = -1;
};

static_assert(sizeof(CompiledTriangle) == 128);

inline bool isCompiledInner(const CompiledNode& node) {
    return node.triangle == COMPILED_INNER || node.triangle == COMPILED_INNER_LOOSE ||
           node.triangle == COMPILED_INNER_SLACK;
}

// The form of a scene's tree the query walks: the linked tree's nodes in its
// walk order, with their bounds computed once, and every leaf's triangle
// prepared as the query would build it for the leaf, in the same order. Made from
// the scene and never changed; queries on it only read it.
struct CompiledTree {
    std::vector<CompiledNode, HugePageAllocator<CompiledNode>> nodes;
    // The leaves' triangles, prepared (normal and edge frames), in walk order.
    std::vector<CompiledTriangle, HugePageAllocator<CompiledTriangle>> triangles;
    // The tree four grandchildren to a node (see WideNode), for the SSE walk,
    // and per prepared triangle its leaf node, per node its parent (the
    // root's is 0); all empty when the walk cannot use them.
    std::vector<WideNode, HugePageAllocator<WideNode>> wide;
    std::vector<std::uint32_t> leafNodes;
    std::vector<std::uint32_t> parents;
    // Per node, how far beyond its box a contact under a node marked
    // COMPILED_INNER_SLACK can lie (0 for other nodes); empty when no node
    // has slack. The wide form's boxes of such nodes are grown by it.
    std::vector<float> slack;
    // Per prepared triangle, 1 when its leaf's box holds the triangle's
    // contacts within the compile's allowance (as COMPILED_INNER's do), so
    // that a query needing every contact may skip the leaf by its box.
    std::vector<std::uint8_t> boxedLeaves;
    // The largest magnitude of the nodes' bounds (grown by their slack), the
    // wide walk's scale (0 without a wide form, infinity for a non-number).
    float largestBound = 0.0f;
    // The largest magnitude of the triangles' coordinates (0 without
    // triangles; a non-number or infinity where one is): the scale of their
    // rounding errors.
    float largestCoordinate = 0.0f;
};

// The bytes tree holds in its arrays (their sizes, not their capacities),
// the memory a scene's query form costs beside the scene itself.
[[nodiscard]] std::size_t compiledTreeBytes(const CompiledTree& tree);

// Compiles scene's tree (null for a scene without a root). Nodes with only a
// first child keep it; a node without a first child is a leaf, as the walk
// tells them. Works without recursion; a tree in a node pool (the reader's
// and the builder's layout, already in walk order) is compiled in one pass.
[[nodiscard]] std::unique_ptr<CompiledTree> compileTree(const CollisionMesh& scene);

// Sets scene.compiled to its compiled tree. Call it again after changing the
// scene's tree, boxes, triangles or vertices, or clear scene.compiled.
void compileScene(CollisionMesh& scene);

// Whether tree keeps the invariants the walk relies on, for a scene of
// sceneTriangles triangles: every mark known; an inner node's first child
// after it and its second child (0 for none) inside the array; a leaf's scene
// triangle inside the scene and its prepared triangle the next in walk order,
// naming that scene triangle, all of them used; a node not marked loose
// holding its children's boxes and its leaves' corners within the compile's
// allowance (a node with slack, within its slack); largestCoordinate the
// largest magnitude of those corners. Otherwise false, with the first broken
// invariant in why. For tests and checks: it reads the whole tree.
[[nodiscard]] bool checkCompiledTree(const CompiledTree& tree, std::size_t sceneTriangles,
                                     std::string* why = nullptr);

}  // namespace sweepview
