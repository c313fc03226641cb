#include "render/box_list.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "render/box_tables.h"
#include "render/scene_drawing.h"

namespace sweepview {

BoxDetail boxDetail = BoxDetail::Classic;

namespace {

// While the view moves, the boxes are drawn from the root down to a depth
// that keeps them near a tenth of the frame's time: measured in each moving
// frame and kept per mode (the boxes near the root cost the most, each
// covering much of the window). It starts at the levels of about a thousand
// boxes.
constexpr std::size_t FIRST_MOVING_BOXES = 1024;
constexpr double MOST_BOX_SHARE = 0.08;
constexpr double LEAST_BOX_SHARE = 0.03;
int movingDepth[5] = {-1, -1, -1, -1, -1};
int lastMovingMode = 0;
double lastMovingBoxSeconds = -1.0;  // the boxes of the last moving frame; -1: none drawn

double secondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Every box's eight corners in place, built once per scene and sent as
// vertex arrays, the edges and faces by index (a third of the vertices the
// renderer would transform otherwise). Level by level from the root, so that
// the boxes down to any depth are a prefix; every box is the same colour
// blended the same way, so the order does not change the picture.
std::vector<GLfloat> boxCorners;
std::vector<std::size_t> boxesToDepth;  // [d]: boxes of depths 0 to d
const CollisionMesh* cornersScene = nullptr;

// Boxes per draw: their corners are indexed by 16 bits.
constexpr std::size_t PIECE_BOXES = 8192;
std::vector<GLushort> edgeIndices;  // a piece's boxes' edges, as GL_LINES
std::vector<GLushort> faceIndices;  // a piece's boxes' faces, as GL_QUADS

void buildIndices() {
    for (std::size_t box = 0; box < PIECE_BOXES; ++box) {
        const auto corner = [box](int c) { return static_cast<GLushort>(8 * box + static_cast<std::size_t>(c)); };
        for (const auto& edge : BOX_EDGES) {
            edgeIndices.insert(edgeIndices.end(), {corner(edge[0]), corner(edge[1])});
        }
        for (const auto& face : BOX_FACES) {
            for (int c : face) {
                faceIndices.push_back(corner(c));
            }
        }
    }
}

void buildBoxCorners(const CollisionMesh& scene) {
    boxCorners.clear();
    boxCorners.shrink_to_fit();
    boxesToDepth.clear();
    std::vector<const VolumeNode*> level = {scene.root};
    std::vector<const VolumeNode*> next;
    std::size_t boxes = 0;
    while (!level.empty()) {
        next.clear();
        for (const VolumeNode* node : level) {
            for (int c = 0; c < 8; ++c) {
                const Vec3 v = node->box.centre + componentProduct(BOX_CORNERS[c], node->box.halfExtents);
                boxCorners.insert(boxCorners.end(), {v.x, v.y, v.z});
            }
            for (const VolumeNode* child : {node->left, node->right}) {
                if (child != nullptr) {
                    next.push_back(child);
                }
            }
        }
        boxes += level.size();
        boxesToDepth.push_back(boxes);
        level.swap(next);
    }
    cornersScene = &scene;
    if (edgeIndices.empty()) {
        buildIndices();
    }
}

// The boxes from the root down to depth (all of them for a depth past the
// deepest).
std::size_t boxesDownTo(std::size_t depth) {
    return boxesToDepth.empty() ? 0 : boxesToDepth[std::min(depth, boxesToDepth.size() - 1)];
}

// The depth a moving view draws in this mode down to, for the tree built.
std::size_t movingDepthFor(int mode) {
    int& depth = movingDepth[mode];
    if (depth < 0) {
        depth = 0;
        while (static_cast<std::size_t>(depth + 1) < boxesToDepth.size() &&
               boxesToDepth[static_cast<std::size_t>(depth + 1)] <= FIRST_MOVING_BOXES) {
            ++depth;
        }
    }
    return static_cast<std::size_t>(depth);
}

// Sends the boxes in the current colour, a piece at a time: from the root
// down to depth, all of them by default.
void drawBoxes(const CollisionMesh& scene, int mode, std::size_t depth = SIZE_MAX) {
    if (cornersScene != &scene) {
        buildBoxCorners(scene);
    }
    const std::size_t boxes = boxesDownTo(depth);
    glEnableClientState(GL_VERTEX_ARRAY);
    for (std::size_t first = 0; first < boxes; first += PIECE_BOXES) {
        const auto count = std::min(PIECE_BOXES, boxes - first);
        glVertexPointer(3, GL_FLOAT, 0, boxCorners.data() + 24 * first);
        if (mode == 1) {
            glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(8 * count));
        } else if (mode == 2) {
            glDrawElements(GL_LINES, static_cast<GLsizei>(24 * count), GL_UNSIGNED_SHORT, edgeIndices.data());
        } else {
            glDrawElements(GL_QUADS, static_cast<GLsizei>(24 * count), GL_UNSIGNED_SHORT, faceIndices.data());
        }
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
        layer.ready = false;
        layer.scene = &scene;
        layer.view = view;
        std::copy(viewport, viewport + 4, layer.viewport);
        // While the view keeps changing (a drag), drawing the boxes is quicker
        // than laying them; a view known to be still is laid at once.
        if (boxDetail != BoxDetail::Still) {
            return;
        }
    }
    if (boxDetail == BoxDetail::Moving) {
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
    // One moving frame in four is timed to the end of the renderer's work,
    // so that the depth can adapt; waiting for it in every frame would cost
    // the overlap of drawing with the renderer's threads.
    static unsigned movingFrames = 0;
    if (cornersScene != &scene) {
        buildBoxCorners(scene);
    }
    if (boxDetail != BoxDetail::Moving || ++movingFrames % 4 != 0) {
        drawBoxes(scene, mode, boxDetail == BoxDetail::Moving ? movingDepthFor(mode) : SIZE_MAX);
        return;
    }
    glFinish();
    const double began = secondsNow();
    drawBoxes(scene, mode, movingDepthFor(mode));
    glFinish();
    lastMovingBoxSeconds = secondsNow() - began;
    lastMovingMode = mode;
}

// Mode 4 while the view moves: the walk of drawTree over the levels that fit.
void walkBoxesWhileMoving(const CollisionMesh& scene) {
    if (cornersScene != &scene) {
        buildBoxCorners(scene);
    }
    const double began = secondsNow();
    const std::size_t deepest = movingDepthFor(4);
    std::vector<std::pair<const VolumeNode*, std::size_t>> pending = {{scene.root, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        drawNodeBox(node->box, 4);
        if (depth < deepest && node->left != nullptr) {
            if (node->right != nullptr) {
                pending.push_back({node->right, depth + 1});
            }
            pending.push_back({node->left, depth + 1});
        }
    }
    lastMovingBoxSeconds = secondsNow() - began;
    lastMovingMode = 4;
}

}  // namespace

void adaptMovingDetail(double frameSeconds) {
    if (lastMovingBoxSeconds < 0.0 || !(frameSeconds > 0.0)) {
        return;
    }
    const double share = lastMovingBoxSeconds / frameSeconds;
    int& depth = movingDepth[lastMovingMode];
    if (share > MOST_BOX_SHARE && depth > 0) {
        --depth;
    } else if (share < LEAST_BOX_SHARE && static_cast<std::size_t>(depth + 1) < boxesToDepth.size()) {
        ++depth;
    }
    lastMovingBoxSeconds = -1.0;
}

void drawSceneWithBoxList(const CollisionMesh& scene, int mode, bool translucentMesh) {
    if (mode == 4 && boxDetail == BoxDetail::Moving && sceneListReady && scene.root != nullptr) {
        if (translucentMesh) {
            drawScene(scene, 0);
        }
        walkBoxesWhileMoving(scene);
        return;
    }
    const bool boxes = sceneListReady && mode >= 1 && mode <= 3 && scene.root != nullptr;
    if (!translucentMesh) {
        if (mode == 4 && scene.root != nullptr) {
            drawTree(scene, mode, *scene.root);  // the walk alone: the list is ready, no triangle is sent
        } else if (boxes) {
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
