#include "render/box_list.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "render/box_tables.h"
#include "render/scene_drawing.h"
#include "scene/node_stack.h"

namespace sweepview {

namespace {

// Every box's corners in place, in the mode's primitive: built once per scene
// and mode, and sent as vertex arrays.
std::vector<GLfloat> boxVertices;
const CollisionMesh* verticesScene = nullptr;
int verticesMode = 0;

void addCorner(const NodeBox& box, int corner) {
    const Vec3 v = box.centre + componentProduct(BOX_CORNERS[corner], box.halfExtents);
    boxVertices.insert(boxVertices.end(), {v.x, v.y, v.z});
}

// The boxes in the walk's pre-order and each box's primitives in
// drawNodeBox's order, so blending gives the same picture.
void buildBoxVertices(const CollisionMesh& scene, int mode) {
    boxVertices.clear();
    boxVertices.shrink_to_fit();
    NodeStack<const VolumeNode> pending;
    pending.push(scene.root);
    while (!pending.empty()) {
        const VolumeNode* node = pending.pop();
        if (mode == 1) {
            for (int corner = 0; corner < 8; ++corner) {
                addCorner(node->box, corner);
            }
        } else if (mode == 2) {
            for (const auto& edge : BOX_EDGES) {
                addCorner(node->box, edge[0]);
                addCorner(node->box, edge[1]);
            }
        } else {
            for (const auto& face : BOX_FACES) {
                for (int corner : face) {
                    addCorner(node->box, corner);
                }
            }
        }
        if (node->left != nullptr) {
            if (node->right != nullptr) {
                pending.push(node->right);
            }
            pending.push(node->left);
        }
    }
    verticesScene = &scene;
    verticesMode = mode;
}

// Sends the boxes in the current colour, in pieces that keep the renderer's
// copies small (a whole number of boxes each).
void drawBoxes(const CollisionMesh& scene, int mode) {
    if (verticesScene != &scene || verticesMode != mode) {
        buildBoxVertices(scene, mode);
    }
    constexpr std::size_t PIECE = 24 * 65536;  // vertices: whole boxes in every mode
    const std::size_t count = boxVertices.size() / 3;
    glEnableClientState(GL_VERTEX_ARRAY);
    for (std::size_t first = 0; first < count; first += PIECE) {
        glVertexPointer(3, GL_FLOAT, 0, boxVertices.data() + 3 * first);
        glDrawArrays(mode == 1 ? GL_POINTS : mode == 2 ? GL_LINES : GL_QUADS, 0,
                     static_cast<GLsizei>(std::min(PIECE, count - first)));
    }
    glDisableClientState(GL_VERTEX_ARRAY);
}

constexpr GLfloat BOX_COLOUR[4] = {0.75f, 0.75f, 0.0f, 0.01f};
constexpr int MOST_LAYERS = 255;  // counted per pixel in one 8-bit channel

// Every box is the same colour blended over what lies below, so a pixel after
// the boxes depends only on its value before them and on how many box
// fragments cover it. The layer keeps that count per pixel and, per channel,
// what k blends of the box colour make of each value 0 to 255, measured on
// this renderer (so its rounding is the same as drawing the boxes).
struct BoxLayer {
    bool calibrated = false;
    std::vector<std::uint8_t> after[MOST_LAYERS + 1];  // [k][3 * value + channel]
    bool ready = false;
    const CollisionMesh* scene = nullptr;
    int mode = 0;
    BoxView view{};
    GLint viewport[4] = {};
    std::vector<std::uint8_t> counts;
    std::vector<std::uint8_t> pixels;
} layer;

void beginWindowSpace() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glRasterPos2f(-1.0f, -1.0f);
}

void endWindowSpace() {
    glEnable(GL_DEPTH_TEST);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

// Blends the box colour over a row of the values 0 to 255 again and again,
// reading the row after each blend.
void calibrate(const GLint viewport[4]) {
    std::vector<std::uint8_t> row(3 * 256);
    for (int value = 0; value < 256; ++value) {
        row[3 * value] = row[3 * value + 1] = row[3 * value + 2] = static_cast<std::uint8_t>(value);
    }
    beginWindowSpace();
    glDisable(GL_BLEND);
    glDrawPixels(256, 1, GL_RGB, GL_UNSIGNED_BYTE, row.data());
    glEnable(GL_BLEND);
    layer.after[0] = row;
    glColor4fv(BOX_COLOUR);
    const GLfloat top = -1.0f + 2.0f / static_cast<GLfloat>(viewport[3]);
    for (int k = 1; k <= MOST_LAYERS; ++k) {
        glRectf(-1.0f, -1.0f, 1.0f, top);
        layer.after[k].resize(row.size());
        glReadPixels(viewport[0], viewport[1], 256, 1, GL_RGB, GL_UNSIGNED_BYTE, layer.after[k].data());
    }
    endWindowSpace();
    layer.calibrated = true;
}

}  // namespace

void prepareBoxLayer(const CollisionMesh& scene, int mode, const BoxView& view) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const bool sameView = layer.scene == &scene && layer.view == view &&
                          std::equal(viewport, viewport + 4, layer.viewport);
    if (!sameView) {
        // While the view keeps changing (a drag), drawing the boxes is quicker.
        layer.ready = false;
        layer.scene = &scene;
        layer.view = view;
        std::copy(viewport, viewport + 4, layer.viewport);
        return;
    }
    if ((layer.ready && layer.mode == mode) || mode < 1 || mode > 3 || scene.root == nullptr ||
        !sceneListReady || viewport[2] < 256 || viewport[3] < 1) {
        return;
    }
    layer.mode = mode;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    if (!layer.calibrated) {
        calibrate(viewport);
    }
    // Count the box fragments of each pixel: each adds 1 to red.
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);  // the frame's own
    glLoadIdentity();
    glDepthMask(GL_FALSE);
    glTranslatef(view.x, view.y, view.z);
    glRotatef(view.yaw, 0.0f, 1.0f, 0.0f);
    glRotatef(view.pitch, 1.0f, 0.0f, 0.0f);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor4f(1.0f / 255.0f, 0.0f, 0.0f, 0.0f);
    // Nothing the boxes are drawn over writes depth, except a lit mesh, over
    // which they are drawn without the test.
    glDisable(GL_DEPTH_TEST);
    drawBoxes(scene, mode);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_TRUE);
    const std::size_t size = static_cast<std::size_t>(viewport[2]) * static_cast<std::size_t>(viewport[3]);
    std::vector<std::uint8_t> rgb(3 * size);
    glReadPixels(viewport[0], viewport[1], viewport[2], viewport[3], GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    layer.counts.resize(size);
    for (std::size_t i = 0; i < size; ++i) {
        layer.counts[i] = rgb[3 * i];
    }
    layer.pixels.resize(3 * size);
    layer.ready = true;
}

namespace {

// The boxes of modes 1 to 3: from the prepared layer when it fits this frame,
// else drawn.
void drawBoxLayerOrBoxes(const CollisionMesh& scene, int mode) {
    if (layer.ready && layer.scene == &scene && layer.mode == mode) {
        // Each pixel as the boxes would leave it, from the table.
        const GLint* v = layer.viewport;
        glReadPixels(v[0], v[1], v[2], v[3], GL_RGB, GL_UNSIGNED_BYTE, layer.pixels.data());
        for (std::size_t i = 0; i < layer.counts.size(); ++i) {
            const std::uint8_t* after = layer.after[layer.counts[i]].data();
            for (std::size_t c = 3 * i; c < 3 * i + 3; ++c) {
                layer.pixels[c] = after[3 * layer.pixels[c] + c - 3 * i];
            }
        }
        beginWindowSpace();
        glDisable(GL_BLEND);
        glDrawPixels(v[2], v[3], GL_RGB, GL_UNSIGNED_BYTE, layer.pixels.data());
        glEnable(GL_BLEND);
        endWindowSpace();
        return;
    }
    glColor4fv(BOX_COLOUR);
    drawBoxes(scene, mode);
}

}  // namespace

void drawSceneWithBoxList(const CollisionMesh& scene, int mode, bool translucentMesh) {
    const bool boxes = sceneListReady && mode >= 1 && mode <= 3 && scene.root != nullptr;
    if (!translucentMesh) {
        if (boxes) {
            glDisable(GL_DEPTH_TEST);
            drawBoxLayerOrBoxes(scene, mode);
            glEnable(GL_DEPTH_TEST);
        }
        return;
    }
    if (!boxes) {
        drawScene(scene, mode);
        return;
    }
    drawScene(scene, 0);  // the hit triangles and the mesh; no boxes
    drawBoxLayerOrBoxes(scene, mode);
}

}  // namespace sweepview
