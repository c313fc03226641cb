#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
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
};

Mesh randomMesh(std::uint32_t seed, int count, float spread, float size) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    Mesh mesh;
    for (int i = 0; i < count; ++i) {
        const Vec3 a(unit(random) * spread, unit(random) * spread, unit(random) * spread);
        mesh.add(a, a + Vec3(unit(random), unit(random), unit(random)) * size,
                 a + Vec3(unit(random), unit(random), unit(random)) * size);
    }
    return mesh;
}

// The reference: split at the median centroid along the longest axis, always.
std::vector<PreorderNode> medianTree(const Mesh& mesh) {
    std::vector<std::uint32_t> ids(mesh.triangles.size());
    for (std::uint32_t i = 0; i < ids.size(); ++i) {
        ids[i] = i;
    }
    auto centroid = [&](std::uint32_t id, int axis) {
        const MeshTriangle& t = mesh.triangles[id];
        return component(mesh.vertices[t.vertex0] + mesh.vertices[t.vertex1] + mesh.vertices[t.vertex2],
                         axis);
    };
    std::vector<PreorderNode> nodes;
    std::vector<std::pair<std::size_t, std::size_t>> pending{{0, ids.size()}};
    while (!pending.empty()) {
        auto [begin, end] = pending.back();
        pending.pop_back();
        Vec3 lo(INFINITY, INFINITY, INFINITY), hi(-INFINITY, -INFINITY, -INFINITY);
        for (std::size_t i = begin; i < end; ++i) {
            const MeshTriangle& t = mesh.triangles[ids[i]];
            for (std::int32_t v : {t.vertex0, t.vertex1, t.vertex2}) {
                const Vec3& p = mesh.vertices[v];
                lo = Vec3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
                hi = Vec3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
            }
        }
        PreorderNode node;
        enclosingBox(lo, hi, node.centre, node.halfExtents);
        if (end - begin == 1) {
            node.triangle = static_cast<std::int32_t>(ids[begin]);
            nodes.push_back(node);
            continue;
        }
        nodes.push_back(node);
        const Vec3 size = hi - lo;
        const int axis = size.x >= size.y && size.x >= size.z ? 0 : (size.y >= size.z ? 1 : 2);
        const std::size_t middle = begin + (end - begin) / 2;
        std::nth_element(ids.begin() + begin, ids.begin() + middle, ids.begin() + end,
                         [&](auto a, auto b) { return centroid(a, axis) < centroid(b, axis); });
        pending.push_back({middle, end});
        pending.push_back({begin, middle});
    }
    return nodes;
}

void expectSoundTree(const Mesh& mesh, const std::vector<PreorderNode>& tree) {
    ASSERT_TRUE(isCompletePreorder(tree));
    const TreeStats stats = measureTree(mesh.vertices, mesh.triangles, tree);
    EXPECT_EQ(stats.leaves, mesh.triangles.size());
    EXPECT_EQ(stats.nodes, 2 * mesh.triangles.size() - 1);
    EXPECT_EQ(stats.nonEnclosingBoxes, 0u);
    EXPECT_EQ(stats.unnamedTriangles, 0u);
    EXPECT_EQ(stats.multiplyNamedTriangles, 0u);
}

TEST(TreeBuilder, RandomMeshesGiveSoundTrees) {
    for (int count : {1, 2, 3, 17, 1000, 20000}) {
        SCOPED_TRACE(count);
        const Mesh mesh = randomMesh(static_cast<std::uint32_t>(count), count, 100.0f, 3.0f);
        expectSoundTree(mesh, buildVolumeTree(mesh.vertices, mesh.triangles));
    }
    EXPECT_TRUE(buildVolumeTree({}, {}).empty());
}

TEST(TreeBuilder, SurfaceAreaHeuristicBeatsTheMedianOnSkewedMeshes) {
    // A dense cluster and a few far-flung triangles; a long thin strip with a blob.
    Mesh clustered = randomMesh(1, 3000, 2.0f, 0.5f);
    const Mesh far = randomMesh(2, 100, 500.0f, 2.0f);
    for (const MeshTriangle& t : far.triangles) {
        clustered.add(far.vertices[t.vertex0], far.vertices[t.vertex1], far.vertices[t.vertex2]);
    }
    Mesh strip = randomMesh(3, 2000, 5.0f, 1.0f);
    for (int i = 0; i < 500; ++i) {
        const float x = 10.0f + static_cast<float>(i) * 2.0f;
        strip.add(Vec3(x, 0, 0), Vec3(x + 1, 0, 0), Vec3(x, 1, 0));
    }
    for (const Mesh* mesh : {&clustered, &strip}) {
        const std::vector<PreorderNode> sah = buildVolumeTree(mesh->vertices, mesh->triangles);
        expectSoundTree(*mesh, sah);
        const double sahCost = measureTree(mesh->vertices, mesh->triangles, sah).sahCost;
        const double medianCost =
            measureTree(mesh->vertices, mesh->triangles, medianTree(*mesh)).sahCost;
        EXPECT_LT(sahCost, medianCost * 0.9) << sahCost << " vs " << medianCost;
    }
}

TEST(TreeBuilder, CoincidentAndNonNumberTrianglesStillGiveBalancedSoundTrees) {
    Mesh same;
    for (int i = 0; i < 1024; ++i) {
        same.add(Vec3(1, 2, 3), Vec3(4, 5, 6), Vec3(1, 5, 3));
    }
    const auto tree = buildVolumeTree(same.vertices, same.triangles);
    expectSoundTree(same, tree);
    EXPECT_EQ(measureTree(same.vertices, same.triangles, tree).depth, 11u);  // split in halves

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Mesh hostile = randomMesh(9, 200, 10.0f, 1.0f);
    hostile.add(Vec3(nan, nan, nan), Vec3(nan, 0, 0), Vec3(0, nan, 0));
    hostile.add(Vec3(inf, 0, 0), Vec3(0, -inf, 0), Vec3(0, 0, 0));
    hostile.add(Vec3(3e38f, 3e38f, 0), Vec3(-3e38f, 3e38f, 0), Vec3(0, -3e38f, 0));
    hostile.add(Vec3(1, 1, 1), Vec3(1, 1, 1), Vec3(1, 1, 1));
    const auto hostileTree = buildVolumeTree(hostile.vertices, hostile.triangles);
    ASSERT_TRUE(isCompletePreorder(hostileTree));
    const TreeStats stats = measureTree(hostile.vertices, hostile.triangles, hostileTree);
    EXPECT_EQ(stats.leaves, 204u);
    EXPECT_EQ(stats.unnamedTriangles, 0u);
    // The non-number, infinite and point triangles, and the huge one whose
    // normal overflows float: none of them can be met on its face.
    EXPECT_EQ(stats.degenerateTriangles, 4u);
}

TEST(TreeBuilder, ProgressRunsUpToOne) {
    const Mesh mesh = randomMesh(4, 200'000, 100.0f, 1.0f);
    std::vector<double> reports;
    buildVolumeTree(mesh.vertices, mesh.triangles, [&](double share) { reports.push_back(share); });
    ASSERT_GE(reports.size(), 3u);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), 1.0);
}

// Boxes must enclose exactly as the query computes bounds, in float.
TEST(EnclosingBox, HoldsItsBoundsAfterFloatRounding) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> exponent(-30.0f, 38.0f);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int i = 0; i < 100'000; ++i) {
        const float a = unit(random) * std::pow(10.0f, exponent(random) / 2.0f);
        const float b = a + std::fabs(unit(random)) * std::pow(10.0f, exponent(random) / 2.0f);
        Vec3 centre;
        Vec3 half;
        enclosingBox(Vec3(a, a, a), Vec3(b, b, b), centre, half);
        ASSERT_LE(centre.x - half.x, a) << a << " " << b;
        ASSERT_GE(centre.x + half.x, b) << a << " " << b;
    }
    Vec3 centre;
    Vec3 half;
    enclosingBox(Vec3(-3.4e38f, 0, 0), Vec3(3.4e38f, 0, 0), centre, half);
    EXPECT_TRUE(std::isfinite(centre.x));
    EXPECT_LE(centre.x - half.x, -3.4e38f);
}

TEST(PreorderTree, LinksFlattensAndRefusesIncompleteArrays) {
    const Mesh mesh = randomMesh(6, 50, 10.0f, 1.0f);
    const auto tree = buildVolumeTree(mesh.vertices, mesh.triangles);
    VolumeNode* root = linkTree(tree);
    ASSERT_NE(root, nullptr);
    const auto again = flattenTree(*root);
    destroyTree(root);
    ASSERT_EQ(again.size(), tree.size());
    for (std::size_t i = 0; i < tree.size(); ++i) {
        ASSERT_EQ(again[i].triangle, tree[i].triangle);
        ASSERT_EQ(again[i].centre, tree[i].centre);
    }
    const PreorderNode inner;
    PreorderNode leaf;
    leaf.triangle = 0;
    EXPECT_EQ(linkTree({}), nullptr);
    EXPECT_EQ(linkTree({inner, leaf}), nullptr);        // second child missing
    EXPECT_EQ(linkTree({leaf, leaf}), nullptr);         // a node after the tree
    EXPECT_EQ(linkTree({inner, inner, leaf, leaf}), nullptr);
    EXPECT_TRUE(isCompletePreorder({inner, inner, leaf, leaf, leaf}));
}

TEST(TreeStats, DepthCostAndTheChecksOfAHandMadeTree) {
    Mesh mesh;
    mesh.add(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0));
    mesh.add(Vec3(5, 5, 5), Vec3(6, 5, 5), Vec3(5, 6, 5));
    mesh.add(Vec3(0, 0, 0), Vec3(1, 1, 1), Vec3(2, 2, 2));  // no area, named by no leaf
    PreorderNode root;
    root.centre = Vec3(3, 3, 3);
    root.halfExtents = Vec3(3, 3, 3);
    PreorderNode first = root;
    first.triangle = 0;
    PreorderNode second = root;
    second.triangle = 0;
    second.centre = Vec3(0, 0, 0);
    second.halfExtents = Vec3(0.5f, 0.5f, 0.5f);  // too small for triangle 0
    const TreeStats stats = measureTree(mesh.vertices, mesh.triangles, {root, first, second});
    EXPECT_EQ(stats.nodes, 3u);
    EXPECT_EQ(stats.leaves, 2u);
    EXPECT_EQ(stats.depth, 2u);
    EXPECT_DOUBLE_EQ(stats.sahCost, 1.0 + 1.0 + 1.0 / 36.0);
    EXPECT_EQ(stats.nonEnclosingBoxes, 1u);
    EXPECT_EQ(stats.unnamedTriangles, 2u);
    EXPECT_EQ(stats.multiplyNamedTriangles, 1u);
    EXPECT_EQ(stats.degenerateTriangles, 1u);
    EXPECT_EQ(stats.boundsMin, Vec3(0, 0, 0));
    EXPECT_EQ(stats.boundsMax, Vec3(6, 6, 5));
}

}  // namespace
