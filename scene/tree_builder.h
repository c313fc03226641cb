#pragma once

#include <functional>
#include <vector>

#include "scene/mesh_triangle.h"
#include "scene/preorder_tree.h"

namespace sweepview {

// Called now and then while a tree is built, with the share of triangles
// already placed in leaves, from 0 to 1.
using BuildProgress = std::function<void(double)>;

// Builds a volume tree over triangles, one triangle per leaf, top-down: each
// node is split where the surface area heuristic over 16 bins of the triangle
// centroids along their longest axis is cheapest; where no bin boundary
// separates the centroids, at the median along that axis (or in index order
// when they all coincide). Every box encloses the
// triangles below it exactly as the query computes its bounds (centre minus and
// plus half-extents, in float), so no contact is lost to rounding. Returns the
// nodes in pre-order; empty when there are no triangles. Triangle indices must
// be valid for vertices. Works without recursion.
[[nodiscard]] std::vector<PreorderNode> buildVolumeTree(const std::vector<Vec3>& vertices,
                                                        const std::vector<MeshTriangle>& triangles,
                                                        const BuildProgress& progress = {});

// Centre and half-extents of the box [min, max], rounded outwards so that
// centre - half <= min and centre + half >= max hold in float. Non-number
// bounds give non-number boxes.
void enclosingBox(const Vec3& min, const Vec3& max, Vec3& centre, Vec3& halfExtents);

}  // namespace sweepview
