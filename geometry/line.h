#pragma once

#include "vec3.h"

namespace sweepview {

// An unbounded line through point; direction is kept as given (not normalised).
class Line {
public:
    Vec3 point;
    Vec3 direction;

    Line() = default;
    Line(const Line&) = default;
    Line& operator=(const Line&) = default;
    virtual ~Line() = default;

    void init(const Vec3& point_, const Vec3& direction_) {
        point = point_;
        direction = direction_;
    }
};

}  // namespace sweepview
