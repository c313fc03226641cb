// Sweep query throughput beside Bullet Physics (and Jolt Physics, when built
// with it), frame steps, and the reader.
//   sweep_bench [--two-sided] SCENE.dorn... [benchmark flags]
// --two-sided also measures each edge rule of the all-contacts query with
// two-sided faces.
// Every scene given is measured. For each, sweeps come from a seeded generator
// (see makeSweeps) and run, in the same benchmark iteration, through our query
// and its peers, so that the ratios are measured under the same machine load.
// Each family of rows pairs a query of ours with the peer call doing the same
// work:
//   Sweep/...  sweepQuery (every contact within SIMULTANEOUS_HIT_TOLERANCE of
//              the nearest time) beside Bullet's convexSweepTest (a
//              btSphereShape against a btBvhTriangleMeshShape,
//              allowedCcdPenetration 0, closest-hit callback), an Embree ray
//              and, with SWEEP_WITH_JOLT, Jolt's sphere cast against a MeshShape
//              of the same triangles with a collector that keeps every hit
//              within the same tolerance of the smallest fraction (back faces
//              ignored for one-sided faces, met for two-sided);
//   First/...  sweepFirst with the exact edge rule beside Jolt's closest-hit
//              cast: FaceSides::Cull beside IgnoreBackFaces, FaceSides::Two
//              beside CollideWithBackFaces;
//   BatchFirst/...  sweepFirstBatch on 2 threads beside sweepFirst one by
//              one (the speedup), and Jolt's closest-hit cast on 2 threads of
//              its JobSystemThreadPool beside one by one;
//   Character/...  moveAndSlide beside Jolt's CharacterVirtual (a SphereShape,
//              ExtendedUpdate, in a PhysicsSystem holding the mesh as one
//              static body) walking the same turning path under the same
//              gravity, each update told whether its own last one ended on a
//              floor (see BM_Character for what is paired): microseconds per
//              update, where each ends and how far apart their paths lie.
//              On the default room, the terrains and a level made here
//              (floor, ramp, stairs, a steep wedge, a pillar, a ledge).
// Every row counts hits (and the Sweep rows contacts) on both sides.
#include <BulletCollision/BroadphaseCollision/btDbvtBroadphase.h>
#include <BulletCollision/CollisionDispatch/btCollisionDispatcher.h>
#include <BulletCollision/CollisionDispatch/btCollisionWorld.h>
#include <BulletCollision/CollisionDispatch/btDefaultCollisionConfiguration.h>
#include <BulletCollision/CollisionShapes/btBvhTriangleMeshShape.h>
#include <BulletCollision/CollisionShapes/btSphereShape.h>
#include <BulletCollision/CollisionShapes/btTriangleIndexVertexArray.h>
#include <benchmark/benchmark.h>
#include <embree3/rtcore.h>
#include <fcntl.h>
#include <unistd.h>

#if SWEEP_WITH_JOLT
#include <Jolt/Jolt.h>
// After Jolt.h, whose configuration they need.
#include <Jolt/Core/Factory.h>
#include <Jolt/Core/JobSystemThreadPool.h>
#include <Jolt/Core/TempAllocator.h>
#include <Jolt/Physics/Body/BodyCreationSettings.h>
#include <Jolt/Physics/Character/CharacterVirtual.h>
#include <Jolt/Physics/Collision/BroadPhase/BroadPhaseLayerInterfaceTable.h>
#include <Jolt/Physics/Collision/CollisionCollectorImpl.h>
#include <Jolt/Physics/Collision/CollisionDispatch.h>
#include <Jolt/Physics/Collision/Shape/MeshShape.h>
#include <Jolt/Physics/Collision/Shape/SphereShape.h>
#include <Jolt/Physics/PhysicsSystem.h>
#include <Jolt/RegisterTypes.h>
#endif

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <memory>
#include <numbers>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "bench/sweep_generator.h"
#include "collision/move_and_slide.h"
#include "collision/query_counters.h"
#include "collision/sphere_motion.h"
#include "collision/sweep_batch.h"
#include "collision/sweep_first.h"
#include "collision/sweep_query.h"
#include "geometry/collision_epsilon.h"
#include "scene/compiled_tree.h"
#include "scene/dorn_reader.h"
#include "scene/scene_builder.h"
#include "scene/tree_stats.h"

using namespace sweepview;

namespace {

using Clock = std::chrono::steady_clock;

// One scene, loaded for us and handed to Bullet as the same triangles.
struct BenchScene {
    std::string name;
    std::unique_ptr<CollisionMesh> mesh;
    Vec3 min;
    Vec3 max;
    std::vector<int> indices;
    std::vector<btScalar> positions;
    std::unique_ptr<btTriangleIndexVertexArray> arrays;
    std::unique_ptr<btBvhTriangleMeshShape> shape;
    std::unique_ptr<btDefaultCollisionConfiguration> configuration;
    std::unique_ptr<btCollisionDispatcher> dispatcher;
    std::unique_ptr<btDbvtBroadphase> broadphase;
    std::unique_ptr<btCollisionWorld> world;
    std::unique_ptr<btCollisionObject> object;
    RTCScene embreeScene = nullptr;
#if SWEEP_WITH_JOLT
    JPH::RefConst<JPH::Shape> joltMesh;  // null when Jolt would not take the mesh
#endif

    float diagonal() const { return length(max - min); }
};

RTCDevice embreeDevice = nullptr;

std::vector<std::unique_ptr<BenchScene>> scenes;

void prepareBullet(BenchScene& s) {
    for (const Vec3& v : s.mesh->vertices) {
        s.positions.insert(s.positions.end(), {v.x, v.y, v.z});
    }
    for (const MeshTriangle& t : s.mesh->triangles) {
        s.indices.insert(s.indices.end(), {t.vertex0, t.vertex1, t.vertex2});
    }
    // Bullet's quantized tree holds triangle indices in 21 bits: a mesh of
    // more than 2 million triangles must come in parts, as its users split it.
    constexpr std::size_t PART_TRIANGLES = std::size_t(1) << 20;
    s.arrays = std::make_unique<btTriangleIndexVertexArray>();
    const std::size_t count = s.mesh->triangles.size();
    for (std::size_t first = 0; first < count; first += PART_TRIANGLES) {
        btIndexedMesh part;
        part.m_numTriangles = static_cast<int>(std::min(PART_TRIANGLES, count - first));
        part.m_triangleIndexBase = reinterpret_cast<const unsigned char*>(&s.indices[3 * first]);
        part.m_triangleIndexStride = 3 * sizeof(int);
        part.m_numVertices = static_cast<int>(s.mesh->vertices.size());
        part.m_vertexBase = reinterpret_cast<const unsigned char*>(s.positions.data());
        part.m_vertexStride = 3 * sizeof(btScalar);
        s.arrays->addIndexedMesh(part, PHY_INTEGER);
    }
    s.shape = std::make_unique<btBvhTriangleMeshShape>(s.arrays.get(), true);
    s.configuration = std::make_unique<btDefaultCollisionConfiguration>();
    s.dispatcher = std::make_unique<btCollisionDispatcher>(s.configuration.get());
    s.broadphase = std::make_unique<btDbvtBroadphase>();
    s.world = std::make_unique<btCollisionWorld>(s.dispatcher.get(), s.broadphase.get(),
                                                 s.configuration.get());
    s.object = std::make_unique<btCollisionObject>();
    s.object->setCollisionShape(s.shape.get());
    s.world->addCollisionObject(s.object.get());
    s.world->updateAabbs();
}

// The same triangles as a static Embree scene: the limit a sweep of radius 0,
// a ray, reaches with the fastest ray tracer there is.
void prepareEmbree(BenchScene& s) {
    s.embreeScene = rtcNewScene(embreeDevice);
    RTCGeometry geometry = rtcNewGeometry(embreeDevice, RTC_GEOMETRY_TYPE_TRIANGLE);
    auto* vertices = static_cast<float*>(rtcSetNewGeometryBuffer(
        geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, 3 * sizeof(float), s.mesh->vertices.size()));
    for (std::size_t i = 0; i < s.mesh->vertices.size(); ++i) {
        const Vec3& v = s.mesh->vertices[i];
        vertices[3 * i] = v.x, vertices[3 * i + 1] = v.y, vertices[3 * i + 2] = v.z;
    }
    auto* indices = static_cast<unsigned*>(rtcSetNewGeometryBuffer(
        geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(unsigned), s.mesh->triangles.size()));
    for (std::size_t i = 0; i < s.mesh->triangles.size(); ++i) {
        const MeshTriangle& t = s.mesh->triangles[i];
        indices[3 * i] = t.vertex0, indices[3 * i + 1] = t.vertex1, indices[3 * i + 2] = t.vertex2;
    }
    rtcCommitGeometry(geometry);
    rtcAttachGeometry(s.embreeScene, geometry);
    rtcReleaseGeometry(geometry);
    rtcCommitScene(s.embreeScene);
}

double embreePerSecond(BenchScene& s, const std::vector<BenchSweep>& sweeps, int& hits) {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    hits = 0;
    const auto start = Clock::now();
    for (const BenchSweep& sweep : sweeps) {
        RTCRayHit ray{};
        ray.ray.org_x = sweep.from.x, ray.ray.org_y = sweep.from.y, ray.ray.org_z = sweep.from.z;
        ray.ray.dir_x = sweep.displacement.x, ray.ray.dir_y = sweep.displacement.y;
        ray.ray.dir_z = sweep.displacement.z;
        ray.ray.tfar = 1.0f;  // the sweep's length
        ray.ray.mask = ~0u;
        ray.hit.geomID = RTC_INVALID_GEOMETRY_ID;
        rtcIntersect1(s.embreeScene, &context, &ray);
        hits += ray.hit.geomID != RTC_INVALID_GEOMETRY_ID ? 1 : 0;
    }
    return sweeps.size() / std::chrono::duration<double>(Clock::now() - start).count();
}

// The all-contacts query; contacts: every contact recorded at the sweeps'
// nearest times.
double oursPerSecond(BenchScene& s, const std::vector<BenchSweep>& sweeps, float radius,
                     SweepOptions rule, int& hits, long& contacts) {
    ContactState state;
    hits = 0;
    contacts = 0;
    const auto start = Clock::now();
    for (const BenchSweep& sweep : sweeps) {
        state.hitTriangles.clear();
        hits += sweepQuery(*s.mesh, SweptSphere(sweep.from, sweep.displacement, radius), state, rule);
        contacts += static_cast<long>(state.contacts.size());
    }
    return sweeps.size() / std::chrono::duration<double>(Clock::now() - start).count();
}

// The first contact alone, one sweep after another.
double oursFirstPerSecond(BenchScene& s, std::span<const SweptSphere> spheres, SweepOptions rule,
                          int& hits) {
    hits = 0;
    const auto start = Clock::now();
    for (const SweptSphere& sphere : spheres) {
        hits += sweepFirst(*s.mesh, sphere, rule).found ? 1 : 0;
    }
    return spheres.size() / std::chrono::duration<double>(Clock::now() - start).count();
}

// sweepFirst one sweep after another, each result stored in results (as long
// as spheres) in input order: what the batch produces, so that the batch's
// speedup compares the same work on one thread and on several (storing 48
// bytes a sweep costs the loop 4 to 6% on the small meshes).
double oursFirstIntoPerSecond(BenchScene& s, std::span<const SweptSphere> spheres, SweepOptions rule,
                              std::span<SweepHit> results, int& hits) {
    hits = 0;
    const auto start = Clock::now();
    for (std::size_t i = 0; i < spheres.size(); ++i) {
        results[i] = sweepFirst(*s.mesh, spheres[i], rule);
        hits += results[i].found ? 1 : 0;
    }
    return spheres.size() / std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<SweptSphere> spheresOf(const std::vector<BenchSweep>& sweeps, float radius) {
    std::vector<SweptSphere> spheres;
    spheres.reserve(sweeps.size());
    for (const BenchSweep& sweep : sweeps) {
        spheres.emplace_back(sweep.from, sweep.displacement, radius);
    }
    return spheres;
}

double bulletPerSecond(BenchScene& s, const std::vector<BenchSweep>& sweeps, float radius, int& hits) {
    btSphereShape sphere(radius);
    hits = 0;
    const auto start = Clock::now();
    for (const BenchSweep& sweep : sweeps) {
        const btVector3 from(sweep.from.x, sweep.from.y, sweep.from.z);
        const btVector3 to =
            from + btVector3(sweep.displacement.x, sweep.displacement.y, sweep.displacement.z);
        btTransform start(btQuaternion::getIdentity(), from);
        btTransform end(btQuaternion::getIdentity(), to);
        btCollisionWorld::ClosestConvexResultCallback callback(from, to);
        s.world->convexSweepTest(&sphere, start, end, callback, 0.0f);
        hits += callback.hasHit() ? 1 : 0;
    }
    return sweeps.size() / std::chrono::duration<double>(Clock::now() - start).count();
}

#if SWEEP_WITH_JOLT
// The same vertices and triangles, in the same winding, as a Jolt MeshShape
// at the origin. Jolt drops degenerate and duplicate triangles; a mesh it
// refuses (too big, say) is reported and timed without Jolt.
void prepareJolt(BenchScene& s) {
    JPH::VertexList vertices;
    vertices.reserve(s.mesh->vertices.size());
    for (const Vec3& v : s.mesh->vertices) {
        vertices.push_back(JPH::Float3(v.x, v.y, v.z));
    }
    JPH::IndexedTriangleList triangles;
    triangles.reserve(s.mesh->triangles.size());
    for (const MeshTriangle& t : s.mesh->triangles) {
        triangles.push_back(JPH::IndexedTriangle(t.vertex0, t.vertex1, t.vertex2, 0));
    }
    const JPH::ShapeSettings::ShapeResult result =
        JPH::MeshShapeSettings(std::move(vertices), std::move(triangles)).Create();
    if (result.HasError()) {
        std::fprintf(stderr, "sweep_bench: Jolt refuses %s: %s; timed without Jolt\n",
                     s.name.c_str(), result.GetError().c_str());
        return;
    }
    s.joltMesh = result.Get();
}

// Keeps every hit whose fraction lies within SIMULTANEOUS_HIT_TOLERANCE of
// the smallest seen, as our all-contacts query keeps every contact that close
// to the nearest time: the same work, asked of Jolt. Hits that a nearer one
// leaves behind are dropped, and the early-out fraction is lowered (never
// raised) to the smallest plus the tolerance, so that Jolt prunes as far as
// the answer allows.
class NearestTimeCollector : public JPH::CastShapeCollector {
public:
    void Reset() override {
        JPH::CastShapeCollector::Reset();
        hits.clear();
        smallest = std::numeric_limits<float>::infinity();
    }

    void AddHit(const JPH::ShapeCastResult& hit) override {
        if (hit.mFraction < smallest) {
            smallest = hit.mFraction;
            std::erase_if(hits, [&](const JPH::ShapeCastResult& kept) {
                return !(kept.mFraction - smallest < SIMULTANEOUS_HIT_TOLERANCE);
            });
            const float earlyOut = smallest + SIMULTANEOUS_HIT_TOLERANCE;
            if (earlyOut < GetEarlyOutFraction()) {
                UpdateEarlyOutFraction(earlyOut);
            }
        } else if (!(hit.mFraction - smallest < SIMULTANEOUS_HIT_TOLERANCE)) {
            return;  // strictly closer than the tolerance, as our query counts the same time
        }
        hits.push_back(hit);
    }

    std::vector<JPH::ShapeCastResult> hits;
    float smallest = std::numeric_limits<float>::infinity();
};

JPH::ShapeCast joltCast(const JPH::Shape& sphere, const BenchSweep& sweep) {
    return JPH::ShapeCast(&sphere, JPH::Vec3::sOne(),
                          JPH::Mat44::sTranslation(JPH::Vec3(sweep.from.x, sweep.from.y, sweep.from.z)),
                          JPH::Vec3(sweep.displacement.x, sweep.displacement.y, sweep.displacement.z));
}

// Jolt's cast of the given sphere along each sweep into a fresh closest-hit
// collector; its other settings as Jolt has them. Returns the hits; atStart
// gains those at fraction 0, spheres that start overlapping a triangle.
int joltClosestHits(const BenchScene& s, std::span<const BenchSweep> sweeps, const JPH::Shape& sphere,
                    JPH::EBackFaceMode backFaces, int& atStart) {
    JPH::ShapeCastSettings settings;
    settings.mBackFaceModeTriangles = backFaces;
    const JPH::ShapeFilter filter;
    int hits = 0;
    for (const BenchSweep& sweep : sweeps) {
        JPH::ClosestHitCollisionCollector<JPH::CastShapeCollector> collector;
        JPH::CollisionDispatch::sCastShapeVsShapeLocalSpace(
            joltCast(sphere, sweep), settings, s.joltMesh.GetPtr(), JPH::Vec3::sOne(), filter,
            JPH::Mat44::sIdentity(), JPH::SubShapeIDCreator(), JPH::SubShapeIDCreator(), collector);
        hits += collector.HadHit() ? 1 : 0;
        atStart += collector.HadHit() && collector.mHit.mFraction == 0.0f ? 1 : 0;
    }
    return hits;
}

double joltClosestPerSecond(const BenchScene& s, const std::vector<BenchSweep>& sweeps,
                            const JPH::Shape& sphere, JPH::EBackFaceMode backFaces, int& hits,
                            int& atStart) {
    atStart = 0;
    const auto start = Clock::now();
    hits = joltClosestHits(s, sweeps, sphere, backFaces, atStart);
    return sweeps.size() / std::chrono::duration<double>(Clock::now() - start).count();
}

// Jolt's closest-hit casts on its own JobSystemThreadPool, as Jolt's users
// spread work over threads: a job per chunk of sweeps, the calling thread
// taking jobs too while it waits on the barrier (so it never waits for a
// helper the system has not woken yet, as sweepFirstBatch does not).
double joltClosestBatchPerSecond(const BenchScene& s, const std::vector<BenchSweep>& sweeps,
                                 const JPH::Shape& sphere, JPH::EBackFaceMode backFaces,
                                 JPH::JobSystem& jobs, int& hits) {
    constexpr std::size_t CHUNK = 128;
    std::atomic<int> found{0};
    const auto start = Clock::now();
    JPH::JobSystem::Barrier* barrier = jobs.CreateBarrier();
    for (std::size_t first = 0; first < sweeps.size(); first += CHUNK) {
        const std::size_t count = std::min(CHUNK, sweeps.size() - first);
        JPH::JobHandle job = jobs.CreateJob("casts", JPH::Color::sGreen, [&, first, count] {
            int atStart = 0;
            found += joltClosestHits(s, std::span(sweeps).subspan(first, count), sphere, backFaces, atStart);
        });
        barrier->AddJob(job);
    }
    jobs.WaitForJobs(barrier);
    jobs.DestroyBarrier(barrier);
    const double perSecond = sweeps.size() / std::chrono::duration<double>(Clock::now() - start).count();
    hits = found;
    return perSecond;
}

// Jolt's cast into NearestTimeCollector: the same work as our all-contacts
// query. contacts: every hit kept; atStart: the sweeps whose hits lie at
// fraction 0 (spheres that start overlapping a triangle).
double joltAllPerSecond(const BenchScene& s, const std::vector<BenchSweep>& sweeps, const JPH::Shape& sphere,
                        JPH::EBackFaceMode backFaces, int& hits, long& contacts, int& atStart) {
    JPH::ShapeCastSettings settings;
    settings.mBackFaceModeTriangles = backFaces;
    const JPH::ShapeFilter filter;
    NearestTimeCollector collector;  // kept from sweep to sweep, as our ContactState
    hits = 0;
    contacts = 0;
    atStart = 0;
    const auto start = Clock::now();
    for (const BenchSweep& sweep : sweeps) {
        collector.Reset();
        JPH::CollisionDispatch::sCastShapeVsShapeLocalSpace(
            joltCast(sphere, sweep), settings, s.joltMesh.GetPtr(), JPH::Vec3::sOne(), filter,
            JPH::Mat44::sIdentity(), JPH::SubShapeIDCreator(), JPH::SubShapeIDCreator(), collector);
        hits += collector.hits.empty() ? 0 : 1;
        atStart += !collector.hits.empty() && collector.smallest == 0.0f ? 1 : 0;
        contacts += static_cast<long>(collector.hits.size());
    }
    return sweeps.size() / std::chrono::duration<double>(Clock::now() - start).count();
}

JPH::EBackFaceMode joltBackFaces(FaceSides faces) {
    return faces == FaceSides::Two ? JPH::EBackFaceMode::CollideWithBackFaces
                                   : JPH::EBackFaceMode::IgnoreBackFaces;
}
#endif

// Every counter any row sets. Google Benchmark's CSV takes its columns from
// the first row it reports and aborts on a later row with a counter not among
// them, so with CSV output every row carries all of them, NaN where it has no
// value (a filtered run may start with any kind of row).
constexpr const char* COUNTER_NAMES[] = {
    "ours_per_s", "bullet_per_s", "ratio", "embree_per_s", "embree_ratio", "hit_share",
    "bullet_hit_share", "triangles", "bytes_per_triangle", "sweeps", "contacts", "jolt_per_s",
    "jolt_ratio", "jolt_hit_share", "jolt_contacts", "jolt_start_share",
    "single_per_s", "jolt_single_per_s", "jolt_speedup", "updates", "ours_us_per_update",
    "jolt_us_per_update", "ours_end_x", "ours_end_y", "ours_end_z", "ours_travel",
    "ours_floor_share", "ours_sweeps_per_update", "jolt_end_x", "jolt_end_y", "jolt_end_z",
    "jolt_travel", "jolt_floor_share", "mean_gap", "end_gap"};
bool padCounters = false;

void padMissingCounters(benchmark::State& state) {
    if (!padCounters) {
        return;
    }
    for (const char* name : COUNTER_NAMES) {
        if (state.counters.find(name) == state.counters.end()) {
            state.counters[name] = std::numeric_limits<double>::quiet_NaN();
        }
    }
}

float radiusOf(const BenchScene& s, int radiusKind) { return radiusKind == 0 ? 2.5f : 0.01f * s.diagonal(); }

float lengthOf(const BenchScene& s, int lengthKind) {
    return lengthKind == 0 ? std::sqrt(3.0f) : 0.1f * s.diagonal();
}

// args: scene index, radius kind (0: 2.5, 1: 1% of the diagonal), length kind
// (0: |(1,-1,1)|, 1: a tenth of the diagonal), our edge rule and face sides.
// Jolt keeps every hit within the tolerance of the nearest (NearestTimeCollector).
void BM_SweepVsBullet(benchmark::State& state, BenchScene* s, int radiusKind, int lengthKind,
                      SweepOptions rule) {
    const float radius = radiusOf(*s, radiusKind);
    const std::vector<BenchSweep> sweeps = makeSweeps(s->min, s->max, lengthOf(*s, lengthKind), 2000);
    double ours = 0;
    double bullet = 0;
    double embree = 0;
    int oursHits = 0;
    long oursContacts = 0;
    int bulletHits = 0;
    int embreeHits = 0;
#if SWEEP_WITH_JOLT
    const JPH::RefConst<JPH::Shape> sphere = new JPH::SphereShape(radius);
    const JPH::EBackFaceMode backFaces = joltBackFaces(rule.faces);
    double jolt = 0;
    int joltHits = 0;
    long joltContacts = 0;
    int joltAtStart = 0;
#endif
    for (auto _ : state) {
        ours += oursPerSecond(*s, sweeps, radius, rule, oursHits, oursContacts);
        bullet += bulletPerSecond(*s, sweeps, radius, bulletHits);
        embree += embreePerSecond(*s, sweeps, embreeHits);
#if SWEEP_WITH_JOLT
        if (s->joltMesh != nullptr) {
            jolt += joltAllPerSecond(*s, sweeps, *sphere, backFaces, joltHits, joltContacts, joltAtStart);
        }
#endif
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_per_s"] = ours / n;
    state.counters["bullet_per_s"] = bullet / n;
    state.counters["ratio"] = ours / bullet;
    state.counters["embree_per_s"] = embree / n;
    state.counters["embree_ratio"] = embree / ours;  // how much faster a ray is
    state.counters["hit_share"] = static_cast<double>(oursHits) / sweeps.size();
    state.counters["bullet_hit_share"] = static_cast<double>(bulletHits) / sweeps.size();
    state.counters["triangles"] = static_cast<double>(s->mesh->triangles.size());
    state.counters["sweeps"] = static_cast<double>(sweeps.size());
    state.counters["contacts"] = static_cast<double>(oursContacts);  // over all the sweeps
    // The query form's memory beside the scene's own arrays.
    state.counters["bytes_per_triangle"] =
        s->mesh->compiled != nullptr
            ? static_cast<double>(compiledTreeBytes(*s->mesh->compiled)) / s->mesh->triangles.size()
            : 0.0;
#if SWEEP_WITH_JOLT
    if (s->joltMesh != nullptr) {
        state.counters["jolt_per_s"] = jolt / n;
        state.counters["jolt_ratio"] = ours / jolt;  // above 1: we are faster
        state.counters["jolt_hit_share"] = static_cast<double>(joltHits) / sweeps.size();
        state.counters["jolt_contacts"] = static_cast<double>(joltContacts);
        state.counters["jolt_start_share"] = static_cast<double>(joltAtStart) / sweeps.size();
    }
#endif
    padMissingCounters(state);
}

// sweepFirst with the exact edge rule and the given face sides (Cull or Two)
// beside Jolt's closest-hit cast (back faces ignored or met); the same sweeps
// as the Sweep rows of the same radius and length.
void BM_FirstVsJolt(benchmark::State& state, BenchScene* s, int radiusKind, int lengthKind,
                    FaceSides faces) {
    const float radius = radiusOf(*s, radiusKind);
    const std::vector<BenchSweep> sweeps = makeSweeps(s->min, s->max, lengthOf(*s, lengthKind), 2000);
    const std::vector<SweptSphere> spheres = spheresOf(sweeps, radius);
    const SweepOptions rule(EdgeRule::Exact, faces);
    double ours = 0;
    int oursHits = 0;
#if SWEEP_WITH_JOLT
    const JPH::RefConst<JPH::Shape> sphere = new JPH::SphereShape(radius);
    double jolt = 0;
    int joltHits = 0;
    int joltAtStart = 0;
#endif
    for (auto _ : state) {
        ours += oursFirstPerSecond(*s, spheres, rule, oursHits);
#if SWEEP_WITH_JOLT
        if (s->joltMesh != nullptr) {
            jolt += joltClosestPerSecond(*s, sweeps, *sphere, joltBackFaces(faces), joltHits, joltAtStart);
        }
#endif
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_per_s"] = ours / n;
    state.counters["hit_share"] = static_cast<double>(oursHits) / sweeps.size();
    state.counters["triangles"] = static_cast<double>(s->mesh->triangles.size());
    state.counters["sweeps"] = static_cast<double>(sweeps.size());
#if SWEEP_WITH_JOLT
    if (s->joltMesh != nullptr) {
        state.counters["jolt_per_s"] = jolt / n;
        state.counters["jolt_ratio"] = ours / jolt;  // above 1: we are faster
        state.counters["jolt_hit_share"] = static_cast<double>(joltHits) / sweeps.size();
        state.counters["jolt_start_share"] = static_cast<double>(joltAtStart) / sweeps.size();
    }
#endif
    padMissingCounters(state);
}

// The median of values (not empty), reordering them.
double median(std::vector<double>& values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// sweepFirstBatch on 2 threads beside sweepFirst one by one, both storing
// every result, on the 20,000 short sweeps of radius 2.5 that BM_Batch uses,
// exact rule, FaceSides::Cull; with Jolt, its closest-hit cast (back faces
// ignored, hits counted on both sides) on 2 threads of its job system beside
// one by one too. Which goes first alternates from iteration to iteration;
// each speedup is the median of the iterations' ratios (see BM_Batch), and
// jolt_ratio compares the two-thread rates.
void BM_FirstBatch(benchmark::State& state, BenchScene* s, int threads) {
    const std::vector<BenchSweep> sweeps = makeSweeps(s->min, s->max, std::sqrt(3.0f), 20000);
    const std::vector<SweptSphere> spheres = spheresOf(sweeps, 2.5f);
    std::vector<SweepHit> hits(spheres.size());
    std::vector<SweepHit> singleHits(spheres.size());
    const SweepOptions rule(EdgeRule::Exact, FaceSides::Cull);
    double batch = 0;
    double single = 0;
    std::vector<double> speedups;
    int oursHits = 0;
#if SWEEP_WITH_JOLT
    const JPH::RefConst<JPH::Shape> sphere = new JPH::SphereShape(2.5f);
    const JPH::EBackFaceMode backFaces = JPH::EBackFaceMode::IgnoreBackFaces;
    double jolt = 0;
    double joltSingle = 0;
    std::vector<double> joltSpeedups;
    int joltHits = 0;
    int joltAtStart = 0;
    // Room for every chunk's job; the calling thread is the pool's other one.
    JPH::JobSystemThreadPool jobs(1024, 8, threads - 1);
#endif
    for (auto _ : state) {
        const bool singleFirst = speedups.size() % 2 == 1;
        const auto runBatch = [&] {
            const auto start = Clock::now();
            sweepFirstBatch(*s->mesh, spheres, hits, threads, rule);
            return spheres.size() / std::chrono::duration<double>(Clock::now() - start).count();
        };
        double oneByOne = singleFirst ? oursFirstIntoPerSecond(*s, spheres, rule, singleHits, oursHits) : 0;
        const double perSecond = runBatch();
        if (!singleFirst) {
            oneByOne = oursFirstIntoPerSecond(*s, spheres, rule, singleHits, oursHits);
        }
        batch += perSecond;
        single += oneByOne;
        speedups.push_back(perSecond / oneByOne);
#if SWEEP_WITH_JOLT
        if (s->joltMesh != nullptr) {
            int joltBatchHits = 0;
            double joltOne =
                singleFirst ? joltClosestPerSecond(*s, sweeps, *sphere, backFaces, joltHits, joltAtStart) : 0;
            const double joltBatch =
                joltClosestBatchPerSecond(*s, sweeps, *sphere, backFaces, jobs, joltBatchHits);
            if (!singleFirst) {
                joltOne = joltClosestPerSecond(*s, sweeps, *sphere, backFaces, joltHits, joltAtStart);
            }
            if (joltBatchHits != joltHits) {
                state.SkipWithError("Jolt's casts on threads and one by one disagree");
            }
            jolt += joltBatch;
            joltSingle += joltOne;
            joltSpeedups.push_back(joltBatch / joltOne);
        }
#endif
    }
    bool same = true;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        same = same && hits[i].found == singleHits[i].found && hits[i].triangle == singleHits[i].triangle &&
               std::bit_cast<std::uint32_t>(hits[i].time) == std::bit_cast<std::uint32_t>(singleHits[i].time);
    }
    if (!same) {
        state.SkipWithError("sweepFirstBatch and sweepFirst disagree");
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_per_s"] = batch / n;  // on `threads` threads
    state.counters["single_per_s"] = single / n;
    state.counters["ratio"] = median(speedups);
    state.counters["hit_share"] = static_cast<double>(oursHits) / sweeps.size();
    state.counters["triangles"] = static_cast<double>(s->mesh->triangles.size());
    state.counters["sweeps"] = static_cast<double>(sweeps.size());
#if SWEEP_WITH_JOLT
    if (s->joltMesh != nullptr) {
        state.counters["jolt_start_share"] = static_cast<double>(joltAtStart) / sweeps.size();
        state.counters["jolt_per_s"] = jolt / n;
        state.counters["jolt_single_per_s"] = joltSingle / n;
        state.counters["jolt_ratio"] = batch / jolt;  // both on `threads` threads
        state.counters["jolt_speedup"] = median(joltSpeedups);
        state.counters["jolt_hit_share"] = static_cast<double>(joltHits) / sweeps.size();
    }
#endif
    padMissingCounters(state);
}

// The batch on `threads` threads, in sweeps per second.
double batchPerSecond(BenchScene& s, std::span<const SweptSphere> spheres,
                      std::vector<ContactState>& results, int threads) {
    const auto start = Clock::now();
    sweepBatch(*s.mesh, spheres, results, threads);
    return spheres.size() / std::chrono::duration<double>(Clock::now() - start).count();
}

// sweepBatch on the short sweeps of radius 2.5 with the viewer's rule. On more
// than one thread the same batch also runs on one in each iteration (which
// goes first alternates), so that the speedup is measured under the same
// machine load; it is the median of the iterations' ratios, since a neighbour's
// burst on one core slows only the run that needs both.
void BM_Batch(benchmark::State& state, BenchScene* s, int threads) {
    std::vector<SweptSphere> spheres;
    for (const BenchSweep& sweep : makeSweeps(s->min, s->max, std::sqrt(3.0f), 20000)) {
        spheres.emplace_back(sweep.from, sweep.displacement, 2.5f);
    }
    std::vector<ContactState> results(spheres.size());
    double batch = 0;
    std::vector<double> ratios;
    for (auto _ : state) {
        const bool singleFirst = threads > 1 && ratios.size() % 2 == 1;
        double single = singleFirst ? batchPerSecond(*s, spheres, results, 1) : 0;
        const double perSecond = batchPerSecond(*s, spheres, results, threads);
        if (threads > 1 && !singleFirst) {
            single = batchPerSecond(*s, spheres, results, 1);
        }
        batch += perSecond;
        if (threads > 1) {
            ratios.push_back(perSecond / single);
        }
    }
    // The CSV takes its counter names from the first row, a sweep row: a
    // batch row reuses ours_per_s, and ratio for its speedup over one thread.
    state.counters["ours_per_s"] = batch / static_cast<double>(state.iterations());
    state.counters["ratio"] = ratios.empty() ? 1.0 : median(ratios);  // one thread: 1
    state.counters["triangles"] = static_cast<double>(s->mesh->triangles.size());
    padMissingCounters(state);
}

// The viewer's step, from its start state, over and over.
void BM_FrameStep(benchmark::State& state, BenchScene* s) {
    ContactState contacts;
    Vec3 position(0, 12.5f, 0);
    Vec3 velocity(1, -1, 1);
    for (auto _ : state) {
        advanceSphere(*s->mesh, 2.5f, position, velocity, contacts);
    }
    state.SetItemsProcessed(state.iterations());
    padMissingCounters(state);
}

// A place in a level made here: lengths along, up and across from origin.
struct LevelFrame {
    Vec3 origin;
    Vec3 along;
    Vec3 across;

    Vec3 at(float u, float height, float w) const {
        return origin + along * u + Vec3(0.0f, height, 0.0f) + across * w;
    }
};

// The triangles of a level made here, each wound to face the way it is told.
struct LevelMesh {
    std::vector<Vec3> vertices;
    std::vector<MeshTriangle> triangles;

    void triangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& facing) {
        const auto first = static_cast<std::int32_t>(vertices.size());
        vertices.insert(vertices.end(), {a, b, c});
        const bool wound = dot(cross(b - a, c - a), facing) > 0.0f;
        triangles.push_back(
            {first, wound ? first + 1 : first + 2, wound ? first + 2 : first + 1, 0, 0, 0});
    }

    void quad(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d, const Vec3& facing) {
        triangle(a, b, c, facing);
        triangle(a, c, d, facing);
    }

    // A convex profile of (along, height) points, in order round it, drawn
    // across from w0 to w1: a closed solid, every face facing out.
    void solid(const LevelFrame& frame, std::initializer_list<std::pair<float, float>> profile,
               float w0, float w1) {
        std::vector<Vec3> near;
        std::vector<Vec3> far;
        Vec3 middle;
        for (const auto& [u, height] : profile) {
            near.push_back(frame.at(u, height, w0));
            far.push_back(frame.at(u, height, w1));
            middle += near.back() + far.back();
        }
        const std::size_t m = near.size();
        middle = middle * (0.5f / static_cast<float>(m));
        for (std::size_t k = 0; k < m; ++k) {
            const std::size_t next = (k + 1) % m;
            const Vec3 centre = (near[k] + near[next] + far[next] + far[k]) * 0.25f;
            quad(near[k], near[next], far[next], far[k], centre - middle);
        }
        for (std::size_t k = 1; k + 1 < m; ++k) {
            triangle(near[0], near[k], near[k + 1], near[0] - far[0]);
            triangle(far[0], far[k], far[k + 1], far[0] - near[0]);
        }
    }

    void box(const LevelFrame& frame, float u0, float u1, float y0, float y1, float w0, float w1) {
        solid(frame, {{u0, y0}, {u1, y0}, {u1, y1}, {u0, y1}}, w0, w1);
    }
};

float radians(float degrees) { return degrees * (std::numbers::pi_v<float> / 180.0f); }

// A room 24 across and 3 high, walled round, its floor a grid of 2 by 2
// quads (seams to walk over), and on the ring of radius ring about its
// centre, each laid along the walk round it: a 25-degree ramp up and down,
// five stairs 0.2 high up and down, a 60-degree wedge too steep to climb, a
// pillar a little aside of the ring and a ledge 0.15 high. Sized for a
// sphere of radius 0.5 stepping 0.25.
std::unique_ptr<CollisionMesh> makeCourse(float ring) {
    constexpr float HALF = 12.0f;
    constexpr float WALL = 3.0f;
    LevelMesh level;
    for (int i = 0; i < 12; ++i) {
        for (int j = 0; j < 12; ++j) {
            const float x = 2.0f * static_cast<float>(i) - HALF;
            const float z = 2.0f * static_cast<float>(j) - HALF;
            level.quad({x, 0, z}, {x, 0, z + 2}, {x + 2, 0, z + 2}, {x + 2, 0, z}, {0, 1, 0});
        }
    }
    level.quad({-HALF, 0, -HALF}, {HALF, 0, -HALF}, {HALF, WALL, -HALF}, {-HALF, WALL, -HALF},
               {0, 0, 1});
    level.quad({-HALF, 0, HALF}, {HALF, 0, HALF}, {HALF, WALL, HALF}, {-HALF, WALL, HALF},
               {0, 0, -1});
    level.quad({-HALF, 0, -HALF}, {-HALF, 0, HALF}, {-HALF, WALL, HALF}, {-HALF, WALL, -HALF},
               {1, 0, 0});
    level.quad({HALF, 0, -HALF}, {HALF, 0, HALF}, {HALF, WALL, HALF}, {HALF, WALL, -HALF},
               {-1, 0, 0});
    const auto onRing = [ring](float degrees) {
        const float a = radians(degrees);
        return LevelFrame{Vec3(ring * std::cos(a), 0, ring * std::sin(a)),
                          Vec3(-std::sin(a), 0, std::cos(a)), Vec3(std::cos(a), 0, std::sin(a))};
    };
    const float rampTop = 2.0f * std::tan(radians(25.0f));
    level.solid(onRing(40), {{-2.5f, 0}, {2.5f, 0}, {0.5f, rampTop}, {-0.5f, rampTop}}, -1.5f,
                1.5f);
    for (int k = 0; k < 5; ++k) {
        const float in = 0.4f * static_cast<float>(k);
        level.box(onRing(130), -2.5f + in, 2.5f - in, 0.5f * in, 0.5f * in + 0.2f, -1.5f, 1.5f);
    }
    const float wedgeRun = 1.2f / std::tan(radians(60.0f));
    level.solid(onRing(320), {{-wedgeRun, 0}, {0.6f, 0}, {0.6f, 1.2f}, {0, 1.2f}}, -1.5f, 1.5f);
    level.box(onRing(270), -0.3f, 0.3f, 0, WALL, 0, 0.6f);
    level.box(onRing(220), -1.0f, 1.0f, 0, 0.15f, -1.5f, 1.5f);
    return buildCollisionMesh(std::move(level.vertices), std::move(level.triangles));
}

// One character run: a walk whose heading turns once round over the run at
// speed per update, so that it rounds a ring of ringRadius() about
// ringCentre from start (the ring's point at angle 0, heading along +z),
// gravity adding to the fall while off a floor. Lengths per update.
struct CharacterWalk {
    float radius = 0.5f;
    int updates = 1000;
    float speed = 0.05f;
    float gravity = 0.01f;
    Vec3 ringCentre;
    Vec3 start;
    SlideSettings slide;

    float ringRadius() const {
        return speed * static_cast<float>(updates) / (2.0f * std::numbers::pi_v<float>);
    }

    Vec3 walkAt(int update) const {
        const float angle = 2.0f * std::numbers::pi_v<float> * static_cast<float>(update) /
                            static_cast<float>(updates);
        return Vec3(-std::sin(angle), 0.0f, std::cos(angle)) * speed;
    }
};

// The centre of a sphere dropped at (x, z) from above the scene onto the first
// surface facing up it meets (one-sided faces let it through a room's ceiling
// from above), the skin clear of it.
Vec3 dropOnto(const BenchScene& s, float x, float z, float radius, float skin) {
    const Vec3 from(x, s.max.y + radius + 1.0f, z);
    const Vec3 down(0.0f, s.min.y - s.max.y - 2.0f * radius - 2.0f, 0.0f);
    const SweepHit hit =
        sweepFirst(*s.mesh, SweptSphere(from, down, radius), SweepOptions(EdgeRule::Exact));
    return from + down * hit.time + Vec3(0.0f, skin, 0.0f);
}

// A walk in the viewer's walk mode's proportions to the radius: a tenth of
// it walked and a fiftieth gained in falling speed per update, stairs and
// floor snap up to half of it. The skin is Jolt's default character padding.
CharacterWalk walkOfRadius(float radius) {
    CharacterWalk walk;
    walk.radius = radius;
    walk.speed = 0.1f * radius;
    walk.gravity = 0.02f * radius;
    walk.slide.skin = 0.02f;
    walk.slide.maxSlopeDegrees = 45.0f;
    walk.slide.stepHeight = 0.5f * radius;
    walk.slide.floorSnap = 0.5f * radius;
    return walk;
}

// That walk round a ring about the scene's middle, dropped onto its floor.
CharacterWalk walkFor(const BenchScene& s, float radius) {
    CharacterWalk walk = walkOfRadius(radius);
    walk.ringCentre = Vec3(0.5f * (s.min.x + s.max.x), 0.0f, 0.5f * (s.min.z + s.max.z));
    walk.start = dropOnto(s, walk.ringCentre.x + walk.ringRadius(), walk.ringCentre.z, radius,
                          walk.slide.skin);
    return walk;
}

// Where one update left the sphere's centre, and whether on a floor.
struct CharacterStep {
    Vec3 centre;
    bool onFloor = false;
};

// Feeds walk's updates to step (displacement in, where it ended out): the
// walk plus the fall, which gains gravity every update and is cleared by an
// update ending on a floor, as in the viewer's walk mode. The centres go to
// path; returns the updates that ended on a floor.
template <typename Step>
int walkRing(const CharacterWalk& walk, std::vector<Vec3>& path, Step step) {
    Vec3 fall;
    int onFloor = 0;
    for (int i = 0; i < walk.updates; ++i) {
        fall = fall - walk.slide.up * walk.gravity;
        const CharacterStep moved = step(walk.walkAt(i) + fall);
        path[static_cast<std::size_t>(i)] = moved.centre;
        if (moved.onFloor) {
            fall = zeroVector;
            ++onFloor;
        }
    }
    return onFloor;
}

// moveAndSlide along walk: its seconds; the centres in path.
double oursWalkSeconds(const CollisionMesh& mesh, const CharacterWalk& walk,
                       std::vector<Vec3>& path, int& floorUpdates) {
    Vec3 centre = walk.start;
    bool onFloor = false;
    const auto start = Clock::now();
    floorUpdates = walkRing(walk, path, [&](const Vec3& displacement) {
        const SlideResult moved =
            moveAndSlide(mesh, centre, walk.radius, displacement, onFloor, walk.slide);
        centre = moved.position;
        onFloor = moved.onFloor;
        return CharacterStep{centre, onFloor};
    });
    return std::chrono::duration<double>(Clock::now() - start).count();
}

#if SWEEP_WITH_JOLT
// Jolt's time step for one update: the walk's lengths per update become
// velocities of that much per step.
constexpr float JOLT_STEP = 1.0f / 60.0f;

JPH::Vec3 toJolt(const Vec3& v) { return JPH::Vec3(v.x, v.y, v.z); }

Vec3 fromJolt(JPH::RVec3Arg v) {
    return Vec3(static_cast<float>(v.GetX()), static_cast<float>(v.GetY()),
                static_cast<float>(v.GetZ()));
}

// The mesh as the one static body of a PhysicsSystem, which CharacterVirtual
// needs to find what it collides with: one object layer on one broad phase
// layer, the base filters letting everything collide.
struct JoltLevel {
    JPH::BroadPhaseLayerInterfaceTable layers{1, 1};
    JPH::ObjectVsBroadPhaseLayerFilter objectVsBroadPhase;
    JPH::ObjectLayerPairFilter objectPairs;
    JPH::PhysicsSystem system;
    JPH::TempAllocatorImpl temporary{16 << 20};

    explicit JoltLevel(const JPH::Shape& mesh) {
        system.Init(16, 0, 16, 16, layers, objectVsBroadPhase, objectPairs);
        system.GetBodyInterface().CreateAndAddBody(
            JPH::BodyCreationSettings(&mesh, JPH::RVec3::sZero(), JPH::Quat::sIdentity(),
                                      JPH::EMotionType::Static, 0),
            JPH::EActivation::DontActivate);
        system.OptimizeBroadPhase();
    }
};

// A CharacterVirtual with a SphereShape set as walk's slide settings are
// (see BM_Character), its sphere's centre at walk's start.
JPH::Ref<JPH::CharacterVirtual> joltCharacter(JoltLevel& level, const CharacterWalk& walk) {
    JPH::CharacterVirtualSettings settings;
    settings.mShape = new JPH::SphereShape(walk.radius);
    settings.mUp = toJolt(walk.slide.up);
    settings.mMaxSlopeAngle = radians(walk.slide.maxSlopeDegrees);
    settings.mCharacterPadding = walk.slide.skin;
    settings.mMaxCollisionIterations = static_cast<JPH::uint>(walk.slide.iterations);
    settings.mBackFaceMode = JPH::EBackFaceMode::IgnoreBackFaces;
    // Only contacts below the centre hold the sphere up, as only our probe
    // down finds floors. Jolt places the shape the padding above its position.
    settings.mSupportingVolume = JPH::Plane(settings.mUp, -walk.slide.skin);
    return new JPH::CharacterVirtual(&settings,
                                     toJolt(walk.start - walk.slide.up * walk.slide.skin),
                                     JPH::Quat::sIdentity(), &level.system);
}

// ExtendedUpdate along walk, from a fresh character: its seconds; the
// sphere's centres in path.
double joltWalkSeconds(JoltLevel& level, const CharacterWalk& walk, std::vector<Vec3>& path,
                       int& floorUpdates) {
    const JPH::Ref<JPH::CharacterVirtual> character = joltCharacter(level, walk);
    JPH::CharacterVirtual::ExtendedUpdateSettings update;
    update.mStickToFloorStepDown = toJolt(walk.slide.up * -walk.slide.floorSnap);
    update.mWalkStairsStepUp = toJolt(walk.slide.up * walk.slide.stepHeight);
    const JPH::Vec3 gravity = toJolt(walk.slide.up * (-walk.gravity / (JOLT_STEP * JOLT_STEP)));
    const JPH::BroadPhaseLayerFilter broadPhaseFilter;
    const JPH::ObjectLayerFilter layerFilter;
    const JPH::BodyFilter bodyFilter;
    const JPH::ShapeFilter shapeFilter;
    const auto start = Clock::now();
    floorUpdates = walkRing(walk, path, [&](const Vec3& displacement) {
        character->SetLinearVelocity(toJolt(displacement * (1.0f / JOLT_STEP)));
        character->ExtendedUpdate(JOLT_STEP, gravity, update, broadPhaseFilter, layerFilter,
                                  bodyFilter, shapeFilter, level.temporary);
        return CharacterStep{
            fromJolt(character->GetCenterOfMassPosition()),
            character->GetGroundState() == JPH::CharacterBase::EGroundState::OnGround};
    });
    return std::chrono::duration<double>(Clock::now() - start).count();
}
#endif

// The length of a path of centres.
double travelled(const std::vector<Vec3>& path, const Vec3& start) {
    double sum = 0.0;
    Vec3 from = start;
    for (const Vec3& to : path) {
        sum += length(to - from);
        from = to;
    }
    return sum;
}

void endCounters(benchmark::State& state, const char* side, const std::vector<Vec3>& path,
                 const CharacterWalk& walk, int floorUpdates) {
    const std::string prefix(side);
    state.counters[prefix + "_end_x"] = path.back().x;
    state.counters[prefix + "_end_y"] = path.back().y;
    state.counters[prefix + "_end_z"] = path.back().z;
    state.counters[prefix + "_travel"] = travelled(path, walk.start);
    state.counters[prefix + "_floor_share"] = static_cast<double>(floorUpdates) / walk.updates;
}

#if SWEEP_WITH_JOLT
// Jolt's side of a Character row: its time, where it went, and how far from
// our path. ratios: Jolt's time over ours, iteration by iteration.
void joltCharacterCounters(benchmark::State& state, const CharacterWalk& walk,
                           const std::vector<Vec3>& ours, const std::vector<Vec3>& jolt,
                           int joltFloor, double joltSeconds, std::vector<double>& ratios) {
    const double n = static_cast<double>(state.iterations()) * walk.updates;
    state.counters["jolt_us_per_update"] = 1e6 * joltSeconds / n;
    // Above 1: we are faster. The median of the iterations' ratios, since a
    // neighbour's burst on the machine slows only the run it falls on.
    state.counters["jolt_ratio"] = median(ratios);
    endCounters(state, "jolt", jolt, walk, joltFloor);
    double gaps = 0.0;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        gaps += length(ours[i] - jolt[i]);
    }
    state.counters["mean_gap"] = gaps / static_cast<double>(ours.size());
    state.counters["end_gap"] = length(ours.back() - jolt.back());
}
#endif

// moveAndSlide beside Jolt's CharacterVirtual::ExtendedUpdate on the same
// walk, each from a fresh start every iteration (which goes first
// alternates). Paired: the sphere's radius; the walk and the fall, fed to
// Jolt as velocities over a 1/60 s step; the largest floor slope (45
// degrees, mMaxSlopeAngle); the step height (mWalkStairsStepUp); the floor
// snap (mStickToFloorStepDown); the skin (mCharacterPadding: the gap both keep
// from what they touch); the sweeps per slide (mMaxCollisionIterations, 5);
// one-sided faces (FaceSides::One beside IgnoreBackFaces). The rest is each
// side's own: our exact edge rule and sweep tolerance (the skin) beside
// Jolt's predictive contacts (0.1), collision tolerance (0.001), stair
// stepping (a forward step of at least 0.02 and a test step of 0.15) and
// contact solving. The walk's fall is cleared by an update that ends on a
// floor: ours by SlideResult::onFloor, Jolt's by EGroundState::OnGround.
void BM_Character(benchmark::State& state, BenchScene* s, CharacterWalk walk) {
    std::vector<Vec3> ours(static_cast<std::size_t>(walk.updates));
    double oursSeconds = 0.0;
    int oursFloor = 0;
#if SWEEP_WITH_JOLT
    std::vector<Vec3> jolt(ours.size());
    double joltSeconds = 0.0;
    int joltFloor = 0;
    std::vector<double> ratios;
    const auto level = s->joltMesh != nullptr ? std::make_unique<JoltLevel>(*s->joltMesh) : nullptr;
#endif
    bool joltFirst = false;
    for (auto _ : state) {
#if SWEEP_WITH_JOLT
        double joltNow = 0.0;
        const auto runJolt = [&] { joltNow = joltWalkSeconds(*level, walk, jolt, joltFloor); };
        if (level != nullptr && joltFirst) {
            runJolt();
        }
#endif
        const double oursNow = oursWalkSeconds(*s->mesh, walk, ours, oursFloor);
        oursSeconds += oursNow;
#if SWEEP_WITH_JOLT
        if (level != nullptr && !joltFirst) {
            runJolt();
        }
        if (level != nullptr) {
            joltSeconds += joltNow;
            ratios.push_back(joltNow / oursNow);
        }
#endif
        joltFirst = !joltFirst;
    }
    state.counters["updates"] = walk.updates;
    state.counters["triangles"] = static_cast<double>(s->mesh->triangles.size());
    const double n = static_cast<double>(state.iterations()) * walk.updates;
    state.counters["ours_us_per_update"] = 1e6 * oursSeconds / n;
    endCounters(state, "ours", ours, walk, oursFloor);
#if SWEEP_WITH_JOLT
    if (level != nullptr) {
        joltCharacterCounters(state, walk, ours, jolt, joltFloor, joltSeconds, ratios);
    }
#endif
    // The sweeps behind our time, counted on a run of its own.
    QueryCounters counted;
    CharacterWalk countedWalk = walk;
    countedWalk.slide.stats = &counted;
    oursWalkSeconds(*s->mesh, countedWalk, ours, oursFloor);
    state.counters["ours_sweeps_per_update"] = static_cast<double>(counted.sweeps) / walk.updates;
    padMissingCounters(state);
}

// The reader beside reading the same file's bytes into memory.
void BM_ReadScene(benchmark::State& state, std::string path) {
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    std::int64_t triangles = 0;
    for (auto _ : state) {
        auto scene = loadDornFile(path);
        triangles += static_cast<std::int64_t>(scene->triangles.size());
        benchmark::DoNotOptimize(scene);
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.SetItemsProcessed(triangles);
    padMissingCounters(state);
}

void BM_ReadBytes(benchmark::State& state, std::string path) {
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        std::vector<char> content(static_cast<std::size_t>(bytes));
        const int fd = ::open(path.c_str(), O_RDONLY);
        for (std::int64_t done = 0; done < bytes;) {
            const ssize_t n =
                ::read(fd, content.data() + done, static_cast<std::size_t>(bytes - done));
            done += n > 0 ? n : bytes;
        }
        ::close(fd);
        benchmark::DoNotOptimize(content.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    padMissingCounters(state);
}

// A row for a character of radius walking its ring in s, unless the ring
// leaves the scene's floor (the small terrains), where it would time a fall.
void registerCharacter(BenchScene* s, float radius) {
    const CharacterWalk walk = walkFor(*s, radius);
    const float reach = walk.ringRadius() + 2.0f * radius;
    if (walk.ringCentre.x - reach < s->min.x || walk.ringCentre.x + reach > s->max.x ||
        walk.ringCentre.z - reach < s->min.z || walk.ringCentre.z + reach > s->max.z) {
        return;
    }
    char radiusText[32];
    std::snprintf(radiusText, sizeof radiusText, "%g", static_cast<double>(radius));
    benchmark::RegisterBenchmark(("Character/" + s->name + "/r=" + radiusText).c_str(), BM_Character,
                                 s, walk)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.5);
}

// The sphere the level made here is sized for.
constexpr float COURSE_RADIUS = 0.5f;

// The level made here, for us and Jolt alike, laid along the ring that
// sphere walks.
std::unique_ptr<BenchScene> makeCourseScene() {
    auto s = std::make_unique<BenchScene>();
    s->name = "course";
    s->mesh = makeCourse(walkOfRadius(COURSE_RADIUS).ringRadius());
    const TreeStats stats =
        measureTree(s->mesh->vertices, s->mesh->triangles, flattenTree(*s->mesh->root));
    s->min = stats.boundsMin;
    s->max = stats.boundsMax;
#if SWEEP_WITH_JOLT
    prepareJolt(*s);
#endif
    return s;
}

}  // namespace

// Whether the run writes CSV (on the console or to --benchmark_out), by flag
// or by the environment variables Google Benchmark reads for its flags.
bool writesCsv(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strstr(argv[i], "format=csv") != nullptr) {
            return true;
        }
    }
    for (const char* variable : {"BENCHMARK_FORMAT", "BENCHMARK_OUT_FORMAT"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && std::string(value) == "csv") {
            return true;
        }
    }
    return false;
}

int main(int argc, char** argv) {
    padCounters = writesCsv(argc, argv);  // before Initialize takes its flags out
    benchmark::Initialize(&argc, argv);
    setCollisionEpsilon(0.001f);
    embreeDevice = rtcNewDevice("threads=1");  // one thread, as our query and Bullet's
#if SWEEP_WITH_JOLT
    JPH::RegisterDefaultAllocator();
    JPH::Factory::sInstance = new JPH::Factory();
    JPH::RegisterTypes();
#endif
    std::vector<SweepOptions> rules = {EdgeRule::Design, EdgeRule::Exact};
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--two-sided") {
            rules.push_back({EdgeRule::Design, FaceSides::Two});
            rules.push_back({EdgeRule::Exact, FaceSides::Two});
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--two-sided") {
            continue;
        }
        auto s = std::make_unique<BenchScene>();
        s->name = std::filesystem::path(argv[i]).stem().string();
        std::string why;
        s->mesh = loadDornFile(argv[i], &why);
        if (s->mesh == nullptr) {
            std::fprintf(stderr, "sweep_bench: %s\n", why.c_str());
            return 1;
        }
        const TreeStats stats =
            measureTree(s->mesh->vertices, s->mesh->triangles, flattenTree(*s->mesh->root));
        s->min = stats.boundsMin;
        s->max = stats.boundsMax;
        prepareBullet(*s);
        prepareEmbree(*s);
#if SWEEP_WITH_JOLT
        prepareJolt(*s);
#endif
        BenchScene* raw = s.get();
        for (int radius = 0; radius < 2; ++radius) {
            for (int length = 0; length < 2; ++length) {
                for (const SweepOptions rule : rules) {
                    benchmark::RegisterBenchmark(
                        ("Sweep/" + s->name + (radius ? "/r=1%diag" : "/r=2.5") +
                         (length ? "/len=diag/10" : "/len=sqrt3") +
                         (rule.edges == EdgeRule::Exact ? "/exact" : "/viewer") +
                         (rule.faces == FaceSides::Two ? "/two-sided" : ""))
                            .c_str(),
                        BM_SweepVsBullet, raw, radius, length, rule)
                        ->Unit(benchmark::kMillisecond)
                        ->MinTime(0.5);
                }
            }
        }
        for (int radius = 0; radius < 2; ++radius) {
            for (int length = 0; length < 2; ++length) {
                for (const FaceSides faces : {FaceSides::Cull, FaceSides::Two}) {
                    benchmark::RegisterBenchmark(
                        ("First/" + s->name + (radius ? "/r=1%diag" : "/r=2.5") +
                         (length ? "/len=diag/10" : "/len=sqrt3") +
                         (faces == FaceSides::Two ? "/exact/two-sided" : "/exact/cull"))
                            .c_str(),
                        BM_FirstVsJolt, raw, radius, length, faces)
                        ->Unit(benchmark::kMillisecond)
                        ->MinTime(0.5);
                }
            }
        }
        for (const int threads : {1, 2}) {
            benchmark::RegisterBenchmark(
                ("Batch/" + s->name + "/threads=" + std::to_string(threads)).c_str(), BM_Batch,
                raw, threads)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.5);
        }
        benchmark::RegisterBenchmark(("BatchFirst/" + s->name + "/threads=2").c_str(), BM_FirstBatch,
                                     raw, 2)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.5);
        // The viewer's steps mean something only where its start lies in the
        // scene (the rooms); elsewhere the sphere flies off into empty space.
        const Vec3 start(0, 12.5f, 0);
        if (start.x >= s->min.x && start.y >= s->min.y && start.z >= s->min.z &&
            start.x <= s->max.x && start.y <= s->max.y && start.z <= s->max.z) {
            benchmark::RegisterBenchmark(("FrameStep/" + s->name).c_str(), BM_FrameStep, raw);
        }
        // A character walks where there is a floor to walk: the room and the terrains.
        if (s->name == "default" || s->name.starts_with("terrain-")) {
            registerCharacter(raw, 2.5f);
        }
        benchmark::RegisterBenchmark(("ReadScene/" + s->name).c_str(), BM_ReadScene,
                                     std::string(argv[i]))
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("ReadBytes/" + s->name).c_str(), BM_ReadBytes,
                                     std::string(argv[i]))
            ->Unit(benchmark::kMillisecond);
        scenes.push_back(std::move(s));
    }
    scenes.push_back(makeCourseScene());
    registerCharacter(scenes.back().get(), COURSE_RADIUS);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
