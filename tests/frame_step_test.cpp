#include <gtest/gtest.h>

#include <sstream>

#include "app/frame_step.h"
#include "app/viewer_state.h"
#include "render/scene_drawing.h"
#include "support/gl_recorder.h"
#include "support/test_scenes.h"

namespace {

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

}  // namespace
