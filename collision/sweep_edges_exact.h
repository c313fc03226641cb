#pragma once

#include "collision/sweep_setup.h"
#include "geometry/prepared_triangle.h"
#include "geometry/swept_sphere.h"

// The exact edge test's outcome for a triangle's three edges V0V1, V1V2,
// V2V0: per edge, what sweepHitsEdgeExact returns and writes (time and
// fraction meaningful only where hit is true).
struct TriangleEdgeHits {
    bool hit[3];
    bool lineMissed[3];
    float time[3];
    float fraction[3];
};

// sweepHitsEdgeExact on each of triangle's edges, with the edge's
// reciprocal squared length from its frame. Where SSE is there the three
// edges go through the lanes of one register, each lane doing the scalar
// test's very operations in the same order (the branches become masks), so
// every field is the same bit for bit as three scalar calls give.
void sweepHitsEdgesExact(const SweptSphere& sphere, const SweepSetup& setup,
                         const PreparedTriangle& triangle, TriangleEdgeHits& hits);
