#include "render/box_list.h"

#include <GL/gl.h>

#include "render/box_tables.h"
#include "render/scene_drawing.h"
#include "scene/node_stack.h"

namespace sweepview {

namespace {

GLuint boxList = 0;
const CollisionMesh* listScene = nullptr;
int listMode = 0;

void sendCorner(const NodeBox& box, int corner) {
    const Vec3 v = box.centre + componentProduct(BOX_CORNERS[corner], box.halfExtents);
    const GLfloat xyz[3] = {v.x, v.y, v.z};
    glVertex3fv(xyz);
}

// One batch of the mode's primitive for every box, in the walk's pre-order
// and the per-box order of drawNodeBox, so blending gives the same picture.
void compileBoxes(const CollisionMesh& scene, int mode) {
    if (boxList == 0) {
        boxList = glGenLists(1);
    }
    glNewList(boxList, GL_COMPILE);
    glColor4f(0.75f, 0.75f, 0.0f, 0.01f);
    glBegin(mode == 1 ? GL_POINTS : mode == 2 ? GL_LINES : GL_QUADS);
    NodeStack<const VolumeNode> pending;
    pending.push(scene.root);
    while (!pending.empty()) {
        const VolumeNode* node = pending.pop();
        if (mode == 1) {
            for (int corner = 0; corner < 8; ++corner) {
                sendCorner(node->box, corner);
            }
        } else if (mode == 2) {
            for (const auto& edge : BOX_EDGES) {
                sendCorner(node->box, edge[0]);
                sendCorner(node->box, edge[1]);
            }
        } else {
            for (const auto& face : BOX_FACES) {
                for (int corner : face) {
                    sendCorner(node->box, corner);
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
    glEnd();
    glEndList();
    listScene = &scene;
    listMode = mode;
}

}  // namespace

void drawSceneWithBoxList(const CollisionMesh& scene, int mode) {
    if (!sceneListReady || mode < 1 || mode > 3 || scene.root == nullptr) {
        drawScene(scene, mode);
        return;
    }
    drawScene(scene, 0);  // the hit triangles and the mesh; no boxes
    if (listScene != &scene || listMode != mode) {
        compileBoxes(scene, mode);
    }
    glCallList(boxList);
}

}  // namespace sweepview
