#include "collision/sweep_triangle_lanes.h"

#include "collision/sweep_edge.h"
#include "collision/sweep_edge_exact.h"
#include "collision/sweep_vertex.h"
#include "collision/simd_lanes.h"

namespace sweepview {

#if SWEEP_SSE_LANES

// Whole registers are stored into the hits' arrays, and no Vec3 is loaded as
// 16 bytes (corners go in lane by lane).
static_assert(sizeof(TriangleEdgeHits::time) == sizeof(__m128) &&
              sizeof(TriangleEdgeHits::fraction) == sizeof(__m128) &&
              sizeof(TriangleCornerHits::time) == sizeof(__m128));

namespace {

// Lanes x, y, z: the three features' values of one coordinate (the fourth
// lane repeats the first and is never read).
struct Lanes3 {
    __m128 x, y, z;
};

Lanes3 broadcast(const Vec3& v) { return {_mm_set1_ps(v.x), _mm_set1_ps(v.y), _mm_set1_ps(v.z)}; }

Lanes3 gather(const Vec3& a, const Vec3& b, const Vec3& c) {
    return {_mm_setr_ps(a.x, b.x, c.x, a.x), _mm_setr_ps(a.y, b.y, c.y, a.y),
            _mm_setr_ps(a.z, b.z, c.z, a.z)};
}

__m128 gather(float a, float b, float c) { return _mm_setr_ps(a, b, c, a); }

Lanes3 operator-(const Lanes3& a, const Lanes3& b) {
    return {_mm_sub_ps(a.x, b.x), _mm_sub_ps(a.y, b.y), _mm_sub_ps(a.z, b.z)};
}

Lanes3 operator+(const Lanes3& a, const Lanes3& b) {
    return {_mm_add_ps(a.x, b.x), _mm_add_ps(a.y, b.y), _mm_add_ps(a.z, b.z)};
}

Lanes3 operator*(const Lanes3& a, __m128 s) {
    return {_mm_mul_ps(a.x, s), _mm_mul_ps(a.y, s), _mm_mul_ps(a.z, s)};
}

__m128 dot(const Lanes3& a, const Lanes3& b) {
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(a.x, b.x), _mm_mul_ps(a.y, b.y)), _mm_mul_ps(a.z, b.z));
}

Lanes3 cross(const Lanes3& a, const Lanes3& b) {
    return {_mm_sub_ps(_mm_mul_ps(a.y, b.z), _mm_mul_ps(a.z, b.y)),
            _mm_sub_ps(_mm_mul_ps(a.z, b.x), _mm_mul_ps(a.x, b.z)),
            _mm_sub_ps(_mm_mul_ps(a.x, b.y), _mm_mul_ps(a.y, b.x))};
}

int lanes(__m128 mask) { return _mm_movemask_ps(mask) & 7; }

// value where mask is set, otherwise other.
__m128 select(__m128 mask, __m128 value, __m128 other) {
    return _mm_or_ps(_mm_and_ps(mask, value), _mm_andnot_ps(mask, other));
}

Lanes3 cornerLanes(const PreparedTriangle& t) {
    return gather(t.corners[0], t.corners[1], t.corners[2]);
}

// The stopped-short time of the edge and corner tests' form,
// (t * stepLength - tolerance) / stepLength, or t where that is not above 0.
__m128 stoppedShortTime(__m128 t, __m128 stepLength, float tolerance) {
    const __m128 stopped = _mm_div_ps(
        _mm_sub_ps(_mm_mul_ps(t, stepLength), _mm_set1_ps(tolerance)), stepLength);
    return select(_mm_cmpgt_ps(stopped, _mm_setzero_ps()), stopped, t);
}

}  // namespace

void sweepHitsEdges(const SweptSphere& sphere, const SweepSetup& setup,
                    const PreparedTriangle& triangle, TriangleEdgeHits& hits) {
    const EdgeFrame* e = triangle.edges;
    const Lanes3 start = cornerLanes(triangle);
    const Lanes3 edgeDir = gather(e[0].direction, e[1].direction, e[2].direction);
    const __m128 edgeLength = gather(e[0].length, e[1].length, e[2].length);
    const Lanes3 o = broadcast(sphere.position);
    const Lanes3 motionDir = broadcast(setup.motionDir);
    const __m128 stepLength = _mm_set1_ps(setup.stepLength);
    const __m128 zero = _mm_setzero_ps();

    const Lanes3 n = cross(motionDir, edgeDir);
    const __m128 normalSquared = dot(n, n);
    const __m128 h = dot(n, o - start);
    const __m128 clearance = _mm_sub_ps(_mm_set1_ps(setup.radiusSquared), _mm_mul_ps(h, h));
    const __m128 k = _mm_sqrt_ps(clearance);
    const Lanes3 motionPoint = (o - n * h) + motionDir * k;
    const Lanes3 delta = start - motionPoint;
    __m128 tau = _mm_div_ps(dot(cross(delta, edgeDir), n), normalSquared);
    const __m128 sigma = _mm_div_ps(dot(cross(delta, motionDir), n), normalSquared);
    const int hit = lanes(_mm_cmpge_ps(normalSquared, _mm_set1_ps(PARALLEL_LIMIT))) &
                    lanes(_mm_cmpge_ps(clearance, zero)) & lanes(_mm_cmpge_ps(tau, zero)) &
                    lanes(_mm_cmple_ps(tau, stepLength)) & lanes(_mm_cmpge_ps(sigma, zero)) &
                    lanes(_mm_cmple_ps(sigma, edgeLength));
    hits.hit = hit;
    hits.lineMissed = 0;
    if (hit == 0) {
        return;  // times and fractions are read only where an edge hit: spare the divisions
    }
    const __m128 stoppedShort = _mm_sub_ps(tau, _mm_set1_ps(setup.tolerance));
    tau = select(_mm_cmpgt_ps(stoppedShort, zero), stoppedShort, tau);
    _mm_storeu_ps(hits.time, _mm_div_ps(tau, stepLength));
    _mm_storeu_ps(hits.fraction, _mm_div_ps(sigma, edgeLength));
}

void sweepHitsEdgesExact(const SweptSphere& sphere, const SweepSetup& setup,
                         const PreparedTriangle& triangle, TriangleEdgeHits& hits) {
    const Vec3* c = triangle.corners;
    const EdgeFrame* e = triangle.edges;
    const Lanes3 start = cornerLanes(triangle);
    const Lanes3 edge = gather(c[1], c[2], c[0]) - start;
    const __m128 inverseSquared =
        gather(e[0].inverseSquaredLength, e[1].inverseSquaredLength, e[2].inverseSquaredLength);
    const Lanes3 d = broadcast(sphere.displacement);
    const Lanes3 w = broadcast(sphere.position) - start;
    const Lanes3 wAcross = w - edge * _mm_mul_ps(dot(w, edge), inverseSquared);
    const Lanes3 dAcross = d - edge * _mm_mul_ps(dot(d, edge), inverseSquared);
    const __m128 zero = _mm_setzero_ps();
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 two = _mm_set1_ps(2.0f);
    const __m128 b = _mm_mul_ps(two, dot(wAcross, dAcross));
    const __m128 cc = _mm_sub_ps(dot(wAcross, wAcross), _mm_set1_ps(setup.radiusSquared));
    const __m128 a = dot(dAcross, dAcross);
    const __m128 disc =
        _mm_sub_ps(_mm_mul_ps(b, b), _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(4.0f), a), cc));
    const __m128 startFraction = _mm_mul_ps(dot(w, edge), inverseSquared);

    // The scalar test's exits in order, as masks: each later one only where
    // the earlier ones passed.
    const int cClear = lanes(_mm_cmpge_ps(cc, zero));
    const int first = cClear & lanes(_mm_cmplt_ps(b, zero));
    const int discOk = lanes(_mm_cmpge_ps(disc, zero));
    hits.lineMissed = (~first & cClear & lanes(_mm_cmpge_ps(b, zero))) |
                      (first & ~discOk & lanes(_mm_cmplt_ps(disc, zero)));
    // Within the radius of the line at the start, moving deeper, the nearest
    // point on the edge: contact at time 0 there (never where first is set).
    const __m128 wayIn =
        _mm_and_ps(_mm_and_ps(_mm_cmplt_ps(cc, zero), _mm_cmplt_ps(b, zero)),
                   _mm_and_ps(_mm_cmpge_ps(startFraction, zero), _mm_cmple_ps(startFraction, one)));
    hits.hit = lanes(wayIn);
    // Where no edge can be met on the way in (most calls), the time of entry
    // and its square root and division are not needed.
    __m128 t = zero;
    __m128 fraction = zero;
    if ((first & discOk) != 0) {
        t = _mm_div_ps(_mm_mul_ps(two, cc), _mm_sub_ps(_mm_sqrt_ps(disc), b));
        fraction = _mm_mul_ps(dot(w + d * t, edge), inverseSquared);
        const int inStep = lanes(_mm_cmple_ps(t, one));
        const int onSegment =
            lanes(_mm_cmpge_ps(fraction, zero)) & lanes(_mm_cmple_ps(fraction, one));
        hits.lineMissed |= first & discOk & ~inStep & lanes(_mm_cmpgt_ps(t, one));
        hits.hit |= first & discOk & inStep & onSegment;
    }
    if (hits.hit == 0) {
        return;
    }
    _mm_storeu_ps(hits.time,
                  select(wayIn, zero, stoppedShortTime(t, _mm_set1_ps(setup.stepLength), setup.tolerance)));
    _mm_storeu_ps(hits.fraction, select(wayIn, startFraction, fraction));
}

void sweepHitsCorners(const SweptSphere& sphere, const SweepSetup& setup,
                      const PreparedTriangle& triangle, TriangleCornerHits& hits) {
    const Lanes3 point = cornerLanes(triangle);
    const Lanes3 o = broadcast(sphere.position);
    const Lanes3 d = broadcast(sphere.displacement);
    const Lanes3 m = o - point;
    const __m128 dm = dot(d, m);
    const __m128 b = _mm_mul_ps(_mm_set1_ps(2.0f), dm);
    const __m128 c =
        _mm_sub_ps(_mm_add_ps(dot(point, point), dot(o, o - point * _mm_set1_ps(2.0f))),
                   _mm_set1_ps(setup.radiusSquared));
    const __m128 a = _mm_set1_ps(setup.stepSquared);
    const __m128 disc =
        _mm_sub_ps(_mm_mul_ps(b, b), _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(4.0f), a), c));
    const __m128 f = _mm_set1_ps(setup.vertexRootScale);
    const __m128 root = _mm_sqrt_ps(disc);
    const __m128 minusB = _mm_xor_ps(b, _mm_set1_ps(-0.0f));
    const __m128 t1 = _mm_mul_ps(_mm_sub_ps(minusB, root), f);
    const __m128 t2 = _mm_mul_ps(_mm_sub_ps(root, b), f);
    const __m128 t = select(_mm_cmpge_ps(t1, t2), t2, t1);
    const __m128 zero = _mm_setzero_ps();
    hits.hit = lanes(_mm_cmpge_ps(disc, zero)) & lanes(_mm_cmpge_ps(t, zero)) &
               lanes(_mm_cmple_ps(t, _mm_set1_ps(1.0f)));
    const __m128 mm = dot(m, m);
    const __m128 radiusSquared = _mm_set1_ps(setup.radiusSquared);
    hits.awayUntouched = lanes(_mm_cmpge_ps(dm, zero)) & lanes(_mm_cmpgt_ps(mm, radiusSquared));
    hits.wayIn = lanes(_mm_cmplt_ps(dm, zero)) & lanes(_mm_cmplt_ps(mm, radiusSquared));
    if (hits.hit == 0) {
        return;  // a corner the sphere starts in takes time 0, not this
    }
    _mm_storeu_ps(hits.time, stoppedShortTime(t, _mm_set1_ps(setup.stepLength), setup.tolerance));
}

#else

void sweepHitsEdges(const SweptSphere& sphere, const SweepSetup& setup,
                    const PreparedTriangle& triangle, TriangleEdgeHits& hits) {
    hits.hit = 0;
    hits.lineMissed = 0;
    for (int i = 0; i < 3; ++i) {
        if (sweepHitsEdge(sphere, setup, triangle.corners[i], triangle.edges[i], hits.time[i],
                          hits.fraction[i]) != 0) {
            hits.hit |= 1 << i;
        }
    }
}

void sweepHitsEdgesExact(const SweptSphere& sphere, const SweepSetup& setup,
                         const PreparedTriangle& triangle, TriangleEdgeHits& hits) {
    hits.hit = 0;
    hits.lineMissed = 0;
    for (int i = 0; i < 3; ++i) {
        bool missed = false;
        if (sweepHitsEdgeExact(sphere, setup, triangle.corners[i], triangle.corners[(i + 1) % 3],
                               triangle.edges[i].inverseSquaredLength, hits.time[i],
                               hits.fraction[i], &missed) != 0) {
            hits.hit |= 1 << i;
        }
        hits.lineMissed |= missed ? 1 << i : 0;
    }
}

void sweepHitsCorners(const SweptSphere& sphere, const SweepSetup& setup,
                      const PreparedTriangle& triangle, TriangleCornerHits& hits) {
    hits.hit = 0;
    hits.awayUntouched = 0;
    hits.wayIn = 0;
    for (int i = 0; i < 3; ++i) {
        hits.hit |=
            sweepHitsVertex(sphere, setup, triangle.corners[i], hits.time[i]) != 0 ? 1 << i : 0;
        const Vec3 m = sphere.position - triangle.corners[i];
        const float dm = dot(sphere.displacement, m);
        const float mm = dot(m, m);
        hits.awayUntouched |= dm >= 0.0f && mm > setup.radiusSquared ? 1 << i : 0;
        hits.wayIn |= dm < 0.0f && mm < setup.radiusSquared ? 1 << i : 0;
    }
}

#endif

}  // namespace sweepview
