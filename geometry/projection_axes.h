#pragma once

#include <cmath>

#include "vec3.h"

namespace sweepview {

// The two coordinate axes a triangle of normal n is projected onto for its
// inside test: the axis of the normal's largest magnitude is dropped, the
// later one on equal magnitudes (a non-number drops z). The face test and
// the compile's bound on where its contacts can lie share it.
struct ProjectionAxes {
    int first = 0;
    int second = 1;
};

inline ProjectionAxes projectionAxes(const Vec3& n) {
    const float ax = std::fabs(n.x);
    const float ay = std::fabs(n.y);
    const float az = std::fabs(n.z);
    if (ax > ay && ax > az) {
        return {1, 2};
    }
    if (ax <= ay && ay > az) {
        return {0, 2};
    }
    return {0, 1};
}

}  // namespace sweepview
