#include "app/command_line_session.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/camera_control.h"
#include "app/frame_callback.h"
#include "app/frame_step.h"
#include "app/key_bindings.h"
#include "app/model_bounds.h"
#include "app/png_image.h"
#include "app/viewer_loop.h"
#include "app/viewer_overlay.h"
#include "app/viewer_state.h"
#include "render/lit_mesh.h"

namespace sweepview {

namespace {

CommandLineSession settings;
ModelParts parts;  // found once the scene is loaded

void drawLit() {
    drawLitMesh(*currentScene, parts.inRoom);
    drawLitHitTriangles(*currentScene);
}

void setLit(bool lit) {
    opaqueScene = lit ? std::function<void()>(drawLit) : nullptr;
}

void toggle(bool& shown) {
    shown = !shown;
    viewChanged();
}

void frameModel() {
    frameTarget({boundsCentre(parts.model), boundsRadius(parts.model, 4.0f * sphereRadius)});
}

void frameWholeScene() {
    frameTarget(sceneTarget());
}

// Close enough to see the sphere at the event and, when it lies near, the
// event's triangle (an escape's may lie far back along the flight).
ViewTarget replayTarget() {
    const Vec3 point = settings.replayPoint;
    const ViewTarget sphere{point, 8.0f * sphereRadius};
    const std::int32_t t = settings.replay->triangle;
    if (t < 0 || static_cast<std::size_t>(t) >= currentScene->triangles.size()) {
        return sphere;
    }
    const MeshTriangle& triangle = currentScene->triangles[static_cast<std::size_t>(t)];
    Bounds both;
    both.min = point - Vec3(1, 1, 1) * (4.0f * sphereRadius);
    both.max = point + Vec3(1, 1, 1) * (4.0f * sphereRadius);
    for (const std::int32_t v : {triangle.vertex0, triangle.vertex1, triangle.vertex2}) {
        const Vec3& p = currentScene->vertices[static_cast<std::size_t>(v)];
        both.min = Vec3(std::min(both.min.x, p.x), std::min(both.min.y, p.y), std::min(both.min.z, p.z));
        both.max = Vec3(std::max(both.max.x, p.x), std::max(both.max.y, p.y), std::max(both.max.z, p.z));
    }
    const float radius = boundsRadius(both, sphere.radius);
    if (!(radius <= 30.0f * sphereRadius)) {
        return sphere;
    }
    return {boundsCentre(both), radius};
}

void saveScreenshot() {
    fitDepthRange();
    drawFrame();
    glFinish();
    glReadBuffer(GL_BACK);
    std::string why;
    const bool saved =
        saveFramePng(settings.screenshot, glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT), &why);
    std::cout << std::flush;
    if (!saved) {
        std::cerr << "sweepview: --screenshot: " << why << std::endl;
        std::exit(1);
    }
    std::exit(0);
}

}  // namespace

void prepareSession(const CommandLineSession& extras) {
    settings = extras;
    overlay.hud = extras.hud;
    overlay.trail = extras.trail;
    overlay.frameRate = extras.screenshot.empty();  // one frame has no rate
    overlay.stepsPerSecond = extras.stepsPerSecond;
    overlay.replay = settings.replay ? &*settings.replay : nullptr;
    overlay.walk = settings.walk ? &walkFacts : nullptr;
    overlay.replayPoint = extras.replayPoint;
    parts = findModelParts(*currentScene);
    stepListener = noteStep;
    if (settings.replay) {
        noteStep(settings.replayContacts);
    }
    sceneOverlay = drawSceneOverlay;
    screenOverlay = drawScreenOverlay;
    setLit(extras.lit);
    if (settings.walk) {
        prepareWalk(*settings.walk);
    }
}

void installSession() {
    const std::string name = std::filesystem::path(settings.sceneName).filename().string();
    const std::string title = name.empty() ? "sweepview" : "sweepview - " + name;
    glutSetWindowTitle(title.c_str());
    bindKey('f', frameModel);
    bindKey('F', frameWholeScene);
    bindKey('l', [] {
        setLit(!opaqueScene);
        viewChanged();
    });
    bindKey('i', [] { toggle(overlay.hud); });
    bindKey('h', [] { toggle(overlay.help); });
    bindKey('t', [] { toggle(overlay.trail); });
    installMouse();
    installViewerLoop(settings.stepsPerSecond, settings.printFrameRate);
    if (settings.replay) {
        frameTarget(replayTarget());
    }
    if (settings.walk) {
        installWalk();
        // Under gravity from the start, so the sphere comes to stand on the level.
        animationRunning = settings.screenshot.empty();
        viewChanged();
    }
    if (!settings.screenshot.empty()) {
        glutDisplayFunc(saveScreenshot);
    }
}

}  // namespace sweepview
