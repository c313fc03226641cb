#pragma once

#include <cstdint>
#include <vector>

#include "tools/dorn/mesh_checks.h"
#include "tools/dorn/mesh_distance.h"

namespace sweepview {

// The connected parts of a mesh (triangles joined across welded edges) and
// which side of each is solid. A closed part (every edge used by exactly two
// of its triangles, no winding conflict, some volume) has a solid side its
// faces tell: they look out of the solid, as a cube's do, or into the free
// space, as a room's do. An open part's solid is undefined.
struct MeshPart {
    bool closed = false;
    double volume = 0;  // signed, of a closed part: > 0 its inside is solid, < 0 its outside
};

struct MeshParts {
    std::vector<std::int32_t> partOf;  // per triangle; -1 for one whose corners are welded together
    std::vector<MeshPart> parts;
    int solidInside = 0;   // closed parts whose inside is solid
    int solidOutside = 0;  // closed parts whose outside is solid
    int open = 0;
};

// Finds the parts of scene's triangles by the edges checks found for them.
MeshParts findMeshParts(const CollisionMesh& scene, const MeshChecks& checks);

// Whether point lies in the solid of any closed part: inside one whose inside
// is solid or outside one whose outside is. Decided by the parity of crossings
// of a ray in double precision, cast through the volume tree when scene has
// one (every triangle otherwise); a ray that grazes an edge or a corner is
// cast again in another direction. Only reads scene and parts, so several
// threads may ask at once.
bool inSolid(const CollisionMesh& scene, const MeshParts& parts, const DoublePoint& point);

// The same test naming the part: the index into parts.parts of the first
// closed part whose solid holds point, or -1 when none does.
std::int32_t solidPartAt(const CollisionMesh& scene, const MeshParts& parts, const DoublePoint& point);

}  // namespace sweepview
