#include "tools/dorn/audit_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <tuple>
#include <utility>

namespace sweepview {

namespace {

constexpr std::size_t STATIC_SHOWN = 10;  // static findings listed with coordinates
constexpr std::size_t HOT_SPOTS = 20;

const std::vector<std::int32_t>& meshFinding(const MeshChecks& checks, int which) {
    const std::vector<std::int32_t>* lists[] = {&checks.boundaryEdges, &checks.nonManifoldEdges,
                                                &checks.windingConflicts, &checks.degenerateTriangles,
                                                &checks.duplicateTriangles};
    return *lists[which];
}

// The scene's path from the report's folder and its absolute path, so that a
// replay finds the scene from any folder; both empty when there is no report
// file. Folders are taken with their links followed, the scene's own name as
// given.
std::pair<std::string, std::string> scenePaths(const std::string& scene, const std::string& report) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path sceneFile = fs::absolute(scene, error);
    const fs::path reportFile = report.empty() || error ? fs::path() : fs::absolute(report, error);
    if (reportFile.empty() || error) {
        return {};
    }
    const auto followed = [](const fs::path& folder) {
        std::error_code unresolved;
        const fs::path real = fs::weakly_canonical(folder, unresolved);
        return unresolved ? folder.lexically_normal() : real;
    };
    const fs::path absolute = followed(sceneFile.parent_path()) / sceneFile.filename();
    return {absolute.lexically_relative(followed(reportFile.parent_path())).string(), absolute.string()};
}

// The triangles with the most events, most first (ties by index).
std::vector<std::int32_t> hotSpots(const FlightResults& flights) {
    std::vector<std::int32_t> order;
    for (std::size_t t = 0; t < flights.eventsPerTriangle.size(); ++t) {
        if (flights.eventsPerTriangle[t] > 0) {
            order.push_back(static_cast<std::int32_t>(t));
        }
    }
    std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        return flights.eventsPerTriangle[a] > flights.eventsPerTriangle[b];
    });
    order.resize(std::min(order.size(), HOT_SPOTS));
    return order;
}

// Where a static finding lies: an edge's two corners or a triangle's three.
std::vector<Vec3> findingPoints(const AuditFindings& f, int which, std::int32_t index) {
    if (which < 3) {
        const MeshChecks::Edge& e = f.checks.edges[static_cast<std::size_t>(index)];
        return {f.scene.vertices[e.a], f.scene.vertices[e.b]};
    }
    const MeshTriangle& t = f.scene.triangles[static_cast<std::size_t>(index)];
    return {f.scene.vertices[t.vertex0], f.scene.vertices[t.vertex1], f.scene.vertices[t.vertex2]};
}

}  // namespace

std::uint64_t findingCount(const AuditFindings& findings, const std::string& name) {
    for (int k = 0; k < AUDIT_EVENT_KINDS; ++k) {
        if (name == AUDIT_EVENT_NAMES[k]) {
            return findings.flights.counts[k];
        }
    }
    for (int k = 0; k < MESH_FINDING_KINDS; ++k) {
        if (name == MESH_FINDING_NAMES[k]) {
            return meshFinding(findings.checks, k).size();
        }
    }
    return 0;
}

std::string startsChosen(const AuditFindings& f) {
    const StartRegion& region = f.flights.region;
    const MeshParts& p = f.parts;
    std::string text = std::to_string(p.solidInside + p.solidOutside) + " closed parts (" +
                       std::to_string(p.solidInside) + " solid inside, " + std::to_string(p.solidOutside) +
                       " solid outside), " + std::to_string(p.open) + " open; starts drawn from " +
                       (region.grown ? "the scene's bounds grown by a quarter of their largest extent"
                                     : "the scene's bounds") +
                       ", " + auditReportPoint(region.min) + " to " + auditReportPoint(region.max);
    return text + (p.open > 0 ? " (an open part's solid is undefined)" : "");
}

void writeSummary(std::ostream& out, const AuditFindings& f, double seconds, int threads) {
    const FlightResults& r = f.flights;
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s: %zu triangles; radius %g, speed %g, %ld starts of %ld steps, seed %llu, %s edge rule, %s faces\n",
                  f.options.scene.c_str(), f.scene.triangles.size(), f.options.radius, f.options.speed,
                  f.options.starts, f.options.steps, static_cast<unsigned long long>(f.options.seed),
                  f.options.exactEdges ? "exact" : "viewer's",
                  f.options.twoSided ? "two-sided" : "one-sided");
    out << line << startsChosen(f) << "\n\n| mesh finding | count | first at |\n|---|---|---|\n";
    for (int k = 0; k < MESH_FINDING_KINDS; ++k) {
        const auto& list = meshFinding(f.checks, k);
        out << "| " << MESH_FINDING_NAMES[k] << " | " << list.size() << " | "
            << (list.empty() ? "-" : auditReportPoint(findingPoints(f, k, list[0])[0])) << " |\n";
    }
    out << "\n| event | count | starts with it | first at (start, step, position, triangle) |\n|---|---|---|---|\n";
    for (int k = 0; k < AUDIT_EVENT_KINDS; ++k) {
        out << "| " << AUDIT_EVENT_NAMES[k] << " | " << r.counts[k] << " | " << r.startsWith[k] << " | ";
        if (r.events[k].empty()) {
            out << "- |\n";
            continue;
        }
        const AuditEvent& e = r.events[k][0];
        out << e.start << ", " << e.step << ", " << auditReportPoint(e.position) << ", " << e.triangle
            << (e.detail.empty() ? "" : ", " + e.detail) << " |\n";
    }
    std::snprintf(line, sizeof line,
                  "\n%llu steps flown (%ld starts without a clear point skipped, %ld flew off), "
                  "%llu contacts; %.0f steps/s on %d thread%s\n",
                  static_cast<unsigned long long>(r.stepsFlown), r.startsSkipped, r.flewOff,
                  static_cast<unsigned long long>(r.contacts),
                  seconds > 0 ? static_cast<double>(r.stepsFlown) / seconds : 0.0, threads, threads == 1 ? "" : "s");
    out << line;
    const auto hot = hotSpots(r);
    if (!hot.empty()) {
        out << "hot spots (triangle: events):";
        for (std::size_t i = 0; i < std::min<std::size_t>(hot.size(), 5); ++i) {
            out << (i ? ", " : " ") << hot[i] << ": " << r.eventsPerTriangle[hot[i]];
        }
        out << "\n";
    }
}

AuditReport auditReport(const AuditFindings& f) {
    const AuditOptions& o = f.options;
    const FlightResults& r = f.flights;
    AuditReport report;
    report.scene = o.scene;
    std::tie(report.sceneRelativeToReport, report.sceneAbsolute) = scenePaths(o.scene, o.report);
    report.triangles = f.scene.triangles.size();
    report.starts = o.starts;
    report.steps = o.steps;
    report.radius = o.radius;
    report.speed = o.speed;
    report.seed = o.seed;
    report.exactEdges = o.exactEdges;
    report.twoSided = o.twoSided;
    report.closedSolidInside = f.parts.solidInside;
    report.closedSolidOutside = f.parts.solidOutside;
    report.openParts = f.parts.open;
    report.regionGrown = r.region.grown;
    report.regionMin = r.region.min;
    report.regionMax = r.region.max;
    for (int k = 0; k < MESH_FINDING_KINDS; ++k) {
        const auto& list = meshFinding(f.checks, k);
        report.mesh[k].count = list.size();
        for (std::size_t i = 0; i < std::min(list.size(), STATIC_SHOWN); ++i) {
            report.mesh[k].first.push_back({list[i], findingPoints(f, k, list[i])});
        }
    }
    report.stepsFlown = r.stepsFlown;
    report.contacts = r.contacts;
    report.startsSkipped = r.startsSkipped;
    report.flewOff = r.flewOff;
    for (int k = 0; k < AUDIT_EVENT_KINDS; ++k) {
        report.events[k].count = r.counts[k];
        report.events[k].starts = r.startsWith[k];
        for (const AuditEvent& e : r.events[k]) {
            report.events[k].first.push_back(
                {e.start, e.step, e.position, e.triangle, e.detail, true, e.flightStart, e.flightVelocity});
        }
    }
    for (const std::int32_t t : hotSpots(r)) {
        report.hotSpots.push_back({t, r.eventsPerTriangle[t]});
    }
    return report;
}

void writePly(std::ostream& out, const AuditFindings& f) {
    const FlightResults& r = f.flights;
    std::size_t points = 0;
    for (const auto& kept : r.events) {
        points += kept.size();
    }
    const auto& rims = f.checks.boundaryEdges;
    out << "ply\nformat ascii 1.0\ncomment dorn audit of " << f.options.scene
        << "\nelement vertex " << f.scene.vertices.size() + points
        << "\nproperty float x\nproperty float y\nproperty float z\n"
           "property uchar red\nproperty uchar green\nproperty uchar blue\n"
        << "element face " << f.scene.triangles.size()
        << "\nproperty list uchar int vertex_indices\nproperty uchar red\nproperty uchar green\n"
           "property uchar blue\nelement edge "
        << rims.size()
        << "\nproperty int vertex1\nproperty int vertex2\nproperty uchar red\nproperty uchar green\n"
           "property uchar blue\nend_header\n";
    char line[160];
    for (const Vec3& v : f.scene.vertices) {
        std::snprintf(line, sizeof line, "%.9g %.9g %.9g 200 200 200\n", v.x, v.y, v.z);
        out << line;
    }
    constexpr int EVENT_COLOURS[AUDIT_EVENT_KINDS][3] = {
        {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 140, 0}, {0, 0, 0}};
    for (int k = 0; k < AUDIT_EVENT_KINDS; ++k) {
        for (const AuditEvent& e : r.events[k]) {
            std::snprintf(line, sizeof line, "%.9g %.9g %.9g %d %d %d\n", e.position.x, e.position.y,
                          e.position.z, EVENT_COLOURS[k][0], EVENT_COLOURS[k][1], EVENT_COLOURS[k][2]);
            out << line;
        }
    }
    const std::uint32_t most = r.eventsPerTriangle.empty()
                                   ? 0
                                   : *std::max_element(r.eventsPerTriangle.begin(), r.eventsPerTriangle.end());
    for (std::size_t i = 0; i < f.scene.triangles.size(); ++i) {
        const MeshTriangle& t = f.scene.triangles[i];
        const std::uint32_t events = r.eventsPerTriangle[i];
        // Yellow for one event, to red for the most, on a logarithmic scale.
        const double heat = events == 0 || most <= 1 ? 0.0 : std::log(events) / std::log(most);
        const int green = static_cast<int>(std::lround(255 * (1 - heat)));
        std::snprintf(line, sizeof line, "3 %d %d %d %d %d %d\n", t.vertex0, t.vertex1, t.vertex2,
                      events ? 255 : 160, events ? green : 160, events ? 0 : 160);
        out << line;
    }
    for (std::int32_t e : rims) {
        out << f.checks.edges[e].a << " " << f.checks.edges[e].b << " 255 0 0\n";
    }
}

}  // namespace sweepview
