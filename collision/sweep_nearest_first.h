#pragma once

// The sweep query over the wide nodes nearest boxes first, for
// collision/sweep_query.cpp alone. The query's contacts are recorded in the
// order the binary walk meets their leaves, and which of them it keeps
// depends on that order (each is measured against the nearest time recorded
// before it). This walk goes nearer boxes first, so the earliest contact is
// known sooner and more boxes are skipped; it keeps the contacts it finds
// with their leaves' places in the binary walk and records them in that
// order at the end.
//
// It keeps the contacts within a few tolerances of the earliest and skips
// what comes later, as the binary walk skips what comes too late. That gives
// the binary walk's result when more than the tolerance separates the latest
// contact kept from every contact not kept: one of those recorded before the
// kept ones would be replaced by the first of them, one recorded after them
// would be passed over. When the contacts kept come too close to those not
// kept, the caller walks the binary way. A contact replaced also empties
// hitTriangles, which the query otherwise only adds to: this walk is for a
// state whose hitTriangles is empty.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "collision/sweep_visitor.h"

#if SWEEP_SSE_LANES

namespace sweepview {
namespace {

class NearestFirstSweepVisitor : public SweepVisitor {
public:
    NearestFirstSweepVisitor(const CompiledTree& tree, const SweptSphere& sphere, ContactState& state,
                             const SweepOptions& options)
        : SweepVisitor(tree, sphere, state, options), quick_(allContactsQuickSweep(tree, sphere, tolerance_)) {}

    // Nothing more once unsure: the binary walk will run instead.
    int enterSlots(const WideNode& node) { return unsure_ ? 0 : slotsToEnter(quick_, node, slotEntry_); }

    // The entered slots by the time the path enters their grown boxes, lane
    // order among equal times.
    void orderSlots(const WideNode&, int entered, std::uint8_t (&lanes)[4]) const {
        lanesByEntry(slotEntry_, entered, lanes);
    }

    void wideLeaf(std::uint32_t prepared) {
        if (unsure_) {
            return;
        }
        if (stats_ != nullptr) {
            ++stats_->leavesReached;
        }
        Vec3 normal = zeroVector;
        float time = 0.0f;
        TriangleContact where;
        if (!testPrepared(prepared, normal, time, where) || (count_ > 0 && !(time < late_))) {
            return;  // none, or too late to be kept
        }
        const std::uint32_t leafNode = tree_.leafNodes[prepared];
        if (!exact_.reached(tree_, sphere_, setup_.end, leafNode)) {
            return;
        }
        // A time that is not a number has no place among the others; the
        // walk stops, and the caller walks the binary way.
        if (time != time) {
            unsure_ = true;
            return;
        }
        keep({leafNode, tree_.triangles[prepared].sceneTriangle, time, {normal.x, normal.y, normal.z},
              {where.point.x, where.point.y, where.point.z}, where.feature});
        earliest_ = count_ == 1 ? time : std::min(earliest_, time);
        late_ = earliest_ + KEPT_SPAN;
        if (!pruningReady_) {
            pruning_ = boxPruningFor(tree_, sphere_, setup_);
            pruningOn_ = pruning_.any();
            pruningReady_ = true;
        }
    }

    // Records the contacts into the state, as the binary walk would; false,
    // recording nothing, when the contacts kept cannot tell what it would
    // record: when the latest of them lies within the tolerance of late_,
    // where the contacts not kept begin (with a hundredth to spare for the
    // rounding of the difference).
    bool record() {
        if (unsure_) {
            return false;
        }
        // Those kept before an earlier contact moved late_ are now among the
        // contacts not kept.
        Kept* const kept = count_ <= INLINE ? kept_ : spill_.data();
        const std::size_t count = static_cast<std::size_t>(
            std::remove_if(kept, kept + count_, [&](const Kept& c) { return !(c.time < late_); }) - kept);
        float latest = 0.0f;
        for (std::size_t i = 0; i < count; ++i) {
            latest = std::max(latest, kept[i].time);
        }
        if (count > 0 && !(late_ - latest > SIMULTANEOUS_HIT_TOLERANCE * 1.01f)) {
            return false;
        }
        std::sort(kept, kept + count, [](const Kept& a, const Kept& b) { return a.leafNode < b.leafNode; });
        for (std::size_t i = 0; i < count; ++i) {
            const Kept& c = kept[i];
            TriangleContact where;
            where.feature = c.feature;
            where.point = Vec3(c.point[0], c.point[1], c.point[2]);
            recordContact(state_, c.sceneTriangle, Vec3(c.normal[0], c.normal[1], c.normal[2]), c.time, where);
        }
        result_ = count > 0 ? 1 : 0;
        return true;
    }

private:
    // How far after the earliest contact the walk keeps contacts: the ones
    // within the tolerance of it, and room for a gap after them.
    static constexpr float KEPT_SPAN = 4.0f * SIMULTANEOUS_HIT_TOLERANCE + 1e-6f;

    // A contact kept, in plain fields: the inline ones are left unset until
    // written, as most sweeps keep none.
    struct Kept {
        std::uint32_t leafNode;  // its place in the binary walk
        std::int32_t sceneTriangle;
        float time;
        float normal[3];
        float point[3];
        ContactFeature feature;
    };

    void keep(const Kept& contact) {
        if (count_ < INLINE) {
            kept_[count_++] = contact;
            return;
        }
        // A sphere starting among many triangles (a hundred or more).
        if (count_ == INLINE) {
            spill_.assign(kept_, kept_ + INLINE);
        }
        spill_.push_back(contact);
        ++count_;
    }

    static constexpr std::size_t INLINE = 32;
    const WideSweep quick_;
    ExactReach exact_;
    float slotEntry_[4] = {};
    Kept kept_[INLINE];
    std::vector<Kept> spill_;
    std::size_t count_ = 0;
    bool unsure_ = false;  // a contact's time was not a number
    bool pruningReady_ = false;
    float earliest_ = 0.0f;
};

}  // namespace
}  // namespace sweepview

#endif
