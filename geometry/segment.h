#pragma once

#include "vec3.h"

namespace sweepview {

// A finite piece of line from start to end.
class Segment {
public:
    Vec3 start;
    Vec3 end;

    Segment() = default;
    Segment(const Vec3& start_, const Vec3& end_) : start(start_), end(end_) {}
    Segment(const Segment&) = default;
    Segment& operator=(const Segment&) = default;
    virtual ~Segment() = default;

    // end - start, not normalised.
    Vec3 direction() const { return end - start; }
};

}  // namespace sweepview
