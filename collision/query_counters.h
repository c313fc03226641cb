#pragma once

#include <cstdint>

namespace sweepview {

// Work done by sweep queries, counted only while queryCounters points at a
// record (the headless simulator's statistics); the viewer leaves it null.
struct QueryCounters {
    std::uint64_t sweeps = 0;
    std::uint64_t boxTests = 0;
    std::uint64_t leavesReached = 0;  // leaves whose box the sphere could reach
    std::uint64_t triangleTests = 0;
    std::uint64_t faceContacts = 0;
    std::uint64_t edgeContacts = 0;
    std::uint64_t cornerContacts = 0;
};

extern QueryCounters* queryCounters;

}  // namespace sweepview
