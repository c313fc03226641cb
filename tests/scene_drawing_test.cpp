#include <gtest/gtest.h>

#include <GL/gl.h>

#include "render/box_tables.h"
#include "render/scene_drawing.h"
#include "support/gl_recorder.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

using Args = std::vector<double>;
const std::string LEAF = " glBegin glColor4f glVertex3fv glVertex3fv glVertex3fv glEnd";

// An inner node (box centre (10,0,0), half-extents (1,2,3)) over leaves
// naming triangle 1, then triangle 0.
class SceneDrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        glCalls.clear();
        contactState = ContactState{};
        sceneListReady = false;
        sceneList = 7;
        scene.vertices = {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 1)};
        scene.triangles = {meshTriangle(0, 1, 2), meshTriangle(3, 2, 1)};
        scene.root = new VolumeNode();
        scene.root->box = NodeBox(Vec3(10, 0, 0), Vec3(1, 2, 3));
        scene.root->left = new VolumeNode();
        scene.root->left->triangle = 1;
        scene.root->left->box = NodeBox(Vec3(1, 1, 1), Vec3(0, 0, 0));
        scene.root->right = new VolumeNode();
        scene.root->right->triangle = 0;
    }
    CollisionMesh scene;
};

TEST_F(SceneDrawingTest, TheDisplayListHoldsTheEmptyRedBatchThenABlueBatchPerLeaf) {
    drawScene(scene, 0);
    ASSERT_EQ(callNames(), "glColor4f glBegin glEnd" + LEAF + LEAF);
    EXPECT_EQ(glCalls[0].args, (Args{1, 0, 0, 0.5f}));
    EXPECT_EQ(glCalls[1].args, Args{GL_TRIANGLES});
    EXPECT_EQ(glCalls[4].args, (Args{0, 0, 0.75f, 0.1f}));
    EXPECT_EQ(glCalls[5].args, (Args{0, 0, 1}));   // triangle 1 first: vertices 3, 2, 1
    EXPECT_EQ(glCalls[11].args, (Args{0, 0, 0}));  // then triangle 0
}

TEST_F(SceneDrawingTest, HitsAreDrawnInRedSkippingMinusOneAndRepeatingDuplicates) {
    sceneListReady = true;
    contactState.hitTriangles = {-1, 0, 0, 1, 99};
    drawScene(scene, 0);  // mode 0: no box colour, no matrices
    std::string vertices;
    for (int i = 0; i < 9; ++i) {
        vertices += " glVertex3fv";
    }
    EXPECT_EQ(callNames(), "glColor4f glBegin" + vertices + " glEnd glCallList");
    EXPECT_EQ(glCalls[5].args, (Args{0, 0, 0}));
    EXPECT_EQ(glCalls[8].args, (Args{0, 0, 1}));
    EXPECT_EQ(glCalls.back().args, Args{7});
}

// Mode 4 walks (push, translate, pop per node in pre-order) and draws nothing;
// 1 draws the eight corners, 2 the twelve edges, 3 the six faces, scaled by
// the half-extents; any other mode draws as 4.
TEST_F(SceneDrawingTest, BoxModesPerNode) {
    sceneListReady = true;
    drawScene(scene, 4);
    EXPECT_EQ(callsNamed("glTranslatef")[1].args, (Args{1, 1, 1}));
    EXPECT_EQ(callsNamed("glColor4f")[1].args, (Args{0.75f, 0.75f, 0, 0.01f}));
    EXPECT_EQ(callsNamed("glVertex3fv").size(), 0u);
    for (const auto& [mode, kind, batches, vertex, corner] :
         {std::tuple{1, GL_POINTS, 1u, 2, 2}, {2, GL_LINES, 12u, 2, BOX_EDGES[1][0]},
          {3, GL_QUADS, 6u, 4, BOX_FACES[1][0]}, {9, 0, 0u, 0, 0}}) {
        glCalls.clear();
        drawNodeBox(scene.root->box, mode);
        EXPECT_EQ(callsNamed("glTranslatef")[0].args, (Args{10, 0, 0}));
        ASSERT_EQ(callsNamed("glBegin").size(), batches);
        const auto vertices = callsNamed("glVertex3fv");
        ASSERT_EQ(vertices.size(), mode == 9 ? 0u : mode == 1 ? 8u : 24u);
        if (batches > 0) {
            EXPECT_EQ(callsNamed("glBegin")[0].args, Args{double(kind)});
            const Vec3 c = componentProduct(BOX_CORNERS[corner], Vec3(1, 2, 3));
            EXPECT_EQ(vertices[vertex].args, (Args{c.x, c.y, c.z}));
        }
    }
}

TEST(SceneDrawingDepth, AFiftyThousandLevelChainIsDrawnWithoutRecursion) {
    glCalls.clear();
    sceneListReady = true;
    drawScene(*chainScene(50'000), 4);
    EXPECT_EQ(callsNamed("glPushMatrix").size(), 100'001u);
    glCalls.clear();
}

}  // namespace
