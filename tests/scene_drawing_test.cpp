#include <gtest/gtest.h>

#include <GL/gl.h>

#include "collision/contact_state.h"
#include "render/box_tables.h"
#include "render/scene_drawing.h"
#include "support/gl_recorder.h"
#include "support/test_scenes.h"

namespace {

using Args = std::vector<double>;

// Two leaves under one inner node: triangle 1 first, then triangle 0.
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
        scene.root->right->box = NodeBox(Vec3(2, 2, 2), Vec3(1, 1, 1));
    }
    CollisionMesh scene;
};

const Args RED{1, 0, 0, 0.5f};
const Args BLUE{0, 0, 0.75f, 0.1f};
const Args YELLOW{0.75f, 0.75f, 0, 0.01f};

TEST_F(SceneDrawingTest, StartUpRecordsTheRedBatchAndOneBlueBatchPerLeafInPreOrder) {
    drawScene(scene, 0);
    const std::vector<std::string> expected{
        "glColor4f", "glBegin",   "glEnd",                                               // hits
        "glBegin",   "glColor4f", "glVertex3fv", "glVertex3fv", "glVertex3fv", "glEnd",  // leaf 1
        "glBegin",   "glColor4f", "glVertex3fv", "glVertex3fv", "glVertex3fv", "glEnd",  // leaf 0
    };
    ASSERT_EQ(callNames(), expected);
    EXPECT_EQ(glCalls[0].args, RED);
    EXPECT_EQ(glCalls[1].args, Args{GL_TRIANGLES});
    EXPECT_EQ(glCalls[4].args, BLUE);
    EXPECT_EQ(glCalls[5].args, (Args{0, 0, 1}));  // triangle 1 = vertices 3, 2, 1
    EXPECT_EQ(glCalls[6].args, (Args{0, 1, 0}));
    EXPECT_EQ(glCalls[7].args, (Args{1, 0, 0}));
    EXPECT_EQ(glCalls[11].args, (Args{0, 0, 0}));  // triangle 0 = vertices 0, 1, 2
}

TEST_F(SceneDrawingTest, ModeZeroAfterStartUpDrawsOnlyTheHitsAndTheList) {
    sceneListReady = true;
    drawScene(scene, 0);
    ASSERT_EQ(callNames(),
              (std::vector<std::string>{"glColor4f", "glBegin", "glEnd", "glCallList"}));
    EXPECT_EQ(glCalls[3].args, Args{7});
}

TEST_F(SceneDrawingTest, HitEntriesMinusOneAreSkippedAndDuplicatesDrawnTwice) {
    sceneListReady = true;
    contactState.hitTriangles = {-1, 0, 0, 1, 99};
    drawScene(scene, 0);
    const auto vertices = callsNamed("glVertex3fv");
    ASSERT_EQ(vertices.size(), 9u);
    EXPECT_EQ(vertices[0].args, (Args{0, 0, 0}));
    EXPECT_EQ(vertices[3].args, (Args{0, 0, 0}));
    EXPECT_EQ(vertices[6].args, (Args{0, 0, 1}));
    EXPECT_EQ(callsNamed("glBegin").size(), 1u);  // all in the one red batch
}

TEST_F(SceneDrawingTest, ModeFourPushesTranslatesAndPopsOncePerNode) {
    sceneListReady = true;
    drawScene(scene, 4);
    const std::vector<std::string> perNode{"glColor4f", "glPushMatrix", "glTranslatef",
                                           "glPopMatrix"};
    std::vector<std::string> expected{"glColor4f", "glBegin", "glEnd", "glCallList"};
    for (int node = 0; node < 3; ++node) {
        expected.insert(expected.end(), perNode.begin(), perNode.end());
    }
    ASSERT_EQ(callNames(), expected);
    const auto moves = callsNamed("glTranslatef");
    EXPECT_EQ(moves[0].args, (Args{10, 0, 0}));  // root, then first child, then second
    EXPECT_EQ(moves[1].args, (Args{1, 1, 1}));
    EXPECT_EQ(moves[2].args, (Args{2, 2, 2}));
    EXPECT_EQ(callsNamed("glColor4f")[1].args, YELLOW);
    glCalls.clear();
    drawNodeBox(scene.root->box, 9);  // any other mode draws like 4
    EXPECT_EQ(callNames(),
              (std::vector<std::string>{"glPushMatrix", "glTranslatef", "glPopMatrix"}));
}

TEST_F(SceneDrawingTest, ModeOneSendsTheEightScaledCornersInTableOrder) {
    drawNodeBox(scene.root->box, 1);
    ASSERT_EQ(glCalls.size(), 13u);
    EXPECT_EQ(glCalls[1].args, (Args{10, 0, 0}));
    EXPECT_EQ(glCalls[2].args, Args{GL_POINTS});
    const std::vector<Args> corners{{1, 2, 3},  {1, 2, -3},  {1, -2, -3},  {1, -2, 3},
                                    {-1, 2, 3}, {-1, 2, -3}, {-1, -2, -3}, {-1, -2, 3}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(glCalls[3 + i].args, corners[i]) << i;
    }
    EXPECT_EQ(glCalls[11].name, "glEnd");
    EXPECT_EQ(glCalls[12].name, "glPopMatrix");
}

TEST_F(SceneDrawingTest, ModesTwoAndThreeSendEdgesAndFacesAsBatchesOfTheirOwn) {
    drawNodeBox(scene.root->box, 2);
    auto batches = callsNamed("glBegin");
    auto vertices = callsNamed("glVertex3fv");
    ASSERT_EQ(batches.size(), 12u);
    ASSERT_EQ(vertices.size(), 24u);
    EXPECT_EQ(batches[0].args, Args{GL_LINES});
    for (int edge = 0; edge < 12; ++edge) {
        for (int end = 0; end < 2; ++end) {
            const Vec3 c = componentProduct(BOX_CORNERS[BOX_EDGES[edge][end]], Vec3(1, 2, 3));
            EXPECT_EQ(vertices[2 * edge + end].args, (Args{c.x, c.y, c.z}));
        }
    }
    glCalls.clear();
    drawNodeBox(scene.root->box, 3);
    batches = callsNamed("glBegin");
    vertices = callsNamed("glVertex3fv");
    ASSERT_EQ(batches.size(), 6u);
    ASSERT_EQ(vertices.size(), 24u);
    EXPECT_EQ(batches[0].args, Args{GL_QUADS});
    // Face 1 is z = -1: corners 1, 5, 6, 2.
    EXPECT_EQ(vertices[4].args, (Args{1, 2, -3}));
    EXPECT_EQ(vertices[5].args, (Args{-1, 2, -3}));
    EXPECT_EQ(vertices[6].args, (Args{-1, -2, -3}));
    EXPECT_EQ(vertices[7].args, (Args{1, -2, -3}));
    for (const auto& call : vertices) {
        EXPECT_EQ(std::abs(call.args[0]), 1);  // each quad on the unit box scaled by (1, 2, 3)
    }
}

TEST_F(SceneDrawingTest, ZeroHalfExtentsSendEveryVertexAtTheCentre) {
    drawNodeBox(scene.root->left->box, 3);
    for (const auto& call : callsNamed("glVertex3fv")) {
        EXPECT_EQ(call.args, (Args{0, 0, 0}));
    }
    EXPECT_EQ(callsNamed("glVertex3fv").size(), 24u);
}

TEST(SceneDrawingDepth, AFiftyThousandLevelChainIsDrawnWithoutRecursion) {
    glCalls.clear();
    sceneListReady = true;
    const auto chain = chainScene(50'000);
    drawScene(*chain, 4);
    EXPECT_EQ(callsNamed("glPushMatrix").size(), 100'001u);
    glCalls.clear();
}

}  // namespace
