#include "collision/sweep_query.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "collision/clean_upper_state.h"
#include "collision/contact_recording.h"
#include "collision/query_counters.h"
#include "collision/sweep_box.h"
#include "collision/sweep_nearest_first.h"
#include "collision/sweep_triangle.h"
#include "collision/sweep_visitor.h"
#include "collision/tree_walk.h"
#include "scene/node_stack.h"

namespace sweepview {

namespace {

// The leaf's triangle test, recorded into state; true on contact.
bool testLeaf(const CollisionMesh& scene, const VolumeNode& leaf, const SweptSphere& sphere,
              const SweepSetup& setup, ContactState& state, QueryCounters* stats) {
    if (stats != nullptr) {
        ++stats->leavesReached;
    }
    Triangle triangle;
    if (!leafTriangle(scene, leaf.triangle, triangle)) {
        return false;
    }
    Vec3 normal = zeroVector;
    float time = 0.0f;
    TriangleContact where;
    const bool hit = sweepHitsTriangle(sphere, setup, prepareTriangle(triangle), normal, time, &where) != 0;
    countTriangleTest(stats, hit, where.feature);
    if (!hit) {
        return false;
    }
    recordContact(state, leaf.triangle, normal, time, where);
    return true;
}

// The walk of the linked tree from node down, boxes by reachesBox: pre-order
// with an explicit stack, first child before second, as a recursive walk
// would go (an inner node goes straight on to its first child and leaves the
// second on the stack).
template <class Node, class ReachesBox>
std::int32_t walkLinked(const CollisionMesh& scene, Node& node, const SweptSphere& sphere, ContactState& state,
                        const SweepSetup& setup, QueryCounters* stats, ReachesBox reachesBox) {
    std::int32_t result = 0;
    NodeStack<Node> pending;
    Node* current = &node;
    while (current != nullptr) {
        if (stats != nullptr) {
            ++stats->boxTests;
        }
        if (!reachesBox(*current)) {
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
        if (testLeaf(scene, *current, sphere, setup, state, stats)) {
            result = 1;
        }
        current = pending.empty() ? nullptr : pending.pop();
    }
    return result;
}

}  // namespace

std::int32_t sweepNode(CollisionMesh& scene, VolumeNode& node, const SweptSphere& sphere,
                       ContactState& state, SweepOptions options) {
    const SweepSetup setup = prepareSweep(sphere, options);
    return walkLinked(scene, node, sphere, state, setup, options.stats,
                      [&](VolumeNode& box) { return sweepHitsBox(sphere, setup, box.box) != 0; });
}

std::int32_t sweepQuery(const CollisionMesh& scene, const SweptSphere& sphere, ContactState& state,
                        SweepOptions options) {
    cleanUpperState();
    state.nearestTime = std::numeric_limits<float>::infinity();
    state.found = 0;
    state.contacts.clear();
    if (options.stats != nullptr) {
        ++options.stats->sweeps;
    }
    if (scene.compiled != nullptr) {
        const CompiledTree& tree = *scene.compiled;
#if SWEEP_SSE_LANES
        const bool wideWalk = !tree.wide.empty() && isFinite(sphere.position) && isFinite(sphere.displacement) &&
                              std::isfinite(sphere.radius);
        // A step longer than the sphere's diameter: nearer boxes first skip
        // more than they cost (0.65 to 0.88 of the time on long sweeps over
        // 20,000 to 2 million triangles; on steps shorter than the radius up
        // to 1.5 times the time, as the boxes the sphere overlaps at the start
        // all have to be walked either way).
        const Vec3& d = sphere.displacement;
        const bool longStep = dot(d, d) > 4.0f * sphere.radius * sphere.radius;
        if (wideWalk && longStep && state.hitTriangles.empty()) {
            NearestFirstSweepVisitor visitor(tree, sphere, state, options);
            walkTree(WideNodes(tree), visitor);
            if (visitor.record()) {
                return visitor.result();
            }
        }
        if (wideWalk && tree.triangles.size() <= WIDE_TRIANGLE_LIMIT) {
            WideSweepVisitor visitor(tree, sphere, state, options);
            walkTree(WideNodes(tree), visitor);
            return visitor.result();
        }
#endif
        BinarySweepVisitor visitor(tree, sphere, state, options);
        walkTree(BinaryNodes(tree), visitor);
        return visitor.result();
    }
    if (scene.root == nullptr) {
        return 0;
    }
    // Without a compiled form the boxes' bounds are worked out as the cache
    // would hold them, by the same operations, so the scene is only read.
    const SweepSetup setup = prepareSweep(sphere, options);
    return walkLinked(scene, std::as_const(*scene.root), sphere, state, setup, options.stats, [&](const VolumeNode& node) {
        return sweepHitsBounds(sphere, setup, node.box.centre - node.box.halfExtents,
                               node.box.centre + node.box.halfExtents) != 0;
    });
}
}  // namespace sweepview
