#include "app/viewer_loop.h"

#include <GL/glut.h>

#include <chrono>
#include <cmath>
#include <iostream>

#include "app/frame_callback.h"
#include "app/frame_step.h"
#include "app/key_bindings.h"
#include "app/step_clock.h"
#include "app/viewer_state.h"
#include "app/window.h"

namespace sweepview {

namespace {

StepClock clock;
bool installed = false;
bool tickPending = false;
bool wasRunning = false;
double frameSeconds = 0.0;

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

void display() {
    const double began = nowSeconds();
    drawFrame();
    // One step per frame takes it after drawing, as the classic frame does.
    if (clock.rate == 0.0) {
        stepIfDue(std::cout);
    }
    glFlush();
    glutSwapBuffers();
    frameSeconds = nowSeconds() - began;
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

void installViewerLoop(double stepsPerSecond) {
    installed = true;
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

double lastFrameSeconds() {
    return frameSeconds;
}

}  // namespace sweepview
