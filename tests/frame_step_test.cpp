#include <gtest/gtest.h>

#include <sstream>

#include "app/frame_step.h"
#include "render/scene_drawing.h"
#include "app/viewer_state.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

TEST(FrameStep, RunControlAndHighlightsThatLastUntilTheNextStep) {
    useViewerEpsilon();
    resetViewerState();
    const auto scene = roomScene(40);
    currentScene = scene.get();
    std::ostringstream out;
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
    currentScene = nullptr;
}

}  // namespace
