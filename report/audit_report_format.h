#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "geometry/vec3.h"

namespace sweepview {

// The kinds of event a flight of dorn audit meets, in the report's order; the
// names are the report's keys, and what --fail-on and --event take.
enum class AuditEventKind { Escape, Overlap, Wedged, Bump, NonNumber };
inline constexpr int AUDIT_EVENT_KINDS = 5;
inline constexpr const char* AUDIT_EVENT_NAMES[AUDIT_EVENT_KINDS] = {"escape", "overlap", "wedged",
                                                                     "bump", "non-number"};

// The static findings on the mesh, in the report's order, named as above.
inline constexpr int MESH_FINDING_KINDS = 5;
inline constexpr const char* MESH_FINDING_NAMES[MESH_FINDING_KINDS] = {
    "boundary", "non-manifold", "winding", "degenerate", "duplicate"};

// One static finding: the edge's or triangle's index and its corners.
struct AuditReportFinding {
    std::int32_t index = 0;
    std::vector<Vec3> points;

    friend bool operator==(const AuditReportFinding&, const AuditReportFinding&) = default;
};

struct AuditReportMeshFinding {
    std::uint64_t count = 0;
    std::vector<AuditReportFinding> first;  // the first few, with coordinates

    friend bool operator==(const AuditReportMeshFinding&, const AuditReportMeshFinding&) = default;
};

// One event of a flight, and the flight's start and first velocity: with the
// configuration, all a replay needs.
struct AuditReportEvent {
    long start = 0;
    long step = 0;
    Vec3 position;
    std::int32_t triangle = -1;  // -1 when none
    std::string detail;          // the feature, or how an overlap began; often empty
    bool hasFlight = true;       // false in reports written before flights were kept
    Vec3 flightStart;
    Vec3 flightVelocity;

    friend bool operator==(const AuditReportEvent&, const AuditReportEvent&) = default;
};

struct AuditReportEvents {
    std::uint64_t count = 0;
    std::uint64_t starts = 0;  // starts that met the kind
    std::vector<AuditReportEvent> first;

    friend bool operator==(const AuditReportEvents&, const AuditReportEvents&) = default;
};

struct AuditReportHotSpot {
    std::int32_t triangle = 0;
    std::uint32_t events = 0;

    friend bool operator==(const AuditReportHotSpot&, const AuditReportHotSpot&) = default;
};

// Everything a dorn audit JSON report holds. Fields that older reports lack
// read as their defaults here.
struct AuditReport {
    std::string scene;                  // as typed to dorn audit
    std::string sceneRelativeToReport;  // from the report's folder; empty: not written
    std::string sceneAbsolute;          // empty: not written
    std::uint64_t triangles = 0;
    // The configuration.
    long starts = 0;
    long steps = 0;
    float radius = 0;
    float speed = 0;
    std::uint64_t seed = 0;
    bool exactEdges = false;
    bool twoSided = false;
    // Where the starts were drawn from.
    long closedSolidInside = 0;
    long closedSolidOutside = 0;
    long openParts = 0;
    bool regionGrown = false;  // the bounds grown by a quarter, not the bounds
    Vec3 regionMin, regionMax;
    std::array<AuditReportMeshFinding, MESH_FINDING_KINDS> mesh;
    // The flights.
    std::uint64_t stepsFlown = 0;
    std::uint64_t contacts = 0;
    long startsSkipped = 0;
    long flewOff = 0;
    std::array<AuditReportEvents, AUDIT_EVENT_KINDS> events;
    std::vector<AuditReportHotSpot> hotSpots;  // most events first

    friend bool operator==(const AuditReport&, const AuditReport&) = default;
};

// "[x, y, z]" as the report writes a point: each float as %.9g, null when
// not finite.
std::string auditReportPoint(const Vec3& p);

// Writes report as JSON: floats as %.9g, which read back as the same float,
// non-finite ones as null; the scene's two paths and an event's flight only
// when known. The same report gives the same bytes.
void writeAuditReportJson(std::ostream& out, const AuditReport& report);

// Reads a report written by writeAuditReportJson or by an older dorn audit.
// Returns it; or nothing with a one-line reason in *why: not JSON, not a
// report (no scene, configuration with radius and edge rule, or events), a
// field of the wrong kind, or an event without its start, step, position or
// triangle ("escape:3 lacks ..."). A null float reads as a non-number.
std::optional<AuditReport> readAuditReportJson(const std::string& text, std::string* why);

}  // namespace sweepview
