#pragma once

#include <string>

#include "geometry/vec3.h"

namespace sweepview {

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
};

// `dorn sim`: runs the viewer's step (radius 2.5 unless given, tolerance
// 0.001) on the scene without a window and writes one CSV line per step on
// standard output, or to the output file (written whole or not at all):
//   step,px,py,pz,vx,vy,vz,contacts,hits
// with %.9g floats and the step's hit triangles separated by spaces. --check
// and --stats report on standard error at the end; --exact-edges sweeps with
// the exact edge test, --two-sided with faces that stop from both sides.
// Returns 0, or 1 when the scene cannot be loaded or the CSV not written.
[[nodiscard]] int runSim(const SimOptions& options);

}  // namespace sweepview
