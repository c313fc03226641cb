#include "collision/sweep_query.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "collision/query_counters.h"
#include "collision/sweep_box.h"
#include "collision/sweep_box_lanes.h"
#include "collision/sweep_box_wide.h"
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
    // The along-path bound (boxAheadTooLate): the step's length, and how far
    // back along the path from the nearest point of a box a contact with a
    // triangle in it can place the centre; a non-number when it cannot be
    // used.
    float stepLength = 0.0f;
    float aheadReach = 0.0f;
    // Which bounds pay for their tests on this sweep (see boxPruningFor).
    bool slabs = false;
    bool ahead = false;
    bool ball = false;

    bool any() const { return slabs || ahead || ball; }
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

// How far along the displacement (in units of its squared length) a box or
// triangle must lie to hold only contacts after late: the step's length times
// the distance the centre travels by late plus the reach. A non-number when it
// cannot be used, or when it overflows: a distance that overflows too would
// compare as equal to it.
float aheadLimit(const BoxPruning& pruning, float late) {
    const float length = pruning.stepLength;
    const float limit = length * (late * length + pruning.aheadReach);
    return limit <= std::numeric_limits<float>::max() ? limit
                                                       : std::numeric_limits<float>::quiet_NaN();
}

// Whether every point of the node's box lies so far ahead along the path
// that a contact with a triangle under it comes after state's nearest time
// plus the tolerance. Every contact puts the centre at most the reach behind
// a point of its triangle, measured along the path, whatever its distance
// sideways: a face's or corner's lies within the radius; the viewer's edge
// rule meets the edge where the shifted path, moved forwards by at most the
// radius, comes closest to the edge's line, and the line joining two closest
// points is square to the path. So the viewer's rule, whose contacts can lie
// ten radii off the edge sideways, is bounded here by one radius.
bool boxAheadTooLate(const CompiledNode& node, const SweptSphere& sphere,
                     const BoxPruning& pruning, float late) {
    const Vec3& s = sphere.position;
    const Vec3& d = sphere.displacement;
    const float ahead = std::min((node.boundsMin.x - s.x) * d.x, (node.boundsMax.x - s.x) * d.x) +
                        std::min((node.boundsMin.y - s.y) * d.y, (node.boundsMax.y - s.y) * d.y) +
                        std::min((node.boundsMin.z - s.z) * d.z, (node.boundsMax.z - s.z) * d.z);
    return ahead >= aheadLimit(pruning, late);
}

// The squared distance from the start beyond which a box holds only contacts
// after late (boxBeyondReach); a non-number where it overflows, as in
// aheadLimit.
float beyondReachLimit(const BoxPruning& pruning, float late) {
    const float reach = late * pruning.stepLength + pruning.aheadReach;
    const float limit = reach * reach;
    return limit <= std::numeric_limits<float>::max() ? limit
                                                       : std::numeric_limits<float>::quiet_NaN();
}

// Whether every point of the node's box lies further from the centre's start
// than the centre travels by late plus the reach: with the exact rule every
// contact puts the centre within the reach of a point of its triangle (not so
// the viewer's slanted edge test), so such a box holds only contacts after
// late.
bool boxBeyondReach(const CompiledNode& node, const SweptSphere& sphere, const BoxPruning& pruning,
                    float late) {
    const Vec3& s = sphere.position;
    const float dx = std::max({node.boundsMin.x - s.x, s.x - node.boundsMax.x, 0.0f});
    const float dy = std::max({node.boundsMin.y - s.y, s.y - node.boundsMax.y, 0.0f});
    const float dz = std::max({node.boundsMin.z - s.z, s.z - node.boundsMax.z, 0.0f});
    return dx * dx + dy * dy + dz * dz >= beyondReachLimit(pruning, late);
}

// The rounding margin of the bounds that skip boxes: 1e-4 of the radius, the
// tolerance and the largest coordinate of the sweep and the scene, a thousand
// times the rounding of the few float operations of the triangle tests and of
// the bounds, and ten times the slack the compile allows boxes and triangles.
// A non-number or infinity among the scene's coordinates makes it a
// non-number, and then nothing is skipped.
float pruningMargin(const CompiledTree& tree, const SweptSphere& sphere) {
    const Vec3& o = sphere.position;
    const Vec3& d = sphere.displacement;
    const float scale = std::max({std::fabs(o.x), std::fabs(o.y), std::fabs(o.z), std::fabs(d.x),
                                  std::fabs(d.y), std::fabs(d.z), tree.largestCoordinate});
    return 1e-4f * (sphere.radius + scale + collisionEpsilon) +
           (tree.largestCoordinate - tree.largestCoordinate);
}

// The limit for boxBehindStart, in units of the step's length as the
// projections there are: a contact's point on its triangle (a face's point of
// entry, the point on an edge, a corner) never lies behind the plane through
// the start square to the step, since every test meets a feature the sphere
// moves towards, and rounding moves it by far less than the pruning's margin
// (which also covers the compile's allowance for a box holding its
// triangles). A non-number, which never prunes, for a step of no length or
// one too long to measure.
float behindStartLimit(const CompiledTree& tree, const SweptSphere& sphere) {
    const Vec3& d = sphere.displacement;
    const float limit = -2.0f * pruningMargin(tree, sphere) * std::sqrt(dot(d, d));
    return limit < 0.0f && limit >= -std::numeric_limits<float>::max()
               ? limit
               : std::numeric_limits<float>::quiet_NaN();
}

// Whether every point of the node's box lies behind the plane through the
// start square to the step by more than the margin of behindStartLimit, so
// that no triangle under a node whose box holds its contacts can give one:
// those boxes are reached only because they overlap the sphere's start. Needs
// no contact, so it prunes from the first box on; a projection that
// overflows never prunes.
bool boxBehindStart(const CompiledNode& node, const SweptSphere& sphere, float limit) {
    const Vec3& s = sphere.position;
    const Vec3& d = sphere.displacement;
    const float far = std::max((node.boundsMin.x - s.x) * d.x, (node.boundsMax.x - s.x) * d.x) +
                      std::max((node.boundsMin.y - s.y) * d.y, (node.boundsMax.y - s.y) * d.y) +
                      std::max((node.boundsMin.z - s.z) * d.z, (node.boundsMax.z - s.z) * d.z);
    return far < limit && far >= -std::numeric_limits<float>::max();
}

// boxAheadTooLate for one triangle, by its corners.
bool triangleAheadTooLate(const PreparedTriangle& triangle, const SweptSphere& sphere,
                          const BoxPruning& pruning, float late) {
    const Vec3& s = sphere.position;
    const Vec3& d = sphere.displacement;
    const Vec3* c = triangle.corners;
    const float ahead = std::min({dot(c[0] - s, d), dot(c[1] - s, d), dot(c[2] - s, d)});
    return ahead >= aheadLimit(pruning, late);
}

// The pruning values of one sweep. A stopped-short contact of the exact rule
// puts the centre within the radius and twice the tolerance (a face's is the
// tolerance off its plane, measured along an axis, on either side with
// two-sided faces; a contact at time 0 on a corner or an edge the sphere starts in
// lies within the radius) of a point of its triangle. Rounding gets twice
// pruningMargin.
BoxPruning boxPruningFor(const CompiledTree& tree, const SweptSphere& sphere,
                         const SweepSetup& setup) {
    const EdgeRule edges = setup.edgeRule;
    const Vec3& d = sphere.displacement;
    const float margin = pruningMargin(tree, sphere);
    // The viewer's edge rule meets the path, shifted by the radius, with the
    // edge's line where their closest approach may lie up to (1 / |m x e| - |m
    // x e|) radii apart (m, e the unit directions, |m x e| at least 0.1 where
    // the edge test runs), so its contact centre can be 10.9 radii from the
    // edge; 12 covers that and the rounding of the cross product's bound.
    const float radii = edges == EdgeRule::Exact ? 1.0f : 12.0f;
    BoxPruning pruning;
    pruning.inverseDisplacement = Vec3(1.0f / d.x, 1.0f / d.y, 1.0f / d.z);
    pruning.reach = radii * sphere.radius + 2.0f * collisionEpsilon + 2.0f * margin;
    // A face's contact is judged inside on the point stopped short, which lies
    // up to twice the tolerance off the plane point below it. No bound for a
    // step of no length or of infinite length (whose contacts all come at 0).
    pruning.stepLength = setup.stepLength;
    const bool finiteStep =
        pruning.stepLength > 0.0f && pruning.stepLength <= std::numeric_limits<float>::max();
    pruning.aheadReach = finiteStep ? sphere.radius + 4.0f * collisionEpsilon + 2.0f * margin
                                    : std::numeric_limits<float>::quiet_NaN();
    // The slab test always with the exact rule; with the viewer's, whose reach
    // is twelve radii, and the along-path bound, only on a step more than
    // twice as long as their reach: on shorter ones they skipped little and
    // cost up to a tenth. The bound around the start holds for the exact rule
    // alone.
    const bool exact = edges == EdgeRule::Exact;
    pruning.slabs = exact || 2.0f * pruning.reach < setup.stepLength;
    pruning.ahead = 2.0f * pruning.aheadReach < pruning.stepLength;
    pruning.ball = exact;
    return pruning;
}

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
    // Counting keeps every box and triangle test the plain walk makes.
    // Pruning needs a contact first, so its values wait for one.
    const bool prune = queryCounters == nullptr;
    bool pruning = false;
    float late = 0.0f;  // the nearest time plus the tolerance, once there is one
    BoxPruning boxPruning;
#if SWEEP_BOX_LANES
    const SweepLanes lanes = sweepLanes(sphere, setup.end);
#endif
    const CompiledNode* nodes = tree.nodes.data();
    const float behindLimit = prune ? behindStartLimit(tree, sphere)
                                    : std::numeric_limits<float>::quiet_NaN();
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
            if (sweepHitsTriangle(sphere, setup, triangle, normal, time) != 0) {
                recordContact(state, queued[i].sceneTriangle, normal, time);
                late = state.nearestTime + SIMULTANEOUS_HIT_TOLERANCE + 1e-6f;
                if (prune && result == 0) {
                    boxPruning = boxPruningFor(tree, sphere, setup);
                    pruning = boxPruning.any();
                }
                result = 1;
            }
        }
        queuedCount = 0;
    };
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
        if (queryCounters != nullptr) {
            ++queryCounters->leavesReached;
            queryCounters->triangleTests += current->triangle >= 0 ? 1 : 0;
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

// Per lane, how far along the step the nearest and the farthest point of each
// of four boxes lie from the start, in units of the step's length, summed
// axis by axis as boxAheadTooLate and boxBehindStart sum them.
struct StepExtent {
    __m128 nearest;
    __m128 farthest;
};

StepExtent stepExtent(const WideNode& node, const SweptSphere& sphere) {
    const float start[3] = {sphere.position.x, sphere.position.y, sphere.position.z};
    const float step[3] = {sphere.displacement.x, sphere.displacement.y, sphere.displacement.z};
    StepExtent extent{_mm_setzero_ps(), _mm_setzero_ps()};
    for (int axis = 0; axis < 3; ++axis) {
        const __m128 s = _mm_set1_ps(start[axis]);
        const __m128 d = _mm_set1_ps(step[axis]);
        const __m128 low = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.slotMin[axis]), s), d);
        const __m128 high = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.slotMax[axis]), s), d);
        extent.nearest = _mm_add_ps(extent.nearest, _mm_min_ps(low, high));
        extent.farthest = _mm_add_ps(extent.farthest, _mm_max_ps(low, high));
    }
    return extent;
}

// Lanes of the boxes among four whose contacts all come too late to be kept
// (lane by lane: boxAheadTooLate, boxBeyondReach and boxTooLate, each where
// the sweep's pruning asks for it).
int boxesTooLate(const WideNode& node, const SweptSphere& sphere, const BoxPruning& pruning,
                 float late) {
    const float start[3] = {sphere.position.x, sphere.position.y, sphere.position.z};
    __m128 tooLate = _mm_setzero_ps();
    if (pruning.ahead) {
        tooLate = _mm_cmpge_ps(stepExtent(node, sphere).nearest,
                               _mm_set1_ps(aheadLimit(pruning, late)));
    }
    if (pruning.ball) {
        __m128 distanceSquared = _mm_setzero_ps();
        for (int axis = 0; axis < 3; ++axis) {
            const __m128 s = _mm_set1_ps(start[axis]);
            const __m128 outside =
                _mm_max_ps(_mm_max_ps(_mm_sub_ps(_mm_load_ps(node.slotMin[axis]), s),
                                      _mm_sub_ps(s, _mm_load_ps(node.slotMax[axis]))),
                           _mm_setzero_ps());
            distanceSquared = _mm_add_ps(distanceSquared, _mm_mul_ps(outside, outside));
        }
        tooLate = _mm_or_ps(tooLate, _mm_cmpge_ps(distanceSquared,
                                                  _mm_set1_ps(beyondReachLimit(pruning, late))));
    }
    if (!pruning.slabs) {
        return _mm_movemask_ps(tooLate);
    }
    const Vec3& v = pruning.inverseDisplacement;
    const float inverse[3] = {v.x, v.y, v.z};
    const __m128 reach = _mm_set1_ps(pruning.reach);
    const __m128 lateLanes = _mm_set1_ps(late);
    for (int axis = 0; axis < 3; ++axis) {
        const __m128 s = _mm_set1_ps(start[axis]);
        const __m128 scale = _mm_set1_ps(inverse[axis]);
        const __m128 low =
            _mm_mul_ps(_mm_sub_ps(_mm_sub_ps(_mm_load_ps(node.slotMin[axis]), reach), s), scale);
        const __m128 high =
            _mm_mul_ps(_mm_sub_ps(_mm_add_ps(_mm_load_ps(node.slotMax[axis]), reach), s), scale);
        tooLate = _mm_or_ps(tooLate,
                            _mm_and_ps(_mm_cmpge_ps(low, lateLanes), _mm_cmpge_ps(high, lateLanes)));
    }
    return _mm_movemask_ps(tooLate);
}

// Lanes of the boxes among four that boxBehindStart would skip.
int boxesBehindStart(const WideNode& node, const SweptSphere& sphere, float limit) {
    const __m128 far = stepExtent(node, sphere).farthest;
    const __m128 finite = _mm_cmpge_ps(far, _mm_set1_ps(-std::numeric_limits<float>::max()));
    return _mm_movemask_ps(_mm_and_ps(_mm_cmplt_ps(far, _mm_set1_ps(limit)), finite));
}

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
    const auto testLeaf = [&](std::uint32_t prepared) {
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
        if (sweepHitsTriangle(sphere, setup, tree.triangles[prepared], normal, time) == 0 ||
            !reachedExactly(leafNode)) {
            return;
        }
        recordContact(state, tree.leafTriangles[prepared], normal, time);
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

std::int32_t sweepQuery(CollisionMesh& scene, const SweptSphere& sphere, ContactState& state,
                        SweepOptions options) {
    state.nearestTime = std::numeric_limits<float>::infinity();
    state.found = 0;
    if (queryCounters != nullptr) {
        ++queryCounters->sweeps;
    }
    if (scene.compiled != nullptr) {
#if SWEEP_WIDE_WALK
        if (!scene.compiled->wide.empty() && queryCounters == nullptr &&
            isFinite(sphere.position) && isFinite(sphere.displacement) &&
            std::isfinite(sphere.radius)) {
            return sweepWide(*scene.compiled, sphere, state, options);
        }
#endif
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
