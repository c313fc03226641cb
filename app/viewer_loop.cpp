#include "app/viewer_loop.h"

#include <GL/glut.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "app/camera_control.h"
#include "app/frame_callback.h"
#include "app/frame_step.h"
#include "app/key_bindings.h"
#include "app/step_clock.h"
#include "app/viewer_state.h"
#include "app/window.h"
#include "render/box_list.h"

namespace sweepview {

namespace {

StepClock clock;
bool installed = false;
bool tickPending = false;
bool wasRunning = false;
bool printRate = false;

// Frames per second over the frames drawn back to back. Frames are drawn only
// when something changes, so an idle spell before a frame starts the count
// again rather than counting as a slow frame.
struct FrameRate {
    double windowStart = 0.0;
    double lastEnd = -1.0;
    double lastPrint = 0.0;
    int frames = 0;
    double perSecond = 0.0;  // 0 until measured
} rate;

void countFrame(double began, double ended) {
    if (began - rate.lastEnd > 0.25) {
        rate.windowStart = began;
        rate.frames = 0;
        rate.perSecond = 0.0;
    }
    rate.lastEnd = ended;
    ++rate.frames;
    const double elapsed = ended - rate.windowStart;
    if (elapsed < 0.5) {
        return;
    }
    rate.perSecond = rate.frames / elapsed;
    if (printRate && ended - rate.lastPrint >= 1.0) {
        char line[64];
        std::snprintf(line, sizeof line, "%.1f frames/s", rate.perSecond);
        std::cerr << line << std::endl;
        rate.lastPrint = ended;
        rate.windowStart = ended;
        rate.frames = 0;
    }
}

double nowSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool wantsSteps() {
    return animationRunning || stepRequested;
}

void tick(int);

// A timer for the next due step, unless one is pending or nothing runs.
// With one step per frame, the frames themselves are the clock.
void schedule() {
    if (animationRunning && !wasRunning) {
        restartClock(clock, nowSeconds());
    }
    wasRunning = animationRunning;
    if (!wantsSteps()) {
        return;
    }
    if (clock.rate == 0.0) {
        glutPostRedisplay();
        return;
    }
    if (tickPending) {
        return;
    }
    const double wait = stepRequested ? 0.0 : secondsToNextStep(clock, nowSeconds());
    tickPending = true;
    glutTimerFunc(static_cast<unsigned>(std::ceil(wait * 1000.0)), tick, 0);
}

void tick(int) {
    tickPending = false;
    bool stepped = false;
    if (stepRequested) {
        stepped = stepIfDue(std::cout);
    } else if (animationRunning) {
        for (long due = takeDueSteps(clock, nowSeconds()); due > 0; --due) {
            stepped = stepIfDue(std::cout) || stepped;
        }
    }
    if (stepped) {
        glutPostRedisplay();
    }
    schedule();
}

// How long the view must stay put before the full picture of the boxes is
// drawn; until then a moving view gets the quick one.
constexpr double SETTLE_SECONDS = 0.2;
BoxView lastView{};
int lastMode = 0;
double lastMoveAt = -1e9;
double stoppedAt = -1e9;  // the last change of the view, or the release of a drag
bool wasDragging = false;
bool settlePending = false;
bool drewMoving = false;  // the last frame was a moving view's

void settle(int) {
    settlePending = false;
    glutPostRedisplay();
}

// Whether the view moves: a button held, or the camera or box mode changed
// lately. A moving view asks for one more frame once it has stayed put.
bool viewMoving(double now) {
    const bool dragging = mouseDragging();
    if (wasDragging && !dragging) {
        // The view stops at the release: no need to wait for it to settle.
        stoppedAt = now;
        lastMoveAt = std::min(lastMoveAt, now - SETTLE_SECONDS);
    }
    wasDragging = dragging;
    const BoxView view{cameraX, cameraY, cameraZ, cameraYaw, cameraPitch};
    // A new box mode also waits, so that cycling through the modes is quick.
    if (!(view == lastView) || boxDrawMode != lastMode) {
        lastView = view;
        lastMode = boxDrawMode;
        lastMoveAt = now;
        stoppedAt = now;
    }
    const bool moving = dragging || now - lastMoveAt < SETTLE_SECONDS;
    if (moving && !settlePending) {
        settlePending = true;
        const double wait = std::max(0.0, lastMoveAt + SETTLE_SECONDS - now);
        glutTimerFunc(static_cast<unsigned>(std::ceil(wait * 1000.0)) + 1, settle, 0);
    }
    return moving;
}

void display() {
    const double began = nowSeconds();
    boxDetail = viewMoving(began) ? BoxDetail::Moving : BoxDetail::Still;
    fitDepthRange();
    drawFrame();
    // One step per frame takes it after drawing, as the classic frame does;
    // the frame after the last one shows where it ended.
    if (clock.rate == 0.0 && stepIfDue(std::cout)) {
        glutPostRedisplay();
    }
    glFlush();
    glutSwapBuffers();
    const double ended = nowSeconds();
    countFrame(began, ended);
    const bool moving = boxDetail == BoxDetail::Moving;
    if (moving) {
        adaptMovingDetail(ended - began);
    }
    if (printRate && drewMoving && !moving) {
        char line[80];
        std::snprintf(line, sizeof line, "full picture %.2f s after the view stopped", ended - stoppedAt);
        std::cerr << line << std::endl;
    }
    drewMoving = moving;
    schedule();
}

void keyPressed(unsigned char key, int x, int y) {
    keyboardCallback(key, x, y);
    viewChanged();
}

void specialKeyPressed(int key, int x, int y) {
    specialKeyCallback(key, x, y);
    viewChanged();
}

}  // namespace

void installViewerLoop(double stepsPerSecond, bool printFrameRate) {
    installed = true;
    printRate = printFrameRate;
    lastView = {cameraX, cameraY, cameraZ, cameraYaw, cameraPitch};
    lastMode = boxDrawMode;
    clock.rate = stepsPerSecond;
    glutDisplayFunc(display);
    glutReshapeFunc([](int width, int height) {
        reshapeWindow(width, height);
        viewChanged();
    });
    glutIdleFunc(nullptr);
    glutKeyboardFunc(keyPressed);
    glutSpecialFunc(specialKeyPressed);
}

void viewChanged() {
    if (!installed) {
        return;  // the classic loop draws continually
    }
    glutPostRedisplay();
    schedule();
}

double framesPerSecond() {
    return rate.perSecond;
}

}  // namespace sweepview
