// Speed of making scenes: the volume tree build and the writing of a dorn file,
// on a generated terrain (the layout of real meshes: neighbouring triangles
// share vertices and lie close together).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "scene/dorn_writer.h"
#include "scene/tree_builder.h"

using namespace sweepview;

namespace {

struct Terrain {
    std::vector<Vec3> vertices;
    std::vector<MeshTriangle> triangles;
};

// 2 n^2 triangles over a rolling surface.
const Terrain& terrain(int n) {
    static std::vector<std::pair<int, Terrain>> cache;
    for (const auto& [size, made] : cache) {
        if (size == n) {
            return made;
        }
    }
    Terrain t;
    for (int i = 0; i <= n; ++i) {
        for (int j = 0; j <= n; ++j) {
            const float x = -100.0f + 200.0f * static_cast<float>(i) / static_cast<float>(n);
            const float z = -100.0f + 200.0f * static_cast<float>(j) / static_cast<float>(n);
            t.vertices.push_back(Vec3(x, 8.0f * std::sin(x * 0.05f) * std::cos(z * 0.07f), z));
        }
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const int a = i * (n + 1) + j;
            const int c = a + n + 1;
            t.triangles.push_back({a, a + 1, c, -1, -1, -1});
            t.triangles.push_back({a + 1, c + 1, c, -1, -1, -1});
        }
    }
    cache.emplace_back(n, std::move(t));
    return cache.back().second;
}

// Grid sizes: 1,250 to 2,000,000 triangles.
void gridSizes(benchmark::internal::Benchmark* b) {
    for (int n : {25, 79, 250, 791, 1000}) {
        b->Arg(n);
    }
}

void BM_BuildTree(benchmark::State& state) {
    const Terrain& t = terrain(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(buildVolumeTree(t.vertices, t.triangles));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(t.triangles.size()));
    state.counters["triangles"] = static_cast<double>(t.triangles.size());
}
BENCHMARK(BM_BuildTree)->Apply(gridSizes)->Unit(benchmark::kMillisecond)->UseRealTime();

const std::string OUTPUT = "/tmp/sweep_build_bench.dorn";

// Writing the 2-million-triangle scene, beside its peer: the same number of
// bytes written to a file with plain write calls (the page cache's speed).
void BM_WriteScene(benchmark::State& state) {
    const Terrain& t = terrain(1000);
    const std::vector<PreorderNode> tree = buildVolumeTree(t.vertices, t.triangles);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        if (saveDornFile(OUTPUT, t.vertices, {}, t.triangles, tree) == 0) {
            state.SkipWithError("write failed");
        }
        bytes += 12 + 12 * static_cast<std::int64_t>(t.vertices.size()) +
                 24 * static_cast<std::int64_t>(t.triangles.size()) +
                 54 * static_cast<std::int64_t>(t.triangles.size()) - 25;
    }
    state.SetBytesProcessed(bytes);
    std::remove(OUTPUT.c_str());
}
BENCHMARK(BM_WriteScene)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteRawBytes(benchmark::State& state) {
    const Terrain& t = terrain(1000);
    const std::size_t size = 12 + 12 * t.vertices.size() + 78 * t.triangles.size() - 25;
    const std::vector<char> bytes(size, 1);
    for (auto _ : state) {
        const int fd = ::open(OUTPUT.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (std::size_t done = 0; done < size;) {
            const ssize_t n =
                ::write(fd, bytes.data() + done, std::min<std::size_t>(size - done, 1 << 18));
            done += n > 0 ? static_cast<std::size_t>(n) : size;
        }
        ::close(fd);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
    std::remove(OUTPUT.c_str());
}
BENCHMARK(BM_WriteRawBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
