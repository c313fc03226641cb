#include "tools/dorn/mesh_import.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <unistd.h>

#include <assimp/Importer.hpp>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "scene/dorn_reader.h"
#include "scene/input_file.h"
#include "scene/mesh_format_hint.h"

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

// The mesh formats whose names tell them, by the name's ending.
constexpr struct {
    const char* ending;
    const char* format;
} ENDINGS[] = {{".obj", "OBJ"},  {".ply", "PLY"},  {".stl", "STL"},     {".off", "OFF"},
               {".gltf", "glTF"}, {".glb", "glTF"}, {".dae", "COLLADA"}};

}  // namespace

const char* formatNamedBy(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) {
        return nullptr;
    }
    std::string ending = path.substr(dot);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto& e : ENDINGS) {
        if (ending == e.ending) {
            return e.format;
        }
    }
    return nullptr;
}

namespace {

// "; name it .ply" for the endings of format.
std::string nameItFor(const char* format) {
    std::string endings;
    for (const auto& e : ENDINGS) {
        if (std::strcmp(e.format, format) == 0) {
            endings += (endings.empty() ? "; name it " : " or ") + std::string(e.ending);
        }
    }
    return endings;
}

// Why the importer refused path, in the words of its content when they tell
// more: a dorn scene, an empty file, or, under a mesh format's name, another
// mesh format or a kind of file no mesh is. Else the importer's own reason.
std::string importRefusal(const std::string& path, const std::string& importerWhy) {
    const std::string name = nameForMessages(path);
    if (loadDornFile(path) != nullptr) {
        return name + ": already a dorn scene; dorn build takes meshes (OBJ, PLY, STL, OFF, glTF, 3DS, COLLADA, ...)";
    }
    std::uint64_t size = 0;
    std::string why;
    const int fd = openInputFile(path, &size, &why);
    if (fd < 0) {
        return name + ": " + why;
    }
    unsigned char bytes[1024];
    const ssize_t got = ::pread(fd, bytes, sizeof bytes, 0);
    ::close(fd);
    if (size == 0) {
        return name + ": the file is empty";
    }
    const auto length = static_cast<std::size_t>(std::max<ssize_t>(got, 0));
    const char* named = formatNamedBy(path);
    const char* format = meshFormatOf(bytes, length, size);
    const char* kind = fileKindOf(bytes, length);
    if (named != nullptr && format != nullptr && std::strcmp(named, format) != 0) {
        return name + ": not " + withArticle(named) + " file (it looks like " + withArticle(format) +
               " mesh" + nameItFor(format) + ")";
    }
    // Text mesh formats the sniffing does not know are text files too.
    if (named != nullptr && format == nullptr && kind != nullptr && std::strcmp(kind, "a text file") != 0) {
        return name + ": not " + withArticle(named) + " file (it looks like " + kind + ")";
    }
    // The importer's words for two common cases, put as a user reads them.
    if (importerWhy.rfind("No suitable reader found", 0) == 0) {
        return name + ": not a mesh format dorn build reads" + (kind != nullptr ? std::string(" (it looks like ") + kind + ")" : "") +
               "; it reads OBJ, PLY, STL, OFF, glTF, FBX, 3DS, COLLADA and the other formats Assimp knows, by their names";
    }
    if (importerWhy.find("contains no faces") != std::string::npos) {
        return name + ": no triangles in the file (only points or lines)";
    }
    return name + ": " + importerWhy;
}

}  // namespace

bool checkMeshInput(const std::string& path, std::string* why) {
    std::uint64_t size = 0;
    const int fd = openInputFile(path, &size, why);
    if (fd < 0) {
        *why = nameForMessages(path) + ": " + *why;
        return false;
    }
    ::close(fd);
    return true;
}

bool importMesh(const std::string& path, MeshData& mesh, std::string* why) {
    if (!checkMeshInput(path, why)) {  // the importer would block on a FIFO
        return false;
    }
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
        *why = importRefusal(path, importer.GetErrorString());
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
        *why = importRefusal(path, "no triangles in the file");
        return false;
    }
    return true;
}

}  // namespace sweepview
