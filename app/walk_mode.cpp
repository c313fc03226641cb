#include "app/walk_mode.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iostream>
#include <numbers>
#include <utility>

#include "app/camera_control.h"
#include "app/frame_step.h"
#include "app/key_bindings.h"
#include "app/viewer_loop.h"
#include "app/viewer_state.h"
#include "collision/move_and_slide.h"

namespace sweepview {

WalkFacts walkFacts;

namespace {

WalkSettings walk;
SlideSettings slide;
Vec3 fall;  // gravity's sum since the sphere last stood on a floor
bool onFloor = false;
bool jumpAsked = false;

// Which walk keys are held; a key walks from its press to its release.
struct HeldKeys {
    bool ahead = false;
    bool back = false;
    bool left = false;
    bool right = false;
} held;

// The eye's direction flattened onto the floor's plane; zero when the eye
// looks straight along up.
Vec3 flattened(const Vec3& eyeAxis) {
    const Vec3 direction = eyeDirection(eyeAxis);
    const Vec3 across = direction - walk.up * dot(direction, walk.up);
    return lengthSquared(across) > 1e-6f ? normalized(across) : zeroVector;
}

// The held keys' walk for this step: ahead is where the camera looks, or,
// looking straight down or up, the screen's up.
Vec3 walkDisplacement() {
    const float aheadAmount = (held.ahead ? 1.0f : 0.0f) - (held.back ? 1.0f : 0.0f);
    const float rightAmount = (held.right ? 1.0f : 0.0f) - (held.left ? 1.0f : 0.0f);
    const Vec3 drift = walk.drift - walk.up * dot(walk.drift, walk.up);
    if (aheadAmount == 0.0f && rightAmount == 0.0f) {
        return drift;
    }
    Vec3 ahead = flattened(Vec3(0.0f, 0.0f, -1.0f));
    if (lengthSquared(ahead) == 0.0f) {
        ahead = flattened(Vec3(0.0f, 1.0f, 0.0f)) * (dot(eyeDirection(Vec3(0, 0, -1)), walk.up) < 0.0f ? 1.0f : -1.0f);
    }
    const Vec3 right = cross(ahead, walk.up);
    const Vec3 both = ahead * aheadAmount + right * rightAmount;
    return drift + (lengthSquared(both) > 0.0f ? normalized(both) * walk.speed : zeroVector);
}

void walkStep() {
    const Vec3 before = spherePosition;
    bool standing = onFloor;
    if (jumpAsked && onFloor) {
        fall = walk.up * walk.jumpSpeed;
        standing = false;  // leaves the floor: nothing holds it down this step
    } else {
        fall = fall - walk.up * walk.gravity;
    }
    jumpAsked = false;
    const SlideResult moved =
        moveAndSlide(*currentScene, spherePosition, sphereRadius, walkDisplacement() + fall, standing, slide);
    spherePosition = moved.position;
    onFloor = moved.onFloor;
    if (onFloor) {
        fall = zeroVector;
    } else if (dot(fall, walk.up) > 0.0f && dot(moved.position - before, walk.up) < 0.5f * dot(fall, walk.up)) {
        fall = zeroVector;  // a ceiling stopped the rise
    }
    sphereVelocity = moved.position - before;
    walkFacts.onFloor = onFloor;
    walkFacts.slopeDegrees =
        onFloor ? static_cast<float>(std::acos(std::clamp(dot(moved.floorNormal, walk.up), -1.0f, 1.0f)) * 180.0 /
                                     std::numbers::pi)
                : 0.0f;
    walkFacts.fallSpeed = -dot(fall, walk.up);
    walkFacts.contacts = moved.contacts;
    walkFacts.iterations = moved.iterations;
    followTarget(spherePosition);
}

bool* heldFor(unsigned char key) {
    switch (std::tolower(key)) {
        case 'w': return &held.ahead;
        case 's': return &held.back;
        case 'a': return &held.left;
        case 'd': return &held.right;
        default: return nullptr;
    }
}

bool* heldForSpecial(int key) {
    switch (key) {
        case GLUT_KEY_UP: return &held.ahead;
        case GLUT_KEY_DOWN: return &held.back;
        case GLUT_KEY_LEFT: return &held.left;
        case GLUT_KEY_RIGHT: return &held.right;
        default: return nullptr;
    }
}

void keyReleased(unsigned char key, int, int) {
    if (bool* flag = heldFor(key)) {
        *flag = false;
    }
}

void specialKeyReleased(int key, int, int) {
    if (bool* flag = heldForSpecial(key)) {
        *flag = false;
    }
}

// GLUT's key actions take no arguments, so each walk key has its own.
void holdAhead() { held.ahead = true; }
void holdBack() { held.back = true; }
void holdLeft() { held.left = true; }
void holdRight() { held.right = true; }

}  // namespace

WalkSettings walkSettingsFor(float radius) {
    WalkSettings settings;
    settings.speed = 0.1f * radius;
    settings.gravity = 0.02f * radius;
    // Rising at v and slowing by g per step, the sphere climbs about v^2 / 2g.
    settings.jumpSpeed = std::sqrt(2.0f * settings.gravity * 1.5f * radius);
    settings.stepHeight = 0.5f * radius;
    return settings;
}

void prepareWalk(const WalkSettings& settings) {
    walk = settings;
    slide = SlideSettings{};
    slide.maxSlopeDegrees = settings.maxSlope;
    slide.stepHeight = settings.stepHeight;
    // Walking down stairs as high as those walked up keeps to the floor.
    slide.floorSnap = std::max(settings.stepHeight, 0.1f * sphereRadius);
    slide.up = settings.up;
    slide.faces = faceSides;
    walkFacts = {};
    walkFacts.speed = settings.speed;
    walkFacts.stepHeight = settings.stepHeight;
    walkFacts.maxSlope = settings.maxSlope;
    fall = zeroVector;
    onFloor = false;
    sphereVelocity = zeroVector;
    stepMotion = walkStep;
}

void installWalk() {
    const std::pair<unsigned char, KeyAction> walkKeys[] = {{'w', holdAhead}, {'s', holdBack}, {'a', holdLeft},
                                                             {'d', holdRight}, {'W', holdAhead}, {'S', holdBack},
                                                             {'A', holdLeft},  {'D', holdRight}};
    for (const auto& [key, action] : walkKeys) {
        rebindKey(key, action);
    }
    rebindSpecialKey(GLUT_KEY_UP, holdAhead);
    rebindSpecialKey(GLUT_KEY_DOWN, holdBack);
    rebindSpecialKey(GLUT_KEY_LEFT, holdLeft);
    rebindSpecialKey(GLUT_KEY_RIGHT, holdRight);
    rebindKey(' ', [] { jumpAsked = true; });
    rebindKey('p', [] { animationRunning = !animationRunning; });
    rebindKey('n', [] { stepRequested = true; });
    // A held key sends one press and one release, not a press per repeat.
    glutIgnoreKeyRepeat(1);
    glutKeyboardUpFunc(keyReleased);
    glutSpecialUpFunc(specialKeyReleased);
    // Looking down on the sphere from a little behind and above, close
    // enough to see the floor it stands on.
    cameraYaw = 0.0f;
    cameraPitch = 25.0f;
    frameTarget({spherePosition, 10.0f * sphereRadius});
}

}  // namespace sweepview
