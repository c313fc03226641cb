#include "geometry/triangle.h"

namespace sweepview {

void Triangle::init(const Vec3& a, const Vec3& b, const Vec3& c) {
    corners[0] = a;
    corners[1] = b;
    corners[2] = c;
    normalValid = 0;
}

Vec3 Triangle::normal() {
    if (normalValid == 0) {
        // Newell's method: sums the edges' projected areas, which points the same
        // way as (V1 - V0) x (V2 - V0) and is robust for nearly degenerate input.
        Vec3 sum = zeroVector;
        for (int i = 0; i < 3; ++i) {
            const Vec3& p = corners[i];
            const Vec3& q = corners[(i + 1) % 3];
            sum.x += (p.y - q.y) * (p.z + q.z);
            sum.y += (p.z - q.z) * (p.x + q.x);
            sum.z += (p.x - q.x) * (p.y + q.y);
        }
        cachedNormal = sum.normalize();
        normalValid = 1;
    }
    return cachedNormal;
}

}  // namespace sweepview
