#pragma once

#include "collision/sweep_setup.h"
#include "geometry/prepared_triangle.h"
#include "geometry/swept_sphere.h"

namespace sweepview {

// A triangle's three edges (V0V1, V1V2, V2V0) or three corners (V0, V1, V2)
// tested at once. Where SSE is there the three go through the lanes of one
// register, each lane doing the scalar test's very operations in the same
// order (its branches become masks), so every field is the same bit for bit
// as three calls of the scalar test give; elsewhere they are those calls.
// Masks have bit i for edge or corner i; time and fraction [i] are
// meaningful only where hit has bit i (with no bit set, they are not written).

// Per edge, what sweepHitsEdge or sweepHitsEdgeExact returns and writes.
struct TriangleEdgeHits {
    int hit;
    int lineMissed;  // exact rule only; 0 for the design's
    float time[4];
    float fraction[4];
};

// Per corner, what sweepHitsVertex returns and writes, whether the sphere
// moves away from a corner it does not touch at the start
// (dot(d, o - corner) >= 0 and |o - corner|^2 > radius^2), and whether it
// starts within the radius of the corner and moves deeper in
// (|o - corner|^2 < radius^2 and dot(d, o - corner) < 0).
struct TriangleCornerHits {
    int hit;
    int awayUntouched;
    int wayIn;
    float time[4];
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

}  // namespace sweepview
