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
    void press(unsigned char key) { keyboardCallback(key, 0, 0); }
    std::ostringstream out;
    std::streambuf* saved = nullptr;
};

TEST_F(KeyBindingsTest, ThirteenBindingsInRegistrationOrder) {
    EXPECT_EQ(actionCount, 13);
    EXPECT_EQ(keyActions.size(), 13u);
    const std::map<std::uint32_t, std::int32_t> keys{
        {'x', 0}, {'X', 1}, {'y', 2}, {'Y', 3}, {'z', 4}, {'Z', 5}, {' ', 6}, {'b', 7}, {'s', 8}};
    EXPECT_EQ(keyBindings, keys);
    const std::map<std::uint32_t, std::int32_t> special{{101, 9}, {103, 10}, {100, 11}, {102, 12}};
    EXPECT_EQ(specialKeyBindings, special);
}

TEST_F(KeyBindingsTest, ASecondBindingOfAKeyIsRefused) {
    EXPECT_EQ(bindKey('x', [] { cameraX = 1000; }), 0);
    EXPECT_EQ(bindSpecialKey(101, [] {}), 0);
    EXPECT_EQ(actionCount, 13);
    EXPECT_EQ(keyActions.size(), 13u);
    press('x');
    EXPECT_EQ(cameraX, -5.0f);                 // the first binding stays
    EXPECT_EQ(bindSpecialKey(120, [] {}), 1);  // 'x' as a special key is another key
    EXPECT_EQ(actionCount, 14);
}

TEST_F(KeyBindingsTest, CameraKeysAreCaseSensitive) {
    press('x');
    press('y');
    press('z');
    EXPECT_EQ(cameraX, -5.0f);
    EXPECT_EQ(cameraY, -5.0f);
    EXPECT_EQ(cameraZ, -205.0f);
    press('X');
    press('X');
    press('Y');
    press('Z');
    EXPECT_EQ(cameraX, 5.0f);
    EXPECT_EQ(cameraY, 0.0f);
    EXPECT_EQ(cameraZ, -200.0f);
    specialKeyCallback(101, 0, 0);  // up
    specialKeyCallback(100, 0, 0);  // left
    specialKeyCallback(100, 0, 0);
    EXPECT_EQ(cameraPitch, 2.0f);
    EXPECT_EQ(cameraYaw, -4.0f);
    specialKeyCallback(103, 0, 0);  // down
    specialKeyCallback(102, 0, 0);  // right
    EXPECT_EQ(cameraPitch, 0.0f);
    EXPECT_EQ(cameraYaw, -2.0f);
}

TEST_F(KeyBindingsTest, RunControlKeys) {
    press(' ');
    EXPECT_TRUE(animationRunning);
    press(' ');
    EXPECT_FALSE(animationRunning);
    press('s');
    EXPECT_TRUE(stepRequested);
    press('S');
    press('B');
    EXPECT_EQ(boxDrawMode, 0);
}

TEST_F(KeyBindingsTest, FivePressesOfBCycleTheBoxDrawModes) {
    for (int i = 0; i < 5; ++i) {
        press('b');
    }
    EXPECT_EQ(out.str(),
              "Box Draw Mode 1 : spheres.\n"
              "Box Draw Mode 2 : lines.\n"
              "Box Draw Mode 3 : quads.\n"
              "Box Draw Mode 4 : recurse but don't draw\n"
              "Box Draw Mode 0 : don't draw.\n");
    EXPECT_EQ(boxDrawMode, 0);
}

TEST_F(KeyBindingsTest, UnboundKeysChangeAndWriteNothing) {
    // d, e, f and g share their codes with the bound arrow keys.
    for (unsigned char key : {'d', 'e', 'f', 'g', 'B', 'S', 'q', '\r', '\0', '\xff'}) {
        press(key);
    }
    specialKeyCallback(1, 0, 0);   // F1
    specialKeyCallback(27, 0, 0);  // no Esc among special keys
    specialKeyCallback('x', 0, 0);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(cameraX, 0.0f);
    EXPECT_EQ(cameraPitch, 0.0f);
    EXPECT_EQ(cameraYaw, 0.0f);
    EXPECT_FALSE(animationRunning);
}

TEST_F(KeyBindingsTest, EscEndsTheProcessWithStatusOneInAnyState) {
    EXPECT_EXIT(press(27), testing::ExitedWithCode(1), "");
    animationRunning = true;
    EXPECT_EXIT(press(27), testing::ExitedWithCode(1), "");
    stepRequested = true;
    EXPECT_EXIT(press(27), testing::ExitedWithCode(1), "");
}

}  // namespace
