#include "collision/sweep_batch.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "collision/query_counters.h"
#include "collision/sweep_query.h"
#include "geometry/assert.h"
#include "scene/scene_builder.h"

namespace sweepview {

namespace {

// Large enough that threads rarely meet at the counter and that neighbouring
// chunks' results (48 bytes each) share a cache line only at their ends; small
// enough that a batch of a few thousand still gives every thread several.
constexpr std::size_t MAX_CHUNK = 256;
constexpr std::size_t CHUNKS_PER_THREAD = 4;

// Taken by every thread for each chunk: on a line of its own, so that the
// results written beside it do not slow the counter down.
struct alignas(64) ChunkCounter {
    std::atomic<std::size_t> next{0};
};

}  // namespace

void sweepBatch(CollisionMesh& scene, std::span<const SweptSphere> spheres,
                std::span<ContactState> results, int threads, SweepOptions options) {
    SWEEP_ASSERT(results.size() == spheres.size());
    const std::size_t count = std::min(spheres.size(), results.size());
    if (count == 0) {
        return;
    }
    std::size_t wanted = threads > 0 ? static_cast<std::size_t>(threads)
                                     : std::max(1u, std::thread::hardware_concurrency());
    if (queryCounters != nullptr) {
        wanted = 1;  // the counters are plain integers
    }
    wanted = std::min(wanted, count);
    if (wanted > 1 && scene.compiled == nullptr) {
        fillBoundsCaches(scene);  // lazily filled caches allow one thread only
    }
    const std::size_t chunk = std::clamp(count / (wanted * CHUNKS_PER_THREAD), std::size_t(1), MAX_CHUNK);
    const std::size_t chunks = (count + chunk - 1) / chunk;

    ChunkCounter counter;
    std::mutex failureLock;
    std::exception_ptr failure;
    const auto work = [&]() noexcept {
        try {
            for (;;) {
                const std::size_t first = counter.next.fetch_add(1, std::memory_order_relaxed) * chunk;
                if (first >= count) {
                    return;
                }
                const std::size_t last = std::min(count, first + chunk);
                for (std::size_t i = first; i < last; ++i) {
                    ContactState& result = results[i];
                    result.hitTriangles.clear();
                    result.contactNormal = Vec3();
                    sweepQuery(scene, spheres[i], result, options);
                }
            }
        } catch (...) {
            const std::lock_guard hold(failureLock);
            if (failure == nullptr) {
                failure = std::current_exception();
            }
            counter.next.store(chunks, std::memory_order_relaxed);  // the others stop too
        }
    };

    std::vector<std::jthread> helpers;
    helpers.reserve(wanted - 1);
    for (std::size_t t = 1; t < wanted; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // out of threads: the ones started share the chunks
        }
    }
    work();
    helpers.clear();  // joins
    if (failure != nullptr) {
        std::rethrow_exception(failure);
    }
}

}  // namespace sweepview
