#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <utility>

#include "scene/compiled_tree.h"
#include "scene/scene_builder.h"
#include "scene/tree_builder.h"
#include "scene/tree_stats.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

struct Mesh {
    std::vector<Vec3> vertices;
    std::vector<MeshTriangle> triangles;
    void add(Vec3 a, Vec3 b, Vec3 c) {
        const auto base = static_cast<std::int32_t>(vertices.size());
        vertices.insert(vertices.end(), {a, b, c});
        triangles.push_back(meshTriangle(base, base + 1, base + 2));
    }
    Mesh& addRandom(std::uint32_t seed, int count, float spread, float size) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        auto point = [&] { return Vec3(u(random), u(random), u(random)); };
        for (int i = 0; i < count; ++i) {
            const Vec3 a = point() * spread;
            add(a, a + point() * size, a + point() * size);
        }
        return *this;
    }
    TreeStats expectSound() const {
        const auto tree = buildVolumeTree(vertices, triangles);
        EXPECT_TRUE(isCompletePreorder(tree));
        const TreeStats stats = measureTree(vertices, triangles, tree);
        EXPECT_EQ(stats.leaves, triangles.size());
        EXPECT_EQ(stats.nonEnclosingBoxes, 0u);
        EXPECT_EQ(stats.unnamedTriangles + stats.multiplyNamedTriangles, 0u);
        return stats;
    }
};

TEST(TreeBuilder, RandomMeshesGiveSoundTrees) {
    for (int count : {1, 2, 3, 17, 20000}) {
        Mesh().addRandom(static_cast<std::uint32_t>(count), count, 100.0f, 3.0f).expectSound();
    }
    EXPECT_TRUE(buildVolumeTree({}, {}).empty());
}

// Hostile coordinates (non-numbers, infinities, overflowing normals) reach
// the builder through the sweep fuzzer, which runs it on every input.
TEST(TreeBuilder, CoincidentTrianglesStillGiveSoundTrees) {
    Mesh same;  // no centroid differs: split in halves, depth log2(1024) + 1
    for (int i = 0; i < 1024; ++i) {
        same.add(Vec3(1, 2, 3), Vec3(4, 5, 6), Vec3(1, 5, 3));
    }
    EXPECT_EQ(same.expectSound().depth, 11u);
}

// Boxes must enclose as the query computes bounds: centre -/+ half in float.
TEST(TreeBuilder, EnclosingBoxHoldsItsBoundsAfterFloatRounding) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> exponent(-15.0f, 19.0f);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    Vec3 centre;
    Vec3 half;
    for (int i = 0; i < 100'000; ++i) {
        const float a = unit(random) * std::pow(10.0f, exponent(random));
        const float b = a + std::fabs(unit(random)) * std::pow(10.0f, exponent(random));
        enclosingBox(Vec3(a, a, a), Vec3(b, b, b), centre, half);
        ASSERT_TRUE(centre.x - half.x <= a && centre.x + half.x >= b) << a << " " << b;
    }
    enclosingBox(Vec3(-3.4e38f, 0, 0), Vec3(3.4e38f, 0, 0), centre, half);  // no overflow
    EXPECT_LE(centre.x - half.x, -3.4e38f);
}

// An engine's scene from memory: the builder's tree, ready for threads, and
// refused when an index is out of range.
// The split of least surface cost: of three triangles in the plane y = 0
// along x (their boxes' centres in one bin each), the one reaching from 1 to
// 8 goes with the one at 0 (half-areas 8 twice and 0.5: 16.5) rather than
// with the one at 10 (0.5 and 9.5 twice: 19.5), leaving the one at 10 alone.
TEST(TreeBuilder, SplitsWhereTheSurfaceCostIsLeast) {
    const auto scene = buildScene({{0, 0, 0}, {0.5f, 0, 0}, {0, 0, 1}, {1, 0, 0}, {8, 0, 0}, {8, 0, 1},
                                   {10, 0, 0}, {10.5f, 0, 0}, {10, 0, 1}},
                                  {meshTriangle(0, 1, 2), meshTriangle(3, 4, 5), meshTriangle(6, 7, 8)});
    const VolumeNode* root = scene->root;
    ASSERT_NE(root->left, nullptr);
    EXPECT_EQ((root->left->left == nullptr ? root->left : root->right)->triangle, 2);
}

TEST(SceneBuilder, BuildsFromArraysAndRefusesBadIndices) {
    Mesh mesh;
    mesh.addRandom(4, 100, 10.0f, 1.0f);
    const auto scene = buildCollisionMesh(mesh.vertices, mesh.triangles);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(measureTree(scene->vertices, scene->triangles, flattenTree(*scene->root)).leaves,
              100u);
    ASSERT_NE(scene->compiled, nullptr);
    EXPECT_TRUE(checkCompiledTree(*scene->compiled, scene->triangles.size()));
    EXPECT_FALSE(scene->compiled->wide.empty());
    // A non-number position is kept; the wide form's quick box tests need
    // finite bounds, so the scene is walked in the binary form.
    Mesh withNaN = mesh;
    for (const std::int32_t corner : {mesh.triangles[0].vertex0, mesh.triangles[0].vertex1, mesh.triangles[0].vertex2}) {
        withNaN.vertices[static_cast<std::size_t>(corner)].x = std::numeric_limits<float>::quiet_NaN();
    }
    EXPECT_TRUE(buildCollisionMesh(withNaN.vertices, withNaN.triangles)->compiled->wide.empty());
    EXPECT_EQ(buildCollisionMesh({}, {})->root, nullptr);
    std::string why;
    mesh.triangles[7].vertex1 = 300;
    EXPECT_EQ(buildCollisionMesh(mesh.vertices, mesh.triangles, &why), nullptr);
    EXPECT_EQ(why, "triangle 7 names vertex 300 of 300");
}

// Freed without recursion (a frame per level would exhaust any thread stack);
// the sanitizer build checks that every node is freed exactly once.
TEST(SceneModel, ADeepChainIsFreedWithoutRecursion) { chainScene(2'000'000).reset(); }

TEST(TreeStats, OfAHandMadeTree) {
    Mesh mesh;
    mesh.add(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0));
    mesh.add(Vec3(5, 5, 5), Vec3(6, 5, 5), Vec3(5, 6, 5));  // named by no leaf
    mesh.add(Vec3(0, 0, 0), Vec3(1, 1, 1), Vec3(2, 2, 2));  // no area, named by no leaf
    const PreorderNode root{{3, 3, 3}, {3, 3, 3}, NO_TRIANGLE};
    const PreorderNode first{{3, 3, 3}, {3, 3, 3}, 0};
    const PreorderNode second{{0, 0, 0}, {0.5f, 0.5f, 0.5f}, 0};  // too small for triangle 0
    const TreeStats stats = measureTree(mesh.vertices, mesh.triangles, {root, first, second});
    EXPECT_DOUBLE_EQ(stats.sahCost, 1.0 + 1.0 + 1.0 / 36.0);
    EXPECT_EQ(stats.nonEnclosingBoxes, 1u);
    EXPECT_EQ(stats.unnamedTriangles, 2u);
    EXPECT_EQ(stats.multiplyNamedTriangles, 1u);
    EXPECT_EQ(stats.degenerateTriangles, 1u);
    EXPECT_EQ(stats.boundsMax, Vec3(6, 6, 5));
}

}  // namespace

TEST(CompiledTreeCheck, NamesEachBrokenInvariant) {
    const auto scene = randomScene(5, 50, 10.0f, 2.0f);
    const CompiledTree& good = *scene->compiled;
    const std::size_t count = scene->triangles.size();
    ASSERT_TRUE(checkCompiledTree(good, count));
    const auto broken = [&](auto&& change) {
        CompiledTree tree = good;
        change(tree);
        std::string why;
        return checkCompiledTree(tree, count, &why) ? std::string() : why;
    };
    EXPECT_NE(broken([](CompiledTree& t) { t.nodes[0].secondChild = 1u << 30; }), "");
    EXPECT_NE(broken([](CompiledTree& t) { t.nodes[0].boundsMax.x -= 5.0f; }), "");
    EXPECT_NE(broken([](CompiledTree& t) { t.triangles.pop_back(); }), "");
    EXPECT_NE(broken([](CompiledTree& t) { t.largestCoordinate *= 2.0f; }), "");
    EXPECT_NE(broken([](CompiledTree& t) {
                  std::swap(t.triangles[0].sceneTriangle, t.triangles[1].sceneTriangle);
              }),
              "");
    EXPECT_NE(broken([&](CompiledTree& t) {
                  for (CompiledNode& n : t.nodes) {
                      n.triangle = n.triangle >= 0 ? static_cast<std::int32_t>(count) : n.triangle;
                  }
              }),
              "");
}
