#include <gtest/gtest.h>

#include <sstream>

#include "app/key_bindings.h"
#include "app/viewer_state.h"

namespace {

class KeyBindingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        keyActions.clear();
        keyBindings.clear();
        specialKeyBindings.clear();
        actionCount = 0;
        resetViewerState();
        registerKeyBindings();
        saved = std::cout.rdbuf(out.rdbuf());
    }
    void TearDown() override { std::cout.rdbuf(saved); }
    static void press(const std::string& keys) {
        for (unsigned char key : keys) {
            keyboardCallback(key, 0, 0);
        }
    }
    std::ostringstream out;
    std::streambuf* saved = nullptr;
};

TEST_F(KeyBindingsTest, ThirteenBindingsInOrderAndNoSecondBindingOfAKey) {
    std::map<std::uint32_t, std::int32_t> expected;
    for (int i = 0; i < 9; ++i) {
        expected[static_cast<unsigned char>("xXyYzZ bs"[i])] = i;
    }
    EXPECT_EQ(keyBindings, expected);
    EXPECT_EQ(specialKeyBindings, (decltype(expected){{101, 9}, {103, 10}, {100, 11}, {102, 12}}));
    EXPECT_EQ(bindKey('x', [] { cameraX = 1000; }), 0);
    EXPECT_EQ(bindSpecialKey(101, [] {}), 0);
    EXPECT_EQ(actionCount, 13);
    EXPECT_EQ(keyActions.size(), 13u);
    EXPECT_EQ(bindSpecialKey('x', [] {}), 1);  // another map, another key
}

TEST_F(KeyBindingsTest, CameraRunControlAndBoxModeKeys) {
    press("xyzYY");
    EXPECT_EQ(Vec3(cameraX, cameraY, cameraZ), Vec3(-5, 5, -205));
    press("XZ");
    EXPECT_EQ(Vec3(cameraX, cameraY, cameraZ), Vec3(0, 5, -200));
    for (int key : {101, 100, 100, 103, 101, 102}) {  // up, left, left, down, up, right
        specialKeyCallback(key, 0, 0);
    }
    EXPECT_EQ(cameraPitch, 2.0f);
    EXPECT_EQ(cameraYaw, -2.0f);
    press(" ");
    EXPECT_TRUE(animationRunning);
    press(" s");
    EXPECT_FALSE(animationRunning);
    EXPECT_TRUE(stepRequested);
    press("bbbbb");
    EXPECT_EQ(out.str(),
              "Box Draw Mode 1 : spheres.\nBox Draw Mode 2 : lines.\nBox Draw Mode 3 : quads.\n"
              "Box Draw Mode 4 : recurse but don't draw\nBox Draw Mode 0 : don't draw.\n");
    EXPECT_EQ(boxDrawMode, 0);
}

TEST_F(KeyBindingsTest, UnboundKeysChangeAndWriteNothing) {
    // d, e, f and g share their codes with the bound arrow keys; B and S differ by case.
    press(std::string("defgBSq\0\xff", 9));
    for (int key : {1, 27, 120}) {  // F1; no Esc among special keys; 'x'
        specialKeyCallback(key, 0, 0);
    }
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(Vec3(cameraX, cameraPitch, cameraYaw), Vec3());
    EXPECT_FALSE(animationRunning || stepRequested || boxDrawMode != 0);
}

TEST_F(KeyBindingsTest, EscEndsTheProcessWithStatusOneInAnyState) {
    EXPECT_EXIT(press("\x1b"), testing::ExitedWithCode(1), "");
    animationRunning = stepRequested = true;
    EXPECT_EXIT(press("\x1b"), testing::ExitedWithCode(1), "");
}

}  // namespace
