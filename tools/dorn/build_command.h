#pragma once

#include <string>
#include <vector>

#include "geometry/vec3.h"

namespace sweepview {

struct BuildOptions {
    std::vector<std::string> inputs;
    std::string output;
    float scale = 1.0f;
    bool center = false;
    float fit = 0.0f;  // 0: keep the size
    Vec3 move;         // added to every position after fitting
    bool flip = false;
    float room = 0.0f;  // 0: no room
    bool dropDegenerate = false;
    bool orient = false;  // turn triangles to agree with their neighbours (orientMesh)
    bool normals = true;
};

// `dorn build`: reads and merges the inputs, welds identical vertices, applies
// scale, centre, fit, move, flip, the dropping of degenerate triangles, the
// orientation and the room, in that order, builds the volume tree and writes the scene. Reports on
// standard output; returns 0, or 1 with the reason on standard error.
[[nodiscard]] int runBuild(const BuildOptions& options);

}  // namespace sweepview
