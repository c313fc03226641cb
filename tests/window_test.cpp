#include <gtest/gtest.h>

#include <GL/gl.h>

#include "app/frame_callback.h"
#include "app/key_bindings.h"
#include "app/viewer_state.h"
#include "app/window.h"
#include "render/scene_drawing.h"
#include "support/gl_recorder.h"
#include "support/test_scenes.h"

namespace {

using Args = std::vector<double>;

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        glCalls.clear();
        sceneListReady = false;
        sceneList = 0;
    }
};

TEST_F(WindowTest, StartUpRunsInTheDesignedOrder) {
    keyActions.clear();
    keyBindings.clear();
    specialKeyBindings.clear();
    actionCount = 0;
    auto scene = roomScene();
    currentScene = scene.get();
    char name[] = "sweepview";
    char* argv[] = {name, nullptr};
    startViewer(1, argv);

    EXPECT_EQ(actionCount, 13);
    std::vector<std::string> names = callNames();
    // The display list's content is the drawing's; cut it out of the sequence.
    const auto listStart = std::find(names.begin(), names.end(), "glNewList");
    const auto listEnd = std::find(names.begin(), names.end(), "glEndList");
    ASSERT_LT(listStart, listEnd);
    const auto recorded = listEnd - listStart - 1;
    names.erase(listStart + 1, listEnd);
    const std::vector<std::string> expected{
        "glutInit",           "glutInitDisplayMode", "glutInitWindowPosition",
        "glutInitWindowSize", "glutCreateWindow",    "glViewport",
        "glMatrixMode",       "glLoadIdentity",      "gluPerspective",
        "glMatrixMode",       "glShadeModel",        "glClearColor",
        "glClearDepth",       "glDepthFunc",         "glEnable",
        "glEnable",           "glBlendFunc",         "glGenLists",
        "glNewList",          "glEndList",           "glutKeyboardFunc",
        "glutSpecialFunc",    "glutReshapeFunc",     "glutDisplayFunc",
        "glutIdleFunc",       "glutMainLoop"};
    EXPECT_EQ(names, expected);
    // Red colour and empty batch, then per leaf a begin, the blue colour, three
    // vertices and an end.
    EXPECT_EQ(recorded, 3 + 6 * static_cast<long>(scene->triangles.size()));

    EXPECT_EQ(callsNamed("glutInit")[0].args, Args{1});
    EXPECT_EQ(callsNamed("glutInitDisplayMode")[0].args, Args{26});
    EXPECT_EQ(callsNamed("glutInitWindowPosition")[0].args, (Args{100, 100}));
    EXPECT_EQ(callsNamed("glutInitWindowSize")[0].args, (Args{640, 480}));
    EXPECT_EQ(callsNamed("glutCreateWindow")[0].text, "GLUT app");
    EXPECT_EQ(callsNamed("gluPerspective")[0].args, (Args{45, 640.0 / 480.0, 1, 1000}));
    EXPECT_EQ(callsNamed("glClearColor")[0].args, (Args{1, 1, 1, 1}));
    EXPECT_EQ(callsNamed("glDepthFunc")[0].args, Args{GL_LEQUAL});
    EXPECT_EQ(callsNamed("glEnable")[0].args, Args{GL_DEPTH_TEST});
    EXPECT_EQ(callsNamed("glEnable")[1].args, Args{GL_BLEND});
    EXPECT_EQ(callsNamed("glBlendFunc")[0].args, (Args{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}));
    EXPECT_EQ(callsNamed("glNewList")[0].args, (Args{7, GL_COMPILE}));
    EXPECT_EQ(sceneList, 7u);
    EXPECT_TRUE(sceneListReady);
    EXPECT_EQ(callsNamed("glutKeyboardFunc")[0].pointer,
              reinterpret_cast<const void*>(&keyboardCallback));
    EXPECT_EQ(callsNamed("glutSpecialFunc")[0].pointer,
              reinterpret_cast<const void*>(&specialKeyCallback));
    EXPECT_EQ(callsNamed("glutReshapeFunc")[0].pointer,
              reinterpret_cast<const void*>(&reshapeWindow));
    EXPECT_EQ(callsNamed("glutDisplayFunc")[0].pointer,
              reinterpret_cast<const void*>(&frameCallback));
    EXPECT_EQ(callsNamed("glutIdleFunc")[0].pointer, reinterpret_cast<const void*>(&frameCallback));
    currentScene = nullptr;
}

TEST_F(WindowTest, ReshapeTakesZeroSizesAsOneAndAFloatingAspect) {
    const auto reshape = [](int width, int height) {
        glCalls.clear();
        reshapeWindow(width, height);
        return std::make_pair(callsNamed("glViewport")[0].args,
                              callsNamed("gluPerspective")[0].args);
    };
    auto [viewport, perspective] = reshape(640, 333);
    EXPECT_EQ(viewport, (Args{0, 0, 640, 333}));
    EXPECT_EQ(perspective[1], 640.0 / 333.0);
    std::tie(viewport, perspective) = reshape(800, 0);
    EXPECT_EQ(viewport, (Args{0, 0, 800, 1}));
    EXPECT_EQ(perspective[1], 800.0);
    std::tie(viewport, perspective) = reshape(0, 600);
    EXPECT_EQ(viewport, (Args{0, 0, 1, 600}));
    std::tie(viewport, perspective) = reshape(0, 0);
    EXPECT_EQ(viewport, (Args{0, 0, 1, 1}));
    EXPECT_EQ(perspective[1], 1.0);
    EXPECT_EQ(callNames(), (std::vector<std::string>{"glViewport", "glMatrixMode", "glLoadIdentity",
                                                     "gluPerspective", "glMatrixMode"}));
    EXPECT_EQ(glCalls[1].args, Args{GL_PROJECTION});
    EXPECT_EQ(glCalls[4].args, Args{GL_MODELVIEW});
}

}  // namespace
