#include "tools/dorn/mesh_import.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <cmath>
#include <cstdint>
#include <vector>

namespace sweepview {

namespace {

Vec3 toVec3(const aiVector3D& v) { return Vec3(v.x, v.y, v.z); }

// Smooth normals for a mesh without any: each vertex gets the sum of its
// triangles' unnormalised normals (weighted by area), normalised. A vertex of
// no proper triangle gets (0, 0, 0).
std::vector<Vec3> smoothNormals(const aiMesh& source) {
    std::vector<Vec3> normals(source.mNumVertices);
    for (unsigned f = 0; f < source.mNumFaces; ++f) {
        const aiFace& face = source.mFaces[f];
        if (face.mNumIndices != 3) {
            continue;
        }
        const Vec3 a = toVec3(source.mVertices[face.mIndices[0]]);
        const Vec3 b = toVec3(source.mVertices[face.mIndices[1]]);
        const Vec3 c = toVec3(source.mVertices[face.mIndices[2]]);
        const Vec3 n = cross(b - a, c - a);
        for (int k = 0; k < 3; ++k) {
            normals[face.mIndices[k]] += n;
        }
    }
    for (Vec3& n : normals) {
        const float length2 = lengthSquared(n);
        n = length2 > 0.0f && std::isfinite(length2) ? normalized(n) : Vec3();
    }
    return normals;
}

}  // namespace

bool importMesh(const std::string& path, MeshData& mesh, std::string* why) {
    Assimp::Importer importer;
    // Points and lines are of no use to a collision mesh. Vertices are joined
    // and missing normals computed here rather than by Assimp, whose versions
    // of both take several times the memory of the mesh.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE,
                                aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    const aiScene* scene =
        importer.ReadFile(path, aiProcess_Triangulate | aiProcess_PreTransformVertices |
                                    aiProcess_SortByPType | aiProcess_ValidateDataStructure);
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
        }
        if (source->HasNormals()) {
            for (unsigned v = 0; v < source->mNumVertices; ++v) {
                mesh.normals.push_back(toVec3(source->mNormals[v]));
            }
        } else {
            const std::vector<Vec3> computed = smoothNormals(*source);
            mesh.normals.insert(mesh.normals.end(), computed.begin(), computed.end());
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
            t.aux0 = normalBase + static_cast<std::int32_t>(face.mIndices[0]);
            t.aux1 = normalBase + static_cast<std::int32_t>(face.mIndices[1]);
            t.aux2 = normalBase + static_cast<std::int32_t>(face.mIndices[2]);
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

}  // namespace sweepview
