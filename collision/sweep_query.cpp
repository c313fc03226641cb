#include "collision/sweep_query.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "collision/query_counters.h"
#include "collision/sweep_box.h"
#include "collision/sweep_box_lanes.h"
#include "collision/sweep_triangle.h"
#include "geometry/collision_epsilon.h"
#include "scene/node_stack.h"

namespace sweepview {

ContactState contactState;
QueryCounters* queryCounters = nullptr;

namespace {

bool validIndex(std::int32_t index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

// Builds the leaf's triangle; false when the scene's indices do not allow it.
bool leafTriangle(const CollisionMesh& scene, std::int32_t index, Triangle& triangle) {
    if (!validIndex(index, scene.triangles.size())) {
        return false;
    }
    const MeshTriangle& t = scene.triangles[static_cast<std::size_t>(index)];
    const std::size_t vertexCount = scene.vertices.size();
    if (!validIndex(t.vertex0, vertexCount) || !validIndex(t.vertex1, vertexCount) ||
        !validIndex(t.vertex2, vertexCount)) {
        return false;
    }
    triangle.init(scene.vertices[static_cast<std::size_t>(t.vertex0)],
                  scene.vertices[static_cast<std::size_t>(t.vertex1)],
                  scene.vertices[static_cast<std::size_t>(t.vertex2)]);
    return true;
}

void recordContact(ContactState& state, std::int32_t triangleIndex, const Vec3& normal,
                   float time) {
    if (state.found == 0) {
        state.nearestTime = time;
        state.contactNormal = normal;
        state.found = 1;
        state.hitTriangles.push_back(triangleIndex);
        return;
    }
    const float difference = time - state.nearestTime;
    if (-SIMULTANEOUS_HIT_TOLERANCE < difference && difference < SIMULTANEOUS_HIT_TOLERANCE) {
        state.contactNormal += normal;
        state.hitTriangles.push_back(triangleIndex);
    } else if (time < state.nearestTime) {
        state.nearestTime = time;
        state.contactNormal = normal;
        state.hitTriangles.clear();
        state.hitTriangles.push_back(triangleIndex);
    }
}

// The leaf's triangle test, recorded into state; true on contact.
bool testLeaf(CollisionMesh& scene, const VolumeNode& leaf, const SweptSphere& sphere,
              const SweepSetup& setup, ContactState& state) {
    if (queryCounters != nullptr) {
        ++queryCounters->leavesReached;
    }
    Triangle triangle;
    if (!leafTriangle(scene, leaf.triangle, triangle)) {
        return false;
    }
    if (queryCounters != nullptr) {
        ++queryCounters->triangleTests;
    }
    Vec3 normal = zeroVector;
    float time = 0.0f;
    if (sweepHitsTriangle(sphere, setup, triangle, normal, time) == 0) {
        return false;
    }
    recordContact(state, leaf.triangle, normal, time);
    return true;
}

}  // namespace

std::int32_t sweepNode(CollisionMesh& scene, VolumeNode& node, const SweptSphere& sphere,
                       ContactState& state, SweepOptions options) {
    // Pre-order with an explicit stack, first child before second, as a
    // recursive walk would go: an inner node goes straight on to its first
    // child and leaves the second on the stack.
    const SweepSetup setup = prepareSweep(sphere, options);
    std::int32_t result = 0;
    NodeStack<VolumeNode> pending;
    VolumeNode* current = &node;
    while (current != nullptr) {
        if (queryCounters != nullptr) {
            ++queryCounters->boxTests;
        }
        if (sweepHitsBox(sphere, setup, current->box) == 0) {
            current = pending.empty() ? nullptr : pending.pop();
            continue;
        }
        if (current->left != nullptr) {
            if (current->right != nullptr) {
                // Visited after the first child's subtree: fetch it meanwhile,
                // as it usually lies far from its parent in a big tree.
                __builtin_prefetch(&current->right->box);
                pending.push(current->right);
            }
            current = current->left;
            continue;
        }
        if (testLeaf(scene, *current, sphere, setup, state)) {
            result = 1;
        }
        current = pending.empty() ? nullptr : pending.pop();
    }
    return result;
}

namespace {

// What a walk needs to skip boxes by time: the path's reciprocal per axis and
// how far beyond a box a contact with a triangle in it can place the centre.
struct BoxPruning {
    Vec3 inverseDisplacement;
    float reach = 0.0f;
};

// Whether the centre, on the path, stays outside bounds grown by reach until
// after state's nearest time plus the tolerance, so that no triangle under a
// node whose box holds its contacts (see COMPILED_INNER_LOOSE) can give a
// contact recordContact would keep. Per axis: the times the centre crosses
// the two grown face planes, both after that time; a sweep standing still
// on the axis gives infinities outside the slab, and on its plane a
// non-number, which never prunes.
bool boxTooLate(const CompiledNode& node, const SweptSphere& sphere, const BoxPruning& pruning,
                const ContactState& state) {
    const float late = state.nearestTime + SIMULTANEOUS_HIT_TOLERANCE + 1e-6f;
    const Vec3& s = sphere.position;
    const Vec3& inverse = pruning.inverseDisplacement;
    const float reach = pruning.reach;
    const float xLow = (node.boundsMin.x - reach - s.x) * inverse.x;
    const float xHigh = (node.boundsMax.x + reach - s.x) * inverse.x;
    const float yLow = (node.boundsMin.y - reach - s.y) * inverse.y;
    const float yHigh = (node.boundsMax.y + reach - s.y) * inverse.y;
    const float zLow = (node.boundsMin.z - reach - s.z) * inverse.z;
    const float zHigh = (node.boundsMax.z + reach - s.z) * inverse.z;
    return (xLow >= late && xHigh >= late) || (yLow >= late && yHigh >= late) ||
           (zLow >= late && zHigh >= late);
}

// The pruning values of one sweep. A stopped-short contact of the exact rule
// puts the centre within the radius and twice the tolerance (a face's is the
// tolerance off its plane, measured along an axis, on either side with
// two-sided faces; a contact at time 0 on a corner or an edge the sphere starts in
// lies within the radius) of a point of its triangle. Rounding gets twice a
// margin of 1e-4 of the radius, the tolerance and the largest coordinate of the
// sweep and the scene: a thousand times the rounding of the few float
// operations of the triangle tests and of boxTooLate, and ten times the slack
// the compile allows boxes and triangles. A non-number or infinity among the
// scene's coordinates makes the reach a non-number, and then nothing is
// skipped.
BoxPruning boxPruningFor(const CompiledTree& tree, const SweptSphere& sphere) {
    const Vec3& o = sphere.position;
    const Vec3& d = sphere.displacement;
    const float scale = std::max({std::fabs(o.x), std::fabs(o.y), std::fabs(o.z), std::fabs(d.x),
                                  std::fabs(d.y), std::fabs(d.z), tree.largestCoordinate});
    const float margin = 1e-4f * (sphere.radius + scale + collisionEpsilon) +
                         (tree.largestCoordinate - tree.largestCoordinate);
    return {Vec3(1.0f / d.x, 1.0f / d.y, 1.0f / d.z),
            sphere.radius + 2.0f * collisionEpsilon + 2.0f * margin};
}

// The walk of sweepNode over the compiled tree: the same nodes in the same
// order, each box by the same test on the same bounds, each triangle as the
// leaf would build it, so the same results bit for bit; reads only.
std::int32_t sweepCompiled(const CompiledTree& tree, const SweptSphere& sphere, ContactState& state,
                           SweepOptions options) {
    // The walk needs only the path's end; the rest of the setup (a square
    // root and divisions, a tenth of a short sweep's time on a small mesh)
    // waits for the first triangle, which most short sweeps never reach.
    SweepSetup setup;
    setup.end = sphere.position + sphere.displacement;
    bool setupDone = false;
    // Counting keeps every box and triangle test the plain walk makes.
    // Pruning needs a contact first, so its values wait for one.
    const bool prune = options.edges == EdgeRule::Exact && queryCounters == nullptr;
    BoxPruning boxPruning;
#if SWEEP_BOX_LANES
    const SweepLanes lanes = sweepLanes(sphere, setup.end);
#endif
    const CompiledNode* nodes = tree.nodes.data();
    std::int32_t result = 0;
    NodeStack<const CompiledNode> pending;
    const CompiledNode* current = nodes;
    while (current != nullptr) {
        if (queryCounters != nullptr) {
            ++queryCounters->boxTests;
        }
#if SWEEP_BOX_LANES
        const std::int32_t reached = sweepHitsBoundsLanes(lanes, *current);
#else
        const std::int32_t reached =
            sweepHitsBounds(sphere, setup, current->boundsMin, current->boundsMax);
#endif
        if (reached == 0) {
            current = pending.empty() ? nullptr : pending.pop();
            continue;
        }
        if (isCompiledInner(*current)) {
            if (prune && state.found != 0 && current->triangle == COMPILED_INNER &&
                boxTooLate(*current, sphere, boxPruning, state)) {
                current = pending.empty() ? nullptr : pending.pop();
                continue;
            }
            if (current->secondChild != 0) {
                __builtin_prefetch(nodes + current->secondChild);
                pending.push(nodes + current->secondChild);
            }
            ++current;
            continue;
        }
        if (queryCounters != nullptr) {
            ++queryCounters->leavesReached;
            queryCounters->triangleTests += current->triangle >= 0 ? 1 : 0;
        }
        const PreparedTriangle* triangle =
            current->triangle >= 0 ? &tree.triangles[current->secondChild] : nullptr;
        if (triangle != nullptr && !setupDone) {
            setup = prepareSweep(sphere, options);
            setupDone = true;
        }
        if (triangle != nullptr) {
            Vec3 normal = zeroVector;
            float time = 0.0f;
            if (sweepHitsTriangle(sphere, setup, *triangle, normal, time) != 0) {
                recordContact(state, current->triangle, normal, time);
                if (prune && result == 0) {
                    boxPruning = boxPruningFor(tree, sphere);
                }
                result = 1;
            }
        }
        current = pending.empty() ? nullptr : pending.pop();
    }
    return result;
}

}  // namespace

std::int32_t sweepQuery(CollisionMesh& scene, const SweptSphere& sphere, ContactState& state,
                        SweepOptions options) {
    state.nearestTime = std::numeric_limits<float>::infinity();
    state.found = 0;
    if (queryCounters != nullptr) {
        ++queryCounters->sweeps;
    }
    if (scene.compiled != nullptr) {
        return sweepCompiled(*scene.compiled, sphere, state, options);
    }
    if (scene.root == nullptr) {
        return 0;
    }
    return sweepNode(scene, *scene.root, sphere, state, options) != 0 ? 1 : 0;
}

std::int32_t sweepQuery(CollisionMesh& scene, const SweptSphere& sphere) {
    return sweepQuery(scene, sphere, contactState);
}

}  // namespace sweepview
