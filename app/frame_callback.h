#pragma once

#include <functional>

namespace sweepview {

// Drawn with every frame when set: sceneOverlay inside the camera transform,
// after the scene; screenOverlay after the camera transform is undone. Unset
// (the classic viewer), a frame is drawn exactly as it always was.
extern std::function<void()> sceneOverlay;
extern std::function<void()> screenOverlay;
// When set, draws the mesh opaque (writing depth) under the camera transform
// before the spheres, and the translucent mesh is left out.
extern std::function<void()> opaqueScene;

// One frame's drawing, without the step or the buffer swap: the camera
// transform, the two wire spheres, the scene and the overlays.
void drawFrame();

// The window system's display and idle callback: draws the frame, takes the
// sphere's step when due, then swaps the buffers and asks for the next frame.
void frameCallback();

}  // namespace sweepview
