#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/frame_step.h"
#include "collision/sweep_setup.h"
#include "geometry/vec3.h"
#include "scene/collision_mesh.h"

namespace sweepview {

// One event of a dorn audit report and the flight that met it: what it takes
// to fly the same flight again.
struct ReplayEvent {
    std::string report;         // the report's path, as given
    std::string scene;          // as the report names it: as typed to dorn audit
    std::string sceneRelative;  // from the report's folder; empty in older reports
    std::string sceneAbsolute;  // empty in older reports
    std::string kind;   // escape, overlap, wedged, bump or non-number
    long index = 0;     // in the report's list of that kind
    long start = 0;
    long step = 0;
    std::string positionText;  // as the report printed it
    std::int32_t triangle = -1;
    std::string detail;  // as the report words it; empty for most kinds
    Vec3 flightStart;
    Vec3 flightVelocity;
    float radius = 2.5f;
    EdgeRule edgeRule = EdgeRule::Design;
    FaceSides faceSides = FaceSides::One;
};

// Reads event "KIND:INDEX" (e.g. escape:0) of the JSON report at path. Returns
// it; or nothing with a one-line reason in *why (unreadable or malformed
// report, an unknown kind, an index past the list, a report without the
// flights' start and velocity).
std::optional<ReplayEvent> readReplayEvent(const std::string& path, const std::string& event,
                                           std::string* why);

// The file the report's scene is: the first of its path from the report's
// folder, its absolute path and its name as typed that opens as a regular
// file (a report without the first two: the name as typed, then from the
// report's folder). Returns it; or nothing with "the scene named by report
// REPORT, NAME (tried PATHS): REASON" in *why.
std::optional<std::string> findReplayScene(const ReplayEvent& event, std::string* why);

// Where the replay left the viewer: the position of the event computed as the
// audit computes it, printed as the report prints it.
struct ReplayResult {
    Vec3 position;
    std::string positionText;
    std::vector<StepContact> lastStepContacts;  // of the last step flown, for the facts
};

// Flies the event's flight in scene with the step the audit uses, silently:
// sets the viewer's sphere, radius, rule and step count, and stops at the
// event's step (before it for an escape or a non-number, whose position is
// where that step began; after it otherwise). Only reads scene.
ReplayResult replayFlight(const CollisionMesh& scene, const ReplayEvent& event);

// The line a replay prints: "KIND INDEX: start S, step N, position [x, y, z],
// triangle T", then ", DETAIL" when the event has one.
std::string replayLine(const ReplayEvent& event, const ReplayResult& result);

// "[x, y, z]" with each float as %.9g, as the audit report prints points.
std::string reportPoint(const Vec3& p);

}  // namespace sweepview
