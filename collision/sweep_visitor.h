#pragma once

// The sweep query as a visitor of the compiled tree's walk (tree_walk.h), for
// collision/sweep_query.cpp alone (internal linkage, so the walk inlines it):
// which boxes the sweep may reach, the triangle test at a leaf, and, once a
// contact is known, the bounds that skip what can only come too late.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "collision/contact_recording.h"
#include "collision/query_counters.h"
#include "collision/simd_lanes.h"
#include "collision/sweep_box.h"
#include "collision/sweep_box_lanes.h"
#include "collision/sweep_box_wide.h"
#include "collision/sweep_pruning.h"
#include "collision/sweep_triangle.h"
#include "scene/compiled_tree.h"

namespace sweepview {
namespace {

// What both forms of the walk share: the leaf's triangle test, recording, and
// the pruning values, worked out at the first contact.
class SweepVisitor {
public:
    SweepVisitor(const CompiledTree& tree, const SweptSphere& sphere, ContactState& state,
                 const SweepOptions& options)
        : tree_(tree), sphere_(sphere), state_(state), options_(options), stats_(options.stats),
          tolerance_(sweepTolerance(options)), behindLimit_(behindStartLimit(tree, sphere, tolerance_)) {
        // The walk needs only the path's end; the rest of the setup (a square
        // root and divisions, a tenth of a short sweep's time on a small
        // mesh) waits for the first triangle, which most short sweeps never
        // reach.
        setup_.end = sphere.position + sphere.displacement;
    }

    std::int32_t result() const { return result_; }

protected:
    // Tests the prepared triangle; the contact, when confirm() agrees, is
    // recorded as sceneTriangle's.
    template <class Confirm>
    void testTriangle(std::uint32_t prepared, Confirm confirm) {
        Vec3 normal = zeroVector;
        float time = 0.0f;
        TriangleContact where;
        std::int32_t sceneTriangle = 0;
        if (!testPrepared(prepared, normal, time, where) || !confirm(sceneTriangle)) {
            return;
        }
        recordContact(state_, sceneTriangle, normal, time, where);
        late_ = state_.nearestTime + SIMULTANEOUS_HIT_TOLERANCE + 1e-6f;
        if (result_ == 0) {
            pruning_ = boxPruningFor(tree_, sphere_, setup_);
            pruningOn_ = pruning_.any();
        }
        result_ = 1;
    }

#if SWEEP_SSE_LANES
    // Of a wide node's slots, those to enter: the ones the quick test lets
    // through, less those holding their contacts (a slot with slack has its
    // grown box) whose contacts all lie behind the start or come too late;
    // counted. When entry is given, the quick test writes there the time the
    // path enters each slot's grown box.
    int slotsToEnter(const WideSweep& quick, const WideNode& node, float* entry = nullptr) const {
        if (stats_ != nullptr) {
            stats_->boxTests += static_cast<std::uint64_t>(slotCount(node.used));
        }
        const int reached = sweepMayReachBoxes(quick, node.slotMin, node.slotMax, entry) & node.used;
        const int prunable = reached & (node.prunable | node.slackLanes);
        int skipped = 0;
        if (behindLimit_ == behindLimit_ && prunable != 0) {
            skipped |= boxesBehindStart(node, sphere_, behindLimit_) & prunable;
        }
        if (pruningOn_ && prunable != 0) {
            skipped |= boxesTooLate(node, sphere_, pruning_, late_) & prunable;
        }
        return reached & ~skipped;
    }
#endif

    // The prepared triangle's test, after the setup it needs and the bound
    // that skips a triangle whose contacts come too late; counted. On 1
    // writes the contact's normal, time and place.
    bool testPrepared(std::uint32_t prepared, Vec3& normal, float& time, TriangleContact& where) {
        if (!setupDone_) {
            setup_ = prepareSweep(sphere_, options_);
            setupDone_ = true;
        }
        const PreparedTriangle& triangle = tree_.triangles[prepared];
        if (pruning_.aheadTooLate && triangleAheadTooLate(triangle, sphere_, pruning_, late_)) {
            return false;
        }
        const bool hit = sweepHitsTriangle(sphere_, setup_, triangle, normal, time, &where) != 0;
        countTriangleTest(stats_, hit, where.feature);
        return hit;
    }

    const CompiledTree& tree_;
    const SweptSphere& sphere_;
    ContactState& state_;
    const SweepOptions& options_;
    QueryCounters* const stats_;
    SweepSetup setup_;
    bool setupDone_ = false;
    const float tolerance_;    // the setup's, known before it
    const float behindLimit_;  // a non-number when the bound cannot be used
    BoxPruning pruning_;       // from the first contact on
    bool pruningOn_ = false;
    float late_ = 0.0f;        // the nearest time plus the tolerance, once there is one
    std::int32_t result_ = 0;
};

// The sweep over the binary nodes: each box by the exact box test, so a
// leaf's contact is kept as found.
class BinarySweepVisitor : public SweepVisitor {
public:
    BinarySweepVisitor(const CompiledTree& tree, const SweptSphere& sphere, ContactState& state,
                       const SweepOptions& options)
        : SweepVisitor(tree, sphere, state, options)
#if SWEEP_SSE_LANES
          ,
          lanes_(sweepLanes(sphere, setup_.end))
#endif
    {
    }

    bool enterNode(const CompiledNode& node) {
        if (stats_ != nullptr) {
            ++stats_->boxTests;
        }
#if SWEEP_SSE_LANES
        const bool reached = sweepHitsBoundsLanes(lanes_, node) != 0;
#else
        const bool reached = sweepHitsBounds(sphere_, setup_, node.boundsMin, node.boundsMax) != 0;
#endif
        if (!reached) {
            return false;
        }
        if (!isCompiledInner(node)) {
            if (stats_ != nullptr) {
                ++stats_->leavesReached;
            }
            return true;
        }
        if (node.triangle == COMPILED_INNER_SLACK) {
            return !holdsOnlyUnwanted(grownBySlack(tree_, node));
        }
        return node.triangle != COMPILED_INNER || !holdsOnlyUnwanted(node);
    }

    void leaf(std::uint32_t prepared, std::int32_t sceneTriangle) {
        testTriangle(prepared, [&](std::int32_t& recorded) {
            recorded = sceneTriangle;
            return true;
        });
    }

private:
    // Whether every contact under an inner node whose box holds its
    // triangles' contacts lies behind the start or comes too late.
    bool holdsOnlyUnwanted(const CompiledNode& node) const {
        return boxBehindStart(node, sphere_, behindLimit_) ||
               (pruningOn_ && boxContactsTooLate(node, sphere_, pruning_, late_));
    }

#if SWEEP_SSE_LANES
    const SweepLanes lanes_;
#endif
};

#if SWEEP_SSE_LANES

inline bool isFinite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The wide form's quick test for the all-contacts query: the sphere's own
// radius, as the exact box test grows boxes by, and the margin that keeps it
// from rejecting a box that test reaches.
inline WideSweep allContactsQuickSweep(const CompiledTree& tree, const SweptSphere& sphere, float tolerance) {
    const Vec3& o = sphere.position;
    const Vec3& d = sphere.displacement;
    const float scale = std::max({std::fabs(o.x), std::fabs(o.y), std::fabs(o.z), std::fabs(d.x), std::fabs(d.y),
                                  std::fabs(d.z), tree.largestBound});
    return wideSweep(sphere, 1e-4f * (std::fabs(sphere.radius) + scale + tolerance));
}

// Whether the exact box test reaches a node and every ancestor, as the walk of
// the binary nodes would have to reach a leaf. Contacts of one sweep share
// most of their ancestors: nodes that passed are kept by their low bits.
class ExactReach {
public:
    // end: the sweep's end as its setup computes it.
    bool reached(const CompiledTree& tree, const SweptSphere& sphere, const Vec3& end, std::uint32_t node) {
        if (!memoReady_) {
            std::fill(passed_, passed_ + MEMO, WIDE_EMPTY);
            memoReady_ = true;
        }
        const SweepLanes lanes = sweepLanes(sphere, end);
        for (;; node = tree.parents[node]) {
            std::uint32_t& memo = passed_[node % MEMO];
            if (memo == node) {
                return true;
            }
            if (sweepHitsBoundsLanes(lanes, tree.nodes[node]) == 0) {
                return false;
            }
            memo = node;
            if (node == 0) {
                return true;
            }
        }
    }

private:
    static constexpr std::uint32_t MEMO = 64;
    std::uint32_t passed_[MEMO];
    bool memoReady_ = false;
};

// The sweep over the wide nodes, for a sweep of finite numbers: boxes by the
// quick test, which may reach more than the exact one, so a leaf's contact is
// kept only when the exact box test reaches the leaf and each of its
// ancestors, as the binary walk would: the same contacts in the same order,
// the same results bit for bit.
class WideSweepVisitor : public SweepVisitor {
public:
    WideSweepVisitor(const CompiledTree& tree, const SweptSphere& sphere, ContactState& state,
                     const SweepOptions& options)
        : SweepVisitor(tree, sphere, state, options), quick_(allContactsQuickSweep(tree, sphere, tolerance_)) {}

    int enterSlots(const WideNode& node) { return slotsToEnter(quick_, node); }

    void wideLeaf(std::uint32_t prepared) {
        if (stats_ != nullptr) {
            ++stats_->leavesReached;
        }
        // Should the triangle report a contact, the leaf's exact box test
        // reads its node: fetched while the triangle is tested.
        const std::uint32_t leafNode = tree_.leafNodes[prepared];
        __builtin_prefetch(&tree_.nodes[leafNode]);
        __builtin_prefetch(&tree_.nodes[tree_.parents[leafNode]]);
        testTriangle(prepared, [&](std::int32_t& recorded) {
            recorded = tree_.triangles[prepared].sceneTriangle;
            return exact_.reached(tree_, sphere_, setup_.end, leafNode);
        });
    }

private:
    const WideSweep quick_;
    ExactReach exact_;
};

#endif

}  // namespace
}  // namespace sweepview
