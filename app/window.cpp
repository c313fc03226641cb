#include "app/window.h"

#include <GL/glut.h>

#include <cstdlib>

#include "app/frame_callback.h"
#include "app/key_bindings.h"
#include "app/viewer_state.h"
#include "render/scene_drawing.h"

namespace sweepview {

namespace {
// GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH
constexpr unsigned int DISPLAY_MODE = 26;
}  // namespace

int initialWindowWidth = 640;
int initialWindowHeight = 480;

void initWindow(int argc, char** argv) {
    int argumentCount = argc;  // GLUT may remove its own options from the copy
#if defined(_WIN32)
    __glutInitWithExit(&argumentCount, argv, std::exit);
#else
    glutInit(&argumentCount, argv);
#endif
    glutInitDisplayMode(DISPLAY_MODE);
    glutInitWindowPosition(100, 100);
    glutInitWindowSize(initialWindowWidth, initialWindowHeight);
#if defined(_WIN32)
    __glutCreateWindowWithExit("GLUT app", std::exit);
#else
    glutCreateWindow("GLUT app");
#endif
    reshapeWindow(initialWindowWidth, initialWindowHeight);
}

void reshapeWindow(int width, int height) {
    if (height == 0) {
        height = 1;
    }
    if (width == 0) {
        width = 1;
    }
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
}

void initGlState() {
    glShadeModel(GL_SMOOTH);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void buildSceneList() {
    sceneList = glGenLists(1);
    glNewList(sceneList, GL_COMPILE);
    drawScene(*currentScene, 0);
    glEndList();
    sceneListReady = true;
}

void startViewer(int argc, char** argv, void (*beforeLoop)()) {
    registerKeyBindings();
    initWindow(argc, argv);
    initGlState();
    buildSceneList();
    glutKeyboardFunc(keyboardCallback);
    glutSpecialFunc(specialKeyCallback);
    glutReshapeFunc(reshapeWindow);
    glutDisplayFunc(frameCallback);
    glutIdleFunc(frameCallback);
    if (beforeLoop != nullptr) {
        beforeLoop();
    }
    glutMainLoop();
}

}  // namespace sweepview
