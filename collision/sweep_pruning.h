#pragma once

// The bounds by which the sweep query skips boxes and triangles that can hold
// no contact it would keep (boxEntersTooLate, boxAheadTooLate, boxBeyondReach,
// boxBehindStart, and their four-box forms for the wide walk): for the sweep
// queries' visitors (collision/sweep_visitor.h, collision/sweep_first.cpp),
// with internal linkage so that their walks inline them.
//
// The compiled walk leaves untested a subtree whose box holds its triangles'
// contacts, and a leaf's triangle, when every contact in it would come after
// the nearest contact found plus SIMULTANEOUS_HIT_TOLERANCE (one recordContact
// would ignore), so the result is the same: when the sweep enters the box
// grown by how far a contact can place the centre from its triangle (the
// radius with the exact rule, twelve with the viewer's) only after that time,
// or when the box lies wholly ahead of the centre at that time by more than
// the radius along the path (with either rule: the viewer's slanted edge
// contacts lie far sideways, never further back), or, with the exact rule,
// lies further from the start than the centre travels by then plus the
// radius. Such a box is also left untested, from the first box on, when it
// lies wholly behind the plane through the start square to the step: every
// edge, corner and face test meets only points the sphere moves towards, so
// no contact lies there.
#include <algorithm>
#include <cmath>
#include <limits>

#include "collision/contact_state.h"
#include "collision/corner_reach.h"
#include "collision/sweep_box_wide.h"
#include "collision/sweep_query.h"
#include "collision/sweep_setup.h"
#include "scene/compiled_tree.h"

namespace sweepview {
namespace {

// What a walk needs to skip boxes by time: the path's reciprocal per axis and
// how far beyond a box a contact with a triangle in it can place the centre.
struct BoxPruning {
    Vec3 inverseDisplacement;
    float reach = 0.0f;
    // The along-path bound (boxAheadTooLate): the step's length, and how far
    // back along the path from the nearest point of a box a contact with a
    // triangle in it can place the centre; a non-number when it cannot be
    // used.
    float stepLength = 0.0f;
    float aheadReach = 0.0f;
    // Which bounds pay for their tests on this sweep (see boxPruningFor).
    bool entersTooLate = false;
    bool aheadTooLate = false;
    bool beyondReach = false;

    bool any() const { return entersTooLate || aheadTooLate || beyondReach; }
};

// Whether the centre, on the path, stays outside bounds grown by reach until
// late (the nearest time plus the tolerance), so that no triangle under a
// node whose box holds its contacts (see COMPILED_INNER_LOOSE) can give a
// contact recordContact would keep. Per axis: the times the centre crosses
// the two grown face planes, both after that time; a sweep standing still
// on the axis gives infinities outside the slab, and on its plane a
// non-number, which never prunes.
inline bool boxEntersTooLate(const CompiledNode& node, const SweptSphere& sphere, const BoxPruning& pruning,
                      float late) {
    const Vec3& s = sphere.position;
    const Vec3& inverse = pruning.inverseDisplacement;
    const float reach = pruning.reach;
    const float xLow = (node.boundsMin.x - reach - s.x) * inverse.x;
    const float xHigh = (node.boundsMax.x + reach - s.x) * inverse.x;
    const float yLow = (node.boundsMin.y - reach - s.y) * inverse.y;
    const float yHigh = (node.boundsMax.y + reach - s.y) * inverse.y;
    const float zLow = (node.boundsMin.z - reach - s.z) * inverse.z;
    const float zHigh = (node.boundsMax.z + reach - s.z) * inverse.z;
    return (xLow >= late && xHigh >= late) || (yLow >= late && yHigh >= late) ||
           (zLow >= late && zHigh >= late);
}

// How far along the displacement (in units of its squared length) a box or
// triangle must lie to hold only contacts after late: the step's length times
// the distance the centre travels by late plus the reach. A non-number when it
// cannot be used, or when it overflows: a distance that overflows too would
// compare as equal to it.
inline float aheadLimit(const BoxPruning& pruning, float late) {
    const float length = pruning.stepLength;
    const float limit = length * (late * length + pruning.aheadReach);
    return limit <= std::numeric_limits<float>::max() ? limit
                                                       : std::numeric_limits<float>::quiet_NaN();
}

// Whether every point of the node's box lies so far ahead along the path
// that a contact with a triangle under it comes after late (the nearest time
// plus the tolerance). Every contact puts the centre at most the reach behind
// a point of its triangle, measured along the path, whatever its distance
// sideways: a face's or corner's lies within the radius; the viewer's edge
// rule meets the edge where the shifted path, moved forwards by at most the
// radius, comes closest to the edge's line, and the line joining two closest
// points is square to the path. So the viewer's rule, whose contacts can lie
// ten radii off the edge sideways, is bounded here by one radius.
inline bool boxAheadTooLate(const CompiledNode& node, const SweptSphere& sphere,
                     const BoxPruning& pruning, float late) {
    const Vec3& s = sphere.position;
    const Vec3& d = sphere.displacement;
    const float ahead = std::min((node.boundsMin.x - s.x) * d.x, (node.boundsMax.x - s.x) * d.x) +
                        std::min((node.boundsMin.y - s.y) * d.y, (node.boundsMax.y - s.y) * d.y) +
                        std::min((node.boundsMin.z - s.z) * d.z, (node.boundsMax.z - s.z) * d.z);
    return ahead >= aheadLimit(pruning, late);
}

// The squared distance from the start beyond which a box holds only contacts
// after late (boxBeyondReach); a non-number where it overflows, as in
// aheadLimit.
inline float beyondReachLimit(const BoxPruning& pruning, float late) {
    const float reach = late * pruning.stepLength + pruning.aheadReach;
    const float limit = reach * reach;
    return limit <= std::numeric_limits<float>::max() ? limit
                                                       : std::numeric_limits<float>::quiet_NaN();
}

// Whether every point of the node's box lies further from the centre's start
// than the centre travels by late plus the reach: with the exact rule every
// contact puts the centre within the reach of a point of its triangle (not so
// the viewer's slanted edge test), so such a box holds only contacts after
// late.
inline bool boxBeyondReach(const CompiledNode& node, const SweptSphere& sphere, const BoxPruning& pruning,
                    float late) {
    const Vec3& s = sphere.position;
    const float dx = std::max({node.boundsMin.x - s.x, s.x - node.boundsMax.x, 0.0f});
    const float dy = std::max({node.boundsMin.y - s.y, s.y - node.boundsMax.y, 0.0f});
    const float dz = std::max({node.boundsMin.z - s.z, s.z - node.boundsMax.z, 0.0f});
    return dx * dx + dy * dy + dz * dz >= beyondReachLimit(pruning, late);
}

// Whether the bounds the sweep's pruning asks for (boxAheadTooLate,
// boxBeyondReach, boxEntersTooLate) show every contact under the node comes
// at or after late.
inline bool boxContactsTooLate(const CompiledNode& node, const SweptSphere& sphere,
                               const BoxPruning& pruning, float late) {
    return (pruning.aheadTooLate && boxAheadTooLate(node, sphere, pruning, late)) ||
           (pruning.beyondReach && boxBeyondReach(node, sphere, pruning, late)) ||
           (pruning.entersTooLate && boxEntersTooLate(node, sphere, pruning, late));
}

// The sizes the margins scale with: the start's and the step's largest
// coordinate, and the larger of those and the scene's.
struct MarginScale {
    float start;
    float step;
    float scale;
};

inline MarginScale marginScale(const CompiledTree& tree, const SweptSphere& sphere) {
    const Vec3& o = sphere.position;
    const Vec3& d = sphere.displacement;
    const float start = std::max({std::fabs(o.x), std::fabs(o.y), std::fabs(o.z)});
    const float step = std::max({std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)});
    return {start, step, std::max({start, step, tree.largestCoordinate})};
}

// The share of pruningMargin that covers the corner test's rounding, for the
// whole scene: how far beyond the radius it can meet a corner, halved (the
// reach takes the margin twice).
inline float cornerRoundingMargin(const MarginScale& sizes, float radius) {
    const auto [start, step, scale] = sizes;
    const float r = std::fabs(radius);
    // The corner test compares a squared distance expanded from the
    // coordinates of the corner and the start, rounded to a few epsilons of
    // their magnitude squared, so it can meet a corner up to sqrt(r^2 +
    // that rounding) from the path: far more than r for a small radius or
    // far from the origin. Its worst case is some 45 epsilons (2.7e-6) of
    // the largest coordinate squared; 2e-6 is allowed here, and the reach
    // takes twice the margin, which covers 1.35 times the allowance with
    // room to spare. Even with the scene's largest coordinate as that
    // magnitude, such a corner lies within r + 1.5e-3 times it of the path
    // (1.64e-3 in the worst case, within that same room), so the path's
    // magnitude (start plus step) plus that distance bounds the corner's,
    // the start's and the step's alike: a magnitude as sound and, in a big
    // scene, far smaller.
    const float nearPath = start + step + r + 1.5e-3f * scale;
    const float magnitude = nearPath < scale ? nearPath : scale;  // a non-number keeps scale
    const float rounding = 2e-6f * magnitude * magnitude;
    // How far beyond the radius that rounding reaches, sqrt(r^2 + rounding)
    // - r, bounded by the lesser of rounding / 2r and sqrt(rounding) (=
    // 1.41421e-3 magnitude): no square root, and the one division waits only
    // for the radius, not for the chain before it; every sweep pays this
    // before its first box.
    const float viaRadius = rounding * (0.5f / r);
    const float viaRoot = 1.4143e-3f * magnitude;
    const float squaredReach = viaRadius < viaRoot ? viaRadius : viaRoot;  // a non-number takes viaRoot
    return squaredReach;
}

// The margins of one sweep, each worked out once: the sizes they scale with,
// cornerRoundingMargin and pruningMargin.
struct SweepMargins {
    MarginScale sizes;
    float corner;
    float pruning;
};

// The pruning margin is the rounding margin of the bounds that skip boxes:
// 1e-4 of the radius, the tolerance and the largest coordinate of the sweep
// and the scene, a thousand times the rounding of the few float operations
// of the triangle tests and of the bounds, and ten times the slack the
// compile allows boxes and triangles; and what the corner test's squared
// distances can add to the radius. A non-number or infinity among the
// scene's coordinates makes it a non-number, and then nothing is skipped.
inline SweepMargins sweepMargins(const CompiledTree& tree, const SweptSphere& sphere, float tolerance) {
    const MarginScale sizes = marginScale(tree, sphere);
    const float corner = cornerRoundingMargin(sizes, sphere.radius);
    const float pruning = 1e-4f * (sphere.radius + sizes.scale + tolerance) + corner +
                          (tree.largestCoordinate - tree.largestCoordinate);
    return {sizes, corner, pruning};
}

inline float pruningMargin(const CompiledTree& tree, const SweptSphere& sphere, float tolerance) {
    return sweepMargins(tree, sphere, tolerance).pruning;
}

// The limit for boxBehindStart, in units of the step's length as the
// projections there are: a contact's point on its triangle (a face's point of
// entry, the point on an edge, a corner) never lies behind the plane through
// the start square to the step, since every test meets a feature the sphere
// moves towards, and rounding moves it by far less than the pruning's margin
// (which also covers the compile's allowance for a box holding its
// triangles). A non-number, which never prunes, for a step of no length or
// one too long to measure.
inline float behindStartLimit(const SweptSphere& sphere, float margin) {
    const Vec3& d = sphere.displacement;
    const float limit = -2.0f * margin * std::sqrt(dot(d, d));
    return limit < 0.0f && limit >= -std::numeric_limits<float>::max()
               ? limit
               : std::numeric_limits<float>::quiet_NaN();
}

// behindStartLimit with the margin of tree, sphere and tolerance.
inline float behindStartLimit(const CompiledTree& tree, const SweptSphere& sphere, float tolerance) {
    return behindStartLimit(sphere, pruningMargin(tree, sphere, tolerance));
}

// Whether every point of the node's box lies behind the plane through the
// start square to the step by more than the margin of behindStartLimit, so
// that no triangle under a node whose box holds its contacts can give one:
// those boxes are reached only because they overlap the sphere's start. Needs
// no contact, so it prunes from the first box on; a projection that
// overflows never prunes.
inline bool boxBehindStart(const CompiledNode& node, const SweptSphere& sphere, float limit) {
    const Vec3& s = sphere.position;
    const Vec3& d = sphere.displacement;
    const float far = std::max((node.boundsMin.x - s.x) * d.x, (node.boundsMax.x - s.x) * d.x) +
                      std::max((node.boundsMin.y - s.y) * d.y, (node.boundsMax.y - s.y) * d.y) +
                      std::max((node.boundsMin.z - s.z) * d.z, (node.boundsMax.z - s.z) * d.z);
    return far < limit && far >= -std::numeric_limits<float>::max();
}

// boxAheadTooLate for one triangle, by its corners.
inline bool triangleAheadTooLate(const PreparedTriangle& triangle, const SweptSphere& sphere,
                          const BoxPruning& pruning, float late) {
    const Vec3& s = sphere.position;
    const Vec3& d = sphere.displacement;
    const Vec3* c = triangle.corners;
    const float ahead = std::min({dot(c[0] - s, d), dot(c[1] - s, d), dot(c[2] - s, d)});
    return ahead >= aheadLimit(pruning, late);
}

// How far from the path a contact can place the centre (BoxPruning::reach),
// for the edge rule, the tolerance and pruningMargin's margin.
inline float contactReach(const SweptSphere& sphere, EdgeRule edges, float tolerance, float margin) {
    // The viewer's edge rule meets the path, shifted by the radius, with the
    // edge's line where their closest approach may lie up to (1 / |m x e| - |m
    // x e|) radii apart (m, e the unit directions, |m x e| at least 0.1 where
    // the edge test runs), so its contact centre can be 10.9 radii from the
    // edge; 12 covers that and the rounding of the cross product's bound.
    const float radii = edges == EdgeRule::Exact ? 1.0f : 12.0f;
    return radii * sphere.radius + 2.0f * tolerance + 2.0f * margin;
}

// contactReach with the corner test's bound worked out for this sweep
// (cornerTestReach) in place of the scene-wide one in the margin, when it is
// the smaller, where the scene-wide allowance is more than a hundredth of
// the reach; sphere with the radius's magnitude. Far from the origin the
// scene-wide bound reaches a good deal further: a sweep of radius 2.5 from
// (990, -30, -990) in a scene of coordinates up to 1,414 reached 3.58 where
// 2.97 holds; from (700, -30, -700), up to 1,000, 3.10 where 2.80 holds.
inline float sweepContactReach(const SweepMargins& margins, const SweptSphere& sphere, EdgeRule edges,
                               float tolerance) {
    const float reach = contactReach(sphere, edges, tolerance, margins.pruning);
    const float sceneWide = 2.0f * margins.corner;
    // Near the origin the scene-wide allowance is a sliver of the reach, and
    // the sweep's own would cost more to work out than it spares.
    if (!(sceneWide > 0.01f * reach)) {
        return reach;
    }
    const float corner = cornerTestReach(sphere, std::sqrt(dot(sphere.displacement, sphere.displacement)) + reach);
    // The sums' own rounding, a few epsilons of the reach, is allowed for.
    const float tight = (reach - sceneWide + (corner - std::fabs(sphere.radius))) * 1.00001f;
    return tight < reach ? tight : reach;  // a non-number keeps the reach
}

// The pruning values of one sweep. A stopped-short contact of the exact rule
// puts the centre within the radius and twice the tolerance (a face's is the
// tolerance off its plane, measured along an axis, on either side with
// two-sided faces; a contact at time 0 on a corner or an edge the sphere starts in
// lies within the radius) of a point of its triangle. Rounding gets twice
// pruningMargin.
inline BoxPruning boxPruningFor(const SweptSphere& sphere, const SweepSetup& setup, float margin) {
    const EdgeRule edges = setup.edgeRule;
    const Vec3& d = sphere.displacement;
    BoxPruning pruning;
    pruning.inverseDisplacement = Vec3(1.0f / d.x, 1.0f / d.y, 1.0f / d.z);
    pruning.reach = contactReach(sphere, edges, setup.tolerance, margin);
    // A face's contact is judged inside on the point stopped short, which lies
    // up to twice the tolerance off the plane point below it. No bound for a
    // step of no length or of infinite length (whose contacts all come at 0).
    pruning.stepLength = setup.stepLength;
    const bool finiteStep =
        pruning.stepLength > 0.0f && pruning.stepLength <= std::numeric_limits<float>::max();
    pruning.aheadReach = finiteStep ? sphere.radius + 4.0f * setup.tolerance + 2.0f * margin
                                    : std::numeric_limits<float>::quiet_NaN();
    // The entry-time bound always with the exact rule; with the viewer's,
    // whose reach is twelve radii, and the along-path bound, only on a step
    // more than twice as long as their reach: on shorter ones they skipped
    // little and cost up to a tenth. The bound around the start holds for the
    // exact rule alone.
    const bool exact = edges == EdgeRule::Exact;
    pruning.entersTooLate = exact || 2.0f * pruning.reach < setup.stepLength;
    pruning.aheadTooLate = 2.0f * pruning.aheadReach < pruning.stepLength;
    pruning.beyondReach = exact;
    return pruning;
}

// boxPruningFor with the margin of tree, sphere and the setup's tolerance.
inline BoxPruning boxPruningFor(const CompiledTree& tree, const SweptSphere& sphere, const SweepSetup& setup) {
    return boxPruningFor(sphere, setup, pruningMargin(tree, sphere, setup.tolerance));
}

// A node marked COMPILED_INNER_SLACK with its box grown by its slack on every
// side: a box that holds its triangles' contacts, for the bounds above.
inline CompiledNode grownBySlack(const CompiledTree& tree, const CompiledNode& node) {
    return grownBox(node, tree.slack[static_cast<std::size_t>(&node - tree.nodes.data())]);
}

#if SWEEP_SSE_LANES

// Per lane, how far along the step the nearest and the farthest point of each
// of four boxes lie from the start, in units of the step's length, summed
// axis by axis as boxAheadTooLate and boxBehindStart sum them.
struct StepExtent {
    __m128 nearest;
    __m128 farthest;
};

inline StepExtent stepExtent(const WideNode& node, const SweptSphere& sphere) {
    const float start[3] = {sphere.position.x, sphere.position.y, sphere.position.z};
    const float step[3] = {sphere.displacement.x, sphere.displacement.y, sphere.displacement.z};
    StepExtent extent{_mm_setzero_ps(), _mm_setzero_ps()};
    for (int axis = 0; axis < 3; ++axis) {
        const __m128 s = _mm_set1_ps(start[axis]);
        const __m128 d = _mm_set1_ps(step[axis]);
        const __m128 low = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.slotMin[axis]), s), d);
        const __m128 high = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.slotMax[axis]), s), d);
        extent.nearest = _mm_add_ps(extent.nearest, _mm_min_ps(low, high));
        extent.farthest = _mm_add_ps(extent.farthest, _mm_max_ps(low, high));
    }
    return extent;
}

// Lanes of the boxes among four whose contacts all come too late to be kept
// (lane by lane: boxAheadTooLate, boxBeyondReach and boxEntersTooLate, each where
// the sweep's pruning asks for it).
inline int boxesTooLate(const WideNode& node, const SweptSphere& sphere, const BoxPruning& pruning,
                 float late) {
    const float start[3] = {sphere.position.x, sphere.position.y, sphere.position.z};
    __m128 tooLate = _mm_setzero_ps();
    if (pruning.aheadTooLate) {
        tooLate = _mm_cmpge_ps(stepExtent(node, sphere).nearest,
                               _mm_set1_ps(aheadLimit(pruning, late)));
    }
    if (pruning.beyondReach) {
        __m128 distanceSquared = _mm_setzero_ps();
        for (int axis = 0; axis < 3; ++axis) {
            const __m128 s = _mm_set1_ps(start[axis]);
            const __m128 outside =
                _mm_max_ps(_mm_max_ps(_mm_sub_ps(_mm_load_ps(node.slotMin[axis]), s),
                                      _mm_sub_ps(s, _mm_load_ps(node.slotMax[axis]))),
                           _mm_setzero_ps());
            distanceSquared = _mm_add_ps(distanceSquared, _mm_mul_ps(outside, outside));
        }
        tooLate = _mm_or_ps(tooLate, _mm_cmpge_ps(distanceSquared,
                                                  _mm_set1_ps(beyondReachLimit(pruning, late))));
    }
    if (!pruning.entersTooLate) {
        return _mm_movemask_ps(tooLate);
    }
    const Vec3& v = pruning.inverseDisplacement;
    const float inverse[3] = {v.x, v.y, v.z};
    const __m128 reach = _mm_set1_ps(pruning.reach);
    const __m128 lateLanes = _mm_set1_ps(late);
    for (int axis = 0; axis < 3; ++axis) {
        const __m128 s = _mm_set1_ps(start[axis]);
        const __m128 scale = _mm_set1_ps(inverse[axis]);
        const __m128 low =
            _mm_mul_ps(_mm_sub_ps(_mm_sub_ps(_mm_load_ps(node.slotMin[axis]), reach), s), scale);
        const __m128 high =
            _mm_mul_ps(_mm_sub_ps(_mm_add_ps(_mm_load_ps(node.slotMax[axis]), reach), s), scale);
        tooLate = _mm_or_ps(tooLate,
                            _mm_and_ps(_mm_cmpge_ps(low, lateLanes), _mm_cmpge_ps(high, lateLanes)));
    }
    return _mm_movemask_ps(tooLate);
}

// Lanes of the boxes among four that boxBehindStart would skip.
inline int boxesBehindStart(const WideNode& node, const SweptSphere& sphere, float limit) {
    const __m128 far = stepExtent(node, sphere).farthest;
    const __m128 finite = _mm_cmpge_ps(far, _mm_set1_ps(-std::numeric_limits<float>::max()));
    return _mm_movemask_ps(_mm_and_ps(_mm_cmplt_ps(far, _mm_set1_ps(limit)), finite));
}

#endif

}  // namespace
}  // namespace sweepview
