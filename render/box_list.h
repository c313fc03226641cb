#pragma once

#include "scene/collision_mesh.h"

namespace sweepview {

// Draws the same picture as drawScene(scene, mode), but in box modes 1 to 3
// (once the mesh's display list is ready) the boxes come from a display list
// compiled on first use, with every box's corners already placed, instead of
// a walk that sends box by box every frame. The list is compiled again only
// when the mode or the scene changes. Other modes are drawScene's own.
// When prepareBoxLayer made a layer for this view, the boxes come from it.
void drawSceneWithBoxList(const CollisionMesh& scene, int mode);

// The camera of a frame: translation, then yaw and pitch in degrees.
struct BoxView {
    float x, y, z, yaw, pitch;
    bool operator==(const BoxView&) const = default;
};

// For a frame about to be drawn, before anything else (it uses the back
// buffer): once the view, mode and window have stayed the same for a frame,
// draws the boxes twice, over black and over white, and keeps the two
// pictures. The boxes are one colour blended over what lies below, so each
// pixel after them is a fixed part of it plus a fixed share of what was
// below; the two pictures give both, and the frames after that lay the boxes
// over the scene with two full-window quads instead of drawing every box.
void prepareBoxLayer(const CollisionMesh& scene, int mode, const BoxView& view);

}  // namespace sweepview
