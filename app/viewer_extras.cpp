#include "app/viewer_extras.h"

#include <GL/freeglut.h>

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

ViewerExtras settings;
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

void prepareExtras(const ViewerExtras& extras) {
    settings = extras;
    overlay.hud = extras.hud;
    overlay.trail = extras.trail;
    overlay.frameRate = extras.screenshot.empty();  // one frame has no rate
    overlay.stepsPerSecond = extras.stepsPerSecond;
    overlay.replay = settings.replay ? &*settings.replay : nullptr;
    overlay.replayPoint = extras.replayPoint;
    parts = findModelParts(*currentScene);
    stepListener = noteStep;
    if (settings.replay) {
        noteStep(settings.replayContacts);
    }
    sceneOverlay = drawSceneOverlay;
    screenOverlay = drawScreenOverlay;
    setLit(extras.lit);
}

void installExtras() {
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
        // Close enough to see the sphere at the event and what it met.
        frameTarget({settings.replayPoint, 8.0f * sphereRadius});
    }
    if (!settings.screenshot.empty()) {
        glutDisplayFunc(saveScreenshot);
    }
}

}  // namespace sweepview
