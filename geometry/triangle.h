#pragma once

#include <cstdint>

#include "vec3.h"

namespace sweepview {

// One mesh triangle with its corner positions resolved, and its unit normal
// computed once, on first request.
class Triangle {
public:
    Vec3 corners[3];
    // Cache behind normal(); meaningful only while normalValid is 1. (The
    // accessor owns the name `normal`, so the stored copy is named apart.)
    Vec3 cachedNormal;
    std::int32_t normalValid = 0;

    Triangle() = default;
    Triangle(const Triangle&) = default;
    Triangle& operator=(const Triangle&) = default;
    virtual ~Triangle() = default;

    // Sets the corners V0, V1, V2 and forgets the cached normal.
    void init(const Vec3& a, const Vec3& b, const Vec3& c);

    // The right-hand unit normal of the order V0, V1, V2 (Newell's sum), computed
    // on the first call and cached. A triangle without area has a zero sum and
    // gets a normal of non-numbers; callers' tests fail on those by design.
    Vec3 normal();
};

}  // namespace sweepview
