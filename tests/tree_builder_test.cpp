#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>

#include "scene/tree_builder.h"
#include "scene/tree_stats.h"
#include "support/test_scenes.h"

namespace {

struct Mesh {
    std::vector<Vec3> vertices;
    std::vector<MeshTriangle> triangles;
    void add(Vec3 a, Vec3 b, Vec3 c) {
        const auto base = static_cast<std::int32_t>(vertices.size());
        vertices.insert(vertices.end(), {a, b, c});
        triangles.push_back(meshTriangle(base, base + 1, base + 2));
    }
    void addRandom(std::uint32_t seed, int count, float spread, float size) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        for (int i = 0; i < count; ++i) {
            const Vec3 a = Vec3(u(random), u(random), u(random)) * spread;
            add(a, a + Vec3(u(random), u(random), u(random)) * size,
                a + Vec3(u(random), u(random), u(random)) * size);
        }
    }
    TreeStats measure(const std::vector<PreorderNode>& tree) const {
        return measureTree(vertices, triangles, tree);
    }
};

// The reference: always split at the median centroid along the longest axis
// of the node's box.
std::vector<PreorderNode> medianTree(const Mesh& mesh) {
    std::vector<std::int32_t> ids(mesh.triangles.size());
    std::iota(ids.begin(), ids.end(), 0);
    std::vector<PreorderNode> nodes;
    std::vector<std::pair<std::size_t, std::size_t>> pending{{0, ids.size()}};
    while (!pending.empty()) {
        const auto [begin, end] = pending.back();
        pending.pop_back();
        Vec3 lo(INFINITY, INFINITY, INFINITY);
        Vec3 hi = lo * -1.0f;
        for (std::size_t i = begin; i < end; ++i) {
            for (int k = 0; k < 3; ++k) {
                const Vec3& p = mesh.vertices[3 * ids[i] + k];
                lo = Vec3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
                hi = Vec3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
            }
        }
        PreorderNode& node = nodes.emplace_back();
        enclosingBox(lo, hi, node.centre, node.halfExtents);
        if (end - begin == 1) {
            node.triangle = ids[begin];
            continue;
        }
        const Vec3 size = hi - lo;
        const int axis = size.x >= size.y && size.x >= size.z ? 0 : (size.y >= size.z ? 1 : 2);
        auto key = [&](std::int32_t id) { return component(mesh.vertices[3 * id], axis); };
        const std::size_t middle = begin + (end - begin) / 2;
        std::nth_element(ids.begin() + begin, ids.begin() + middle, ids.begin() + end,
                         [&](auto a, auto b) { return key(a) < key(b); });
        pending.push_back({middle, end});
        pending.push_back({begin, middle});
    }
    return nodes;
}

void expectSound(const Mesh& mesh, const std::vector<PreorderNode>& tree) {
    ASSERT_TRUE(isCompletePreorder(tree));
    const TreeStats stats = mesh.measure(tree);
    EXPECT_EQ(stats.leaves, mesh.triangles.size());
    EXPECT_EQ(stats.nonEnclosingBoxes, 0u);
    EXPECT_EQ(stats.unnamedTriangles + stats.multiplyNamedTriangles, 0u);
}

TEST(TreeBuilder, RandomMeshesGiveSoundTrees) {
    for (int count : {1, 2, 3, 17, 20000}) {
        Mesh mesh;
        mesh.addRandom(static_cast<std::uint32_t>(count), count, 100.0f, 3.0f);
        expectSound(mesh, buildVolumeTree(mesh.vertices, mesh.triangles));
    }
    EXPECT_TRUE(buildVolumeTree({}, {}).empty());
}

TEST(TreeBuilder, SurfaceAreaHeuristicBeatsTheMedianOnSkewedMeshes) {
    Mesh clustered;  // a dense cluster and a few far-flung triangles
    clustered.addRandom(1, 3000, 2.0f, 0.5f);
    clustered.addRandom(2, 100, 500.0f, 2.0f);
    Mesh strip;  // a blob and a long thin strip
    strip.addRandom(3, 2000, 5.0f, 1.0f);
    for (int i = 0; i < 500; ++i) {
        const float x = 10.0f + static_cast<float>(i) * 2.0f;
        strip.add(Vec3(x, 0, 0), Vec3(x + 1, 0, 0), Vec3(x, 1, 0));
    }
    for (const Mesh* mesh : {&clustered, &strip}) {
        const auto sah = buildVolumeTree(mesh->vertices, mesh->triangles);
        expectSound(*mesh, sah);
        EXPECT_LT(mesh->measure(sah).sahCost, mesh->measure(medianTree(*mesh)).sahCost * 0.9);
    }
}

TEST(TreeBuilder, CoincidentAndHostileTrianglesStillGiveSoundTrees) {
    Mesh same;  // no centroid differs: split in halves, depth log2(1024) + 1
    for (int i = 0; i < 1024; ++i) {
        same.add(Vec3(1, 2, 3), Vec3(4, 5, 6), Vec3(1, 5, 3));
    }
    const auto tree = buildVolumeTree(same.vertices, same.triangles);
    expectSound(same, tree);
    EXPECT_EQ(same.measure(tree).depth, 11u);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Mesh hostile;
    hostile.addRandom(9, 200, 10.0f, 1.0f);
    hostile.add(Vec3(nan, nan, nan), Vec3(nan, 0, 0), Vec3(0, nan, 0));
    hostile.add(Vec3(inf, 0, 0), Vec3(0, -inf, 0), Vec3(0, 0, 0));
    hostile.add(Vec3(3e38f, 3e38f, 0), Vec3(-3e38f, 3e38f, 0), Vec3(0, -3e38f, 0));
    const auto hostileTree = buildVolumeTree(hostile.vertices, hostile.triangles);
    ASSERT_TRUE(isCompletePreorder(hostileTree));
    const TreeStats stats = hostile.measure(hostileTree);
    EXPECT_EQ(stats.leaves, 203u);
    EXPECT_EQ(stats.unnamedTriangles, 0u);
    // None of the three can be met on its face (the last one's normal overflows).
    EXPECT_EQ(stats.degenerateTriangles, 3u);
}

// Boxes must enclose as the query computes bounds: centre -/+ half in float.
TEST(EnclosingBox, HoldsItsBoundsAfterFloatRounding) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> exponent(-15.0f, 19.0f);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int i = 0; i < 100'000; ++i) {
        const float a = unit(random) * std::pow(10.0f, exponent(random));
        const float b = a + std::fabs(unit(random)) * std::pow(10.0f, exponent(random));
        Vec3 centre;
        Vec3 half;
        enclosingBox(Vec3(a, a, a), Vec3(b, b, b), centre, half);
        ASSERT_LE(centre.x - half.x, a) << a << " " << b;
        ASSERT_GE(centre.x + half.x, b) << a << " " << b;
    }
    Vec3 centre;
    Vec3 half;
    enclosingBox(Vec3(-3.4e38f, 0, 0), Vec3(3.4e38f, 0, 0), centre, half);  // no overflow
    EXPECT_LE(centre.x - half.x, -3.4e38f);
}

TEST(PreorderTree, LinksFlattensAndRefusesIncompleteArrays) {
    Mesh mesh;
    mesh.addRandom(6, 50, 10.0f, 1.0f);
    const auto tree = buildVolumeTree(mesh.vertices, mesh.triangles);
    VolumeNode* root = linkTree(tree);
    ASSERT_NE(root, nullptr);
    const auto again = flattenTree(*root);
    destroyTree(root);
    ASSERT_EQ(again.size(), tree.size());
    EXPECT_EQ(std::memcmp(again.data(), tree.data(), tree.size() * sizeof(PreorderNode)), 0);
    CollisionMesh pooled;  // the reader's layout: one allocation, pre-order
    pooled.root = linkTreeInPool(tree, pooled.nodePool);
    ASSERT_EQ(pooled.root, &pooled.nodePool[0]);
    const auto fromPool = flattenTree(*pooled.root);
    EXPECT_EQ(std::memcmp(fromPool.data(), tree.data(), tree.size() * sizeof(PreorderNode)), 0);
    const PreorderNode inner;
    const PreorderNode leaf{{}, {}, 0};
    EXPECT_EQ(linkTreeInPool({inner, leaf}, pooled.nodePool), nullptr);
    EXPECT_TRUE(pooled.nodePool.empty());
    pooled.root = nullptr;
    EXPECT_EQ(linkTree({}), nullptr);
    EXPECT_EQ(linkTree({inner, leaf}), nullptr);  // second child missing
    EXPECT_EQ(linkTree({leaf, leaf}), nullptr);   // a node after the tree
    EXPECT_TRUE(isCompletePreorder({inner, inner, leaf, leaf, leaf}));
}

TEST(TreeStats, OfAHandMadeTree) {
    Mesh mesh;
    mesh.add(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0));
    mesh.add(Vec3(5, 5, 5), Vec3(6, 5, 5), Vec3(5, 6, 5));  // named by no leaf
    mesh.add(Vec3(0, 0, 0), Vec3(1, 1, 1), Vec3(2, 2, 2));  // no area, named by no leaf
    const PreorderNode root{{3, 3, 3}, {3, 3, 3}, NO_TRIANGLE};
    const PreorderNode first{{3, 3, 3}, {3, 3, 3}, 0};
    const PreorderNode second{{0, 0, 0}, {0.5f, 0.5f, 0.5f}, 0};  // too small for triangle 0
    const TreeStats stats = mesh.measure({root, first, second});
    EXPECT_EQ(stats.nodes, 3u);
    EXPECT_EQ(stats.depth, 2u);
    EXPECT_DOUBLE_EQ(stats.sahCost, 1.0 + 1.0 + 1.0 / 36.0);
    EXPECT_EQ(stats.nonEnclosingBoxes, 1u);
    EXPECT_EQ(stats.unnamedTriangles, 2u);
    EXPECT_EQ(stats.multiplyNamedTriangles, 1u);
    EXPECT_EQ(stats.degenerateTriangles, 1u);
    EXPECT_EQ(stats.boundsMax, Vec3(6, 6, 5));
}

}  // namespace
