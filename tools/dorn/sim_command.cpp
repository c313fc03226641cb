#include "tools/dorn/sim_command.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>

#include "collision/move_and_slide.h"
#include "collision/sphere_motion.h"
#include "collision/query_counters.h"
#include "geometry/collision_epsilon.h"
#include "scene/dorn_reader.h"
#include "scene/output_file.h"
#include "tools/dorn/mesh_distance.h"
#include "tools/dorn/overlap_cause.h"
#include "tools/dorn/start_clearance.h"

namespace sweepview {

namespace {

// Counts of overlaps by the mesh feature involved.
struct OverlapCauses {
    long faceFromBehind = 0;
    long edge = 0;
    long corner = 0;
    long faceFromFront = 0;

    long total() const { return faceFromBehind + edge + corner + faceFromFront; }
};

// How the sphere's resting places compare with the mesh, in double precision.
struct CheckFigures {
    double smallest = std::numeric_limits<double>::infinity();
    long smallestStep = 0;
    long overlappingSteps = 0;
    long firstStepOutside = 0;  // 0: never left the scene's bounds
    long nonNumberSteps = 0;    // position or velocity not finite
    long firstNonNumberStep = 0;
    // How each run of overlapping steps began: overlapping from the start, or
    // by what the sphere overlapped first: on a straight step, the feature it
    // first touched; on a step with contacts (which ends at its last contact),
    // the feature nearest the centre at the end. Faces count by the side of
    // their plane the centre was on.
    long beganAtStart = 0;
    long beganInSolid = 0;  // of the others: the centre was in a closed part's solid before the step
    OverlapCauses straight;
    OverlapCauses atContact;
    Vec3 boundsMin;
    Vec3 boundsMax;
};

bool outside(const Vec3& p, const CheckFigures& c) {
    // Written so that a non-number counts as outside.
    return !(p.x >= c.boundsMin.x && p.y >= c.boundsMin.y && p.z >= c.boundsMin.z &&
             p.x <= c.boundsMax.x && p.y <= c.boundsMax.y && p.z <= c.boundsMax.z);
}

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The process's resident memory in kB, from the kernel; 0 where it cannot tell.
long residentKilobytes() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) {
        return 0;
    }
    char line[256];
    long kilobytes = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmRSS: %ld kB", &kilobytes) == 1) {
            break;
        }
    }
    std::fclose(status);
    return kilobytes;
}


void countCause(const OverlapStart& start, OverlapCauses& causes) {
    if (start.nearest.triangle < 0) {
        return;
    }
    long* counts[] = {&causes.faceFromBehind, &causes.edge, &causes.corner, &causes.faceFromFront};
    ++*counts[static_cast<int>(start.feature)];
}

double share(std::uint64_t part, std::uint64_t whole) {
    return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

// The sphere's start by the test dorn build warns with: in a closed part's
// solid, touching the mesh, or clear; one line on standard error.
void reportStart(const Clearance& start, float radius) {
    const bool touching = start.distance < radius;
    if (start.clearFor(radius)) {
        std::fprintf(stderr, "start: clear (distance %g from the mesh, outside every solid)\n",
                     start.distance);
        return;
    }
    std::fprintf(stderr, "start: the sphere starts ");
    if (start.solid()) {
        std::fprintf(stderr, "inside the solid of part %d%s", start.solidPart,
                     touching ? " and " : "");
    }
    if (touching) {
        std::fprintf(stderr, "touching the mesh (triangle %d, distance %g < radius %g)\n",
                     start.triangle, start.distance, static_cast<double>(radius));
    } else {
        std::fprintf(stderr, " (distance %g from the mesh)\n", start.distance);
    }
}

// Measures the step that took the centre from before to position: its
// clearance, and how an overlap that begins with it began.
void checkStep(const CollisionMesh& scene, const MeshParts& parts, const SimOptions& options,
               long step, const Vec3& before, const Vec3& position, const Vec3& velocity,
               int contacts, bool& overlapping, CheckFigures& figures) {
    const double gap = distanceToMesh(scene, toDouble(position)) - options.radius;
    if (gap < 0 && !overlapping) {
        const OverlapStart began = overlapStart(scene, before, position, contacts > 0, options.radius);
        if (began.fromStart) {
            ++figures.beganAtStart;
        } else {
            countCause(began, began.atContact ? figures.atContact : figures.straight);
            figures.beganInSolid += inSolid(scene, parts, toDouble(before)) ? 1 : 0;
        }
    }
    overlapping = gap < 0;
    if (gap < figures.smallest || figures.smallestStep == 0) {
        figures.smallest = gap;
        figures.smallestStep = step;
    }
    figures.overlappingSteps += gap < 0 ? 1 : 0;
    if (!finite(position) || !finite(velocity)) {
        figures.firstNonNumberStep += figures.nonNumberSteps == 0 ? step : 0;
        ++figures.nonNumberSteps;
    }
    if (figures.firstStepOutside == 0 && outside(position, figures)) {
        figures.firstStepOutside = step;
    }
}

// --check's figures on standard error.
void reportCheck(const CheckFigures& c, long steps, long memoryAtStart) {
    std::fprintf(stderr, "smallest clearance: %.9g at step %ld\n", c.smallest, c.smallestStep);
    std::fprintf(stderr, "steps ending overlapping the mesh: %ld of %ld\n", c.overlappingSteps, steps);
    std::fprintf(stderr, "overlaps begun: %ld at the start, %ld during the flight (%ld from inside a solid)\n",
                 c.beganAtStart, c.straight.total() + c.atContact.total(), c.beganInSolid);
    for (const auto& [what, causes] : {std::pair{"on straight steps, first touching", &c.straight},
                                       {"at a step's last contact, nearest", &c.atContact}}) {
        std::fprintf(stderr,
                     "  %s: %ld a face from behind, %ld an edge, %ld a corner, "
                     "%ld a face from the front\n",
                     what, causes->faceFromBehind, causes->edge, causes->corner, causes->faceFromFront);
    }
    if (c.firstStepOutside == 0) {
        std::fprintf(stderr, "left the scene's bounds: never\n");
    } else {
        std::fprintf(stderr, "left the scene's bounds: first at step %ld\n", c.firstStepOutside);
    }
    if (c.nonNumberSteps == 0) {
        std::fprintf(stderr, "steps ending with a non-number: none\n");
    } else {
        std::fprintf(stderr, "steps ending with a non-number: %ld, first at step %ld\n", c.nonNumberSteps,
                     c.firstNonNumberStep);
    }
    std::fprintf(stderr, "resident memory: %ld kB after loading, %ld kB at the end\n", memoryAtStart,
                 residentKilobytes());
}

}  // namespace

int runSim(const SimOptions& options) {
    std::string why;
    const std::unique_ptr<CollisionMesh> scene = loadDornFile(options.scene, &why);
    if (scene == nullptr) {
        std::cerr << "dorn sim: " << why << '\n';
        return 1;
    }
    setCollisionEpsilon(0.001f);
    QueryCounters counters;
    CheckFigures figures;
    sceneBounds(*scene, figures.boundsMin, figures.boundsMax);

    ContactState state;
    const long memoryAtStart = residentKilobytes();
    Vec3 position = options.position;
    Vec3 velocity = options.velocity;
    long contactsTotal = 0;
    long contactsMax = 0;
    long boundReached = 0;
    // The CSV goes to standard output, or whole or not at all to the file.
    OutputFile file;
    if (!options.output.empty() && !file.open(options.output, &why)) {
        std::cerr << "dorn sim: " << why << '\n';
        return 1;
    }
    MeshParts parts;  // found only for --check, after loading's memory is measured
    if (options.check) {
        parts = findMeshParts(*scene, checkMesh(*scene));
        reportStart(clearanceAt(*scene, parts, toDouble(options.position)), options.radius);
    }
    const bool sliding = options.response == SimResponse::Slide;
    std::string csv = sliding ? "step,px,py,pz,vx,vy,vz,contacts,hits,on_floor\n"
                              : "step,px,py,pz,vx,vy,vz,contacts,hits\n";
    const auto emit = [&](bool last) {
        if (csv.size() >= (1 << 16) || last) {
            if (options.output.empty()) {
                std::fwrite(csv.data(), 1, csv.size(), stdout);
            } else {
                file.write(csv.data(), csv.size());
            }
            csv.clear();
        }
    };
    SweepOptions sweepOptions(options.exactEdges ? EdgeRule::Exact : EdgeRule::Design,
                              options.twoSided ? FaceSides::Two : FaceSides::One);
    sweepOptions.stats = options.stats ? &counters : nullptr;
    SlideSettings slide;
    slide.maxSlopeDegrees = options.maxSlope;
    slide.stepHeight = options.stepHeight;
    slide.floorSnap = options.floorSnap;
    slide.faces = sweepOptions.faces;
    slide.stats = sweepOptions.stats;
    if (lengthSquared(options.gravity) > 0.0f) {
        slide.up = normalized(options.gravity * -1.0f);
    }
    Vec3 fall;  // the falling speed, gravity's sum since the sphere last stood on a floor
    bool onFloor = false;
    long floorSteps = 0;
    SlideResult moved;
    const auto start = std::chrono::steady_clock::now();
    bool overlapping = false;
    for (long step = 1; step <= options.steps; ++step) {
        const Vec3 before = position;
        int contacts = 0;
        const std::vector<std::int32_t>* hits = &state.hitTriangles;
        if (sliding) {
            fall += options.gravity;
            velocity = options.velocity + fall;
            moved = moveAndSlide(*scene, position, options.radius, velocity, onFloor, slide);
            position = moved.position;
            onFloor = moved.onFloor;
            fall = onFloor ? zeroVector : fall;
            contacts = moved.contacts;
            hits = &moved.triangles;
            boundReached += moved.iterations >= slide.iterations ? 1 : 0;
            floorSteps += onFloor ? 1 : 0;
        } else {
            const StepOutcome outcome = advanceSphere(*scene, options.radius, position, velocity,
                                                      state, sweepOptions);
            contacts = outcome.contacts;
            boundReached += outcome.reachedBound ? 1 : 0;
        }
        char line[160];
        std::snprintf(line, sizeof line, "%ld,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%d,", step, position.x,
                      position.y, position.z, velocity.x, velocity.y, velocity.z, contacts);
        csv += line;
        for (std::size_t i = 0; i < hits->size(); ++i) {
            std::snprintf(line, sizeof line, i == 0 ? "%d" : " %d", (*hits)[i]);
            csv += line;
        }
        if (sliding) {
            csv += onFloor ? ",1" : ",0";
        }
        csv += '\n';
        emit(false);
        contactsTotal += contacts;
        contactsMax = std::max<long>(contactsMax, contacts);
        if (options.check) {
            checkStep(*scene, parts, options, step, before, position, velocity, contacts,
                      overlapping, figures);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    emit(true);
    std::fflush(stdout);
    if (!options.output.empty() && !file.commit(&why)) {
        std::cerr << "dorn sim: " << why << '\n';
        return 1;
    }

    if (options.check) {
        reportCheck(figures, options.steps, memoryAtStart);
    }
    if (options.stats) {
        const double sweeps = static_cast<double>(std::max<std::uint64_t>(counters.sweeps, 1));
        const std::uint64_t contacts =
            counters.faceContacts + counters.edgeContacts + counters.cornerContacts;
        std::fprintf(stderr, "steps per second: %.0f\n",
                     seconds > 0 ? static_cast<double>(options.steps) / seconds : 0.0);
        std::fprintf(stderr, "contacts per step: mean %.3f, max %ld\n",
                     options.steps > 0 ? static_cast<double>(contactsTotal) / options.steps : 0.0,
                     contactsMax);
        if (sliding) {
            std::fprintf(stderr, "steps that used all %d iterations: %ld\n", slide.iterations,
                         boundReached);
            std::fprintf(stderr, "steps ending on a floor: %ld of %ld\n", floorSteps, options.steps);
        } else {
            std::fprintf(stderr, "steps that reached the bound of %d contacts: %ld\n",
                         MAX_CONTACTS_PER_STEP, boundReached);
        }
        std::fprintf(stderr,
                     "per sweep: %.2f boxes tested, %.2f leaves reached, %.2f triangle tests\n",
                     counters.boxTests / sweeps, counters.leavesReached / sweeps,
                     counters.triangleTests / sweeps);
        std::fprintf(stderr, "contacts: %.1f%% face, %.1f%% edge, %.1f%% corner\n",
                     share(counters.faceContacts, contacts), share(counters.edgeContacts, contacts),
                     share(counters.cornerContacts, contacts));
    }
    return 0;
}

}  // namespace sweepview
