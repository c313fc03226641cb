#pragma once

#include "geometry/vec3.h"

namespace sweepview {

// Walk mode: the sphere stands on the level under gravity and the keys walk
// it, each step one moveAndSlide through the scene. Distances are per step.
struct WalkSettings {
    float speed = 0.25f;       // walked along the floor
    float gravity = 0.05f;     // falling speed gained, along -up
    float jumpSpeed = 0.6f;    // rising speed a jump starts with
    float stepHeight = 1.25f;  // the highest stair walked up
    float maxSlope = 45.0f;    // degrees from up a floor may lean
    Vec3 up{0.0f, 1.0f, 0.0f};
    Vec3 drift;  // walked every step besides the keys' walk (across up only)
};

// The scale of a sphere of this radius: a tenth of it walked and a fiftieth
// of it gained in falling speed per step, stairs up to half of it, jumps a
// radius and a half high.
WalkSettings walkSettingsFor(float radius);

// What the last step did, for the on-screen facts.
struct WalkFacts {
    bool onFloor = false;
    float slopeDegrees = 0.0f;  // the floor's, from up; 0 off a floor
    float fallSpeed = 0.0f;     // along -up, per step (negative rising)
    int contacts = 0;
    int iterations = 0;
    float speed = 0.0f;
    float stepHeight = 0.0f;
    float maxSlope = 0.0f;
};

extern WalkFacts walkFacts;

// Makes steps walk: stepMotion moves the sphere by the keys' walk and the
// fall, the camera following it.
void prepareWalk(const WalkSettings& settings);

// Once the window exists: binds the walk keys (the arrows and w a s d walk,
// space jumps, p runs or pauses, n takes one step; the arrows, s and space
// give up their classic actions) and the key releases, and frames the sphere.
void installWalk();

}  // namespace sweepview
