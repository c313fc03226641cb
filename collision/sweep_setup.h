#pragma once

#include "../geometry/swept_sphere.h"
#include "../geometry/vec3.h"

namespace sweepview {

// Which edge test a sweep uses. Design: the viewer's rule, exact for motion at
// right angles to the edge, which at a slant can report contacts the sphere
// never makes and late ones. Exact: the sphere against the cylinder round the
// edge (sweepHitsEdgeExact), with the earliest of a triangle's edge and corner
// contacts taken rather than the first found.
enum class EdgeRule { Design, Exact };

// Which sides of a face stop a sphere. One: the design's, only the side the
// triangle's normal (counter-clockwise winding) points to; a sphere behind the
// face passes it. Two: either side, each triangle tested as if wound towards
// the side the sphere's centre starts the sweep on (a centre on the plane, or
// a non-number distance, keeps the winding). Cull: One, and a triangle whose
// normal points along the motion (normal . displacement > 0) is skipped whole,
// its edges and corners too, as engines that ignore back faces do.
enum class FaceSides { One, Two, Cull };

struct QueryCounters;

// How far short of a contact a sweep stops the sphere unless its options say
// otherwise: the viewer's and the tools' collisionEpsilon.
inline constexpr float DEFAULT_SWEEP_TOLERANCE = 0.001f;

// How a sweep meets the mesh. Converts from an EdgeRule alone (one-sided
// faces), so the calls written before faces had a choice keep their meaning.
// tolerance: how far short of a contact the sphere stops (the feature tests'
// collisionEpsilon, for this call alone); a non-number or a value below
// MIN_COLLISION_EPSILON is taken as DEFAULT_SWEEP_TOLERANCE. With stats set,
// the query adds the work it does there (one thread at a time per record;
// sweepBatch sums its threads' own).
struct SweepOptions {
    EdgeRule edges = EdgeRule::Design;
    FaceSides faces = FaceSides::One;
    float tolerance = DEFAULT_SWEEP_TOLERANCE;
    QueryCounters* stats = nullptr;

    constexpr SweepOptions() = default;
    constexpr SweepOptions(EdgeRule edgeRule, FaceSides faceSides = FaceSides::One)  // NOLINT
        : edges(edgeRule), faces(faceSides) {}
};

// The values every box, edge and corner test of one sweep derives from the
// sphere alone. A query computes them once; the tests then skip recomputing
// them, with the very same float operations, so results stay bit for bit.
struct SweepSetup {
    Vec3 end;                 // position + displacement
    float stepSquared = 0;    // displacement . displacement
    float stepLength = 0;     // sqrt(stepSquared)
    Vec3 motionDir;           // displacement * (1 / stepLength); non-numbers for no motion
    float radiusSquared = 0;  // radius * radius
    float vertexRootScale = 0;  // 1 / (2 * stepSquared), the corner test's root factor
    EdgeRule edgeRule = EdgeRule::Design;
    FaceSides faceSides = FaceSides::One;
    float tolerance = DEFAULT_SWEEP_TOLERANCE;  // as sweepTolerance gives it
};

// The tolerance options ask for, as SweepOptions describes it.
float sweepTolerance(const SweepOptions& options);

// options with the process's collisionEpsilon as their tolerance: what the
// feature tests without a setup use, and the viewer's sweeps.
SweepOptions withProcessTolerance(SweepOptions options = {});

// The setup of sphere. Never fails: a zero displacement gives a zero length and
// a non-number direction, which the tests treat as no motion.
SweepSetup prepareSweep(const SweptSphere& sphere, SweepOptions options = {});

// Whether a and b hold the same bits (a non-number equals only its own bits).
bool sameBits(const Vec3& a, const Vec3& b);

// Whether setup holds, bit for bit, what prepareSweep(sphere) computes (the
// options aside): what the tests that take a setup require of it.
bool isSetupOf(const SweepSetup& setup, const SweptSphere& sphere);

}  // namespace sweepview
