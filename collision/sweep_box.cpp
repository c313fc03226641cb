#include "collision/sweep_box.h"

#include <initializer_list>

namespace {

struct GrownBox {
    Vec3 lo;
    Vec3 hi;
};

GrownBox growBox(NodeBox& box, float radius) {
    if (box.boundsValid == 0) {
        box.updateBounds();
    }
    const Vec3& min = box.boundsMin;
    const Vec3& max = box.boundsMax;
    return {Vec3(min.x - radius, min.y - radius, min.z - radius),
            Vec3(max.x + radius, max.y + radius, max.z + radius)};
}

std::int32_t outcode(const Vec3& p, const GrownBox& grown) {
    std::int32_t code = 0;
    if (p.x < grown.lo.x) {
        code |= OUT_X_MIN;
    } else if (p.x > grown.hi.x) {
        code |= OUT_X_MAX;
    }
    if (p.y < grown.lo.y) {
        code |= OUT_Y_MIN;
    } else if (p.y > grown.hi.y) {
        code |= OUT_Y_MAX;
    }
    if (p.z < grown.lo.z) {
        code |= OUT_Z_MIN;
    } else if (p.z > grown.hi.z) {
        code |= OUT_Z_MAX;
    }
    return code;
}

// Whether the path crosses the face plane of `bit` strictly inside the face.
bool crossesFace(std::int32_t bit, const SweptSphere& sphere, const GrownBox& grown) {
    int axis = 0;
    float plane = 0.0f;
    switch (bit) {
        case OUT_X_MIN:
            axis = 0;
            plane = grown.lo.x;
            break;
        case OUT_X_MAX:
            axis = 0;
            plane = grown.hi.x;
            break;
        case OUT_Y_MAX:
            axis = 1;
            plane = grown.hi.y;
            break;
        case OUT_Y_MIN:
            axis = 1;
            plane = grown.lo.y;
            break;
        case OUT_Z_MIN:
            axis = 2;
            plane = grown.lo.z;
            break;
        default:
            axis = 2;
            plane = grown.hi.z;
            break;
    }
    const Vec3& s = sphere.position;
    const Vec3& d = sphere.displacement;
    const float t = (plane - component(s, axis)) / component(d, axis);
    const Vec3 crossing = s + d * t;
    // The bit is set in one code only, so the path crosses the plane within the
    // step and the divisor is not zero.
    const int a = axis == 0 ? 1 : 0;
    const int b = axis == 2 ? 1 : 2;
    return component(grown.lo, a) < component(crossing, a) &&
           component(crossing, a) < component(grown.hi, a) &&
           component(grown.lo, b) < component(crossing, b) &&
           component(crossing, b) < component(grown.hi, b);
}

}  // namespace

void boxOutcodes(const SweptSphere& sphere, NodeBox& box, std::int32_t& startCode,
                 std::int32_t& endCode) {
    const GrownBox grown = growBox(box, sphere.radius);
    startCode = 0;
    endCode = 0;
    const Vec3 end = sphere.position + sphere.displacement;
    startCode = outcode(sphere.position, grown);
    endCode = outcode(end, grown);
}

std::int32_t sweepHitsBox(const SweptSphere& sphere, NodeBox& box) {
    return sweepHitsBox(sphere, prepareSweep(sphere), box);
}

std::int32_t sweepHitsBox(const SweptSphere& sphere, const SweepSetup& setup, NodeBox& box) {
    // The codes as boxOutcodes computes them, with the grown box computed once
    // for them and the face tests: this runs for every node a query visits.
    const GrownBox grown = growBox(box, sphere.radius);
    const std::int32_t startCode = outcode(sphere.position, grown);
    const std::int32_t endCode = outcode(setup.end, grown);
    if ((startCode & endCode) != 0) {
        return 0;  // both ends beyond the same face plane
    }
    if ((startCode | endCode) == 0) {
        return 1;  // both ends inside
    }
    for (std::int32_t code : {startCode, endCode}) {
        for (std::int32_t bit = OUT_X_MIN; bit <= OUT_Z_MAX; bit <<= 1) {
            if ((code & bit) != 0 && crossesFace(bit, sphere, grown)) {
                return 1;
            }
        }
    }
    return 0;
}
