#pragma once

#include <cstdint>

#include "contact_state.h"

namespace sweepview {

// Work done by sweep queries, counted in the walks that run (with their
// pruning), when SweepOptions::stats points at a record: boxes tested,
// leaves whose box was reached, triangle tests run, and the contacts those
// tests reported by feature.
struct QueryCounters {
    std::uint64_t sweeps = 0;
    std::uint64_t boxTests = 0;
    std::uint64_t leavesReached = 0;  // leaves whose box the sphere could reach
    std::uint64_t triangleTests = 0;
    std::uint64_t faceContacts = 0;
    std::uint64_t edgeContacts = 0;
    std::uint64_t cornerContacts = 0;
};

// Adds from's counts to into's.
inline void addCounters(QueryCounters& into, const QueryCounters& from) {
    into.sweeps += from.sweeps;
    into.boxTests += from.boxTests;
    into.leavesReached += from.leavesReached;
    into.triangleTests += from.triangleTests;
    into.faceContacts += from.faceContacts;
    into.edgeContacts += from.edgeContacts;
    into.cornerContacts += from.cornerContacts;
}

// Counts a triangle test into stats (when not null), and its contact by
// feature when it reported one.
inline void countTriangleTest(QueryCounters* stats, bool hit, ContactFeature feature) {
    if (stats == nullptr) {
        return;
    }
    ++stats->triangleTests;
    if (hit) {
        ++(feature == ContactFeature::Face   ? stats->faceContacts
           : feature == ContactFeature::Edge ? stats->edgeContacts
                                             : stats->cornerContacts);
    }
}

}  // namespace sweepview
