#include "tools/dorn/build_command.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <thread>
#include <utility>

#include "scene/dorn_writer.h"
#include "scene/tree_builder.h"
#include "scene/tree_stats.h"
#include "tools/dorn/mesh_checks.h"
#include "tools/dorn/mesh_edit.h"
#include "tools/dorn/mesh_import.h"
#include "tools/dorn/progress_bar.h"
#include "tools/dorn/start_clearance.h"
#include "tools/dorn/wording.h"

namespace sweepview {

namespace {

// Meshes above this many triangles take about a second to build and write.
constexpr std::size_t LARGE_MESH = 1'000'000;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Warns on standard error when the viewer's start is not clear in scene, and
// suggests a --move along y that clears it: the model (the positions before
// the room's, which come last) wholly below the start, or above it, whichever
// is the shorter move and stays in the room; tried on the scene before it is
// suggested.
void warnAboutStart(CollisionMesh& scene, const MeshParts& parts, std::size_t modelVertices,
                    const BuildOptions& options) {
    const Clearance start = clearanceAt(scene, parts, toDouble(VIEWER_START));
    if (start.clearFor(VIEWER_RADIUS)) {
        return;
    }
    std::fprintf(stderr, "dorn build: warning: the viewer's start (0, 12.5, 0) with radius 2.5 %s",
                 start.solid() ? "lies in the mesh's solid" : "touches the mesh");
    float bottom = INFINITY;
    float top = -INFINITY;
    for (std::size_t v = 0; v < modelVertices; ++v) {
        bottom = std::fmin(bottom, scene.vertices[v].y);
        top = std::fmax(top, scene.vertices[v].y);
    }
    constexpr float MARGIN = 0.5f;
    float down = std::floor(VIEWER_START.y - VIEWER_RADIUS - MARGIN - top);
    float up = std::ceil(VIEWER_START.y + VIEWER_RADIUS + MARGIN - bottom);
    if (std::fabs(up) < std::fabs(down)) {
        std::swap(up, down);
    }
    const std::vector<Vec3> placed = scene.vertices;
    for (const float dy : {down, up}) {
        if (!std::isfinite(dy) || (options.room > 0 && (bottom + dy < -options.room || top + dy > options.room))) {
            continue;
        }
        for (std::size_t v = 0; v < modelVertices; ++v) {
            scene.vertices[v].y = placed[v].y + dy;
        }
        if (clearanceAt(scene, parts, toDouble(VIEWER_START)).clearFor(VIEWER_RADIUS)) {
            scene.vertices = placed;
            std::fprintf(stderr, "; --move %g,%g,%g clears it\n", options.move.x, options.move.y + dy,
                         options.move.z);
            return;
        }
    }
    scene.vertices = placed;
    std::fprintf(stderr, "; no --move 0,DY,0 clears it (see --fit, --room and --flip)\n");
}

// " (2.9 million triangles/s)", or nothing when the time is too short to
// measure a rate by.
std::string buildRate(std::size_t triangles, double seconds) {
    if (seconds < 1e-3) {
        return {};
    }
    char text[64];
    std::snprintf(text, sizeof text, " (%.3g million triangles/s)",
                  static_cast<double>(triangles) / seconds / 1e6);
    return text;
}

}  // namespace

int runBuild(const BuildOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& input : options.inputs) {  // all, before the first long import
        std::string why;
        if (!checkMeshInput(input, &why)) {
            std::cerr << "dorn build: " << why << '\n';
            return 1;
        }
    }
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
        std::cout << "Dropped " << countOf(dropped, "degenerate triangle", "degenerate triangles") << "\n";
    }
    if (options.orient) {
        const std::size_t turned = orientMesh(mesh);
        std::cout << "Turned " << countOf(turned, "triangle", "triangles") << " to agree with their neighbours\n";
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

    // What the audit finds without flying, and whether the viewer's sphere
    // starts clear, on the final mesh: on a thread of its own while the tree
    // is built and written, so a big mesh takes no longer; one point needs no tree.
    const std::size_t modelVertices = mesh.positions.size() - (options.room > 0.0f ? 8 : 0);
    CollisionMesh scene;
    scene.vertices = mesh.positions;
    scene.triangles = mesh.triangles;
    MeshChecks checks;
    MeshParts parts;
    std::jthread checking([&] {
        checks = checkMesh(scene);
        parts = findMeshParts(scene, checks);
    });

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
    std::printf("Wrote %s: %s, %s, %s\n", options.output.c_str(),
                countOf(mesh.triangles.size(), "triangle", "triangles").c_str(),
                countOf(mesh.positions.size(), "vertex", "vertices").c_str(),
                countOf(mesh.normals.size(), "normal", "normals").c_str());
    std::printf("Tree: %s, depth %zu, SAH cost %.2f, built in %s%s\n",
                countOf(stats.leaves, "leaf", "leaves").c_str(), stats.depth, stats.sahCost,
                durationText(buildSeconds).c_str(), buildRate(mesh.triangles.size(), buildSeconds).c_str());
    checking.join();
    std::printf("Checks: %zu boundary, %zu non-manifold, %s, %zu degenerate, %zu duplicate "
                "(dorn audit shows where)\n",
                checks.boundaryEdges.size(), checks.nonManifoldEdges.size(),
                countOf(checks.windingConflicts.size(), "winding conflict", "winding conflicts").c_str(),
                checks.degenerateTriangles.size(), checks.duplicateTriangles.size());
    std::fflush(stdout);  // before a warning on standard error
    warnAboutStart(scene, parts, modelVertices, options);
    std::printf("Done in %s\n", durationText(secondsSince(start)).c_str());
    return 0;
}

}  // namespace sweepview
