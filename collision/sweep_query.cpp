#include "collision/sweep_query.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "collision/contact_recording.h"
#include "collision/query_counters.h"
#include "collision/sweep_box.h"
#include "collision/sweep_box_lanes.h"
#include "collision/sweep_box_wide.h"
#include "collision/sweep_pruning.h"
#include "collision/sweep_triangle.h"
#include "geometry/collision_epsilon.h"
#include "scene/node_stack.h"

namespace sweepview {

namespace {

// A triangle test run, and the contact it reported, counted in stats.
void countTriangleTest(QueryCounters* stats, bool hit, const TriangleContact& where) {
    if (stats == nullptr) {
        return;
    }
    ++stats->triangleTests;
    if (hit) {
        ++(where.feature == ContactFeature::Face   ? stats->faceContacts
           : where.feature == ContactFeature::Edge ? stats->edgeContacts
                                                   : stats->cornerContacts);
    }
}

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
    countTriangleTest(stats, hit, where);
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

namespace {

// A leaf the compiled walk has reached, waiting for its triangle test. The
// walk goes on among the nodes while the memory brings the queued triangles
// (on the big trees most of a short sweep's time was spent waiting for them),
// then tests them in the order queued, so the contacts are recorded in the
// walk's order. Waiting only delays what a contact lets the walk skip, which
// leaves the result as it is: a skipped box holds only contacts recordContact
// would ignore, then and later, as the nearest time never grows.
struct QueuedLeaf {
    const PreparedTriangle* triangle;
    std::int32_t sceneTriangle;
};

// More waiting leaves spare no more waits but delay the skipping longer.
constexpr int QUEUED_LEAVES = 16;

// Asks for every cache line of a prepared triangle (108 bytes, 4-byte
// aligned: two or three lines).
void fetchTriangle(const PreparedTriangle* triangle) {
    const char* bytes = reinterpret_cast<const char*>(triangle);
    __builtin_prefetch(bytes);
    __builtin_prefetch(bytes + 64);
    __builtin_prefetch(bytes + sizeof(PreparedTriangle) - 1);
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
    // Pruning needs a contact first, so its values wait for one.
    QueryCounters* const stats = options.stats;
    bool pruning = false;
    float late = 0.0f;  // the nearest time plus the tolerance, once there is one
    BoxPruning boxPruning;
#if SWEEP_BOX_LANES
    const SweepLanes lanes = sweepLanes(sphere, setup.end);
#endif
    const CompiledNode* nodes = tree.nodes.data();
    const float behindLimit = behindStartLimit(tree, sphere);
    std::int32_t result = 0;
    NodeStack<const CompiledNode> pending;
    const CompiledNode* current = nodes;
    // Leaves reached wait here for their triangle tests, their triangles
    // fetched meanwhile (see QueuedLeaf), and are tested in the walk's order.
    QueuedLeaf queued[QUEUED_LEAVES];
    int queuedCount = 0;
    const auto testQueued = [&] {
        if (queuedCount != 0 && !setupDone) {
            setup = prepareSweep(sphere, options);
            setupDone = true;
        }
        for (int i = 0; i < queuedCount; ++i) {
            const PreparedTriangle& triangle = *queued[i].triangle;
            if (boxPruning.ahead && triangleAheadTooLate(triangle, sphere, boxPruning, late)) {
                continue;
            }
            Vec3 normal = zeroVector;
            float time = 0.0f;
            TriangleContact where;
            const bool hit = sweepHitsTriangle(sphere, setup, triangle, normal, time, &where) != 0;
            countTriangleTest(stats, hit, where);
            if (hit) {
                recordContact(state, queued[i].sceneTriangle, normal, time, where);
                late = state.nearestTime + SIMULTANEOUS_HIT_TOLERANCE + 1e-6f;
                if (result == 0) {
                    boxPruning = boxPruningFor(tree, sphere, setup);
                    pruning = boxPruning.any();
                }
                result = 1;
            }
        }
        queuedCount = 0;
    };
    while (current != nullptr) {
        if (stats != nullptr) {
            ++stats->boxTests;
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
            if (current->triangle == COMPILED_INNER &&
                (boxBehindStart(*current, sphere, behindLimit) ||
                 (pruning &&
                  ((boxPruning.ahead && boxAheadTooLate(*current, sphere, boxPruning, late)) ||
                   (boxPruning.ball && boxBeyondReach(*current, sphere, boxPruning, late)) ||
                   (boxPruning.slabs && boxTooLate(*current, sphere, boxPruning, state)))))) {
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
        if (stats != nullptr) {
            ++stats->leavesReached;
        }
        if (current->triangle >= 0) {
            const PreparedTriangle* triangle = &tree.triangles[current->secondChild];
            fetchTriangle(triangle);
            queued[queuedCount++] = {triangle, current->triangle};
            if (queuedCount == QUEUED_LEAVES) {
                testQueued();
            }
        }
        current = pending.empty() ? nullptr : pending.pop();
    }
    testQueued();
    return result;
}

#if SWEEP_WIDE_WALK

// Entries of the wide walk's stack: a wide node's index, or WIDE_LEAF and a
// prepared triangle. Balanced trees stay in the inline slots.
class WideStack {
public:
    bool empty() const { return size_ == 0; }
    void push(std::uint32_t entry) {
        if (size_ < INLINE_CAPACITY) {
            inline_[size_] = entry;
        } else {
            spill_.push_back(entry);
        }
        ++size_;
    }
    std::uint32_t pop() {
        --size_;
        if (size_ < INLINE_CAPACITY) {
            return inline_[size_];
        }
        const std::uint32_t entry = spill_.back();
        spill_.pop_back();
        return entry;
    }

private:
    static constexpr std::size_t INLINE_CAPACITY = 128;
    std::uint32_t inline_[INLINE_CAPACITY];
    std::vector<std::uint32_t> spill_;
    std::size_t size_ = 0;
};

bool isFinite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The compiled walk over the wide nodes, for a sweep of finite numbers: boxes
// by the quick test, the leaves it reaches in the compiled walk's order, and
// a leaf's contact kept only when the exact box test reaches the leaf and
// each of its ancestors, so the same contacts in the same order as the
// compiled walk: the same results bit for bit. Once a contact is known, a
// subtree whose box holds its contacts and that the sweep reaches only after
// the nearest time plus the tolerance is skipped, with either edge rule: its
// contacts could only be ignored.
std::int32_t sweepWide(const CompiledTree& tree, const SweptSphere& sphere, ContactState& state,
                       SweepOptions options) {
    SweepSetup setup;
    setup.end = sphere.position + sphere.displacement;
    bool setupDone = false;
    const Vec3& o = sphere.position;
    const Vec3& d = sphere.displacement;
    const float scale = std::max({std::fabs(o.x), std::fabs(o.y), std::fabs(o.z), std::fabs(d.x),
                                  std::fabs(d.y), std::fabs(d.z), tree.largestBound});
    const WideSweep sweep =
        wideSweep(sphere, 1e-4f * (std::fabs(sphere.radius) + scale + collisionEpsilon));
    const WideNode* nodes = tree.wide.data();
    const float behindLimit = behindStartLimit(tree, sphere);
    const bool behindOn = behindLimit == behindLimit;
    BoxPruning pruning;
    bool pruneOn = false;
    float late = 0.0f;
    std::int32_t result = 0;
    // Nodes whose exact test passed, by their low bits: contacts of one sweep
    // share most of their ancestors. Filled from the first contact on.
    constexpr std::uint32_t MEMO = 64;
    std::uint32_t passed[MEMO];
    bool memoReady = false;
    const auto reachedExactly = [&](std::uint32_t node) {
        if (!memoReady) {
            std::fill(passed, passed + MEMO, WIDE_EMPTY);
            memoReady = true;
        }
        const SweepLanes lanes = sweepLanes(sphere, setup.end);
        for (;; node = tree.parents[node]) {
            std::uint32_t& memo = passed[node % MEMO];
            if (memo == node) {
                return true;
            }
            if (sweepHitsBoundsLanes(lanes, tree.nodes[node]) == 0) {
                return false;
            }
            memo = node;
            if (node == 0) {
                return true;
            }
        }
    };
    QueryCounters* const stats = options.stats;
    const auto testLeaf = [&](std::uint32_t prepared) {
        if (stats != nullptr) {
            ++stats->leavesReached;
        }
        // Should the triangle report a contact, the leaf's exact box test
        // reads its node: fetched while the triangle is tested.
        const std::uint32_t leafNode = tree.leafNodes[prepared];
        __builtin_prefetch(&tree.nodes[leafNode]);
        __builtin_prefetch(&tree.nodes[tree.parents[leafNode]]);
        if (!setupDone) {
            setup = prepareSweep(sphere, options);
            setupDone = true;
        }
        if (pruning.ahead && triangleAheadTooLate(tree.triangles[prepared], sphere, pruning, late)) {
            return;
        }
        Vec3 normal = zeroVector;
        float time = 0.0f;
        TriangleContact where;
        const bool hit = sweepHitsTriangle(sphere, setup, tree.triangles[prepared], normal, time, &where) != 0;
        countTriangleTest(stats, hit, where);
        if (!hit || !reachedExactly(leafNode)) {
            return;
        }
        recordContact(state, tree.leafTriangles[prepared], normal, time, where);
        if (result == 0) {
            pruning = boxPruningFor(tree, sphere, setup);
            pruneOn = pruning.any();
        }
        late = state.nearestTime + SIMULTANEOUS_HIT_TOLERANCE + 1e-6f;
        result = 1;
    };
    WideStack pending;
    std::uint32_t current = 0;
    for (;;) {
        const WideNode& node = nodes[current];
        if (stats != nullptr) {
            stats->boxTests += static_cast<std::uint64_t>(__builtin_popcount(static_cast<unsigned>(node.used)));
        }
        int reached = sweepMayReachBoxes(sweep, node.slotMin, node.slotMax) & node.used;
        if (behindOn && (reached & node.prunable) != 0) {
            reached &= ~(boxesBehindStart(node, sphere, behindLimit) & node.prunable);
        }
        if (pruneOn && (reached & node.prunable) != 0) {
            reached &= ~(boxesTooLate(node, sphere, pruning, late) &
                       node.prunable);
        }
        // Leaves before the first inner slot are tested at once; from that
        // slot on, the rest wait on the stack, last first.
        bool descended = false;
        while (reached != 0) {
            const int lane = __builtin_ctz(static_cast<unsigned>(reached));
            reached &= reached - 1;
            const std::uint32_t slot = node.slot[lane];
            if ((slot & WIDE_LEAF) != 0) {
                testLeaf(slot & ~WIDE_LEAF);
                continue;
            }
            for (int rest = reached; rest != 0;) {
                const int last = 31 - __builtin_clz(static_cast<unsigned>(rest));
                rest &= ~(1 << last);
                const std::uint32_t entry = node.slot[last];
                if ((entry & WIDE_LEAF) == 0) {
                    __builtin_prefetch(nodes + entry);
                }
                pending.push(entry);
            }
            current = slot;
            descended = true;
            break;
        }
        if (descended) {
            continue;
        }
        for (;;) {
            if (pending.empty()) {
                return result;
            }
            const std::uint32_t entry = pending.pop();
            if ((entry & WIDE_LEAF) == 0) {
                current = entry;
                break;
            }
            testLeaf(entry & ~WIDE_LEAF);
        }
    }
}

#endif

}  // namespace

std::int32_t sweepQuery(const CollisionMesh& scene, const SweptSphere& sphere, ContactState& state,
                        SweepOptions options) {
    state.nearestTime = std::numeric_limits<float>::infinity();
    state.found = 0;
    state.contacts.clear();
    if (options.stats != nullptr) {
        ++options.stats->sweeps;
    }
    if (scene.compiled != nullptr) {
#if SWEEP_WIDE_WALK
        if (!scene.compiled->wide.empty() && isFinite(sphere.position) && isFinite(sphere.displacement) &&
            std::isfinite(sphere.radius)) {
            return sweepWide(*scene.compiled, sphere, state, options);
        }
#endif
        return sweepCompiled(*scene.compiled, sphere, state, options);
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
