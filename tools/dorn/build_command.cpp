#include "tools/dorn/build_command.h"

#include <chrono>
#include <cstdio>
#include <iostream>

#include "scene/dorn_writer.h"
#include "scene/tree_builder.h"
#include "scene/tree_stats.h"
#include "tools/dorn/mesh_edit.h"
#include "tools/dorn/mesh_import.h"
#include "tools/dorn/progress_bar.h"

namespace sweepview {

namespace {

// Meshes above this many triangles take about a second to build and write.
constexpr std::size_t LARGE_MESH = 1'000'000;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int runBuild(const BuildOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    MeshData mesh;
    for (const std::string& input : options.inputs) {
        std::string why;
        if (!importMesh(input, mesh, &why)) {
            std::cerr << "dorn build: " << why << '\n';
            return 1;
        }
    }
    weldVertices(mesh);
    if (options.scale != 1.0f) {
        scaleMesh(mesh, options.scale);
    }
    if (options.center) {
        centerMesh(mesh);
    }
    if (options.fit > 0.0f) {
        fitMesh(mesh, options.fit);
    }
    if (!(options.move == Vec3())) {
        moveMesh(mesh, options.move);
    }
    if (options.flip) {
        flipMesh(mesh);
    }
    if (options.dropDegenerate) {
        const std::size_t dropped = dropDegenerate(mesh);
        std::cout << "Dropped " << dropped << " degenerate triangles\n";
    }
    if (options.room > 0.0f) {
        Vec3 min;
        Vec3 max;
        if (meshBounds(mesh, min, max) &&
            !(min.x >= -options.room && min.y >= -options.room && min.z >= -options.room &&
              max.x <= options.room && max.y <= options.room && max.z <= options.room)) {
            std::cerr << "dorn build: warning: the mesh reaches outside the room of size "
                      << options.room << "; use --center and --fit to bring it inside\n";
        }
        addRoom(mesh, options.room);
    }
    if (mesh.triangles.empty()) {
        std::cerr << "dorn build: no triangles left to build a scene from\n";
        return 1;
    }
    if (!options.normals) {
        mesh.normals.clear();
        for (MeshTriangle& t : mesh.triangles) {
            t.aux0 = t.aux1 = t.aux2 = -1;
        }
    }

    const auto buildStart = std::chrono::steady_clock::now();
    std::vector<PreorderNode> tree;
    {
        ProgressBar bar("Building tree", mesh.triangles.size() >= LARGE_MESH);
        tree = buildVolumeTree(mesh.positions, mesh.triangles,
                               [&](double share) { bar.update(share); });
    }
    const double buildSeconds = secondsSince(buildStart);
    std::string why;
    if (saveDornFile(options.output, mesh.positions, mesh.normals, mesh.triangles, tree, &why) ==
        0) {
        std::cerr << "dorn build: " << why << '\n';
        return 1;
    }
    const TreeStats stats = measureTree(mesh.positions, mesh.triangles, tree);
    std::printf("Wrote %s: %zu triangles, %zu vertices, %zu normals\n", options.output.c_str(),
                mesh.triangles.size(), mesh.positions.size(), mesh.normals.size());
    std::printf(
        "Tree: %zu leaves, depth %zu, SAH cost %.2f, built in %.3f s (%.2f million triangles/s)\n",
        stats.leaves, stats.depth, stats.sahCost, buildSeconds,
        static_cast<double>(mesh.triangles.size()) / buildSeconds / 1e6);
    std::printf("Done in %.3f s\n", secondsSince(start));
    return 0;
}

}  // namespace sweepview
