#pragma once

#include "vec3.h"

namespace sweepview {

// A sphere moving in a straight line for one step: its centre is at
// position + t * displacement at time t, from t = 0 to t = 1.
class SweptSphere {
public:
    Vec3 position;
    Vec3 displacement;
    float radius = 0.0f;

    SweptSphere() = default;
    SweptSphere(const Vec3& position_, const Vec3& displacement_, float radius_)
        : position(position_), displacement(displacement_), radius(radius_) {}
    SweptSphere(const SweptSphere&) = default;
    SweptSphere& operator=(const SweptSphere&) = default;
    virtual ~SweptSphere() = default;
};

}  // namespace sweepview
