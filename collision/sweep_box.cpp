#include "collision/sweep_box.h"

#include "geometry/assert.h"

namespace sweepview {

namespace {

struct GrownBox {
    float lo[3];
    float hi[3];
};

GrownBox growBounds(const Vec3& min, const Vec3& max, float radius) {
    return {{min.x - radius, min.y - radius, min.z - radius},
            {max.x + radius, max.y + radius, max.z + radius}};
}

GrownBox growBox(NodeBox& box, float radius) {
    if (box.boundsValid == 0) {
        box.updateBounds();
    }
    return growBounds(box.boundsMin, box.boundsMax, radius);
}

// Per axis: the min bit when below, else the max bit when above (a box whose
// half-extents are negative can have a point on both sides). Written without
// branches: which bits a node's test sets is hard to predict.
std::int32_t outcode(const Vec3& p, const GrownBox& grown) {
    const std::int32_t belowX = p.x < grown.lo[0];
    const std::int32_t belowY = p.y < grown.lo[1];
    const std::int32_t belowZ = p.z < grown.lo[2];
    const std::int32_t aboveX = (p.x > grown.hi[0]) & (belowX ^ 1);
    const std::int32_t aboveY = (p.y > grown.hi[1]) & (belowY ^ 1);
    const std::int32_t aboveZ = (p.z > grown.hi[2]) & (belowZ ^ 1);
    return belowX * OUT_X_MIN | aboveX * OUT_X_MAX | belowY * OUT_Y_MIN | aboveY * OUT_Y_MAX |
           belowZ * OUT_Z_MIN | aboveZ * OUT_Z_MAX;
}

// Whether the path crosses the grown box's face plane on axis (lo or hi side)
// strictly inside the face. Only called for a bit set in exactly one of the two
// codes, so the path crosses that plane within the step and the divisor is not
// zero.
bool crossesFace(int axis, bool hiSide, const float (&s)[3], const float (&d)[3],
                 const GrownBox& grown) {
    const float(&lo)[3] = grown.lo;
    const float(&hi)[3] = grown.hi;
    const float plane = hiSide ? hi[axis] : lo[axis];
    const float t = (plane - s[axis]) / d[axis];
    const int a = axis == 0 ? 1 : 0;
    const int b = axis == 2 ? 1 : 2;
    const float crossingA = s[a] + d[a] * t;
    const float crossingB = s[b] + d[b] * t;
    return lo[a] < crossingA && crossingA < hi[a] && lo[b] < crossingB && crossingB < hi[b];
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
    if (box.boundsValid == 0) {
        box.updateBounds();
    }
    return sweepHitsBounds(sphere, setup, box.boundsMin, box.boundsMax);
}

std::int32_t sweepHitsBounds(const SweptSphere& sphere, const SweepSetup& setup,
                             const Vec3& boundsMin, const Vec3& boundsMax) {
    // The box test reads only the setup's end (a walk fills the rest later).
    SWEEP_ASSERT(sameBits(setup.end, sphere.position + sphere.displacement));
    // The codes as boxOutcodes computes them, with the grown box computed once
    // for them and the face tests: this runs for every node a query visits.
    const GrownBox grown = growBounds(boundsMin, boundsMax, sphere.radius);
    const std::int32_t startCode = outcode(sphere.position, grown);
    const std::int32_t endCode = outcode(setup.end, grown);
    if ((startCode & endCode) != 0) {
        return 0;  // both ends beyond the same face plane
    }
    if (startCode == 0 || endCode == 0) {
        // An end inside: the path reaches the box, also where it enters exactly
        // through an edge or corner of the grown box, which the strict face
        // tests below would reject (a sphere flying straight at a box's corner).
        return 1;
    }
    // A bit is set in one of the two codes at most: each names a face plane the
    // path crosses within the step.
    const Vec3& p = sphere.position;
    const Vec3& q = sphere.displacement;
    const float start[3] = {p.x, p.y, p.z};
    const float displacement[3] = {q.x, q.y, q.z};
    const std::int32_t crossed = startCode | endCode;
    return ((crossed & OUT_X_MIN) != 0 && crossesFace(0, false, start, displacement, grown)) ||
           ((crossed & OUT_X_MAX) != 0 && crossesFace(0, true, start, displacement, grown)) ||
           ((crossed & OUT_Y_MAX) != 0 && crossesFace(1, true, start, displacement, grown)) ||
           ((crossed & OUT_Y_MIN) != 0 && crossesFace(1, false, start, displacement, grown)) ||
           ((crossed & OUT_Z_MIN) != 0 && crossesFace(2, false, start, displacement, grown)) ||
           ((crossed & OUT_Z_MAX) != 0 && crossesFace(2, true, start, displacement, grown))
               ? 1
               : 0;
}

}  // namespace sweepview
