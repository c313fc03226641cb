#include "collision/sweep_batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "collision/query_counters.h"
#include "collision/sweep_first.h"
#include "collision/sweep_query.h"
#include "geometry/assert.h"
#include "scene/scene_builder.h"

namespace sweepview {

namespace {

// A chunk is the sweeps left shared out CHUNKS_PER_THREAD times over the
// threads, at least one and at most MAX_CHUNK: large enough that threads
// rarely meet at the counter and that neighbouring chunks' results (48 bytes
// each) share a cache line only at their ends; small enough that a batch of a
// few thousand still gives every thread several. Chunks shrink towards the
// end, down to single sweeps, so the threads finish close together.
constexpr std::size_t MAX_CHUNK = 256;
constexpr std::size_t CHUNKS_PER_THREAD = 4;

// One batch, shared by the calling thread and its helpers. Helpers hold it by
// shared_ptr: on a busy machine a helper may wake a scheduler slice late,
// longer than a small batch takes, and the call must not wait for a helper
// that has no sweep to do. The counters sit on lines of their own, away from
// each other and the read-mostly fields.
struct Batch {
    alignas(64) std::atomic<std::size_t> nextSweep{0};
    // Pool threads that may still join; one that finds none left goes back
    // to sleep, so a batch never runs on more threads than it asked for.
    alignas(64) std::atomic<std::ptrdiff_t> seats{0};
    // Threads that may still claim a chunk; the call returns once it is 0 and
    // every chunk is claimed, so a helper counted in later finds none.
    alignas(64) std::atomic<int> working{0};
    alignas(64) const CollisionMesh* scene = nullptr;
    const SweptSphere* spheres = nullptr;
    ContactState* results = nullptr;  // all contacts (sweepQuery), or
    SweepHit* hits = nullptr;         // the first (sweepFirst)
    std::size_t count = 0;
    std::size_t threads = 1;
    SweepOptions options;
    std::mutex failureLock;
    std::exception_ptr failure;

    // Claims the next chunk into [first, last); false when none is left.
    bool claim(std::size_t& first, std::size_t& last) {
        std::size_t next = nextSweep.load();
        for (;;) {
            if (next >= count) {
                return false;
            }
            const std::size_t size =
                std::clamp((count - next) / (threads * CHUNKS_PER_THREAD), std::size_t(1), MAX_CHUNK);
            const std::size_t end = std::min(count, next + size);
            if (nextSweep.compare_exchange_weak(next, end)) {
                first = next;
                last = end;
                return true;
            }
        }
    }

    // Sweeps chunks until none is left. Sequentially consistent counters: a
    // thread counts itself in before it claims, the caller claims the last
    // chunk before it reads the count, so one of them sees the other.
    void work() noexcept {
        // Each thread counts into its own record, added to the caller's once
        // its sweeps are done (before it counts itself out).
        QueryCounters counted;
        SweepOptions own = options;
        if (options.stats != nullptr) {
            own.stats = &counted;
        }
        try {
            std::size_t first = 0;
            std::size_t last = 0;
            while (claim(first, last)) {
                for (std::size_t i = first; i < last; ++i) {
                    if (hits != nullptr) {
                        hits[i] = sweepFirst(*scene, spheres[i], own);
                        continue;
                    }
                    ContactState& result = results[i];
                    result.hitTriangles.clear();
                    result.contactNormal = Vec3();
                    sweepQuery(*scene, spheres[i], result, own);
                }
            }
        } catch (...) {
            const std::lock_guard hold(failureLock);
            if (failure == nullptr) {
                failure = std::current_exception();
            }
            nextSweep.store(count);  // the others stop too
        }
        if (options.stats != nullptr && counted.sweeps != 0) {
            const std::lock_guard hold(failureLock);
            addCounters(*options.stats, counted);
        }
    }

    void help() noexcept {
        working.fetch_add(1);
        work();
        if (working.fetch_sub(1) == 1) {
            working.notify_all();
        }
    }
};

// Helper threads kept from one batch to the next: starting a thread takes
// 60 to 150 microseconds here (milliseconds on a busy machine), as long as a
// batch of a few thousand short sweeps. They sleep on a condition variable
// between batches. Never destroyed: at exit the sleeping helpers simply end
// with the process.
class HelperPool {
public:
    // Offers batch to `helpers` pool threads, starting threads up to that
    // count; returns at once. A thread the system refuses is not retried
    // until a later call.
    void offer(const std::shared_ptr<Batch>& batch, std::size_t helpers) {
        batch->seats.store(static_cast<std::ptrdiff_t>(helpers));
        {
            const std::lock_guard hold(lock_);
            batch_ = batch;
            ++generation_;
            while (threads_ < helpers) {
                try {
                    std::thread([this] { serve(); }).detach();
                } catch (...) {
                    break;  // out of threads or memory: the ones started share the chunks
                }
                ++threads_;
            }
        }
        wake_.notify_all();
    }

private:
    void serve() {
        std::uint64_t seen = 0;
        {
            const std::lock_guard hold(lock_);
            seen = generation_ - 1;  // started for the batch on offer
        }
        for (;;) {
            std::shared_ptr<Batch> batch;
            {
                std::unique_lock hold(lock_);
                wake_.wait(hold, [&] { return generation_ != seen; });
                seen = generation_;
                batch = batch_;
            }
            if (batch->seats.fetch_sub(1) > 0) {
                batch->help();
            }
        }
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::shared_ptr<Batch> batch_;  // the latest batch offered
    std::uint64_t generation_ = 0;  // batches offered so far
    std::size_t threads_ = 0;
};

// A hint to the core that this thread is waiting in a loop.
void spinPause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

HelperPool& helperPool() {
    static HelperPool* const pool = new HelperPool;  // see HelperPool: never destroyed
    return *pool;
}

// Runs batch (its scene, spheres, count, options and where the results go
// set) on up to threads threads.
void runBatch(const std::shared_ptr<Batch>& batch, int threads) {
    if (batch->count == 0) {
        return;
    }
    std::size_t wanted = threads > 0 ? static_cast<std::size_t>(threads)
                                     : std::max(1u, std::thread::hardware_concurrency());
    wanted = std::min(wanted, batch->count);
    batch->threads = wanted;

    if (wanted > 1) {
        helperPool().offer(batch, wanted - 1);
    }
    batch->work();
    // Every chunk is claimed: what the helpers still do is one short chunk
    // each. A caller that went to sleep for it would wake tens of
    // microseconds late here, a tenth of a batch of ten thousand short sweeps
    // on two threads, so it spins for a while first.
    const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
    for (int spin = 1; batch->working.load() != 0; ++spin) {
        if (spin % 64 == 0 && std::chrono::steady_clock::now() > spinUntil) {
            break;
        }
        spinPause();
    }
    for (int busy = batch->working.load(); busy != 0; busy = batch->working.load()) {
        batch->working.wait(busy);
    }
    if (batch->failure != nullptr) {
        std::rethrow_exception(batch->failure);
    }
}

std::shared_ptr<Batch> newBatch(const CollisionMesh& scene, std::span<const SweptSphere> spheres,
                                std::size_t count, const SweepOptions& options) {
    auto batch = std::make_shared<Batch>();
    batch->scene = &scene;
    batch->spheres = spheres.data();
    batch->count = count;
    batch->options = options;
    return batch;
}

}  // namespace

void sweepBatch(const CollisionMesh& scene, std::span<const SweptSphere> spheres,
                std::span<ContactState> results, int threads, SweepOptions options) {
    SWEEP_ASSERT(results.size() == spheres.size());
    const auto batch = newBatch(scene, spheres, std::min(spheres.size(), results.size()), options);
    batch->results = results.data();
    runBatch(batch, threads);
}

void sweepFirstBatch(const CollisionMesh& scene, std::span<const SweptSphere> spheres,
                     std::span<SweepHit> hits, int threads, SweepOptions options) {
    SWEEP_ASSERT(hits.size() == spheres.size());
    const auto batch = newBatch(scene, spheres, std::min(spheres.size(), hits.size()), options);
    batch->hits = hits.data();
    runBatch(batch, threads);
}

}  // namespace sweepview
