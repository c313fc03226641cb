#include "render/scene_drawing.h"

#include <GL/gl.h>

#include <cstddef>

#include "collision/contact_state.h"
#include "render/box_tables.h"
#include "scene/node_stack.h"

namespace sweepview {

std::uint32_t sceneList = 0;
bool sceneListReady = false;
ContactState contactState;

namespace {

void sendVertex(const Vec3& v) {
    const GLfloat xyz[3] = {v.x, v.y, v.z};
    glVertex3fv(xyz);
}

bool validIndex(std::int32_t index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

// Sends the three corners of triangle `index`; nothing when an index is out
// of range (a loaded scene never has one, a hit list entry may be -1).
void sendTriangle(const CollisionMesh& scene, std::int32_t index) {
    if (!validIndex(index, scene.triangles.size())) {
        return;
    }
    const MeshTriangle& t = scene.triangles[static_cast<std::size_t>(index)];
    const std::size_t count = scene.vertices.size();
    if (!validIndex(t.vertex0, count) || !validIndex(t.vertex1, count) ||
        !validIndex(t.vertex2, count)) {
        return;
    }
    sendVertex(scene.vertices[static_cast<std::size_t>(t.vertex0)]);
    sendVertex(scene.vertices[static_cast<std::size_t>(t.vertex1)]);
    sendVertex(scene.vertices[static_cast<std::size_t>(t.vertex2)]);
}

Vec3 scaledCorner(const NodeBox& box, int corner) {
    return componentProduct(BOX_CORNERS[corner], box.halfExtents);
}

}  // namespace

void drawScene(const CollisionMesh& scene, int mode) {
    glColor4f(1.0f, 0.0f, 0.0f, 0.5f);
    glBegin(GL_TRIANGLES);
    for (std::int32_t index : contactState.hitTriangles) {
        if (index != -1) {
            sendTriangle(scene, index);
        }
    }
    glEnd();
    if (sceneListReady) {
        glCallList(sceneList);
    }
    if (scene.root != nullptr) {
        drawTree(scene, mode, *scene.root);
    }
}

void drawTree(const CollisionMesh& scene, int mode, const VolumeNode& node) {
    NodeStack<const VolumeNode> pending;
    pending.push(&node);
    while (!pending.empty()) {
        const VolumeNode* current = pending.pop();
        if (current->triangle != NO_TRIANGLE && !sceneListReady) {
            glBegin(GL_TRIANGLES);
            glColor4f(0.0f, 0.0f, 0.75f, 0.1f);
            sendTriangle(scene, current->triangle);
            glEnd();
        }
        if (mode != 0) {
            glColor4f(0.75f, 0.75f, 0.0f, 0.01f);
            drawNodeBox(current->box, mode);
        }
        if (current->left == nullptr) {
            continue;
        }
        if (current->right != nullptr) {
            pending.push(current->right);
        }
        pending.push(current->left);
    }
}

void drawNodeBox(const NodeBox& box, int mode) {
    glPushMatrix();
    glTranslatef(box.centre.x, box.centre.y, box.centre.z);
    if (mode == 1) {
        glBegin(GL_POINTS);
        for (int corner = 0; corner < 8; ++corner) {
            sendVertex(scaledCorner(box, corner));
        }
        glEnd();
    } else if (mode == 2) {
        for (const auto& edge : BOX_EDGES) {
            const Vec3 from = scaledCorner(box, edge[0]);
            const Vec3 to = scaledCorner(box, edge[1]);
            glBegin(GL_LINES);
            sendVertex(from);
            sendVertex(to);
            glEnd();
        }
    } else if (mode == 3) {
        for (const auto& face : BOX_FACES) {
            glBegin(GL_QUADS);
            for (int corner : face) {
                sendVertex(scaledCorner(box, corner));
            }
            glEnd();
        }
    }
    glPopMatrix();
}

}  // namespace sweepview
