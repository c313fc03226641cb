#pragma once

#include "scene/collision_mesh.h"

namespace sweepview {

// Draws the same picture as drawScene(scene, mode), but in box modes 1 to 3
// (once the mesh's display list is ready) the boxes are not sent box by box:
// their corners, already placed, are built once per scene and mode into one
// vertex array and sent in a few draws; and once prepareBoxLayer has laid
// them for the current view, not drawn at all. Other modes are drawScene's own.
// Without translucentMesh (a lit mesh was drawn instead) only the boxes are
// drawn, without the depth test, so they look the same over any mesh.
void drawSceneWithBoxList(const CollisionMesh& scene, int mode, bool translucentMesh = true);

// How the frames draw the boxes of modes 1 to 3.
enum class BoxDetail {
    Classic,  // the full picture, laid once the view has stayed the same for a frame
    Moving,   // the view is moving: only the levels from the root that draw quickly
    Still,    // the view has stopped: the full picture, laid at once
};
extern BoxDetail boxDetail;

// After a frame of a moving view that took frameSeconds: the boxes of the next
// moving frame in the same mode go one level deeper or stop one level
// shallower, keeping them near a tenth of a frame's time.
void adaptMovingDetail(double frameSeconds);

// The camera of a frame: translation, then yaw and pitch in degrees.
struct BoxView {
    float x, y, z, yaw, pitch;
    bool operator==(const BoxView&) const = default;
};

// For a frame about to be drawn, before anything else (it uses the back
// buffer): once the view, mode and window have stayed the same for a frame,
// counts the box fragments covering each pixel. Every box is the same colour
// blended the same way, so a pixel after the boxes depends only on its value
// before them and on that count; what k blends make of each value is measured
// once on the renderer itself. The frames after that read the scene back and
// write each pixel as the boxes would have left it, instead of drawing every
// box: the same pixels, at the cost of one read and one write of the window.
void prepareBoxLayer(const CollisionMesh& scene, int mode, const BoxView& view);

}  // namespace sweepview
