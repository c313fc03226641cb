#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "collision/sweep_setup.h"
#include "report/audit_report_format.h"
#include "scene/collision_mesh.h"
#include "tools/dorn/mesh_checks.h"
#include "tools/dorn/mesh_distance.h"
#include "tools/dorn/mesh_parts.h"

namespace sweepview {

struct AuditOptions {
    std::string scene;
    long starts = 1000;
    long steps = 2000;
    float radius = 2.5f;
    float speed = 0.0f;  // 0: half the radius, so that a step is shorter than the sphere
    std::uint64_t seed = 1;
    int threads = 0;  // 0: every core
    std::string report;  // JSON file, when not empty
    std::string ply;     // coloured mesh, when not empty
    std::vector<std::string> failOn;
    bool exactEdges = false;
    bool twoSided = false;  // faces stop from both sides (FaceSides::Two)
};

struct AuditEvent {
    AuditEventKind kind = AuditEventKind::Escape;
    long start = 0;
    long step = 0;
    Vec3 position;
    std::int32_t triangle = -1;  // the triangle involved; -1 when none
    std::string detail;          // the feature, or how an overlap began
    Vec3 flightStart;            // where the flight began and its first
    Vec3 flightVelocity;         // velocity: with the configuration, all a replay needs
};

// Where the audit's starts are drawn from. Without open parts every part's
// solid is known, so starts may lie around the mesh too: the scene's bounds
// grown on every side by a quarter of their largest extent. With an open part
// its solid is undefined and the starts stay within the scene's bounds.
struct StartRegion {
    Vec3 min, max;              // where starts are drawn
    Vec3 boundsMin, boundsMax;  // the scene's bounds
    bool grown = false;         // min, max lie beyond the bounds
    // Leaving the bounds from a start within them is an escape: the scene has
    // a part that holds spheres in (a closed one whose outside is solid) or
    // one whose solid is unknown. Otherwise a flight ends when it leaves min, max.
    bool escapes = true;
};

// The start region of scene with the given parts.
StartRegion startRegion(const CollisionMesh& scene, const MeshParts& parts);

// Flights of the audit: events (at most EVENTS_KEPT of each kind, the earliest
// by start then step), all counts, and events per triangle.
struct FlightResults {
    static constexpr std::size_t EVENTS_KEPT = 100;
    std::array<std::vector<AuditEvent>, AUDIT_EVENT_KINDS> events;
    std::array<std::uint64_t, AUDIT_EVENT_KINDS> counts{};
    std::array<std::uint64_t, AUDIT_EVENT_KINDS> startsWith{};  // starts meeting each kind
    std::vector<std::uint32_t> eventsPerTriangle;
    std::uint64_t stepsFlown = 0;
    std::uint64_t contacts = 0;
    long startsSkipped = 0;  // no start point clear of the mesh was found
    long flewOff = 0;        // flights ended without an event on leaving the start region
    StartRegion region;
};

// Flies options.starts spheres of options.radius for options.steps steps each
// with the viewer's step: each from a random point of the start region clear
// of the mesh by the radius and outside every closed part's solid (up to 1000
// tries, else the start is skipped), in a random direction at options.speed, drawn
// from a random stream of its own (from the seed and the start's index), so
// the results are the same for any number of threads. The queries run on
// several threads and only read the scene.
// progress, when set, is called now and then on the calling thread with the
// share of starts done.
FlightResults flyAudit(CollisionMesh& scene, const MeshChecks& checks, const MeshParts& parts,
                       const AuditOptions& options, const std::function<void(double)>& progress);

}  // namespace sweepview
