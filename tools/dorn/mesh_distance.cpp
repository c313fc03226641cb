#include "tools/dorn/mesh_distance.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "collision/closest_point.h"

namespace sweepview {

namespace {

using P = DoublePoint;


// The point of triangle abc nearest to p, by the regions of the triangle
// (Ericson, Real-Time Collision Detection, 5.1.5), and which feature holds it.
P closestOnTriangle(const P& p, const P& a, const P& b, const P& c, MeshFeature& feature) {
    feature = MeshFeature::Corner;
    const P ab = b - a, ac = c - a, ap = p - a;
    const double d1 = dotP(ab, ap), d2 = dotP(ac, ap);
    if (d1 <= 0 && d2 <= 0)
        return a;
    const P bp = p - b;
    const double d3 = dotP(ab, bp), d4 = dotP(ac, bp);
    if (d3 >= 0 && d4 <= d3)
        return b;
    feature = MeshFeature::Edge;
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0)
        return a + ab * (d1 / (d1 - d3));
    const P cp = p - c;
    const double d5 = dotP(ab, cp), d6 = dotP(ac, cp);
    if (d6 >= 0 && d5 <= d6) {
        feature = MeshFeature::Corner;
        return c;
    }
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0)
        return a + ac * (d2 / (d2 - d6));
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
        return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
    }
    const double denominator = va + vb + vc;
    feature = MeshFeature::Face;
    if (!(denominator > 0)) {  // no area: the nearest of the three edges' points
        feature = MeshFeature::Edge;
        P best = a;
        for (const auto& [from, to] : {std::pair{a, b}, {b, c}, {c, a}}) {
            const P edge = to - from;
            const double length2 = dotP(edge, edge);
            const double t =
                length2 > 0 ? std::clamp(dotP(p - from, edge) / length2, 0.0, 1.0) : 0.0;
            const P q = from + edge * t;
            if (dotP(q - p, q - p) < dotP(best - p, best - p))
                best = q;
        }
        return best;
    }
    return a + ab * (vb / denominator) + ac * (vc / denominator);
}

}  // namespace

MeshNearest nearestOnTriangle(const CollisionMesh& scene, std::int32_t triangle,
                              const DoublePoint& point) {
    MeshNearest nearest;
    nearest.distance = std::numeric_limits<double>::infinity();
    if (triangle < 0 || static_cast<std::size_t>(triangle) >= scene.triangles.size())
        return nearest;
    const MeshTriangle& t = scene.triangles[static_cast<std::size_t>(triangle)];
    nearest.point = closestOnTriangle(point, toDouble(scene.vertices[t.vertex0]),
                                      toDouble(scene.vertices[t.vertex1]),
                                      toDouble(scene.vertices[t.vertex2]), nearest.feature);
    nearest.distance = std::sqrt(dotP(nearest.point - point, nearest.point - point));
    nearest.triangle = triangle;
    return nearest;
}

MeshNearest nearestOnMesh(const CollisionMesh& scene, const DoublePoint& point) {
    // The library's float search picks the triangle; the distance is that
    // triangle's, measured again in double.
    const Vec3 near(static_cast<float>(point.x), static_cast<float>(point.y),
                    static_cast<float>(point.z));
    const ClosestPoint closest =
        closestPoint(scene, near, std::numeric_limits<float>::infinity());
    return nearestOnTriangle(scene, closest.found ? closest.triangle : -1, point);
}

double distanceToMesh(const CollisionMesh& scene, const DoublePoint& point) {
    return nearestOnMesh(scene, point).distance;
}

void sceneBounds(const CollisionMesh& scene, Vec3& min, Vec3& max) {
    min = max = scene.vertices.empty() ? Vec3() : scene.vertices[0];
    for (const Vec3& v : scene.vertices) {
        min = Vec3(std::fmin(min.x, v.x), std::fmin(min.y, v.y), std::fmin(min.z, v.z));
        max = Vec3(std::fmax(max.x, v.x), std::fmax(max.y, v.y), std::fmax(max.z, v.z));
    }
}

}  // namespace sweepview
