#include <gtest/gtest.h>

#include "scene/collision_mesh.h"
#include "support/test_scenes.h"

namespace {

TEST(SceneModel, BoxesStartWithoutBoundsAndFillThemFromCentreAndHalfExtents) {
    const VolumeNode node;
    EXPECT_EQ(node.triangle, NO_TRIANGLE);
    EXPECT_EQ(node.box.boundsValid, 0);
    NodeBox box(Vec3(1, 2, 3), Vec3(0.5f, 1, 2));
    box.updateBounds();
    EXPECT_EQ(box.boundsMin, Vec3(0.5f, 1, 1));
    EXPECT_EQ(box.boundsMax, Vec3(1.5f, 3, 5));
    EXPECT_EQ(box.boundsValid, 1);
}

// Freed without recursion (a frame per level would exhaust any thread stack);
// the sanitizer build checks that every node is freed exactly once.
TEST(SceneModel, ADeepChainIsFreedWithoutRecursion) {
    chainScene(2'000'000).reset();
    auto* root = new VolumeNode();
    root->left = new VolumeNode();
    root->right = new VolumeNode();
    root->left->right = new VolumeNode();  // one child only: still freed
    destroyTree(root);
}

}  // namespace
