#pragma once

#include <cstdint>

#include "collision/sweep_setup.h"
#include "geometry/vec3.h"
#include "scene/collision_mesh.h"

namespace sweepview {

// The running viewer's state, touched only on the window system's thread.

// The loaded scene; never null once the start-up dialogue is over.
extern CollisionMesh* currentScene;

extern Vec3 spherePosition;  // centre of the moving sphere
extern Vec3 sphereVelocity;  // displacement of the centre per step
extern float sphereRadius;   // swept and drawn; never changes

// The scene is turned about x by the pitch, then about y by the yaw (degrees),
// then moved by the camera translation.
extern float cameraX;
extern float cameraY;
extern float cameraZ;
extern float cameraYaw;
extern float cameraPitch;

extern bool animationRunning;      // take a step on every frame
extern bool stepRequested;         // take exactly one step on the next frame, then pause
extern std::int32_t frameCounter;  // steps taken so far
extern std::int32_t boxDrawMode;   // 0 to 4, see drawNodeBox

// How the sweeps meet edges and faces; the viewer's own rule and one-sided
// faces unless asked otherwise.
extern EdgeRule edgeRule;
extern FaceSides faceSides;

// The options of the viewer's sweeps: edgeRule, faceSides and the process's
// collisionEpsilon as their tolerance.
SweepOptions viewerSweepOptions();

// Puts every variable above back to its start-up value (currentScene aside).
void resetViewerState();

}  // namespace sweepview
