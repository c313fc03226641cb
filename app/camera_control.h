#pragma once

#include "geometry/vec3.h"

namespace sweepview {

// What the camera frames: a centre and the radius of a sphere to keep in view.
struct ViewTarget {
    Vec3 centre;
    float radius = 1.0f;
};

// The whole scene: the root box's centre and the sphere through its corners.
ViewTarget sceneTarget();

// Puts the target's centre in the middle of the view, just far enough for its
// sphere to fit the 45-degree field of view, keeping the camera's angles; the
// mouse then turns the scene about that centre.
void frameTarget(const ViewTarget& target);

// Keeps the view on a moving centre: the framed centre becomes `centre` and
// the camera moves with it, keeping its angles and distance, so a drag still
// turns about it and a zoom is not undone.
void followTarget(const Vec3& centre);

// A direction given in the eye's axes (x right, y up, -z ahead) in the
// scene's axes.
Vec3 eyeDirection(const Vec3& direction);

// The projection's near and far planes set so that the whole scene lies
// between them from where the camera is (the window's 1 to 1000 unless the
// scene reaches further), so a big mesh is never cut.
void fitDepthRange();

// The mouse: a left drag turns the scene about the framed centre (the scene's
// until something is framed), the wheel or a right drag comes closer or goes
// back, a middle drag pans. Each change asks the command-line loop for a frame.
void installMouse();

// True while a mouse button is held, so the drawing can stay light.
bool mouseDragging();

}  // namespace sweepview
