#include "tools/dorn/audit_command.h"


#include <algorithm>
#include <chrono>
#include <functional>
#include <iostream>
#include <sstream>
#include <thread>

#include "collision/query_counters.h"
#include "geometry/collision_epsilon.h"
#include "scene/dorn_reader.h"
#include "scene/output_file.h"
#include "scene/scene_builder.h"
#include "tools/dorn/audit_report.h"
#include "tools/dorn/progress_bar.h"

namespace sweepview {

namespace {

// Writes a file by the writer; false, with the reason on standard error, when it fails.
bool writeFile(const std::string& path, const std::function<void(std::ostream&)>& write) {
    std::string why;
    if (!writeOutputFile(path, write, &why)) {
        std::cerr << "dorn audit: " << why << '\n';
        return false;
    }
    return true;
}

}  // namespace

int runAudit(AuditOptions options) {
    std::string why;
    const std::unique_ptr<CollisionMesh> scene = loadDornFile(options.scene, &why);
    if (scene == nullptr) {
        std::cerr << "dorn audit: " << why << '\n';
        return 1;
    }
    setCollisionEpsilon(0.001f);
    if (options.speed == 0.0f) {
        options.speed = options.radius * 0.5f;
    }
    const int threads = options.threads > 0 ? options.threads
                                            : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    options.threads = threads;
    const MeshChecks checks = checkMesh(*scene);
    const MeshParts parts = findMeshParts(*scene, checks);
    const auto start = std::chrono::steady_clock::now();
    FlightResults flights;
    {
        ProgressBar bar("Flying", true);
        flights = flyAudit(*scene, checks, parts, options, [&](double share) { bar.update(share); });
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const AuditFindings findings{options, *scene, checks, flights, parts};
    writeSummary(std::cout, findings, seconds, threads);
    const auto writeReport = [&](std::ostream& out) { writeAuditReportJson(out, auditReport(findings)); };
    if (!options.report.empty() && !writeFile(options.report, writeReport)) {
        return 1;
    }
    if (!options.ply.empty() && !writeFile(options.ply, [&](std::ostream& out) { writePly(out, findings); })) {
        return 1;
    }
    if (flights.startsSkipped > 0) {
        std::cerr << "dorn audit: " << flights.startsSkipped << " of " << options.starts
                  << " starts skipped (no clear point found): " << flights.stepsFlown << " of "
                  << static_cast<std::uint64_t>(options.starts) * static_cast<std::uint64_t>(options.steps)
                  << " steps flown\n";
    }
    std::ostringstream found;
    for (auto name = options.failOn.begin(); name != options.failOn.end(); ++name) {
        if (findingCount(findings, *name) > 0 && std::find(options.failOn.begin(), name, *name) == name) {
            found << (found.tellp() > 0 ? ", " : "") << findingCount(findings, *name) << " " << *name;
        }
    }
    if (found.tellp() > 0) {
        std::cerr << "dorn audit: found " << found.str() << "\n";
        return AUDIT_FINDINGS_FAILED;
    }
    return flights.startsSkipped > 0 ? AUDIT_TOO_FEW_STEPS : 0;
}

}  // namespace sweepview
