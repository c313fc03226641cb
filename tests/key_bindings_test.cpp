#include <gtest/gtest.h>

#include <sstream>

#include "app/key_bindings.h"
#include "app/viewer_state.h"

using namespace sweepview;

namespace {

void press(const std::string& keys) {
    for (unsigned char key : keys) {
        keyboardCallback(key, 0, 0);
    }
}

// Every bound key's effect, and keys that must do nothing: d, e, f and g share
// their codes with the arrow keys, B and S differ by case; F1 and 'x' among
// special keys. A key bound twice keeps its first action.
TEST(KeyBindings, CameraRunControlAndBoxModeKeys) {
    resetViewerState();
    registerKeyBindings();
    std::ostringstream out;
    std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
    EXPECT_EQ(bindKey('x', [] { cameraX = 1000; }), 0);
    press(std::string("defgBSq\0\xff", 9));
    for (int key : {1, 27, 120}) {
        specialKeyCallback(key, 0, 0);
    }
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(animationRunning || stepRequested || boxDrawMode != 0 || cameraPitch != 0);
    press("xyzYY");
    EXPECT_EQ(Vec3(cameraX, cameraY, cameraZ), Vec3(-5, 5, -205));
    press("XZ");
    EXPECT_EQ(Vec3(cameraX, cameraY, cameraZ), Vec3(0, 5, -200));
    for (int key : {101, 100, 100, 103, 101, 102}) {  // up, left, left, down, up, right
        specialKeyCallback(key, 0, 0);
    }
    EXPECT_EQ(Vec3(cameraPitch, cameraYaw, 0), Vec3(2, -2, 0));
    press(" ");
    EXPECT_TRUE(animationRunning);
    press(" s");
    EXPECT_TRUE(!animationRunning && stepRequested);
    press("bbbbb");
    std::cout.rdbuf(saved);
    EXPECT_EQ(out.str(),
              "Box Draw Mode 1 : spheres.\nBox Draw Mode 2 : lines.\nBox Draw Mode 3 : quads.\n"
              "Box Draw Mode 4 : recurse but don't draw\nBox Draw Mode 0 : don't draw.\n");
    EXPECT_EXIT(press("\x1b"), testing::ExitedWithCode(1), "");
}

}  // namespace
