#include "app/camera_control.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/viewer_loop.h"
#include "app/viewer_state.h"

namespace sweepview {

namespace {

bool framed = false;
ViewTarget turnTarget;

ViewTarget currentTarget() {
    return framed ? turnTarget : sceneTarget();
}

// The camera's rotation applied to a point: first about x by the pitch, then
// about y by the yaw, as the frame's transform does.
Vec3 turned(const Vec3& p) {
    const double pitch = cameraPitch * std::numbers::pi / 180.0;
    const double yaw = cameraYaw * std::numbers::pi / 180.0;
    const double y1 = p.y * std::cos(pitch) - p.z * std::sin(pitch);
    const double z1 = p.y * std::sin(pitch) + p.z * std::cos(pitch);
    const double x2 = p.x * std::cos(yaw) + z1 * std::sin(yaw);
    const double z2 = -p.x * std::sin(yaw) + z1 * std::cos(yaw);
    return Vec3(static_cast<float>(x2), static_cast<float>(y1), static_cast<float>(z2));
}

// The inverse of turned: back about y by the yaw, then about x by the pitch.
Vec3 unturned(const Vec3& p) {
    const double pitch = cameraPitch * std::numbers::pi / 180.0;
    const double yaw = cameraYaw * std::numbers::pi / 180.0;
    const double x1 = p.x * std::cos(yaw) - p.z * std::sin(yaw);
    const double z1 = p.x * std::sin(yaw) + p.z * std::cos(yaw);
    const double y2 = p.y * std::cos(pitch) + z1 * std::sin(pitch);
    const double z2 = -p.y * std::sin(pitch) + z1 * std::cos(pitch);
    return Vec3(static_cast<float>(x1), static_cast<float>(y2), static_cast<float>(z2));
}

void placeCamera(const Vec3& offset) {
    cameraX = offset.x;
    cameraY = offset.y;
    cameraZ = offset.z;
}

// Turns the camera while the framed centre stays where it is on the screen.
void turnAboutTarget(float yawChange, float pitchChange) {
    const Vec3 centre = currentTarget().centre;
    const Vec3 seen = turned(centre) + Vec3(cameraX, cameraY, cameraZ);
    cameraYaw += yawChange;
    cameraPitch += pitchChange;
    placeCamera(seen - turned(centre));
}

// Distance from the eye to the framed centre, for zoom and pan steps.
float viewDistance() {
    return std::max(std::fabs((turned(currentTarget().centre) + Vec3(cameraX, cameraY, cameraZ)).z), 1.0f);
}

void zoom(float share) {  // positive: closer
    cameraZ += share * viewDistance();
}

int dragButton = -1;
int dragX = 0;
int dragY = 0;

void mouseButton(int button, int state, int x, int y) {
    if (state == GLUT_DOWN && (button == 3 || button == 4)) {  // the wheel
        zoom(button == 3 ? 0.1f : -0.1f);
        viewChanged();
        return;
    }
    dragButton = state == GLUT_DOWN ? button : -1;
    dragX = x;
    dragY = y;
    viewChanged();  // a release lets the full picture be drawn
}

void mouseDrag(int x, int y) {
    const int dx = x - dragX;
    const int dy = y - dragY;
    dragX = x;
    dragY = y;
    if (dragButton == GLUT_LEFT_BUTTON) {
        turnAboutTarget(0.5f * static_cast<float>(dx), 0.5f * static_cast<float>(dy));
    } else if (dragButton == GLUT_RIGHT_BUTTON) {
        zoom(-0.005f * static_cast<float>(dy));
    } else if (dragButton == GLUT_MIDDLE_BUTTON) {
        // One pixel moves the framed centre by one pixel.
        const float perPixel = 2.0f * viewDistance() * std::tan(static_cast<float>(std::numbers::pi / 8.0)) /
                               static_cast<float>(std::max(glutGet(GLUT_WINDOW_HEIGHT), 1));
        cameraX += perPixel * static_cast<float>(dx);
        cameraY -= perPixel * static_cast<float>(dy);
    }
    viewChanged();
}

}  // namespace

ViewTarget sceneTarget() {
    if (currentScene == nullptr || currentScene->root == nullptr) {
        return {};
    }
    const NodeBox& box = currentScene->root->box;
    return {box.centre, std::max(length(box.halfExtents), 1.0f)};
}

void frameTarget(const ViewTarget& target) {
    framed = true;
    turnTarget = target;
    // The sphere fits the narrower of the two fields of view.
    const float width = static_cast<float>(std::max(glutGet(GLUT_WINDOW_WIDTH), 1));
    const float height = static_cast<float>(std::max(glutGet(GLUT_WINDOW_HEIGHT), 1));
    const float halfAngle = std::atan(std::tan(static_cast<float>(std::numbers::pi / 8.0)) * std::min(1.0f, width / height));
    const float distance = target.radius / std::sin(halfAngle);
    placeCamera(Vec3(0, 0, -distance) - turned(target.centre));
    viewChanged();
}

void followTarget(const Vec3& centre) {
    const ViewTarget before = currentTarget();
    framed = true;
    turnTarget = {centre, before.radius};
    placeCamera(Vec3(cameraX, cameraY, cameraZ) - turned(centre - before.centre));
}

Vec3 eyeDirection(const Vec3& direction) {
    return unturned(direction);
}

void fitDepthRange() {
    const ViewTarget scene = sceneTarget();
    const float distance = length(turned(scene.centre) + Vec3(cameraX, cameraY, cameraZ));
    const double far = std::max(1000.0, 1.5 * (static_cast<double>(distance) + scene.radius));
    // The depth buffer tells apart what lies within a hundred-thousandth of
    // the far distance, so the near plane moves out only for huge scenes.
    const double near = std::max(1.0, far / 1e5);
    const int width = std::max(glutGet(GLUT_WINDOW_WIDTH), 1);
    const int height = std::max(glutGet(GLUT_WINDOW_HEIGHT), 1);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), near, far);
    glMatrixMode(GL_MODELVIEW);
}

void installMouse() {
    glutMouseFunc(mouseButton);
    glutMotionFunc(mouseDrag);
}

bool mouseDragging() {
    return dragButton >= 0;
}

}  // namespace sweepview
