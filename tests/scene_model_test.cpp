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
void logAndFree(void* p) {
    if (logFrees && p != nullptr && freedCount < 64) {
        freedLog[freedCount++] = p;
    }
    std::free(p);
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { logAndFree(p); }
void operator delete(void* p, std::size_t) noexcept { logAndFree(p); }

namespace {

TEST(SceneModel, NewNodesAndBoxes) {
    const VolumeNode node;
    EXPECT_EQ(node.left, nullptr);
    EXPECT_EQ(node.triangle, NO_TRIANGLE);
    EXPECT_EQ(node.box.halfExtents, Vec3());
    EXPECT_EQ(node.box.boundsValid, 0);

    NodeBox box(Vec3(1, 2, 3), Vec3(0.5f, 1, 2));
    box.updateBounds();
    EXPECT_EQ(box.boundsMin, Vec3(0.5f, 1, 1));
    EXPECT_EQ(box.boundsMax, Vec3(1.5f, 3, 5));
    EXPECT_EQ(box.boundsValid, 1);
    NodeBox copy{zeroVector, zeroVector};
    copy = box;  // the cache travels with the copy
    EXPECT_EQ(copy.boundsValid, 1);
}

TEST(SceneDestruction, FreesEveryNodeOnceChildrenFirstLeftBeforeRight) {
    auto* root = new VolumeNode();
    auto* left = root->left = new VolumeNode();
    auto* right = root->right = new VolumeNode();
    auto* leftLeft = left->left = new VolumeNode();
    auto* leftRight = left->right = new VolumeNode();
    freedCount = 0;
    logFrees = true;
    destroyTree(root);
    destroyTree(nullptr);
    logFrees = false;
    const std::vector<const void*> freed(freedLog, freedLog + freedCount);
    EXPECT_EQ(freed, (std::vector<const void*>{leftLeft, leftRight, left, right, root}));
}

TEST(SceneDestruction, ADeepChainIsFreedWithoutRecursion) {
    // Two million levels would exhaust any thread stack with a frame per level.
    chainScene(2'000'000).reset();
}

}  // namespace
