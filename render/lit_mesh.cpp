#include "render/lit_mesh.h"

#include <GL/gl.h>

#include <cmath>

#include "render/scene_drawing.h"

namespace sweepview {

namespace {

const CollisionMesh* listedScene = nullptr;
GLuint modelList = 0;
GLuint roomList = 0;

bool validTriangle(const CollisionMesh& scene, std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= scene.triangles.size()) {
        return false;
    }
    const MeshTriangle& t = scene.triangles[static_cast<std::size_t>(index)];
    const auto valid = [&](std::int32_t v) { return v >= 0 && static_cast<std::size_t>(v) < scene.vertices.size(); };
    return valid(t.vertex0) && valid(t.vertex1) && valid(t.vertex2);
}

void sendTriangle(const CollisionMesh& scene, std::int32_t index, bool withNormal) {
    const MeshTriangle& t = scene.triangles[static_cast<std::size_t>(index)];
    const Vec3& a = scene.vertices[static_cast<std::size_t>(t.vertex0)];
    const Vec3& b = scene.vertices[static_cast<std::size_t>(t.vertex1)];
    const Vec3& c = scene.vertices[static_cast<std::size_t>(t.vertex2)];
    if (withNormal) {
        const Vec3 n = cross(b - a, c - a);
        const float size = length(n);
        // A triangle without area gets any normal: it covers no pixel.
        if (size > 0.0f && std::isfinite(size)) {
            glNormal3f(n.x / size, n.y / size, n.z / size);
        }
    }
    glVertex3f(a.x, a.y, a.z);
    glVertex3f(b.x, b.y, b.z);
    glVertex3f(c.x, c.y, c.z);
}

void recordLists(const CollisionMesh& scene, const std::vector<bool>& inRoom) {
    if (modelList == 0) {
        modelList = glGenLists(2);
        roomList = modelList + 1;
    }
    for (const bool room : {false, true}) {
        glNewList(room ? roomList : modelList, GL_COMPILE);
        glBegin(GL_TRIANGLES);
        for (std::size_t i = 0; i < scene.triangles.size(); ++i) {
            const bool isRoom = i < inRoom.size() && inRoom[i];
            if (isRoom == room && validTriangle(scene, static_cast<std::int32_t>(i))) {
                sendTriangle(scene, static_cast<std::int32_t>(i), true);
            }
        }
        glEnd();
        glEndList();
    }
    listedScene = &scene;
}

void setMaterial(GLenum face, float red, float green, float blue) {
    const GLfloat ambient[4] = {0.5f * red, 0.5f * green, 0.5f * blue, 1.0f};
    const GLfloat diffuse[4] = {0.8f * red, 0.8f * green, 0.8f * blue, 1.0f};
    const GLfloat none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(face, GL_AMBIENT, ambient);
    glMaterialfv(face, GL_DIFFUSE, diffuse);
    glMaterialfv(face, GL_SPECULAR, none);
}

}  // namespace

void drawLitMesh(const CollisionMesh& scene, const std::vector<bool>& inRoom) {
    if (listedScene != &scene) {
        recordLists(scene, inRoom);
    }
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_DEPTH_BUFFER_BIT);
    // A key light from above left of the eye and a weaker fill from the
    // right, set with the camera transform undone so they move with the
    // viewer: every face turned towards the eye is lit from some side.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const GLfloat key[4] = {-0.4f, 0.6f, 1.0f, 0.0f};
    const GLfloat fill[4] = {0.7f, -0.2f, 0.5f, 0.0f};
    const GLfloat keyColour[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    const GLfloat fillColour[4] = {0.4f, 0.4f, 0.4f, 1.0f};
    const GLfloat sky[4] = {0.45f, 0.45f, 0.45f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, key);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, keyColour);
    glLightfv(GL_LIGHT1, GL_POSITION, fill);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, fillColour);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, sky);
    glPopMatrix();
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glShadeModel(GL_FLAT);
    // Pushed back a little, so the hit triangles and lines drawn on the
    // surface afterwards win the depth test.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1.0f, 1.0f);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    setMaterial(GL_FRONT, 0.2f, 0.35f, 1.0f);
    setMaterial(GL_BACK, 0.6f, 0.6f, 0.6f);
    glCallList(modelList);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    setMaterial(GL_FRONT, 0.95f, 0.95f, 1.0f);
    glCallList(roomList);
    glPopAttrib();
}

void drawLitHitTriangles(const CollisionMesh& scene) {
    glColor4f(1.0f, 0.0f, 0.0f, 0.8f);
    glBegin(GL_TRIANGLES);
    for (std::int32_t index : contactState.hitTriangles) {
        if (validTriangle(scene, index)) {
            sendTriangle(scene, index, false);
        }
    }
    glEnd();
}

}  // namespace sweepview
