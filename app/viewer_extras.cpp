#include "app/viewer_extras.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <numbers>
#include <vector>

#include "app/frame_callback.h"
#include "app/frame_step.h"
#include "app/key_bindings.h"
#include "app/png_image.h"
#include "app/viewer_state.h"
#include "collision/contact_state.h"

namespace sweepview {

namespace {

enum class ContactKind { Face, Edge, Corner };
constexpr const char* CONTACT_KIND_NAMES[3] = {"face", "edge", "corner"};
constexpr float KIND_COLOURS[3][3] = {{0.0f, 0.6f, 0.0f}, {1.0f, 0.5f, 0.0f}, {0.6f, 0.0f, 0.8f}};

struct NotedContact {
    Vec3 point;  // where the sphere touched the mesh
    ContactKind kind;
    std::int32_t triangle;
    float time;
};

struct TrailStep {
    Vec3 centre;
    std::vector<NotedContact> contacts;
};

constexpr std::size_t TRAIL_STEPS = 400;

ViewerExtras settings;
bool hudShown = false;
bool helpShown = false;
bool trailShown = false;
std::deque<TrailStep> trail;  // the newest step last
std::vector<NotedContact> lastContacts;
double framesPerSecond = 0.0;

// Which feature of the triangle lies nearest to p: its inside, an edge or a
// corner (the sphere touched it there). In double, with a small tolerance so
// that a touch on a seam counts as the seam.
ContactKind nearestFeature(const CollisionMesh& scene, std::int32_t triangle, const Vec3& p) {
    if (triangle < 0 || static_cast<std::size_t>(triangle) >= scene.triangles.size()) {
        return ContactKind::Face;
    }
    const MeshTriangle& t = scene.triangles[static_cast<std::size_t>(triangle)];
    const auto d = [](const Vec3& v) { return std::array<double, 3>{v.x, v.y, v.z}; };
    const auto a = d(scene.vertices[t.vertex0]);
    const auto b = d(scene.vertices[t.vertex1]);
    const auto c = d(scene.vertices[t.vertex2]);
    const auto q = d(p);
    const auto sub = [](const std::array<double, 3>& u, const std::array<double, 3>& v) {
        return std::array<double, 3>{u[0] - v[0], u[1] - v[1], u[2] - v[2]};
    };
    const auto dot = [](const std::array<double, 3>& u, const std::array<double, 3>& v) {
        return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
    };
    const auto ab = sub(b, a);
    const auto ac = sub(c, a);
    const auto ap = sub(q, a);
    // Barycentric coordinates of p's projection on the plane, then clamped
    // regions: a coordinate near 0 puts the projection on an edge, two on a corner.
    const double d00 = dot(ab, ab);
    const double d01 = dot(ab, ac);
    const double d11 = dot(ac, ac);
    const double d20 = dot(ap, ab);
    const double d21 = dot(ap, ac);
    const double denominator = d00 * d11 - d01 * d01;
    if (!(denominator > 0)) {
        return ContactKind::Edge;
    }
    const double v = (d11 * d20 - d01 * d21) / denominator;
    const double w = (d00 * d21 - d01 * d20) / denominator;
    const double u = 1.0 - v - w;
    constexpr double TOLERANCE = 1e-4;
    const int outside = (u < TOLERANCE) + (v < TOLERANCE) + (w < TOLERANCE);
    if (outside == 0) {
        return ContactKind::Face;
    }
    // Outside or on the rim: a corner when the nearest point of the rim is one.
    const std::array<std::array<double, 3>, 3> corners = {a, b, c};
    double best = INFINITY;
    double bestAlong = 0;
    for (int i = 0; i < 3; ++i) {
        const auto e = sub(corners[(i + 1) % 3], corners[i]);
        const auto off = sub(q, corners[i]);
        const double along = std::clamp(dot(off, e) / dot(e, e), 0.0, 1.0);
        const std::array<double, 3> gap = {off[0] - e[0] * along, off[1] - e[1] * along,
                                           off[2] - e[2] * along};
        if (dot(gap, gap) < best) {
            best = dot(gap, gap);
            bestAlong = along;
        }
    }
    return bestAlong < TOLERANCE || bestAlong > 1 - TOLERANCE ? ContactKind::Corner
                                                              : ContactKind::Edge;
}

void noteStep(const std::vector<StepContact>& contacts) {
    lastContacts.clear();
    for (const StepContact& c : contacts) {
        const Vec3 touch = c.centre - c.normal * sphereRadius;
        lastContacts.push_back(
            {touch, nearestFeature(*currentScene, c.triangle, touch), c.triangle, c.time});
    }
    trail.push_back({spherePosition, lastContacts});
    if (trail.size() > TRAIL_STEPS) {
        trail.pop_front();
    }
}

// The scene's bounds: centre and the radius of the sphere around them.
void sceneSphere(Vec3& centre, float& radius) {
    if (currentScene->root == nullptr) {
        centre = Vec3(0, 0, 0);
        radius = 1.0f;
        return;
    }
    // The root's box holds the whole mesh.
    centre = currentScene->root->box.centre;
    radius = std::max(length(currentScene->root->box.halfExtents), 1.0f);
}

// The camera's rotation applied to a point: first about x by the pitch, then
// about y by the yaw, as the frame's transform does.
Vec3 turned(const Vec3& p) {
    const double pitch = cameraPitch * std::numbers::pi / 180.0;
    const double yaw = cameraYaw * std::numbers::pi / 180.0;
    const double y1 = p.y * std::cos(pitch) - p.z * std::sin(pitch);
    const double z1 = p.y * std::sin(pitch) + p.z * std::cos(pitch);
    const double x2 = p.x * std::cos(yaw) + z1 * std::sin(yaw);
    const double z2 = -p.x * std::sin(yaw) + z1 * std::cos(yaw);
    return Vec3(static_cast<float>(x2), static_cast<float>(y1), static_cast<float>(z2));
}

// Turns the camera while the scene's centre stays where it is on the screen.
void placeCamera(const Vec3& offset) {
    cameraX = offset.x;
    cameraY = offset.y;
    cameraZ = offset.z;
}

void turnAboutScene(float yawChange, float pitchChange) {
    Vec3 centre;
    float radius = 0;
    sceneSphere(centre, radius);
    const Vec3 seen = turned(centre) + Vec3(cameraX, cameraY, cameraZ);
    cameraYaw += yawChange;
    cameraPitch += pitchChange;
    placeCamera(seen - turned(centre));
}

// The scene's centre in the middle of the view, far enough for all of it.
void frameScene() {
    Vec3 centre;
    float radius = 0;
    sceneSphere(centre, radius);
    const float distance = radius / std::sin(static_cast<float>(std::numbers::pi / 8.0));
    placeCamera(Vec3(0, 0, -distance) - turned(centre));
}

// Distance from the eye to the scene's centre, for zoom and pan steps.
float viewDistance() {
    Vec3 centre;
    float radius = 0;
    sceneSphere(centre, radius);
    return std::max(std::fabs((turned(centre) + Vec3(cameraX, cameraY, cameraZ)).z), 1.0f);
}

void zoom(float share) {  // positive: closer
    cameraZ += share * viewDistance();
}

int dragButton = -1;
int dragX = 0;
int dragY = 0;

void mouseButton(int button, int state, int x, int y) {
    if (state == GLUT_DOWN && (button == 3 || button == 4)) {  // the wheel
        zoom(button == 3 ? 0.1f : -0.1f);
        return;
    }
    dragButton = state == GLUT_DOWN ? button : -1;
    dragX = x;
    dragY = y;
}

void mouseDrag(int x, int y) {
    const int dx = x - dragX;
    const int dy = y - dragY;
    dragX = x;
    dragY = y;
    if (dragButton == GLUT_LEFT_BUTTON) {
        turnAboutScene(0.5f * static_cast<float>(dx), 0.5f * static_cast<float>(dy));
    } else if (dragButton == GLUT_RIGHT_BUTTON) {
        zoom(-0.005f * static_cast<float>(dy));
    } else if (dragButton == GLUT_MIDDLE_BUTTON) {
        // One pixel moves the scene's centre by one pixel.
        const float perPixel = 2.0f * viewDistance() *
                               std::tan(static_cast<float>(std::numbers::pi / 8.0)) /
                               static_cast<float>(std::max(glutGet(GLUT_WINDOW_HEIGHT), 1));
        cameraX += perPixel * static_cast<float>(dx);
        cameraY -= perPixel * static_cast<float>(dy);
    }
}

void drawText(int x, int y, const std::string& text) {
    glRasterPos2i(x, y);
    glutBitmapString(GLUT_BITMAP_8_BY_13, reinterpret_cast<const unsigned char*>(text.c_str()));
}

std::string format(const char* pattern, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

void countFrame() {
    static int frames = 0;
    static int since = glutGet(GLUT_ELAPSED_TIME);
    ++frames;
    const int now = glutGet(GLUT_ELAPSED_TIME);
    if (now - since >= 500) {
        framesPerSecond = 1000.0 * frames / (now - since);
        frames = 0;
        since = now;
    }
}

void drawTextLines(const std::vector<std::string>& lines, int left, int top, float red, float green,
                   float blue) {
    glColor4f(red, green, blue, 1.0f);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        drawText(left, top - 15 * static_cast<int>(i), lines[i]);
    }
}

// Text over the picture: the facts at the top left, the keys at the bottom.
void drawScreenOverlay() {
    countFrame();
    if (!hudShown && !helpShown) {
        return;
    }
    const int width = glutGet(GLUT_WINDOW_WIDTH);
    const int height = glutGet(GLUT_WINDOW_HEIGHT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, width, 0, height);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    if (hudShown) {
        std::vector<std::string> lines = {
            format("step %d   centre (%.3f, %.3f, %.3f)", frameCounter, spherePosition.x,
                   spherePosition.y, spherePosition.z),
            format("speed %.4g   radius %.4g   edges: %s%s", length(sphereVelocity), sphereRadius,
                   edgeRule == EdgeRule::Exact ? "exact" : "viewer's rule",
                   faceSides == FaceSides::Two ? ", two-sided faces" : ""),
            format("last step: %zu contact%s", lastContacts.size(),
                   lastContacts.size() == 1 ? "" : "s"),
        };
        for (std::size_t i = 0; i < lastContacts.size() && i < 6; ++i) {
            const NotedContact& c = lastContacts[i];
            lines.push_back(format("  %s at t %.4f, triangle %d",
                                   CONTACT_KIND_NAMES[static_cast<int>(c.kind)], c.time,
                                   c.triangle));
        }
        if (settings.replay) {
            lines.push_back(format("replay: %s %ld, start %ld, step %ld, triangle %d",
                                   settings.replay->kind.c_str(), settings.replay->index,
                                   settings.replay->start, settings.replay->step,
                                   settings.replay->triangle));
        }
        lines.push_back(format("%.1f frames/s", framesPerSecond));
        drawTextLines(lines, 8, height - 16, 0.0f, 0.0f, 0.0f);
    }
    if (helpShown) {
        drawTextLines(
            {"space run/pause  s one step  b box mode  Esc quit",
             "x X y Y z Z move  arrows turn  f frame the scene",
             "i facts  h keys  t trail  drag turn  wheel/right drag zoom  middle drag pan"},
            8, 40, 0.2f, 0.2f, 0.5f);
    }
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void drawTriangleOutline(std::int32_t triangle) {
    if (triangle < 0 || static_cast<std::size_t>(triangle) >= currentScene->triangles.size()) {
        return;
    }
    const MeshTriangle& t = currentScene->triangles[static_cast<std::size_t>(triangle)];
    glBegin(GL_LINE_LOOP);
    for (std::int32_t v : {t.vertex0, t.vertex1, t.vertex2}) {
        const Vec3& p = currentScene->vertices[static_cast<std::size_t>(v)];
        glVertex3f(p.x, p.y, p.z);
    }
    glEnd();
}

// In the scene: the trail and the replayed event's point and triangle.
void drawSceneOverlay() {
    if (trailShown && !trail.empty()) {
        glColor4f(0.1f, 0.4f, 0.1f, 0.8f);
        glBegin(GL_LINE_STRIP);
        for (const TrailStep& step : trail) {
            glVertex3f(step.centre.x, step.centre.y, step.centre.z);
        }
        glEnd();
        glPointSize(5.0f);
        glBegin(GL_POINTS);
        for (const TrailStep& step : trail) {
            for (const NotedContact& c : step.contacts) {
                const float* colour = KIND_COLOURS[static_cast<int>(c.kind)];
                glColor4f(colour[0], colour[1], colour[2], 1.0f);
                glVertex3f(c.point.x, c.point.y, c.point.z);
            }
        }
        glEnd();
        glPointSize(1.0f);
    }
    if (settings.replay) {
        glColor4f(1.0f, 0.0f, 1.0f, 1.0f);
        glLineWidth(2.0f);
        drawTriangleOutline(settings.replay->triangle);
        glLineWidth(1.0f);
        glPointSize(9.0f);
        glBegin(GL_POINTS);
        glVertex3f(settings.replayPoint.x, settings.replayPoint.y, settings.replayPoint.z);
        glEnd();
        glPointSize(1.0f);
    }
}

void saveScreenshot() {
    drawFrame();
    glFinish();
    glReadBuffer(GL_BACK);
    std::string why;
    const bool saved = saveFramePng(settings.screenshot, glutGet(GLUT_WINDOW_WIDTH),
                                    glutGet(GLUT_WINDOW_HEIGHT), &why);
    std::cout << std::flush;
    if (!saved) {
        std::cerr << "sweepview: --screenshot: " << why << std::endl;
        std::exit(1);
    }
    std::exit(0);
}

}  // namespace

void prepareExtras(const ViewerExtras& extras) {
    settings = extras;
    hudShown = extras.hud;
    stepListener = noteStep;
    sceneOverlay = drawSceneOverlay;
    screenOverlay = drawScreenOverlay;
}

void installMouse() {
    glutMouseFunc(mouseButton);
    glutMotionFunc(mouseDrag);
}

void installExtras() {
    bindKey('f', frameScene);
    bindKey('i', [] { hudShown = !hudShown; });
    bindKey('h', [] { helpShown = !helpShown; });
    bindKey('t', [] { trailShown = !trailShown; });
    installMouse();
    if (!settings.screenshot.empty()) {
        glutDisplayFunc(saveScreenshot);
        glutIdleFunc(nullptr);
    }
}

}  // namespace sweepview
