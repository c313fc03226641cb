#include "scene/scene_builder.h"

#include "scene/tree_builder.h"

namespace sweepview {

std::unique_ptr<CollisionMesh> buildCollisionMesh(std::vector<Vec3> vertices,
                                                  std::vector<MeshTriangle> triangles,
                                                  std::string* whyRefused) {
    const auto count = static_cast<std::int64_t>(vertices.size());
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        for (const std::int32_t v : {triangles[i].vertex0, triangles[i].vertex1,
                                     triangles[i].vertex2}) {
            if (v < 0 || v >= count) {
                if (whyRefused != nullptr) {
                    *whyRefused = "triangle " + std::to_string(i) + " names vertex " +
                                  std::to_string(v) + " of " + std::to_string(count);
                }
                return nullptr;
            }
        }
    }
    auto scene = std::make_unique<CollisionMesh>();
    scene->vertices = std::move(vertices);
    scene->triangles = std::move(triangles);
    if (!scene->triangles.empty()) {
        scene->root =
            linkTreeInPool(buildVolumeTree(scene->vertices, scene->triangles), scene->nodePool);
        compileScene(*scene);
    }
    return scene;
}

}  // namespace sweepview
