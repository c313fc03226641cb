#pragma once

#include "collision/sweep_setup.h"
#include "geometry/prepared_triangle.h"
#include "geometry/swept_sphere.h"

// A triangle's three edges (V0V1, V1V2, V2V0) or three corners (V0, V1, V2)
// tested at once. Where SSE is there the three go through the lanes of one
// register, each lane doing the scalar test's very operations in the same
// order (its branches become masks), so every field is the same bit for bit
// as three calls of the scalar test give; elsewhere they are those calls.
// time and fraction are meaningful only where hit is true.

// Per edge, what sweepHitsEdge or sweepHitsEdgeExact returns and writes.
struct TriangleEdgeHits {
    bool hit[3];
    bool lineMissed[3];  // exact rule only
    float time[3];
    float fraction[3];
};

// Per corner, what sweepHitsVertex returns and writes.
struct TriangleCornerHits {
    bool hit[3];
    float time[3];
};

// sweepHitsEdge (the design's rule) on each edge, with the edge frames.
void sweepHitsEdges(const SweptSphere& sphere, const SweepSetup& setup,
                    const PreparedTriangle& triangle, TriangleEdgeHits& hits);

// sweepHitsEdgeExact on each edge, with the edges' reciprocal squared lengths.
void sweepHitsEdgesExact(const SweptSphere& sphere, const SweepSetup& setup,
                         const PreparedTriangle& triangle, TriangleEdgeHits& hits);

// sweepHitsVertex on each corner.
void sweepHitsCorners(const SweptSphere& sphere, const SweepSetup& setup,
                      const PreparedTriangle& triangle, TriangleCornerHits& hits);
