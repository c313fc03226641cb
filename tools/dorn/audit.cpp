#include "tools/dorn/audit.h"

#include <atomic>
#include <cmath>
#include <numbers>
#include <random>
#include <thread>

#include "collision/sphere_motion.h"
#include "tools/dorn/mesh_distance.h"
#include "tools/dorn/overlap_cause.h"

namespace sweepview {

namespace {

constexpr double OVERLAP_TOLERANCE = 0.001;
const double COS_ONE_DEGREE = std::cos(std::numbers::pi / 180.0);

std::uint64_t splitmix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

DoublePoint unitNormal(const CollisionMesh& scene, std::int32_t triangle) {
    const MeshTriangle& t = scene.triangles[static_cast<std::size_t>(triangle)];
    const DoublePoint a = toDouble(scene.vertices[t.vertex0]);
    const DoublePoint n = crossP(toDouble(scene.vertices[t.vertex1]) - a, toDouble(scene.vertices[t.vertex2]) - a);
    return n * (1.0 / std::sqrt(dotP(n, n)));
}

bool coplanar(const CollisionMesh& scene, const std::vector<std::int32_t>& triangles, const DoublePoint& n) {
    for (std::int32_t t : triangles) {
        if (!(std::fabs(dotP(unitNormal(scene, t), n)) >= COS_ONE_DEGREE)) {
            return false;
        }
    }
    return true;
}

// A contact at an inner seam of a flat region (an edge or corner all of whose
// triangles lie in one plane within a degree, none of its edges a rim) whose
// normal leans more than a degree from the plane's: the "internal edge" hop.
// Returns the feature's name, or null when the contact is no bump.
const char* bumpAt(const CollisionMesh& scene, const MeshChecks& checks, const Vec3& centre,
                   const Vec3& normal, std::int32_t triangle) {
    const MeshNearest nearest = nearestOnTriangle(scene, triangle, toDouble(centre));
    if (nearest.feature == MeshFeature::Face || !std::isfinite(nearest.distance)) {
        return nullptr;
    }
    DoublePoint n = unitNormal(scene, triangle);
    const MeshTriangle& t = scene.triangles[static_cast<std::size_t>(triangle)];
    const std::int32_t corners[3] = {t.vertex0, t.vertex1, t.vertex2};
    // The triangle's feature nearest the contact point.
    int nearestCorner = 0;
    int nearestEdge = 0;
    double cornerDistance = INFINITY;
    double edgeDistance = INFINITY;
    for (int i = 0; i < 3; ++i) {
        const DoublePoint a = toDouble(scene.vertices[corners[i]]);
        const DoublePoint e = toDouble(scene.vertices[corners[(i + 1) % 3]]) - a;
        const DoublePoint off = nearest.point - a;
        const double along = std::fmin(std::fmax(dotP(off, e) / dotP(e, e), 0.0), 1.0);
        const DoublePoint gap = off - e * along;
        if (dotP(off, off) < cornerDistance) {
            cornerDistance = dotP(off, off);
            nearestCorner = i;
        }
        if (dotP(gap, gap) < edgeDistance) {
            edgeDistance = dotP(gap, gap);
            nearestEdge = i;
        }
    }
    if (nearest.feature == MeshFeature::Edge) {
        const auto& edge = checks.edges[checks.triangleEdges[3 * triangle + nearestEdge]];
        if (edge.triangles.size() < 2 || !coplanar(scene, edge.triangles, n)) {
            return nullptr;
        }
    } else {
        const std::int32_t vertex = checks.welded[corners[nearestCorner]];
        const auto& fan = checks.vertexTriangles[vertex];
        if (!coplanar(scene, fan, n)) {
            return nullptr;
        }
        for (std::int32_t f : fan) {  // every edge at the corner shared: no rim
            for (int i = 0; i < 3; ++i) {
                const auto& edge = checks.edges[checks.triangleEdges[3 * f + i]];
                if ((edge.a == vertex || edge.b == vertex) && edge.triangles.size() < 2) {
                    return nullptr;
                }
            }
        }
    }
    if (dotP(toDouble(centre) - nearest.point, n) < 0) {
        n = n * -1.0;  // met from behind: the plane's normal on the sphere's side
    }
    const double lean = dotP(toDouble(normal), n) / std::sqrt(dotP(toDouble(normal), toDouble(normal)));
    return lean < COS_ONE_DEGREE ? (nearest.feature == MeshFeature::Edge ? "edge" : "corner") : nullptr;
}

struct StartResult {
    std::vector<AuditEvent> events;  // in step order, at most EVENTS_KEPT of a kind
    std::array<std::uint64_t, AUDIT_EVENT_KINDS> counts{};
    std::vector<std::int32_t> eventTriangles;  // of every event, for the hot spots
    std::uint64_t steps = 0;
    std::uint64_t contacts = 0;
    bool skipped = false;
    bool flewOff = false;
};

bool within(const Vec3& p, const Vec3& min, const Vec3& max) {
    return p.x >= min.x && p.y >= min.y && p.z >= min.z && p.x <= max.x && p.y <= max.y && p.z <= max.z;
}

StartResult flyOne(CollisionMesh& scene, const MeshChecks& checks, const MeshParts& parts,
                   const AuditOptions& options, long index, const StartRegion& region) {
    StartResult result;
    std::mt19937_64 random(splitmix(options.seed ^ splitmix(static_cast<std::uint64_t>(index))));
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::normal_distribution<float> normal;
    const float radius = options.radius;
    Vec3 position;
    bool clear = false;
    for (int attempt = 0; attempt < 1000 && !clear; ++attempt) {
        const Vec3 share(unit(random), unit(random), unit(random));
        position = region.min + componentProduct(region.max - region.min, share);
        clear = distanceToMesh(scene, toDouble(position)) >= radius &&
                !inSolid(scene, parts, toDouble(position));
    }
    if (!clear) {
        result.skipped = true;
        return result;
    }
    Vec3 direction;
    do {
        direction = Vec3(normal(random), normal(random), normal(random));
    } while (!(length(direction) > 1e-3f));
    Vec3 velocity = normalized(direction) * options.speed;
    const Vec3 flightStart = position;
    const Vec3 flightVelocity = velocity;
    // Leaving the scene's bounds is an escape only from where something held
    // the sphere in; from elsewhere the flight just ends once it flies off.
    const bool escapes = region.escapes && within(position, region.boundsMin, region.boundsMax);
    const Vec3& leaveMin = escapes ? region.boundsMin : region.min;
    const Vec3& leaveMax = escapes ? region.boundsMax : region.max;
    const SweepOptions rule(options.exactEdges ? EdgeRule::Exact : EdgeRule::Design,
                            options.twoSided ? FaceSides::Two : FaceSides::One);
    ContactState state;
    long step = 0;
    const auto add = [&](AuditEventKind kind, const Vec3& at, std::int32_t triangle, std::string detail) {
        if (result.counts[static_cast<std::size_t>(kind)]++ < FlightResults::EVENTS_KEPT) {
            result.events.push_back({kind, index, step, at, triangle, std::move(detail), flightStart, flightVelocity});
        }
        if (triangle >= 0) {
            result.eventTriangles.push_back(triangle);
        }
    };
    const ContactObserver onContact = [&](const Vec3& centre, const Vec3& n, std::int32_t triangle) {
        if (const char* feature = bumpAt(scene, checks, centre, n, triangle)) {
            add(AuditEventKind::Bump, centre, triangle, feature);
        }
    };
    bool overlapping = false;
    for (step = 1; step <= options.steps; ++step) {
        const Vec3 before = position;
        const StepOutcome outcome = advanceSphere(scene, radius, position, velocity, state, rule, onContact);
        ++result.steps;
        result.contacts += static_cast<std::uint64_t>(outcome.contacts);
        if (!finite(position) || !finite(velocity)) {
            add(AuditEventKind::NonNumber, before, -1, "");
            break;
        }
        if (outcome.reachedBound) {
            add(AuditEventKind::Wedged, position, state.hitTriangles.empty() ? -1 : state.hitTriangles.back(), "");
        }
        if (!within(position, leaveMin, leaveMax)) {
            if (escapes) {
                add(AuditEventKind::Escape, before, nearestOnMesh(scene, toDouble(before)).triangle, "");
            } else {
                result.flewOff = true;
            }
            break;
        }
        const bool overlaps = distanceToMesh(scene, toDouble(position)) < radius - OVERLAP_TOLERANCE;
        if (overlaps && !overlapping) {
            const OverlapStart began = overlapStart(scene, before, position, outcome.contacts > 0, radius);
            add(AuditEventKind::Overlap, position, began.nearest.triangle,
                began.fromStart ? std::string("from the start")
                                : std::string(began.atContact ? "at a contact, nearest " : "on a straight step, first touching ") +
                                      overlapFeatureName(began.feature));
        }
        overlapping = overlaps;
    }
    return result;
}

}  // namespace

StartRegion startRegion(const CollisionMesh& scene, const MeshParts& parts) {
    StartRegion region;
    sceneBounds(scene, region.boundsMin, region.boundsMax);
    region.min = region.boundsMin;
    region.max = region.boundsMax;
    region.grown = parts.open == 0;
    region.escapes = parts.open > 0 || parts.solidOutside > 0;
    if (region.grown) {
        const Vec3 size = region.boundsMax - region.boundsMin;
        const float margin = 0.25f * std::fmax(std::fmax(size.x, size.y), size.z);
        region.min = region.boundsMin - Vec3(margin, margin, margin);
        region.max = region.boundsMax + Vec3(margin, margin, margin);
    }
    return region;
}

FlightResults flyAudit(CollisionMesh& scene, const MeshChecks& checks, const MeshParts& parts,
                       const AuditOptions& options, const std::function<void(double)>& progress) {
    FlightResults results;
    results.region = startRegion(scene, parts);
    std::vector<StartResult> starts(static_cast<std::size_t>(options.starts));
    std::atomic<long> next{0};
    std::atomic<long> done{0};
    const auto work = [&] {
        for (long i; (i = next++) < options.starts;) {
            starts[static_cast<std::size_t>(i)] = flyOne(scene, checks, parts, options, i, results.region);
            ++done;
            done.notify_one();
        }
    };
    const int threads = options.threads > 0 ? options.threads
                                            : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    {
        std::vector<std::jthread> pool;
        for (int t = 0; t < threads; ++t) {
            pool.emplace_back(work);
        }
        // Woken by each finished start, so the wait ends with the last one.
        for (long seen = 0; seen < options.starts; seen = done) {
            if (progress) {
                progress(static_cast<double>(seen) / static_cast<double>(options.starts));
            }
            done.wait(seen);
        }
    }
    results.eventsPerTriangle.assign(scene.triangles.size(), 0);
    for (const StartResult& start : starts) {
        results.stepsFlown += start.steps;
        results.contacts += start.contacts;
        results.startsSkipped += start.skipped ? 1 : 0;
        results.flewOff += start.flewOff ? 1 : 0;
        for (const AuditEvent& event : start.events) {
            auto& kept = results.events[static_cast<std::size_t>(event.kind)];
            if (kept.size() < FlightResults::EVENTS_KEPT) {
                kept.push_back(event);
            }
        }
        for (std::size_t k = 0; k < AUDIT_EVENT_KINDS; ++k) {
            results.counts[k] += start.counts[k];
            results.startsWith[k] += start.counts[k] > 0 ? 1 : 0;
        }
        for (std::int32_t t : start.eventTriangles) {
            ++results.eventsPerTriangle[static_cast<std::size_t>(t)];
        }
    }
    return results;
}

}  // namespace sweepview
