#include <gtest/gtest.h>

#include <sstream>

#include "app/frame_callback.h"
#include "app/frame_step.h"
#include "app/viewer_state.h"
#include "render/scene_drawing.h"
#include "support/gl_recorder.h"
#include "support/test_scenes.h"

namespace {

using Args = std::vector<double>;

class FrameStepTest : public ::testing::Test {
protected:
    void SetUp() override {
        useViewerEpsilon();
        resetViewerState();
        contactState = ContactState{};
        currentScene = scene.get();
        glCalls.clear();
        sceneListReady = true;
    }
    void TearDown() override { currentScene = nullptr; }
    std::unique_ptr<CollisionMesh> scene = roomScene(40);
    std::ostringstream out;
};

TEST_F(FrameStepTest, RunControlAndHighlightsThatLastUntilTheNextStep) {
    EXPECT_FALSE(stepIfDue(out));  // paused at start
    stepRequested = true;          // one step, then paused
    EXPECT_TRUE(stepIfDue(out));
    EXPECT_FALSE(stepIfDue(out));
    EXPECT_EQ(spherePosition, Vec3(1, 11.5f, 1));
    animationRunning = true;  // running: a step per call
    EXPECT_TRUE(stepIfDue(out));
    stepRequested = true;  // a request while running: one more, then paused
    EXPECT_TRUE(stepIfDue(out));
    EXPECT_FALSE(stepIfDue(out) || animationRunning || stepRequested);
    EXPECT_EQ(out.str(), "1\n2\n3\n");

    spherePosition = Vec3(0, -36.6f, 0);  // 0.9 above the floor
    sphereVelocity = Vec3(0, -1, 0);
    stepRequested = true;
    stepIfDue(out);
    const auto hits = contactState.hitTriangles;
    ASSERT_FALSE(hits.empty());
    stepIfDue(out);  // paused: kept
    EXPECT_EQ(contactState.hitTriangles, hits);
    stepRequested = true;
    stepIfDue(out);
    EXPECT_TRUE(contactState.hitTriangles.empty());
}

// The camera, the blue sphere one velocity ahead and the red one, both where
// they were before the step, then the step, then the swap.
TEST_F(FrameStepTest, AFrameDrawsTheViewBeforeTheStepThenSwaps) {
    animationRunning = true;
    cameraYaw = 30;
    cameraPitch = -10;
    testing::internal::CaptureStdout();
    frameCallback();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "1\n");
    EXPECT_EQ(callsNamed("glRotatef")[0].args, (Args{30, 0, 1, 0}));  // yaw, then pitch
    EXPECT_EQ(callsNamed("glRotatef")[1].args, (Args{-10, 1, 0, 0}));
    const auto moves = callsNamed("glTranslatef");
    EXPECT_EQ(moves[1].args, (Args{1, 11.5f, 1}));
    EXPECT_EQ(moves[2].args, (Args{0, 12.5f, 0}));
    EXPECT_EQ(callsNamed("glColor4f")[0].args, (Args{0, 0, 1, 0.5f}));
    EXPECT_TRUE(callNames().ends_with(" glFlush glutSwapBuffers glutPostRedisplay"));
}

}  // namespace
