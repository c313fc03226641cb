#include "tools/dorn/mesh_import.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <cstdint>

namespace {

Vec3 toVec3(const aiVector3D& v) { return Vec3(v.x, v.y, v.z); }

}  // namespace

bool importMesh(const std::string& path, MeshData& mesh, std::string* why) {
    Assimp::Importer importer;
    // Points and lines are of no use to a collision mesh.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    const aiScene* scene = importer.ReadFile(
        path, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices |
                  aiProcess_PreTransformVertices | aiProcess_SortByPType |
                  aiProcess_GenSmoothNormals | aiProcess_ValidateDataStructure);
    if (scene == nullptr) {
        *why = path + ": " + importer.GetErrorString();
        return false;
    }
    std::size_t added = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* source = scene->mMeshes[m];
        if ((source->mPrimitiveTypes & aiPrimitiveType_TRIANGLE) == 0) {
            continue;
        }
        const auto base = static_cast<std::int32_t>(mesh.positions.size());
        const auto normalBase = static_cast<std::int32_t>(mesh.normals.size());
        for (unsigned v = 0; v < source->mNumVertices; ++v) {
            mesh.positions.push_back(toVec3(source->mVertices[v]));
            if (source->HasNormals()) {
                mesh.normals.push_back(toVec3(source->mNormals[v]));
            }
        }
        for (unsigned f = 0; f < source->mNumFaces; ++f) {
            const aiFace& face = source->mFaces[f];
            if (face.mNumIndices != 3) {
                continue;
            }
            MeshTriangle t{};
            t.vertex0 = base + static_cast<std::int32_t>(face.mIndices[0]);
            t.vertex1 = base + static_cast<std::int32_t>(face.mIndices[1]);
            t.vertex2 = base + static_cast<std::int32_t>(face.mIndices[2]);
            const bool normals = source->HasNormals();
            t.aux0 = normals ? normalBase + static_cast<std::int32_t>(face.mIndices[0]) : -1;
            t.aux1 = normals ? normalBase + static_cast<std::int32_t>(face.mIndices[1]) : -1;
            t.aux2 = normals ? normalBase + static_cast<std::int32_t>(face.mIndices[2]) : -1;
            mesh.triangles.push_back(t);
            ++added;
        }
    }
    if (added == 0) {
        *why = path + ": no triangles in the file";
        return false;
    }
    return true;
}
