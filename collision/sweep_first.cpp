#include "collision/sweep_first.h"

#include <cmath>
#include <limits>

#include "collision/clean_upper_state.h"
#include "collision/contact_recording.h"
#include "collision/query_counters.h"
#include "collision/simd_lanes.h"
#include "collision/sweep_box.h"
#include "collision/sweep_box_lanes.h"
#include "collision/sweep_box_wide.h"
#include "collision/sweep_pruning.h"
#include "collision/sweep_triangle.h"
#include "collision/tree_walk.h"
#include "collision/triangle_closest_point.h"
#include "scene/node_stack.h"

namespace sweepview {

namespace {

// The earliest contact so far, and the pruning it allows.
struct FirstContact {
    float time = std::numeric_limits<float>::infinity();
    std::int32_t triangle = -1;
    Vec3 normal;
    TriangleContact where;
    const PreparedTriangle* prepared = nullptr;

    // Keeps a contact earlier than the one kept, or as early on a smaller
    // triangle index; true when kept.
    bool offer(float contactTime, std::int32_t sceneTriangle) const {
        return contactTime < time || (contactTime == time && sceneTriangle < triangle);
    }
};

// The triangle nearest to the start within the radius, among those that may
// stop the sphere (with one-sided faces, those whose plane the centre lies on
// or in front of), for SweepHit::startsInside: found among the triangles the
// walk reaches, as every box within the radius of the start is entered.
class StartOverlap {
public:
    // largestCoordinate: the largest magnitude of the triangles' coordinates
    // (infinity when not known).
    StartOverlap(const SweptSphere& sphere, FaceSides sides, float largestCoordinate)
        : centre_(sphere.position), radius_(sphere.radius), frontOnly_(sides != FaceSides::Two),
          // Triangles whose plane lies further than this cannot be within
          // the radius, whatever the rounding of the nearest point.
          planeReach_(sphere.radius * 1.001f),
          // Far beyond the rounding of the heights and of the nearest point:
          // a few float operations on coordinates of at most this magnitude.
          rounding_(1e-4f * (std::max({std::fabs(centre_.x), std::fabs(centre_.y), std::fabs(centre_.z)}) +
                             largestCoordinate)) {
        setLimit(radius_ > 0.0f ? radius_ : 0.0f);
    }

    void consider(const PreparedTriangle& triangle, std::int32_t index) {
        const Vec3& n = triangle.normal;
        const float height = dot(n, centre_ - triangle.corners[0]);
        if ((frontOnly_ && height < 0.0f) || !mayBeWithin(triangle)) {
            return;
        }
        // Every corner further than the radius on one side along the normal:
        // the triangle is too (measured at each corner, as a sliver's
        // rounded normal need not be square to its edges). A non-number
        // height (a triangle without area) goes on.
        const float h1 = dot(n, centre_ - triangle.corners[1]);
        const float h2 = dot(n, centre_ - triangle.corners[2]);
        const bool clear = (height > planeReach_ && h1 > planeReach_ && h2 > planeReach_) ||
                           (height < -planeReach_ && h1 < -planeReach_ && h2 < -planeReach_);
        if (clear || surelyFartherThan(height, h1, h2)) {
            return;
        }
        const TrianglePoint nearest = closestPointOnTriangle(triangle, centre_);
        const float squared = nearest.distanceSquared;
        if (!(std::sqrt(squared) < radius_) || squared > bestSquared_ ||
            (squared == bestSquared_ && index > triangle_)) {
            return;
        }
        bestSquared_ = squared;
        triangle_ = index;
        point_ = nearest.point;
        normal_ = triangle.normal;
        setLimit(std::sqrt(squared));
    }

    // Writes the overlap into hit: depth, and the way out as its normal (from
    // the nearest point to the centre; when the centre lies on the triangle,
    // its normal, with two sides the one facing against the motion).
    void report(const SweptSphere& sphere, SweepHit& hit) const {
        if (triangle_ < 0) {
            return;
        }
        const float distance = std::sqrt(bestSquared_);
        hit.startsInside = true;
        hit.depth = radius_ - distance;
        if (distance > 0.0f) {
            hit.normal = (centre_ - point_) * (1.0f / distance);
        } else {
            hit.normal = !frontOnly_ && dot(normal_, sphere.displacement) > 0.0f ? normal_ * -1.0f : normal_;
        }
    }

private:
    // Whether the triangle may lie within the limit (the radius, then the
    // nearest one kept) by the distance to its corners' box, which holds it:
    // the first and cheapest of two lower bounds of its distance, each
    // shrunk by a thousandth and by far more than its own rounding and the
    // nearest point's (rounding_), so that its nearest point need not be
    // found. Most triangles a sweep tests lie beyond it (seven in eight on a
    // short sweep through a dense mesh). The bound is compared unshrunk,
    // with the limit grown instead (boxLimitSquared_); the limit only
    // shrinks, so a triangle found beyond it stays beyond. False for a
    // radius that is not above 0.
    bool mayBeWithin(const PreparedTriangle& triangle) const {
        const Vec3* c = triangle.corners;
        const auto outside = [](float a, float b, float e, float x) {
            return std::max({std::min({a, b, e}) - x, x - std::max({a, b, e}), 0.0f});
        };
        const float dx = outside(c[0].x, c[1].x, c[2].x, centre_.x);
        const float dy = outside(c[0].y, c[1].y, c[2].y, centre_.y);
        const float dz = outside(c[0].z, c[1].z, c[2].z, centre_.z);
        // Written so that a non-number limit (a scene with a non-number
        // coordinate) rejects nothing.
        return !(dx * dx + dy * dy + dz * dz > boxLimitSquared_) && radius_ > 0.0f;
    }

    // The second bound, by the corners' heights h0, h1, h2 along the normal:
    // with all three on one side, the least of them (along any direction a
    // triangle's points lie between its corners'), compared with the limit
    // grown (gapLimit_). Heights that are not numbers (a triangle without
    // area) give no bound.
    bool surelyFartherThan(float h0, float h1, float h2) const {
        const float low = std::min({h0, h1, h2});
        const float high = std::max({h0, h1, h2});
        const float gap = low > 0.0f ? low : (high < 0.0f ? -high : 0.0f);
        return gap > gapLimit_;
    }

    // A distance d with d * 0.999 - rounding_ > limit lies beyond the limit;
    // 1.0011 > 1 / 0.999 leaves room for the rounding of these products. An
    // overflow gives infinity, which bounds nothing.
    void setLimit(float limit) {
        gapLimit_ = (limit + rounding_) * 1.0011f;
        boxLimitSquared_ = gapLimit_ * gapLimit_;
    }

    const Vec3 centre_;
    const float radius_;
    const bool frontOnly_;
    const float planeReach_;
    const float rounding_;
    float bestSquared_ = std::numeric_limits<float>::infinity();
    std::int32_t triangle_ = -1;
    Vec3 point_;
    Vec3 normal_;
    float gapLimit_ = 0.0f;
    float boxLimitSquared_ = 0.0f;
};

// Whether every corner of the triangle lies behind the plane through the
// start square to the step by more than limit (see behindStartLimit): it can
// hold no contact.
bool triangleBehindStart(const PreparedTriangle& triangle, const SweptSphere& sphere, float limit) {
    const Vec3& s = sphere.position;
    const Vec3& d = sphere.displacement;
    const Vec3* c = triangle.corners;
    const float far = std::max({dot(c[0] - s, d), dot(c[1] - s, d), dot(c[2] - s, d)});
    return far < limit && far >= -std::numeric_limits<float>::max();
}

SweptSphere withRadiusMagnitude(const SweptSphere& sphere) {
    return SweptSphere(sphere.position, sphere.displacement, std::fabs(sphere.radius));
}

// The first-contact sweep as a visitor of the compiled tree's walk. Unlike
// the all-contacts query it keeps every contact a triangle test reports,
// wherever the triangle lies, so boxes are entered by the reach of a contact
// (twelve radii with the viewer's edge rule, whose slanted contacts lie off
// the path), only boxes known to hold their triangles' contacts are skipped
// at all (a leaf's own box only when it holds them, never a loose one; a
// box with slack is tested grown by it), and, once a contact is known, those
// whose contacts all come after it.
class FirstHitVisitor {
public:
    // The walk needs only the margin and the reach; the triangle tests' setup
    // (a square root and divisions) waits for the first triangle, which many
    // sweeps never reach, and the pruning values for the first contact.
    FirstHitVisitor(const CompiledTree& tree, const SweptSphere& sphere, const SweepOptions& options)
        : tree_(tree), sphere_(sphere), options_(options), stats_(options.stats),
          overlap_(sphere, options.faces, tree.largestCoordinate), tolerance_(sweepTolerance(options)),
          // The bounds take the radius's magnitude: a negative radius's
          // contacts lie within it of the path too (the tests use it
          // squared, or as a leading point on the other side).
          margins_(sweepMargins(tree, withRadiusMagnitude(sphere), tolerance_)),
          behindLimit_(behindStartLimit(withRadiusMagnitude(sphere), margins_.pruning)),
          reachSphere_(sphere.position, sphere.displacement,
                       sweepContactReach(margins_, withRadiusMagnitude(sphere), options.edges, tolerance_)),
          nearStart_(nearStartSquared(sphere, margins_.pruning))
#if SWEEP_SSE_LANES
          ,
          lanes_(sweepLanes(reachSphere_, sphere.position + sphere.displacement))
#endif
    {
    }

    const FirstContact& first() const { return first_; }

    // The start overlap, once the triangles still waiting for it are in.
    const StartOverlap& overlap() {
        considerWaiting();
        return overlap_;
    }

    // Whether the wide walk may run: its quick test needs finite numbers.
    bool wideReady() const {
        const auto finite = [](const Vec3& v) {
            return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
        };
        return finite(sphere_.position) && finite(sphere_.displacement) && std::isfinite(reachSphere_.radius);
    }

    bool enterNode(const CompiledNode& node) {
        if (node.triangle == COMPILED_INNER) {
            return enterBox(node);
        }
        if (node.triangle == COMPILED_INNER_SLACK) {
            return enterBox(grownBySlack(tree_, node));
        }
        if (node.triangle >= 0 && tree_.boxedLeaves[node.secondChild] != 0 && !enterBox(node)) {
            return false;
        }
        if (stats_ != nullptr && node.triangle != COMPILED_INNER_LOOSE) {
            ++stats_->leavesReached;
        }
        return true;
    }

    void leaf(std::uint32_t prepared, std::int32_t sceneTriangle) {
        testTriangle(tree_.triangles[prepared], sceneTriangle);
    }

    // The child whose box lies nearer along the motion first: the earliest
    // contact found sooner skips more of the rest.
    bool secondFirst(const CompiledNode& node) const {
        const CompiledNode& first = *(&node + 1);
        const CompiledNode& second = tree_.nodes[node.secondChild];
        const Vec3& d = sphere_.displacement;
        return dot(second.boundsMin + second.boundsMax, d) < dot(first.boundsMin + first.boundsMax, d);
    }

#if SWEEP_SSE_LANES
    int enterSlots(const WideNode& node) {
        if (!quickReady_) {
            // The start's and the step's largest coordinates, finite here.
            const float scale = std::max({margins_.sizes.start, margins_.sizes.step, tree_.largestBound});
            quick_ = wideSweep(reachSphere_, 1e-4f * (std::fabs(reachSphere_.radius) + scale + tolerance_));
            quickReady_ = true;
        }
        // A slot with slack has its grown box, which holds its contacts.
        return enterBoxes(node, node.used & (node.prunable | node.slackLanes | node.boxedLeaves));
    }

    // The entered slots nearest along the path first: the time the path
    // enters each grown box, lane order among equal times.
    void orderSlots(const WideNode&, int entered, std::uint8_t (&lanes)[4]) const {
        lanesByEntry(slotEntry_, entered, lanes);
    }

    void wideLeaf(std::uint32_t prepared) {
        if (stats_ != nullptr) {
            ++stats_->leavesReached;
        }
        const CompiledTriangle& triangle = tree_.triangles[prepared];
        testTriangle(triangle, triangle.sceneTriangle);
    }
#endif

private:
    bool enterBox(const CompiledNode& node) {
        if (stats_ != nullptr) {
            ++stats_->boxTests;
        }
#if SWEEP_SSE_LANES
        const bool reached = sweepHitsBoundsLanes(lanes_, node) != 0;
#else
        SweepSetup path;  // the box test reads only the path's end
        path.end = sphere_.position + sphere_.displacement;
        const bool reached = sweepHitsBounds(reachSphere_, path, node.boundsMin, node.boundsMax) != 0;
#endif
        return reached && !holdsOnlyLater(node);
    }

#if SWEEP_SSE_LANES
    // Of four slots, those to enter: the prunable ones whose boxes the sweep
    // may reach with a contact it keeps, and the rest.
    int enterBoxes(const WideNode& node, int prunable) {
        if (stats_ != nullptr) {
            stats_->boxTests += static_cast<std::uint64_t>(slotCount(prunable));
        }
        // The bounds below only for the slots the quick test lets through:
        // on a small mesh a short sweep meets few, and testing all four cost
        // more than the bounds spared.
        const int reached = sweepMayReachBoxes(quick_, node.slotMin, node.slotMax, slotEntry_);
        const int candidates = prunable & reached;
        int skipped = prunable & ~reached;
        if (candidates != 0 && behindLimit_ == behindLimit_) {
            const int behind = boxesBehindStart(node, sphere_, behindLimit_) & candidates;
            if (behind != 0) {
                skipped |= behind & ~boxesNearStart(node);
            }
        }
        if (candidates != 0 && pruningOn_) {
            skipped |= boxesTooLate(node, sphere_, pruning_, late_) & candidates;
        }
        return node.used & ~skipped;
    }
#endif

    void testTriangle(const PreparedTriangle& triangle, std::int32_t sceneTriangle) {
        if (!bigTree_) {
            overlap_.consider(triangle, sceneTriangle);
        } else {
            waiting_[waitingCount_++] = {&triangle, sceneTriangle};
            if (waitingCount_ == WAITING_CAPACITY) {
                considerWaiting();
            }
        }
        if (triangleBehindStart(triangle, sphere_, behindLimit_)) {
            return;
        }
        if (!setupDone_) {
            setup_ = prepareSweep(sphere_, options_);
            setupDone_ = true;
        }
        if (pruning_.aheadTooLate && triangleAheadTooLate(triangle, sphere_, pruning_, late_)) {
            return;
        }
        Vec3 normal = zeroVector;
        float time = 0.0f;
        TriangleContact where;
        const bool hit = sweepHitsTriangle(sphere_, setup_, triangle, normal, time, &where) != 0;
        countTriangleTest(stats_, hit, where.feature);
        if (!hit || !first_.offer(time, sceneTriangle)) {
            return;
        }
        first_ = {time, sceneTriangle, normal, where, &triangle};
        // Contacts in a box skipped by late come at or after it (the bounds
        // allow for their rounding), so strictly after this one.
        late_ = time + 1e-6f;
        if (!pruningOn_) {
            pruning_ = boxPruningFor(withRadiusMagnitude(sphere_), setup_, margins_.pruning);
            pruning_.reach = reachSphere_.radius;
            pruningOn_ = pruning_.any();
        }
    }

    // Hands the triangles tested since the last call to the start overlap.
    void considerWaiting() {
        for (int i = 0; i < waitingCount_; ++i) {
            overlap_.consider(*waiting_[i].triangle, waiting_[i].index);
        }
        waitingCount_ = 0;
    }

    // The squared distance from the start within which a box may hold a
    // triangle the start overlaps: the radius and the bounds' rounding margin.
    static float nearStartSquared(const SweptSphere& sphere, float margin) {
        const float near = std::fabs(sphere.radius) + 2.0f * margin;
        return near * near;
    }

    bool boxNearStart(const CompiledNode& node) const {
        const Vec3& s = sphere_.position;
        const float dx = std::max({node.boundsMin.x - s.x, s.x - node.boundsMax.x, 0.0f});
        const float dy = std::max({node.boundsMin.y - s.y, s.y - node.boundsMax.y, 0.0f});
        const float dz = std::max({node.boundsMin.z - s.z, s.z - node.boundsMax.z, 0.0f});
        return !(dx * dx + dy * dy + dz * dz >= nearStart_);
    }

#if SWEEP_SSE_LANES
    // Lanes of the boxes among four that boxNearStart would keep.
    int boxesNearStart(const WideNode& node) const {
        const float start[3] = {sphere_.position.x, sphere_.position.y, sphere_.position.z};
        __m128 squared = _mm_setzero_ps();
        for (int axis = 0; axis < 3; ++axis) {
            const __m128 s = _mm_set1_ps(start[axis]);
            const __m128 outside = _mm_max_ps(_mm_max_ps(_mm_sub_ps(_mm_load_ps(node.slotMin[axis]), s),
                                                         _mm_sub_ps(s, _mm_load_ps(node.slotMax[axis]))),
                                              _mm_setzero_ps());
            squared = _mm_add_ps(squared, _mm_mul_ps(outside, outside));
        }
        return 15 & ~_mm_movemask_ps(_mm_cmpge_ps(squared, _mm_set1_ps(nearStart_)));
    }
#endif

    // Whether every contact under an inner node that holds its triangles'
    // contacts lies behind the start or comes after the first one (a box
    // near the start is entered all the same, for the start's overlap).
    bool holdsOnlyLater(const CompiledNode& node) const {
        return (boxBehindStart(node, sphere_, behindLimit_) && !boxNearStart(node)) ||
               (pruningOn_ && boxContactsTooLate(node, sphere_, pruning_, late_));
    }

    const CompiledTree& tree_;
    const SweptSphere& sphere_;
    const SweepOptions& options_;
    SweepSetup setup_;  // from the first triangle tested on
    bool setupDone_ = false;
    QueryCounters* const stats_;
    StartOverlap overlap_;
    const float tolerance_;  // sweepTolerance of the options, as the setup will hold it
    const SweepMargins margins_;  // with the radius's magnitude
    const float behindLimit_;
    const SweptSphere reachSphere_;  // the path with the radius a contact can reach
    const float nearStart_;
#if SWEEP_SSE_LANES
    const SweepLanes lanes_;
    // Set by the first enterSlots; left unset until then, as zeroing its 144
    // bytes took a tenth of a sweep that meets no box.
    WideSweep quick_;
    bool quickReady_ = false;
    float slotEntry_[4] = {};  // the last enterSlots' entry times, for orderSlots
#endif
    // A tree whose triangles do not stay in the caches: more than 8,192 of
    // them (1.2 MB prepared), where the wide walk queues its leaves too.
    // Only there does the start overlap's wait pay; on smaller trees it cost
    // 5 to 10%.
    static constexpr std::size_t BIG_TREE_TRIANGLES = 8192;
    const bool bigTree_ = tree_.triangles.size() > BIG_TREE_TRIANGLES;
    // On a big tree, the triangles tested and not yet given to the start
    // overlap, whose result is the same in any order: it waits until they
    // are in the caches. Given each at once, its work waited for the
    // triangle's cache lines beside the triangle test's and held up the
    // walk (waiting spared 5 to 7% of a short sweep).
    struct WaitingTriangle {
        const PreparedTriangle* triangle;
        std::int32_t index;
    };
    static constexpr int WAITING_CAPACITY = 32;
    WaitingTriangle waiting_[WAITING_CAPACITY];
    int waitingCount_ = 0;
    FirstContact first_;
    BoxPruning pruning_;
    bool pruningOn_ = false;
    float late_ = 0.0f;
};

// A scene without a compiled form: every leaf's triangle, built as the
// compiled form would prepare it.
FirstContact firstOverLeaves(const CollisionMesh& scene, const SweptSphere& sphere,
                             const SweepOptions& options, PreparedTriangle& kept, StartOverlap& overlap) {
    FirstContact first;
    const SweepSetup setup = prepareSweep(sphere, options);
    NodeStack<const VolumeNode> pending;
    pending.push(scene.root);
    while (!pending.empty()) {
        const VolumeNode* node = pending.pop();
        if (node->left != nullptr) {
            if (node->right != nullptr) {
                pending.push(node->right);
            }
            pending.push(node->left);
            continue;
        }
        Triangle corners;
        if (!leafTriangle(scene, node->triangle, corners)) {
            continue;
        }
        const PreparedTriangle triangle = prepareTriangle(corners);
        overlap.consider(triangle, node->triangle);
        Vec3 normal = zeroVector;
        float time = 0.0f;
        TriangleContact where;
        const bool hit = sweepHitsTriangle(sphere, setup, triangle, normal, time, &where) != 0;
        countTriangleTest(options.stats, hit, where.feature);
        if (hit && first.offer(time, node->triangle)) {
            kept = triangle;
            first = {time, node->triangle, normal, where, &kept};
        }
    }
    return first;
}

SweepHit hitFrom(const FirstContact& first, const SweptSphere& sphere) {
    SweepHit hit;
    if (first.triangle < 0) {
        return hit;
    }
    hit.found = true;
    hit.time = first.time;
    hit.normal = first.normal;
    hit.point = first.where.point;
    hit.triangle = first.triangle;
    hit.feature = first.where.feature;
    hit.backFace = dot(first.prepared->normal, sphere.displacement) > 0.0f;
    return hit;
}

}  // namespace

SweepHit sweepFirst(const CollisionMesh& scene, const SweptSphere& sphere, SweepOptions options) {
    cleanUpperState();
    if (options.stats != nullptr) {
        ++options.stats->sweeps;
    }
    SweepHit hit;
    if (scene.compiled != nullptr) {
        const CompiledTree& tree = *scene.compiled;
        FirstHitVisitor visitor(tree, sphere, options);
#if SWEEP_SSE_LANES
        if (!tree.wide.empty() && visitor.wideReady()) {
            walkTree(WideNodes(tree), visitor);
        } else {
            walkTree(BinaryNodes(tree), visitor);
        }
#else
        walkTree(BinaryNodes(tree), visitor);
#endif
        hit = hitFrom(visitor.first(), sphere);
        visitor.overlap().report(sphere, hit);
    } else if (scene.root != nullptr) {
        PreparedTriangle kept;
        StartOverlap overlap(sphere, options.faces, std::numeric_limits<float>::infinity());
        hit = hitFrom(firstOverLeaves(scene, sphere, options, kept, overlap), sphere);
        overlap.report(sphere, hit);
    }
    return hit;
}

}  // namespace sweepview
