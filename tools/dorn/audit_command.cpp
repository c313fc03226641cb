#include "tools/dorn/audit_command.h"

#include <chrono>
#include <fstream>
#include <iostream>
#include <thread>

#include "collision/query_counters.h"
#include "geometry/collision_epsilon.h"
#include "scene/dorn_reader.h"
#include "scene/scene_builder.h"
#include "tools/dorn/audit_report.h"
#include "tools/dorn/progress_bar.h"

namespace sweepview {

namespace {

// Writes a file by the writer; false, with the reason on standard error, when it fails.
template <typename Writer>
bool writeFile(const std::string& path, const char* what, Writer write) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) {
        write(file);
        file.close();
    }
    if (!file) {
        std::cerr << "dorn audit: " << path << ": cannot write the " << what << '\n';
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
    queryCounters = nullptr;
    fillBoundsCaches(*scene);  // the flights' queries then only read the scene
    if (options.speed == 0.0f) {
        options.speed = options.radius * 0.5f;
    }
    const int threads = options.threads > 0 ? options.threads
                                            : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    options.threads = threads;
    const MeshChecks checks = checkMesh(*scene);
    const auto start = std::chrono::steady_clock::now();
    FlightResults flights;
    {
        ProgressBar bar("Flying", true);
        flights = flyAudit(*scene, checks, options, [&](double share) { bar.update(share); });
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const AuditFindings findings{options, *scene, checks, flights};
    writeSummary(std::cout, findings, seconds, threads);
    if (!options.report.empty() &&
        !writeFile(options.report, "report", [&](std::ostream& out) { writeJsonReport(out, findings); })) {
        return 1;
    }
    if (!options.ply.empty() && !writeFile(options.ply, "PLY mesh", [&](std::ostream& out) { writePly(out, findings); })) {
        return 1;
    }
    for (const std::string& name : options.failOn) {
        if (findingCount(findings, name) > 0) {
            std::cerr << "dorn audit: found " << findingCount(findings, name) << " " << name << "\n";
            return AUDIT_FINDINGS_FAILED;
        }
    }
    return 0;
}

}  // namespace sweepview
