#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "scene/collision_mesh.h"
#include "support/test_scenes.h"

// Frees are logged through a replaced global operator delete, into a fixed
// array (a growing container would allocate inside delete).
namespace {
bool logFrees = false;
const void* freedLog[64];
std::size_t freedCount = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
namespace {
void logAndFree(void* p) {
    if (logFrees && p != nullptr && freedCount < 64) {
        freedLog[freedCount++] = p;
    }
    std::free(p);
}
}  // namespace
void operator delete(void* p) noexcept {
    logAndFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    logAndFree(p);
}

namespace {

void expectVec(const Vec3& actual, float x, float y, float z) {
    EXPECT_EQ(actual.x, x);
    EXPECT_EQ(actual.y, y);
    EXPECT_EQ(actual.z, z);
}

TEST(SceneModel, NewObjectsAreEmpty) {
    CollisionMesh mesh;
    EXPECT_EQ(mesh.root, nullptr);
    EXPECT_TRUE(mesh.vertices.empty() && mesh.auxVectors.empty() && mesh.triangles.empty());

    VolumeNode node;
    EXPECT_EQ(node.left, nullptr);
    EXPECT_EQ(node.right, nullptr);
    EXPECT_EQ(node.triangle, NO_TRIANGLE);
    EXPECT_EQ(NO_TRIANGLE, -1);
    expectVec(node.box.centre, 0, 0, 0);
    expectVec(node.box.halfExtents, 0, 0, 0);
    expectVec(node.box.boundsMin, 0, 0, 0);
    expectVec(node.box.boundsMax, 0, 0, 0);
    EXPECT_EQ(node.box.boundsValid, 0);
}

TEST(NodeBoxBounds, AreCentreMinusAndPlusHalfExtents) {
    NodeBox box(Vec3(1, 2, 3), Vec3(0.5f, 1, 2));
    EXPECT_EQ(box.boundsValid, 0);
    expectVec(box.boundsMin, 0, 0, 0);
    box.updateBounds();
    expectVec(box.boundsMin, 0.5f, 1, 1);
    expectVec(box.boundsMax, 1.5f, 3, 5);
    EXPECT_EQ(box.boundsValid, 1);
    box.updateBounds();
    expectVec(box.boundsMin, 0.5f, 1, 1);

    NodeBox flat(Vec3(-4, 7, 9), Vec3(0, 0, 0));
    flat.updateBounds();
    expectVec(flat.boundsMin, -4, 7, 9);
    expectVec(flat.boundsMax, -4, 7, 9);

    NodeBox copy{zeroVector, zeroVector};
    copy = box;  // the cache travels with the copy
    EXPECT_EQ(copy.boundsValid, 1);
    expectVec(copy.boundsMax, 1.5f, 3, 5);
}

TEST(SceneDestruction, FreesEveryNodeOnceChildrenFirstLeftBeforeRight) {
    auto* root = new VolumeNode();
    auto* left = new VolumeNode();
    auto* right = new VolumeNode();
    auto* leftLeft = new VolumeNode();
    auto* leftRight = new VolumeNode();
    root->left = left;
    root->right = right;
    left->left = leftLeft;
    left->right = leftRight;

    freedCount = 0;
    logFrees = true;
    destroyTree(root);
    destroyTree(nullptr);
    logFrees = false;
    const std::vector<const void*> freed(freedLog, freedLog + freedCount);
    const std::vector<const void*> postOrder{leftLeft, leftRight, left, right, root};
    EXPECT_EQ(freed, postOrder);
}

TEST(SceneDestruction, DeepChainIsFreedWithoutRecursion) {
    // 2 million levels would exhaust any thread stack with one frame per level.
    auto scene = chainScene(2'000'000);
    ASSERT_NE(scene->root, nullptr);
    scene.reset();
}

}  // namespace
