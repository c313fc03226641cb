#pragma once

namespace sweepview {

// The drawing area the window opens with: 640 by 480 unless the command line
// asks for another size.
extern int initialWindowWidth;
extern int initialWindowHeight;

// GLUT initialisation (given main's arguments, of which GLUT may take its own
// options) and the one window "GLUT app" at (100, 100), of the initial size:
// RGBA, double-buffered, with alpha and depth; then reshapeWindow to that size.
void initWindow(int argc, char** argv);

// Viewport and a 45-degree perspective for the drawing area; a zero width or
// height is taken as 1. The window system's reshape callback.
void reshapeWindow(int width, int height);

// The fixed OpenGL state: smooth shading, opaque white clear colour, depth
// test with GL_LEQUAL, alpha blending.
void initGlState();

// Records currentScene's mesh, with box draw mode 0, into the display list
// sceneList, then marks the list ready.
void buildSceneList();

// The start-up after the dialogue: key bindings, window, GL state, display
// list, callbacks, then the window system's main loop (which does not return
// in normal operation). beforeLoop, when set, runs after the callbacks are
// registered and before the main loop (for the viewer's additions).
void startViewer(int argc, char** argv, void (*beforeLoop)() = nullptr);

}  // namespace sweepview
