#pragma once

#include "vec3.h"

namespace sweepview {

// The points p with dot(normal, p) = offset; normal is expected to be of unit length.
class Plane {
public:
    Vec3 normal;
    float offset = 0.0f;

    Plane() = default;
    Plane(const Vec3& normal_, float offset_) : normal(normal_), offset(offset_) {}
    Plane(const Plane&) = default;
    Plane& operator=(const Plane&) = default;
    virtual ~Plane() = default;
};

}  // namespace sweepview
