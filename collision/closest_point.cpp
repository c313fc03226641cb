#include "collision/closest_point.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "collision/clean_upper_state.h"
#include "collision/tree_walk.h"
#include "collision/triangle_closest_point.h"
#include "geometry/triangle.h"

namespace sweepview {

namespace {

// The nearest triangle so far, by squared distance and then index.
class NearestSearch {
public:
    NearestSearch(const Vec3& point, float maxDistance, bool frontOnly)
        : point_(point),
          maxDistance_(maxDistance),
          frontOnly_(frontOnly),
          limit_(maxDistance * maxDistance) {}

    // Takes the triangle (scene index index) when it is nearer than the best
    // so far, or as near with a smaller index, and within maxDistance.
    void consider(const PreparedTriangle& triangle, std::int32_t index) {
        if (frontOnly_ && dot(triangle.normal, point_ - triangle.corners[0]) < 0.0f) {
            return;  // behind (a non-number normal, of a triangle without area, is never)
        }
        const TrianglePoint nearest = closestPointOnTriangle(triangle, point_);
        const float squared = nearest.distanceSquared;
        if (!(squared <= bestSquared_) ||
            (best_.found && squared == bestSquared_ && index > best_.triangle)) {
            return;
        }
        const float distance = std::sqrt(squared);
        if (!(distance <= maxDistance_)) {
            return;
        }
        best_ = {true, nearest.point, index, nearest.feature, distance};
        bestSquared_ = squared;
        limit_ = squared;
    }

    // The squared distance beyond which no triangle can be taken: maxDistance
    // squared, then the best's.
    float limit() const { return limit_; }
    const Vec3& point() const { return point_; }
    const ClosestPoint& best() const { return best_; }

private:
    const Vec3 point_;
    const float maxDistance_;
    const bool frontOnly_;
    float limit_;
    float bestSquared_ = std::numeric_limits<float>::infinity();
    ClosestPoint best_;
};

// The squared distance from p to the slab [low, high] grown by margin on
// both sides; 0 inside, and for a non-number, so that it never prunes.
float gapSquared(float low, float high, float p, float margin) {
    float gap = low - margin - p;
    const float above = p - high - margin;
    if (above > gap) {
        gap = above;
    }
    return gap > 0.0f ? gap * gap : 0.0f;
}

// The squared distance from p to the box [low, high] grown by margin.
float boxDistanceSquared(const Vec3& low, const Vec3& high, const Vec3& p, float margin) {
    return gapSquared(low.x, high.x, p.x, margin) + gapSquared(low.y, high.y, p.y, margin) +
           gapSquared(low.z, high.z, p.z, margin);
}

// The search as a visitor of the compiled tree's walk, nearer child first so
// that near triangles bound it early. An inner box that holds its triangles
// (within the compile's allowance, a hundred-thousandth of the largest
// coordinate) is skipped when it lies further than the best so far, grown by
// a margin that covers that allowance and the rounding of the triangles'
// points (see pruningMargin), and so is a leaf's triangle whose corners' box
// does; a box with slack is grown by it (more than a nearest point, which
// lies on its triangle, needs); loose boxes are always entered, and leaves
// too, as nothing checks a leaf's own box against its triangle.
class ClosestPointVisitor {
public:
    ClosestPointVisitor(const CompiledTree& tree, NearestSearch& search)
        : tree_(tree), search_(search), margin_(pruningMargin(tree, search.point())) {}

    bool enterNode(const CompiledNode& node) const {
        float grow = margin_;
        if (node.triangle == COMPILED_INNER_SLACK) {
            grow += tree_.slack[static_cast<std::size_t>(&node - tree_.nodes.data())];
        } else if (node.triangle != COMPILED_INNER) {
            return true;
        }
        return !(boxDistanceSquared(node.boundsMin, node.boundsMax, search_.point(), grow) > search_.limit());
    }

    // By the distance to the children's boxes, and, when both are as near
    // (the point inside both), to their centres.
    bool secondFirst(const CompiledNode& node) const {
        const Vec3& p = search_.point();
        const CompiledNode& first =
            tree_.nodes[static_cast<std::size_t>(&node - tree_.nodes.data()) + 1];
        const CompiledNode& second = tree_.nodes[node.secondChild];
        const float toFirst = boxDistanceSquared(first.boundsMin, first.boundsMax, p, 0.0f);
        const float toSecond = boxDistanceSquared(second.boundsMin, second.boundsMax, p, 0.0f);
        if (toSecond != toFirst) {
            return toSecond < toFirst;
        }
        return lengthSquared((second.boundsMin + second.boundsMax) * 0.5f - p) <
               lengthSquared((first.boundsMin + first.boundsMax) * 0.5f - p);
    }

    void leaf(std::uint32_t prepared, std::int32_t sceneTriangle) {
        const PreparedTriangle& triangle = tree_.triangles[prepared];
        const Vec3* c = triangle.corners;
        const Vec3 low(std::min({c[0].x, c[1].x, c[2].x}), std::min({c[0].y, c[1].y, c[2].y}),
                       std::min({c[0].z, c[1].z, c[2].z}));
        const Vec3 high(std::max({c[0].x, c[1].x, c[2].x}), std::max({c[0].y, c[1].y, c[2].y}),
                        std::max({c[0].z, c[1].z, c[2].z}));
        if (!(boxDistanceSquared(low, high, search_.point(), margin_) > search_.limit())) {
            search_.consider(triangle, sceneTriangle);
        }
    }

private:
    // 0.002 of the scene's largest coordinate, plus 0.00001 of the point's:
    // a hundred times the compile's allowance, and more than the error of a
    // triangle's point (for the flattest triangles still taken as faces, a
    // tilt of their plane and a doubt about their edges of at most about
    // 0.00015 of their longest edge each, which is at most 3.5 times the
    // largest coordinate; some ulps for others), with the rounding of the
    // distances, which grows with the point's coordinates. A non-number or
    // infinite coordinate in the scene makes it one, and then nothing is
    // skipped.
    static float pruningMargin(const CompiledTree& tree, const Vec3& p) {
        const float largest = std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
        return 2e-3f * tree.largestCoordinate + 1e-5f * largest;
    }

    const CompiledTree& tree_;
    NearestSearch& search_;
    const float margin_;
};

bool validIndex(std::int32_t index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

// Every triangle of a scene without a compiled tree, prepared as the compile
// prepares them.
void searchEveryTriangle(const CollisionMesh& scene, NearestSearch& search) {
    const std::size_t vertexCount = scene.vertices.size();
    for (std::size_t i = 0; i < scene.triangles.size(); ++i) {
        const MeshTriangle& t = scene.triangles[i];
        if (!validIndex(t.vertex0, vertexCount) || !validIndex(t.vertex1, vertexCount) ||
            !validIndex(t.vertex2, vertexCount)) {
            continue;
        }
        Triangle triangle;
        triangle.init(scene.vertices[static_cast<std::size_t>(t.vertex0)],
                      scene.vertices[static_cast<std::size_t>(t.vertex1)],
                      scene.vertices[static_cast<std::size_t>(t.vertex2)]);
        search.consider(prepareTriangle(triangle), static_cast<std::int32_t>(i));
    }
}

}  // namespace

ClosestPoint closestPoint(const CollisionMesh& scene, Vec3 point, float maxDistance,
                          FaceSides sides) {
    cleanUpperState();
    if (!std::isfinite(point.x) || !std::isfinite(point.y) || !std::isfinite(point.z) ||
        !(maxDistance >= 0.0f)) {
        return {};
    }
    NearestSearch search(point, maxDistance, sides != FaceSides::Two);
    if (scene.compiled != nullptr) {
        ClosestPointVisitor visitor(*scene.compiled, search);
        walkTree(BinaryNodes(*scene.compiled), visitor);
    } else {
        searchEveryTriangle(scene, search);
    }
    return search.best();
}

ClosestPoint closestPoint(const CollisionMesh& scene, Vec3 point, float maxDistance) {
    return closestPoint(scene, point, maxDistance, FaceSides::Two);
}

}  // namespace sweepview
