#include "app/viewer_state.h"

namespace sweepview {

CollisionMesh* currentScene = nullptr;

Vec3 spherePosition(0.0f, 12.5f, 0.0f);
Vec3 sphereVelocity(1.0f, -1.0f, 1.0f);
float sphereRadius = 2.5f;

float cameraX = 0.0f;
float cameraY = 0.0f;
float cameraZ = -200.0f;
float cameraYaw = 0.0f;
float cameraPitch = 0.0f;

bool animationRunning = false;
bool stepRequested = false;
std::int32_t frameCounter = 0;
std::int32_t boxDrawMode = 0;
EdgeRule edgeRule = EdgeRule::Design;
FaceSides faceSides = FaceSides::One;

SweepOptions viewerSweepOptions() { return withProcessTolerance(SweepOptions(edgeRule, faceSides)); }

void resetViewerState() {
    spherePosition = Vec3(0.0f, 12.5f, 0.0f);
    sphereVelocity = Vec3(1.0f, -1.0f, 1.0f);
    sphereRadius = 2.5f;
    cameraX = 0.0f;
    cameraY = 0.0f;
    cameraZ = -200.0f;
    cameraYaw = 0.0f;
    cameraPitch = 0.0f;
    animationRunning = false;
    stepRequested = false;
    frameCounter = 0;
    boxDrawMode = 0;
    edgeRule = EdgeRule::Design;
    faceSides = FaceSides::One;
}

}  // namespace sweepview
