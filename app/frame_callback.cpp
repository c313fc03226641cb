#include "app/frame_callback.h"

#include <GL/glut.h>

#include <iostream>

#include "app/frame_step.h"
#include "app/viewer_state.h"
#include "render/box_list.h"

namespace sweepview {

namespace {

void drawWireSphere(const Vec3& centre, float red, float blue) {
    glPushMatrix();
    glTranslatef(centre.x, centre.y, centre.z);
    glColor4f(red, 0.0f, blue, 0.5f);
    glutWireSphere(sphereRadius, 10, 10);
    glPopMatrix();
}

void applyCamera() {
    glTranslatef(cameraX, cameraY, cameraZ);
    glRotatef(cameraYaw, 0.0f, 1.0f, 0.0f);
    glRotatef(cameraPitch, 1.0f, 0.0f, 0.0f);
}

}  // namespace

std::function<void()> sceneOverlay;
std::function<void()> screenOverlay;
std::function<void()> opaqueScene;

void drawFrame() {
    prepareBoxLayer(*currentScene, boxDrawMode, {cameraX, cameraY, cameraZ, cameraYaw, cameraPitch});
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    if (opaqueScene) {
        glPushMatrix();
        applyCamera();
        opaqueScene();
        glPopMatrix();
    }
    glDepthMask(GL_FALSE);  // translucent everything: nothing writes depth
    glPushMatrix();
    applyCamera();
    drawWireSphere(spherePosition + sphereVelocity, 0.0f, 1.0f);
    drawWireSphere(spherePosition, 1.0f, 0.0f);
    drawSceneWithBoxList(*currentScene, boxDrawMode, !opaqueScene);
    if (sceneOverlay) {
        sceneOverlay();
    }
    glPopMatrix();
    glDepthMask(GL_TRUE);
    if (screenOverlay) {
        screenOverlay();
    }
}

void frameCallback() {
    drawFrame();

    stepIfDue(std::cout);

    glFlush();
    glutSwapBuffers();
    glutPostRedisplay();
}

}  // namespace sweepview
