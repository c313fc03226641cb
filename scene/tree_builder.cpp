#include "scene/tree_builder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr int BIN_COUNT = 16;
constexpr float INF = std::numeric_limits<float>::infinity();

struct Bounds {
    Vec3 min{INF, INF, INF};
    Vec3 max{-INF, -INF, -INF};

    void grow(const Vec3& p) {
        min = Vec3(std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z));
        max = Vec3(std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z));
    }
    void grow(const Bounds& b) {
        grow(b.min);
        grow(b.max);
    }
    float halfArea() const {
        const Vec3 d = max - min;
        return d.x * d.y + d.y * d.z + d.z * d.x;
    }
};

// What the builder needs of a triangle, gathered once.
struct TriangleInfo {
    Bounds bounds;
    Vec3 centroid;
};

struct Task {
    std::uint32_t begin;
    std::uint32_t end;
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

int binOf(float value, float lo, float scale) {
    const float position = (value - lo) * scale;
    if (!(position > 0.0f)) {
        return 0;
    }
    return position >= BIN_COUNT ? BIN_COUNT - 1 : static_cast<int>(position);
}

// Where the triangle is sorted: its bounds' centre, with components that are
// not finite (from non-number or infinite corners) taken as 0, so that every
// comparison is well defined.
Vec3 sortKey(const Bounds& bounds) {
    const Vec3 c = bounds.min * 0.5f + bounds.max * 0.5f;
    return Vec3(std::isfinite(c.x) ? c.x : 0.0f, std::isfinite(c.y) ? c.y : 0.0f,
                std::isfinite(c.z) ? c.z : 0.0f);
}

// Splits ids[begin, end) in two; returns the index where the second part starts.
std::uint32_t splitRange(std::vector<std::uint32_t>& ids, const std::vector<TriangleInfo>& info,
                         std::uint32_t begin, std::uint32_t end) {
    Bounds centroids;
    for (std::uint32_t i = begin; i < end; ++i) {
        centroids.grow(info[ids[i]].centroid);
    }
    const Vec3 extent = centroids.max - centroids.min;

    float bestCost = INF;
    int bestAxis = -1;
    int bestBin = 0;
    for (int axis = 0; axis < 3; ++axis) {
        const float lo = component(centroids.min, axis);
        const float size = component(extent, axis);
        if (!(size > 0.0f)) {
            continue;
        }
        const float scale = BIN_COUNT / size;
        std::array<Bounds, BIN_COUNT> bins;
        std::array<std::uint32_t, BIN_COUNT> counts{};
        for (std::uint32_t i = begin; i < end; ++i) {
            const TriangleInfo& t = info[ids[i]];
            const int bin = binOf(component(t.centroid, axis), lo, scale);
            bins[bin].grow(t.bounds);
            ++counts[bin];
        }
        // Sweep from the right for the right sides' costs, then from the left.
        std::array<float, BIN_COUNT> rightCost{};
        Bounds right;
        std::uint32_t rightCount = 0;
        for (int b = BIN_COUNT - 1; b > 0; --b) {
            right.grow(bins[b]);
            rightCount += counts[b];
            rightCost[b] = right.halfArea() * static_cast<float>(rightCount);
        }
        Bounds left;
        std::uint32_t leftCount = 0;
        for (int b = 0; b < BIN_COUNT - 1; ++b) {
            left.grow(bins[b]);
            leftCount += counts[b];
            if (leftCount == 0 || leftCount == end - begin) {
                continue;
            }
            const float cost = left.halfArea() * static_cast<float>(leftCount) + rightCost[b + 1];
            if (cost < bestCost) {
                bestCost = cost;
                bestAxis = axis;
                bestBin = b;
            }
        }
    }

    if (bestAxis >= 0) {
        const float lo = component(centroids.min, bestAxis);
        const float scale = BIN_COUNT / component(extent, bestAxis);
        const auto middle = std::partition(
            ids.begin() + begin, ids.begin() + end, [&](std::uint32_t id) {
                return binOf(component(info[id].centroid, bestAxis), lo, scale) <= bestBin;
            });
        return static_cast<std::uint32_t>(middle - ids.begin());
    }

    // No bin boundary separates the centroids: split at the median.
    const std::uint32_t middle = begin + (end - begin) / 2;
    const int axis = extent.x >= extent.y && extent.x >= extent.z ? 0 : (extent.y >= extent.z ? 1 : 2);
    if (component(extent, axis) > 0.0f) {
        std::nth_element(ids.begin() + begin, ids.begin() + middle, ids.begin() + end,
                         [&](std::uint32_t a, std::uint32_t b) {
                             return component(info[a].centroid, axis) <
                                    component(info[b].centroid, axis);
                         });
    }
    return middle;
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
    std::vector<TriangleInfo> info(count);
    std::vector<std::uint32_t> ids(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const MeshTriangle& t = triangles[i];
        TriangleInfo& ti = info[i];
        for (std::int32_t v : {t.vertex0, t.vertex1, t.vertex2}) {
            ti.bounds.grow(vertices[static_cast<std::size_t>(v)]);
        }
        ti.centroid = sortKey(ti.bounds);
        ids[i] = i;
    }

    nodes.reserve(2 * static_cast<std::size_t>(count) - 1);
    std::vector<Task> pending{{0, count}};
    std::uint32_t placed = 0;
    std::uint32_t reported = 0;
    while (!pending.empty()) {
        const Task task = pending.back();
        pending.pop_back();
        Bounds bounds;
        for (std::uint32_t i = task.begin; i < task.end; ++i) {
            bounds.grow(info[ids[i]].bounds);
        }
        PreorderNode node;
        enclosingBox(bounds.min, bounds.max, node.centre, node.halfExtents);
        if (task.end - task.begin == 1) {
            node.triangle = static_cast<std::int32_t>(ids[task.begin]);
            nodes.push_back(node);
            ++placed;
            if (progress && placed - reported >= 65536) {
                reported = placed;
                progress(static_cast<double>(placed) / count);
            }
            continue;
        }
        nodes.push_back(node);
        const std::uint32_t middle = splitRange(ids, info, task.begin, task.end);
        pending.push_back({middle, task.end});  // second child, after the first's subtree
        pending.push_back({task.begin, middle});
    }
    if (progress) {
        progress(1.0);
    }
    return nodes;
}
