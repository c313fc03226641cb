#include "collision/sweep_edges_exact.h"

#include "collision/sweep_edge_exact.h"
#include "geometry/collision_epsilon.h"

#if defined(__SSE2__)
#include <immintrin.h>

namespace {

// Lanes x, y, z: the three edges' values of one coordinate.
struct Lanes3 {
    __m128 x, y, z;
};

__m128 dotLanes(const Lanes3& a, const Lanes3& b) {
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(a.x, b.x), _mm_mul_ps(a.y, b.y)), _mm_mul_ps(a.z, b.z));
}

// a - b * s, per coordinate, as Vec3's operators round it.
Lanes3 minusScaled(const Lanes3& a, const Lanes3& b, __m128 s) {
    return {_mm_sub_ps(a.x, _mm_mul_ps(b.x, s)), _mm_sub_ps(a.y, _mm_mul_ps(b.y, s)),
            _mm_sub_ps(a.z, _mm_mul_ps(b.z, s))};
}

}  // namespace

void sweepHitsEdgesExact(const SweptSphere& sphere, const SweepSetup& setup,
                         const PreparedTriangle& triangle, TriangleEdgeHits& hits) {
    const Vec3* c = triangle.corners;
    const Lanes3 start{_mm_setr_ps(c[0].x, c[1].x, c[2].x, c[0].x),
                       _mm_setr_ps(c[0].y, c[1].y, c[2].y, c[0].y),
                       _mm_setr_ps(c[0].z, c[1].z, c[2].z, c[0].z)};
    const Lanes3 end{_mm_setr_ps(c[1].x, c[2].x, c[0].x, c[1].x),
                     _mm_setr_ps(c[1].y, c[2].y, c[0].y, c[1].y),
                     _mm_setr_ps(c[1].z, c[2].z, c[0].z, c[1].z)};
    const __m128 inverseSquared =
        _mm_setr_ps(triangle.edges[0].inverseSquaredLength, triangle.edges[1].inverseSquaredLength,
                    triangle.edges[2].inverseSquaredLength, triangle.edges[0].inverseSquaredLength);
    const Vec3& o = sphere.position;
    const Vec3& dv = sphere.displacement;
    const Lanes3 d{_mm_set1_ps(dv.x), _mm_set1_ps(dv.y), _mm_set1_ps(dv.z)};
    const Lanes3 edge{_mm_sub_ps(end.x, start.x), _mm_sub_ps(end.y, start.y),
                      _mm_sub_ps(end.z, start.z)};
    const Lanes3 w{_mm_sub_ps(_mm_set1_ps(o.x), start.x), _mm_sub_ps(_mm_set1_ps(o.y), start.y),
                   _mm_sub_ps(_mm_set1_ps(o.z), start.z)};
    const Lanes3 wAcross = minusScaled(w, edge, _mm_mul_ps(dotLanes(w, edge), inverseSquared));
    const Lanes3 dAcross = minusScaled(d, edge, _mm_mul_ps(dotLanes(d, edge), inverseSquared));
    const __m128 zero = _mm_setzero_ps();
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 two = _mm_set1_ps(2.0f);
    const __m128 b = _mm_mul_ps(two, dotLanes(wAcross, dAcross));
    const __m128 cc = _mm_sub_ps(dotLanes(wAcross, wAcross), _mm_set1_ps(setup.radiusSquared));
    const __m128 a = dotLanes(dAcross, dAcross);
    const __m128 disc =
        _mm_sub_ps(_mm_mul_ps(b, b), _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(4.0f), a), cc));
    const __m128 t = _mm_div_ps(_mm_mul_ps(two, cc), _mm_sub_ps(_mm_sqrt_ps(disc), b));
    const __m128 px = _mm_add_ps(w.x, _mm_mul_ps(d.x, t));
    const __m128 py = _mm_add_ps(w.y, _mm_mul_ps(d.y, t));
    const __m128 pz = _mm_add_ps(w.z, _mm_mul_ps(d.z, t));
    const __m128 fraction = _mm_mul_ps(dotLanes({px, py, pz}, edge), inverseSquared);
    const __m128 stepLength = _mm_set1_ps(setup.stepLength);
    const __m128 stoppedShort = _mm_div_ps(
        _mm_sub_ps(_mm_mul_ps(t, stepLength), _mm_set1_ps(collisionEpsilon)), stepLength);

    // The scalar test's exits in order, as masks: each later one only where the
    // earlier ones passed.
    const int cClear = _mm_movemask_ps(_mm_cmpge_ps(cc, zero));
    const int approaching = _mm_movemask_ps(_mm_cmplt_ps(b, zero));
    const int receding = _mm_movemask_ps(_mm_cmpge_ps(b, zero));
    const int first = cClear & approaching;
    const int discOk = _mm_movemask_ps(_mm_cmpge_ps(disc, zero));
    const int discMissed = _mm_movemask_ps(_mm_cmplt_ps(disc, zero));
    const int inStep = _mm_movemask_ps(_mm_cmple_ps(t, one));
    const int beyondStep = _mm_movemask_ps(_mm_cmpgt_ps(t, one));
    const int onSegment = _mm_movemask_ps(
        _mm_and_ps(_mm_cmpge_ps(fraction, zero), _mm_cmple_ps(fraction, one)));
    const int hit = first & discOk & inStep & onSegment;
    const int missed = (~first & cClear & receding) | (first & ~discOk & discMissed) |
                       (first & discOk & ~inStep & beyondStep);
    const int shortened = _mm_movemask_ps(_mm_cmpgt_ps(stoppedShort, zero));
    alignas(16) float times[4];
    alignas(16) float shortTimes[4];
    alignas(16) float fractions[4];
    _mm_store_ps(times, t);
    _mm_store_ps(shortTimes, stoppedShort);
    _mm_store_ps(fractions, fraction);
    for (int i = 0; i < 3; ++i) {
        hits.hit[i] = ((hit >> i) & 1) != 0;
        hits.lineMissed[i] = ((missed >> i) & 1) != 0;
        hits.time[i] = ((shortened >> i) & 1) != 0 ? shortTimes[i] : times[i];
        hits.fraction[i] = fractions[i];
    }
}

#else

void sweepHitsEdgesExact(const SweptSphere& sphere, const SweepSetup& setup,
                         const PreparedTriangle& triangle, TriangleEdgeHits& hits) {
    for (int i = 0; i < 3; ++i) {
        hits.hit[i] = sweepHitsEdgeExact(sphere, setup, triangle.corners[i],
                                         triangle.corners[(i + 1) % 3],
                                         triangle.edges[i].inverseSquaredLength, hits.time[i],
                                         hits.fraction[i], &hits.lineMissed[i]) != 0;
    }
}

#endif
