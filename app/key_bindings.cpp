#include "app/key_bindings.h"

#include <GL/glut.h>

#include <cstdlib>
#include <iostream>

#include "app/viewer_state.h"

namespace sweepview {

std::vector<KeyAction> keyActions;
std::int32_t actionCount = 0;
std::map<std::uint32_t, std::int32_t> keyBindings;
std::map<std::uint32_t, std::int32_t> specialKeyBindings;

namespace {

constexpr unsigned char ESCAPE_KEY = 27;

std::int32_t bindInto(std::map<std::uint32_t, std::int32_t>& bindings, std::uint32_t key,
                      KeyAction action) {
    if (bindings.count(key) != 0) {
        return 0;
    }
    bindings.emplace(key, actionCount);
    ++actionCount;
    keyActions.push_back(action);
    return 1;
}

void rebindInto(std::map<std::uint32_t, std::int32_t>& bindings, std::uint32_t key, KeyAction action) {
    const auto found = bindings.find(key);
    if (found == bindings.end()) {
        bindInto(bindings, key, action);
    } else {
        keyActions[static_cast<std::size_t>(found->second)] = action;
    }
}

void runBound(const std::map<std::uint32_t, std::int32_t>& bindings, std::uint32_t key) {
    const auto found = bindings.find(key);
    if (found != bindings.end()) {
        keyActions[static_cast<std::size_t>(found->second)]();
    }
}

void cycleBoxDrawMode() {
    static const char* const MODE_TEXTS[5] = {
        " : don't draw.\n",
        " : spheres.\n",
        " : lines.\n",
        " : quads.\n",
        " : recurse but don't draw\n",
    };
    boxDrawMode = boxDrawMode + 1 > 4 ? 0 : boxDrawMode + 1;
    std::cout << "Box Draw Mode " << boxDrawMode << MODE_TEXTS[boxDrawMode];
}

}  // namespace

std::int32_t bindKey(unsigned char key, KeyAction action) {
    return bindInto(keyBindings, key, action);
}

std::int32_t bindSpecialKey(std::int32_t key, KeyAction action) {
    return bindInto(specialKeyBindings, static_cast<std::uint32_t>(key), action);
}

void rebindKey(unsigned char key, KeyAction action) {
    rebindInto(keyBindings, key, action);
}

void rebindSpecialKey(std::int32_t key, KeyAction action) {
    rebindInto(specialKeyBindings, static_cast<std::uint32_t>(key), action);
}

void registerKeyBindings() {
    bindKey('x', [] { cameraX = cameraX - cameraMoveStep; });
    bindKey('X', [] { cameraX = cameraX + cameraMoveStep; });
    bindKey('y', [] { cameraY = cameraY - cameraMoveStep; });
    bindKey('Y', [] { cameraY = cameraY + cameraMoveStep; });
    bindKey('z', [] { cameraZ = cameraZ - cameraMoveStep; });
    bindKey('Z', [] { cameraZ = cameraZ + cameraMoveStep; });
    bindKey(' ', [] { animationRunning = !animationRunning; });
    bindKey('b', cycleBoxDrawMode);
    bindKey('s', [] { stepRequested = true; });
    bindSpecialKey(GLUT_KEY_UP, [] { cameraPitch = cameraPitch + cameraTurnStep; });
    bindSpecialKey(GLUT_KEY_DOWN, [] { cameraPitch = cameraPitch - cameraTurnStep; });
    bindSpecialKey(GLUT_KEY_LEFT, [] { cameraYaw = cameraYaw - cameraTurnStep; });
    bindSpecialKey(GLUT_KEY_RIGHT, [] { cameraYaw = cameraYaw + cameraTurnStep; });
}

void keyboardCallback(unsigned char key, int /*x*/, int /*y*/) {
    if (key == ESCAPE_KEY) {
        std::exit(1);
    }
    runBound(keyBindings, key);
}

void specialKeyCallback(int key, int /*x*/, int /*y*/) {
    runBound(specialKeyBindings, static_cast<std::uint32_t>(key));
}

}  // namespace sweepview
