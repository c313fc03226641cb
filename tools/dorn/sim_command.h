#pragma once

#include <string>

#include "geometry/vec3.h"

namespace sweepview {

// How the simulated sphere answers a contact: the viewer's bounce, or a
// character's collide-and-slide (moveAndSlide).
enum class SimResponse { Bounce, Slide };

struct SimOptions {
    std::string scene;
    long steps = 1000;
    Vec3 position{0.0f, 12.5f, 0.0f};  // the viewer's start state
    Vec3 velocity{1.0f, -1.0f, 1.0f};
    float radius = 2.5f;
    std::string output;  // the CSV's file; empty: standard output
    bool check = false;
    bool stats = false;
    bool exactEdges = false;  // EdgeRule::Exact instead of the viewer's rule
    bool twoSided = false;    // FaceSides::Two: faces stop the sphere from either side
    SimResponse response = SimResponse::Bounce;
    // Slide only: added to the falling speed every step (the speed resets on
    // a floor); up is against it, (0, 1, 0) without gravity.
    Vec3 gravity{0.0f, -0.05f, 0.0f};
    float maxSlope = 45.0f;   // degrees from up a floor may lean
    float stepHeight = 0.0f;  // stairs up to this are climbed
    float floorSnap = 0.0f;   // how far a sphere that stood on a floor is kept on it
};

// `dorn sim`: runs the viewer's step (radius 2.5 unless given, tolerance
// 0.001) on the scene without a window and writes one CSV line per step on
// standard output, or to the output file (written whole or not at all):
//   step,px,py,pz,vx,vy,vz,contacts,hits
// with %.9g floats and the step's hit triangles separated by spaces. --check
// and --stats report on standard error at the end; --exact-edges sweeps with
// the exact edge test, --two-sided with faces that stop from both sides.
// With SimResponse::Slide each step instead moves the sphere by velocity plus
// the falling speed through moveAndSlide (exact edges, skin 0.001) and the
// CSV reads
//   step,px,py,pz,vx,vy,vz,contacts,hits,on_floor
// with the step's displacement as v and on_floor 0 or 1; --check reports as
// for the bounce, --stats also the steps on a floor and those that used every
// iteration.
// Returns 0, or 1 when the scene cannot be loaded or the CSV not written.
[[nodiscard]] int runSim(const SimOptions& options);

}  // namespace sweepview
