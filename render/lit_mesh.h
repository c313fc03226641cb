#pragma once

#include <vector>

#include "scene/collision_mesh.h"

namespace sweepview {

// Draws the mesh lit and opaque under the current camera transform, so that
// a real mesh reads as a shape: flat-shaded with a light from the eye, front
// faces in the mesh's blue and back faces in grey (a face stops the sphere
// only from the side it faces). Triangles marked inRoom form an enclosing
// room: drawn pale and only from inside, so the near walls never hide the
// model. Writes depth; leaves blending, lighting and culling as it found
// them. The mesh is recorded into display lists on first use for a scene.
void drawLitMesh(const CollisionMesh& scene, const std::vector<bool>& inRoom);

// The triangles of the last step's contacts (contactState.hitTriangles) in
// red over a lit mesh, unlit.
void drawLitHitTriangles(const CollisionMesh& scene);

}  // namespace sweepview
