#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>

#include "app/frame_callback.h"
#include "app/key_bindings.h"
#include "app/viewer_state.h"
#include "app/window.h"
#include "render/scene_drawing.h"
#include "support/gl_recorder.h"
#include "support/test_scenes.h"

namespace {

using Args = std::vector<double>;

const void* address(auto function) { return reinterpret_cast<const void*>(function); }

TEST(Window, StartUpRunsInTheDesignedOrder) {
    glCalls.clear();
    sceneListReady = false;
    auto scene = roomScene(40);
    currentScene = scene.get();
    char name[] = "sweepview";
    char* argv[] = {name, nullptr};
    startViewer(1, argv);
    currentScene = nullptr;

    EXPECT_EQ(actionCount, 13);
    std::vector<std::string> names = callNames();
    // Cut the display list's content (the drawing's) out of the sequence.
    const auto listStart = std::find(names.begin(), names.end(), "glNewList");
    const auto listEnd = std::find(names.begin(), names.end(), "glEndList");
    EXPECT_EQ(listEnd - listStart - 1, 3 + 6 * 12);  // the red batch, then a batch per leaf
    names.erase(listStart + 1, listEnd);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "glutInit",           "glutInitDisplayMode", "glutInitWindowPosition",
                         "glutInitWindowSize", "glutCreateWindow",    "glViewport",
                         "glMatrixMode",       "glLoadIdentity",      "gluPerspective",
                         "glMatrixMode",       "glShadeModel",        "glClearColor",
                         "glClearDepth",       "glDepthFunc",         "glEnable",
                         "glEnable",           "glBlendFunc",         "glGenLists",
                         "glNewList",          "glEndList",           "glutKeyboardFunc",
                         "glutSpecialFunc",    "glutReshapeFunc",     "glutDisplayFunc",
                         "glutIdleFunc",       "glutMainLoop"}));
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
    EXPECT_EQ(callsNamed("glutKeyboardFunc")[0].pointer, address(&keyboardCallback));
    EXPECT_EQ(callsNamed("glutSpecialFunc")[0].pointer, address(&specialKeyCallback));
    EXPECT_EQ(callsNamed("glutReshapeFunc")[0].pointer, address(&reshapeWindow));
    EXPECT_EQ(callsNamed("glutDisplayFunc")[0].pointer, address(&frameCallback));
    EXPECT_EQ(callsNamed("glutIdleFunc")[0].pointer, address(&frameCallback));
}

TEST(Window, ReshapeTakesZeroSizesAsOneAndAFloatingAspect) {
    const std::pair<int, int> sizes[] = {{640, 333}, {800, 0}, {0, 600}, {0, 0}};
    const Args viewports[] = {{0, 0, 640, 333}, {0, 0, 800, 1}, {0, 0, 1, 600}, {0, 0, 1, 1}};
    const double aspects[] = {640.0 / 333.0, 800.0, 1.0 / 600.0, 1.0};
    for (int i = 0; i < 4; ++i) {
        glCalls.clear();
        reshapeWindow(sizes[i].first, sizes[i].second);
        EXPECT_EQ(callsNamed("glViewport")[0].args, viewports[i]);
        EXPECT_EQ(callsNamed("gluPerspective")[0].args[1], aspects[i]);
    }
    EXPECT_EQ(glCalls[1].args, Args{GL_PROJECTION});
    EXPECT_EQ(glCalls[4].args, Args{GL_MODELVIEW});
}

}  // namespace
