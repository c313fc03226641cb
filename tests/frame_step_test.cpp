#include <gtest/gtest.h>

#include <GL/gl.h>

#include <sstream>

#include "app/frame_callback.h"
#include "app/frame_step.h"
#include "app/viewer_state.h"
#include "collision/contact_state.h"
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
        scene = roomScene();
        currentScene = scene.get();
        glCalls.clear();
        sceneListReady = true;
    }
    void TearDown() override { currentScene = nullptr; }
    std::unique_ptr<CollisionMesh> scene;
    std::ostringstream out;
};

TEST_F(FrameStepTest, PausedAtStartNothingMovesOrIsWritten) {
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(stepIfDue(out));
    }
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(spherePosition, Vec3(0, 12.5f, 0));
    EXPECT_EQ(frameCounter, 0);
}

TEST_F(FrameStepTest, RunningStepsOnEveryCallAndNumbersEachStep) {
    animationRunning = true;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(stepIfDue(out));
    }
    EXPECT_EQ(out.str(), "1\n2\n3\n");
    EXPECT_EQ(spherePosition, Vec3(3, 9.5f, 3));  // free flight in the room's middle
    EXPECT_EQ(sphereVelocity, Vec3(1, -1, 1));
    EXPECT_TRUE(animationRunning);
}

TEST_F(FrameStepTest, AStepRequestWhilePausedTakesExactlyOneStep) {
    stepRequested = true;
    EXPECT_TRUE(stepIfDue(out));
    EXPECT_FALSE(stepIfDue(out));
    EXPECT_FALSE(stepIfDue(out));
    EXPECT_EQ(out.str(), "1\n");
    EXPECT_FALSE(stepRequested);
    EXPECT_FALSE(animationRunning);
    EXPECT_EQ(spherePosition, Vec3(1, 11.5f, 1));
}

TEST_F(FrameStepTest, AStepRequestWhileRunningTakesOneMoreThenPauses) {
    animationRunning = true;
    stepIfDue(out);
    stepRequested = true;
    stepIfDue(out);
    EXPECT_FALSE(stepIfDue(out));
    EXPECT_EQ(out.str(), "1\n2\n");
    EXPECT_FALSE(animationRunning);
}

TEST_F(FrameStepTest, HitsStayHighlightedWhilePausedAndAreClearedByTheNextStep) {
    spherePosition = Vec3(0, -36.6f, 0);  // 0.9 above the floor
    sphereVelocity = Vec3(0, -1, 0);
    stepRequested = true;
    stepIfDue(out);
    ASSERT_FALSE(contactState.hitTriangles.empty());
    const auto hits = contactState.hitTriangles;
    stepIfDue(out);
    EXPECT_EQ(contactState.hitTriangles, hits);
    sphereVelocity = Vec3(0, 1, 0);
    stepRequested = true;
    stepIfDue(out);
    EXPECT_TRUE(contactState.hitTriangles.empty());
}

TEST_F(FrameStepTest, AFrameDrawsTheCameraViewBeforeTheStepThenSwaps) {
    animationRunning = true;
    cameraYaw = 30;
    cameraPitch = -10;
    testing::internal::CaptureStdout();
    frameCallback();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "1\n");
    const std::vector<std::string> names = callNames();
    const std::vector<std::string> head{
        "glClear",        "glLoadIdentity", "glDepthMask",  "glPushMatrix", "glTranslatef",
        "glRotatef",      "glRotatef",      "glPushMatrix", "glTranslatef", "glColor4f",
        "glutWireSphere", "glPopMatrix",    "glPushMatrix", "glTranslatef", "glColor4f",
        "glutWireSphere", "glPopMatrix",    "glColor4f",    "glBegin",      "glEnd",
        "glCallList"};
    ASSERT_GE(names.size(), head.size() + 5);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + head.size()), head);
    const std::vector<std::string> tail{"glPopMatrix", "glDepthMask", "glFlush", "glutSwapBuffers",
                                        "glutPostRedisplay"};
    EXPECT_EQ(std::vector<std::string>(names.end() - 5, names.end()), tail);
    EXPECT_EQ(glCalls[0].args, Args{GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT});
    EXPECT_EQ(glCalls[2].args, Args{GL_FALSE});
    EXPECT_EQ(glCalls[4].args, (Args{0, 0, -200}));
    EXPECT_EQ(glCalls[5].args, (Args{30, 0, 1, 0}));  // yaw about y, then pitch about x
    EXPECT_EQ(glCalls[6].args, (Args{-10, 1, 0, 0}));
    // The predicted sphere in blue one velocity ahead, then the sphere in red,
    // both where they were before this frame's step.
    EXPECT_EQ(glCalls[8].args, (Args{1, 11.5f, 1}));
    EXPECT_EQ(glCalls[9].args, (Args{0, 0, 1, 0.5f}));
    EXPECT_EQ(glCalls[10].args, (Args{2.5f, 10, 10}));
    EXPECT_EQ(glCalls[13].args, (Args{0, 12.5f, 0}));
    EXPECT_EQ(glCalls[14].args, (Args{1, 0, 0, 0.5f}));
    EXPECT_EQ(glCalls[glCalls.size() - 4].args, Args{GL_TRUE});
    EXPECT_EQ(spherePosition, Vec3(1, 11.5f, 1));
}

}  // namespace
