#pragma once

#include "scene/collision_mesh.h"

namespace sweepview {

// Draws the same picture as drawScene(scene, mode), but in box modes 1 to 3
// (once the mesh's display list is ready) the boxes come from a display list
// compiled on first use, with every box's corners already placed, instead of
// a walk that sends box by box every frame. The list is compiled again only
// when the mode or the scene changes. Other modes are drawScene's own.
void drawSceneWithBoxList(const CollisionMesh& scene, int mode);

}  // namespace sweepview
