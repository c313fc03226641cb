#include "scene/tree_builder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif
#include "scene/huge_pages.h"

namespace sweepview {

namespace {

constexpr int BIN_COUNT = 16;
constexpr float INF = std::numeric_limits<float>::infinity();

// An axis-aligned box being grown. Four lanes, the last one unused, so that
// growing one box by another compiles to a few vector instructions: this is
// the builder's inner loop. Non-numbers never replace a bound.
struct alignas(16) Bounds {
    float min[4] = {INF, INF, INF, INF};
    float max[4] = {-INF, -INF, -INF, -INF};

    void grow(const Bounds& b) {
#if defined(__SSE__)
        // minps and maxps keep their second operand against a non-number.
        _mm_store_ps(min, _mm_min_ps(_mm_load_ps(b.min), _mm_load_ps(min)));
        _mm_store_ps(max, _mm_max_ps(_mm_load_ps(b.max), _mm_load_ps(max)));
#else
        for (int i = 0; i < 4; ++i) {
            min[i] = b.min[i] < min[i] ? b.min[i] : min[i];
            max[i] = max[i] < b.max[i] ? b.max[i] : max[i];
        }
#endif
    }
    void grow(const Vec3& p) {
        Bounds point;
        point.min[0] = point.max[0] = p.x;
        point.min[1] = point.max[1] = p.y;
        point.min[2] = point.max[2] = p.z;
        grow(point);
    }
    Vec3 lower() const { return Vec3(min[0], min[1], min[2]); }
    Vec3 upper() const { return Vec3(max[0], max[1], max[2]); }
    float extent(int axis) const { return max[axis] - min[axis]; }
    float halfArea() const {
        const float x = max[0] - min[0];
        const float y = max[1] - min[1];
        const float z = max[2] - min[2];
        return x * y + y * z + z * x;
    }
};

// What the builder needs of a triangle, gathered once and moved along with
// the partitions, so that every pass reads memory in order.
struct Primitive {
    Bounds bounds;
    float centroid[3];  // where it is sorted; see sortKey
    std::uint32_t triangle;
};

// A range of primitives that becomes one subtree.
struct Task {
    std::uint32_t begin;
    std::uint32_t end;
    Bounds bounds;     // of the primitives
    Bounds centroids;  // of their centroids
};

float halfUp(float centre, float min, float max) {
    float half = std::max(max - centre, centre - min);
    // The differences and the sums that the query forms round to nearest, so
    // a few ulps more make up for them; non-numbers and infinities stay as
    // they are.
    for (int step = 0; step < 8 && std::isfinite(half); ++step) {
        if (!(centre - half > min) && !(centre + half < max)) {
            break;
        }
        half = std::nextafter(half, INF);
    }
    return half;
}

int binOf(float value, float lo, float scale, int binCount) {
    // Clamped without branches; a non-number lands in bin 0.
    const float position = std::max(0.0f, (value - lo) * scale);
    return static_cast<int>(std::min(position, static_cast<float>(binCount - 1)));
}

// Small ranges get fewer bins: the bins' fixed cost would outweigh the pass
// over the few primitives, and so many boundaries could not be told apart.
int binCountFor(std::uint32_t primitives) {
    return static_cast<int>(
        std::min<std::uint32_t>(BIN_COUNT, std::max<std::uint32_t>(primitives, 2)));
}

// Where the triangle is sorted: its bounds' centre, with components that are
// not finite (from non-number or infinite corners) taken as 0, so that every
// comparison is well defined.
void setSortKey(Primitive& p) {
    for (int axis = 0; axis < 3; ++axis) {
        const float c = p.bounds.min[axis] * 0.5f + p.bounds.max[axis] * 0.5f;
        p.centroid[axis] = std::isfinite(c) ? c : 0.0f;
    }
}

void growByCentroid(Bounds& bounds, const Primitive& p) {
    bounds.grow(Vec3(p.centroid[0], p.centroid[1], p.centroid[2]));
}

struct Bin {
    Bounds bounds;
    std::uint32_t count = 0;
};

struct Split {
    int axis = -1;
    int bin = 0;
    float cost = INF;
};

using Bins = std::array<Bin, BIN_COUNT>;

int longestAxis(const Bounds& b) {
    return b.extent(0) >= b.extent(1) && b.extent(0) >= b.extent(2)
               ? 0
               : (b.extent(1) >= b.extent(2) ? 1 : 2);
}

// The cheapest bin boundary along the centroids' longest axis, from one pass
// over the range (binning one axis, as Wald's builder does, costs a third of
// binning all three and loses little).
Split bestBinSplit(const std::vector<Primitive>& prims, const Task& task, Bins& bins) {
    const std::uint32_t total = task.end - task.begin;
    const int binCount = binCountFor(total);
    const int axis = longestAxis(task.centroids);
    const float size = task.centroids.extent(axis);
    if (!(size > 0.0f) || !std::isfinite(size)) {
        return Split{};
    }
    const float scale = static_cast<float>(binCount) / size;
    const float lo = task.centroids.min[axis];
    // Neighbouring triangles mostly fall into the same bin; alternating between
    // two sets of bins keeps each update from waiting on the one before.
    std::array<Bins, 2> sets;
    for (Bins& set : sets) {
        std::fill(set.begin(), set.begin() + binCount, Bin{});
    }
    for (std::uint32_t i = task.begin; i < task.end; ++i) {
        const Primitive& p = prims[i];
        Bin& bin = sets[i & 1][binOf(p.centroid[axis], lo, scale, binCount)];
        bin.bounds.grow(p.bounds);
        ++bin.count;
    }
    for (int b = 0; b < binCount; ++b) {
        bins[b] = sets[0][b];
        bins[b].bounds.grow(sets[1][b].bounds);
        bins[b].count += sets[1][b].count;
    }
    // Sweep from the right for the right sides' costs, then from the left.
    Split best;
    std::array<float, BIN_COUNT> rightCost{};
    Bounds right;
    std::uint32_t rightCount = 0;
    for (int b = binCount - 1; b > 0; --b) {
        right.grow(bins[b].bounds);
        rightCount += bins[b].count;
        rightCost[b] = right.halfArea() * static_cast<float>(rightCount);
    }
    Bounds left;
    std::uint32_t leftCount = 0;
    for (int b = 0; b < binCount - 1; ++b) {
        left.grow(bins[b].bounds);
        leftCount += bins[b].count;
        if (leftCount == 0 || leftCount == total) {
            continue;
        }
        const float cost = left.halfArea() * static_cast<float>(leftCount) + rightCost[b + 1];
        if (cost < best.cost) {
            best = Split{axis, b, cost};
        }
    }
    return best;
}

void gather(const std::vector<Primitive>& prims, Task& task) {
    task.bounds = Bounds{};
    task.centroids = Bounds{};
    for (std::uint32_t i = task.begin; i < task.end; ++i) {
        task.bounds.grow(prims[i].bounds);
        growByCentroid(task.centroids, prims[i]);
    }
}

// Splits the task's range in two and describes both halves; first is the first child.
void split(std::vector<Primitive>& prims, const Task& task, Bins& bins, Task& first, Task& second) {
    const Split best = bestBinSplit(prims, task, bins);
    if (best.axis >= 0) {
        const int axis = best.axis;
        const int binCount = binCountFor(task.end - task.begin);
        const float lo = task.centroids.min[axis];
        const float scale = static_cast<float>(binCount) / task.centroids.extent(axis);
        auto inFirst = [&](const Primitive& p) {
            return binOf(p.centroid[axis], lo, scale, binCount) <= best.bin;
        };
        // Partition, gathering each side's centroid bounds on the way.
        first = Task{task.begin, task.end, {}, {}};
        second = Task{task.begin, task.end, {}, {}};
        std::uint32_t i = task.begin;
        std::uint32_t j = task.end;
        for (;;) {
            while (i < j && inFirst(prims[i])) {
                growByCentroid(first.centroids, prims[i++]);
            }
            while (i < j && !inFirst(prims[j - 1])) {
                growByCentroid(second.centroids, prims[--j]);
            }
            if (i >= j) {
                break;
            }
            std::swap(prims[i], prims[j - 1]);
        }
        first.end = i;
        second.begin = i;
        for (int b = 0; b < binCount; ++b) {
            (b <= best.bin ? first : second).bounds.grow(bins[b].bounds);
        }
        return;
    }
    // No bin boundary separates the centroids: split at the median along their
    // longest axis, or in the order given when they all coincide.
    const std::uint32_t middle = task.begin + (task.end - task.begin) / 2;
    const int axis = longestAxis(task.centroids);
    if (task.centroids.extent(axis) > 0.0f) {
        std::nth_element(prims.begin() + task.begin, prims.begin() + middle,
                         prims.begin() + task.end, [&](const Primitive& a, const Primitive& b) {
                             return a.centroid[axis] < b.centroid[axis];
                         });
    }
    first = Task{task.begin, middle, {}, {}};
    second = Task{middle, task.end, {}, {}};
    gather(prims, first);
    gather(prims, second);
}

}  // namespace

void enclosingBox(const Vec3& min, const Vec3& max, Vec3& centre, Vec3& halfExtents) {
    centre = min * 0.5f + max * 0.5f;  // halves first: no overflow near the float limit
    halfExtents = Vec3(halfUp(centre.x, min.x, max.x), halfUp(centre.y, min.y, max.y),
                       halfUp(centre.z, min.z, max.z));
}

std::vector<PreorderNode> buildVolumeTree(const std::vector<Vec3>& vertices,
                                          const std::vector<MeshTriangle>& triangles,
                                          const BuildProgress& progress) {
    const auto count = static_cast<std::uint32_t>(triangles.size());
    std::vector<PreorderNode> nodes;
    if (count == 0) {
        return nodes;
    }
    std::vector<Primitive> prims;
    prims.reserve(count);
    adviseHugePages(prims.data(), count * sizeof(Primitive));
    prims.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const MeshTriangle& t = triangles[i];
        Primitive& p = prims[i];
        for (std::int32_t v : {t.vertex0, t.vertex1, t.vertex2}) {
            p.bounds.grow(vertices[static_cast<std::size_t>(v)]);
        }
        setSortKey(p);
        p.triangle = i;
    }

    nodes.reserve(2 * static_cast<std::size_t>(count) - 1);
    adviseHugePages(nodes.data(), nodes.capacity() * sizeof(PreorderNode));
    std::vector<Task> pending(1, Task{0, count, {}, {}});
    gather(prims, pending.back());
    Bins bins;
    std::uint32_t placed = 0;
    std::uint32_t reported = 0;
    while (!pending.empty()) {
        const Task task = pending.back();
        pending.pop_back();
        PreorderNode node;
        enclosingBox(task.bounds.lower(), task.bounds.upper(), node.centre, node.halfExtents);
        if (task.end - task.begin == 1) {
            node.triangle = static_cast<std::int32_t>(prims[task.begin].triangle);
            nodes.push_back(node);
            ++placed;
            if (progress && placed - reported >= 65536) {
                reported = placed;
                progress(static_cast<double>(placed) / count);
            }
            continue;
        }
        nodes.push_back(node);
        Task first;
        Task second;
        split(prims, task, bins, first, second);
        pending.push_back(second);  // taken after the first child's whole subtree
        pending.push_back(first);
    }
    if (progress) {
        progress(1.0);
    }
    return nodes;
}

}  // namespace sweepview
