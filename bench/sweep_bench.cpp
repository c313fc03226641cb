// Sweep query throughput beside Bullet Physics (and Jolt Physics, when built
// with it), frame steps, and the reader.
//   sweep_bench [--two-sided] SCENE.dorn... [benchmark flags]
// --two-sided also measures each edge rule with two-sided faces.
// Every scene given is measured. For each, sweeps come from a seeded generator
// (see makeSweeps) and run, in the same benchmark iteration, through our query
// and through Bullet's convexSweepTest (a btSphereShape against a
// btBvhTriangleMeshShape, allowedCcdPenetration 0, closest-hit callback) and,
// with SWEEP_WITH_JOLT, Jolt's closest-hit sphere cast against a MeshShape of
// the same triangles (back faces ignored, met with --two-sided), so that the
// ratios are measured under the same machine load.
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
#include <Jolt/Physics/Collision/CollisionCollectorImpl.h>
#include <Jolt/Physics/Collision/CollisionDispatch.h>
#include <Jolt/Physics/Collision/Shape/MeshShape.h>
#include <Jolt/Physics/Collision/Shape/SphereShape.h>
#include <Jolt/RegisterTypes.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/sweep_generator.h"
#include "collision/sphere_motion.h"
#include "collision/sweep_batch.h"
#include "collision/sweep_query.h"
#include "geometry/collision_epsilon.h"
#include "scene/compiled_tree.h"
#include "scene/dorn_reader.h"
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

double oursPerSecond(BenchScene& s, const std::vector<BenchSweep>& sweeps, float radius,
                     SweepOptions rule, int& hits) {
    ContactState state;
    hits = 0;
    const auto start = Clock::now();
    for (const BenchSweep& sweep : sweeps) {
        state.hitTriangles.clear();
        hits += sweepQuery(*s.mesh, SweptSphere(sweep.from, sweep.displacement, radius), state, rule);
    }
    return sweeps.size() / std::chrono::duration<double>(Clock::now() - start).count();
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

// Jolt's closest-hit cast of the given sphere along each sweep; its other
// settings as Jolt has them.
double joltPerSecond(BenchScene& s, const std::vector<BenchSweep>& sweeps, const JPH::Shape& sphere,
                     JPH::EBackFaceMode backFaces, int& hits) {
    JPH::ShapeCastSettings settings;
    settings.mBackFaceModeTriangles = backFaces;
    const JPH::ShapeFilter filter;
    hits = 0;
    const auto start = Clock::now();
    for (const BenchSweep& sweep : sweeps) {
        const JPH::ShapeCast cast(
            &sphere, JPH::Vec3::sOne(),
            JPH::Mat44::sTranslation(JPH::Vec3(sweep.from.x, sweep.from.y, sweep.from.z)),
            JPH::Vec3(sweep.displacement.x, sweep.displacement.y, sweep.displacement.z));
        JPH::ClosestHitCollisionCollector<JPH::CastShapeCollector> collector;
        JPH::CollisionDispatch::sCastShapeVsShapeLocalSpace(
            cast, settings, s.joltMesh.GetPtr(), JPH::Vec3::sOne(), filter, JPH::Mat44::sIdentity(),
            JPH::SubShapeIDCreator(), JPH::SubShapeIDCreator(), collector);
        hits += collector.HadHit() ? 1 : 0;
    }
    return sweeps.size() / std::chrono::duration<double>(Clock::now() - start).count();
}
#endif

// args: scene index, radius kind (0: 2.5, 1: 1% of the diagonal), length kind
// (0: |(1,-1,1)|, 1: a tenth of the diagonal), our edge rule and face sides.
void BM_SweepVsBullet(benchmark::State& state, BenchScene* s, int radiusKind, int lengthKind,
                      SweepOptions rule) {
    const float radius = radiusKind == 0 ? 2.5f : 0.01f * s->diagonal();
    const float sweepLength = lengthKind == 0 ? std::sqrt(3.0f) : 0.1f * s->diagonal();
    const std::vector<BenchSweep> sweeps = makeSweeps(s->min, s->max, sweepLength, 2000);
    double ours = 0;
    double bullet = 0;
    double embree = 0;
    int oursHits = 0;
    int bulletHits = 0;
    int embreeHits = 0;
#if SWEEP_WITH_JOLT
    const JPH::RefConst<JPH::Shape> sphere = new JPH::SphereShape(radius);
    const JPH::EBackFaceMode backFaces = rule.faces == FaceSides::Two
                                             ? JPH::EBackFaceMode::CollideWithBackFaces
                                             : JPH::EBackFaceMode::IgnoreBackFaces;
    double jolt = 0;
    int joltHits = 0;
#endif
    for (auto _ : state) {
        ours += oursPerSecond(*s, sweeps, radius, rule, oursHits);
        bullet += bulletPerSecond(*s, sweeps, radius, bulletHits);
        embree += embreePerSecond(*s, sweeps, embreeHits);
#if SWEEP_WITH_JOLT
        if (s->joltMesh != nullptr) {
            jolt += joltPerSecond(*s, sweeps, *sphere, backFaces, joltHits);
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
    }
#endif
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
    double speedup = 1.0;  // one thread's over itself
    if (!ratios.empty()) {
        std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
        speedup = ratios[ratios.size() / 2];
    }
    state.counters["ratio"] = speedup;
    state.counters["triangles"] = static_cast<double>(s->mesh->triangles.size());
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
}

}  // namespace

int main(int argc, char** argv) {
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
        for (const int threads : {1, 2}) {
            benchmark::RegisterBenchmark(
                ("Batch/" + s->name + "/threads=" + std::to_string(threads)).c_str(), BM_Batch,
                raw, threads)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.5);
        }
        // The viewer's steps mean something only where its start lies in the
        // scene (the rooms); elsewhere the sphere flies off into empty space.
        const Vec3 start(0, 12.5f, 0);
        if (start.x >= s->min.x && start.y >= s->min.y && start.z >= s->min.z &&
            start.x <= s->max.x && start.y <= s->max.y && start.z <= s->max.z) {
            benchmark::RegisterBenchmark(("FrameStep/" + s->name).c_str(), BM_FrameStep, raw);
        }
        benchmark::RegisterBenchmark(("ReadScene/" + s->name).c_str(), BM_ReadScene,
                                     std::string(argv[i]))
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("ReadBytes/" + s->name).c_str(), BM_ReadBytes,
                                     std::string(argv[i]))
            ->Unit(benchmark::kMillisecond);
        scenes.push_back(std::move(s));
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
