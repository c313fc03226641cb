#include "tools/dorn/info_command.h"

#include <cstdio>
#include <iostream>

#include "scene/dorn_reader.h"
#include "scene/tree_stats.h"

namespace sweepview {

int runInfo(const std::string& file, bool strict) {
    std::string why;
    const auto scene = loadDornFile(file, &why);
    if (scene == nullptr) {
        std::cerr << "dorn info: " << why << '\n';
        return 1;
    }
    const std::vector<PreorderNode> tree = flattenTree(*scene->root);
    const TreeStats s = measureTree(scene->vertices, scene->triangles, tree);
    std::printf("file: %s\n", file.c_str());
    std::printf("vertices: %zu\n", scene->vertices.size());
    std::printf("auxiliary vectors: %zu\n", scene->auxVectors.size());
    std::printf("triangles: %zu\n", scene->triangles.size());
    std::printf("bounds: (%g, %g, %g) to (%g, %g, %g)\n", s.boundsMin.x, s.boundsMin.y,
                s.boundsMin.z, s.boundsMax.x, s.boundsMax.y, s.boundsMax.z);
    std::printf("nodes: %zu (%zu inner, %zu leaves)\n", s.nodes, s.nodes - s.leaves, s.leaves);
    std::printf("depth: %zu\n", s.depth);
    std::printf("SAH cost: %.2f\n", s.sahCost);
    std::printf("degenerate triangles: %zu\n", s.degenerateTriangles);
    std::printf("triangles named by no leaf: %zu\n", s.unnamedTriangles);
    std::printf("triangles named by several leaves: %zu\n", s.multiplyNamedTriangles);
    std::printf("boxes not enclosing their subtree: %zu\n", s.nonEnclosingBoxes);
    if (s.nonEnclosingBoxes > 0) {
        std::cerr << "dorn info: warning: "
                  << (s.nonEnclosingBoxes == 1 ? "1 box does not enclose the triangles below it"
                                               : std::to_string(s.nonEnclosingBoxes) +
                                                     " boxes do not enclose the triangles below them")
                  << "; the query can miss contacts there\n";
        if (strict) {
            return 1;
        }
    }
    return 0;
}

}  // namespace sweepview
