#include "app/viewer_overlay.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <deque>
#include <numbers>
#include <string>

#include "app/audit_replay.h"
#include "app/viewer_loop.h"
#include "app/viewer_state.h"
#include "app/walk_mode.h"

namespace sweepview {

OverlaySettings overlay;

namespace {

constexpr const char* CONTACT_KIND_NAMES[3] = {"face", "edge", "corner"};
constexpr float KIND_COLOURS[3][3] = {{0.0f, 0.6f, 0.0f}, {1.0f, 0.5f, 0.0f}, {0.6f, 0.0f, 0.8f}};

struct NotedContact {
    Vec3 point;  // where the sphere touched the mesh
    ContactFeature kind;
    std::int32_t triangle;
    float time;
};

struct TrailStep {
    Vec3 centre;
    std::vector<NotedContact> contacts;
};

constexpr std::size_t TRAIL_STEPS = 400;

std::deque<TrailStep> trail;  // the newest step last
std::vector<NotedContact> lastContacts;

void drawText(int x, int y, const std::string& text) {
    glRasterPos2i(x, y);
    glutBitmapString(GLUT_BITMAP_8_BY_13, reinterpret_cast<const unsigned char*>(text.c_str()));
}

std::string format(const char* pattern, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

// Over a pale band, so the text reads over a dark lit wall as well.
void drawTextLines(const std::vector<std::string>& lines, int left, int top, float red, float green, float blue) {
    std::size_t widest = 0;
    for (const std::string& line : lines) {
        widest = std::max(widest, line.size());
    }
    glColor4f(1.0f, 1.0f, 1.0f, 0.6f);
    glRecti(left - 4, top + 13, left + 8 * static_cast<int>(widest) + 4, top - 15 * static_cast<int>(lines.size()) + 10);
    glColor4f(red, green, blue, 1.0f);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        drawText(left, top - 15 * static_cast<int>(i), lines[i]);
    }
}

std::string runLine() {
    if (!animationRunning) {
        return overlay.walk != nullptr ? "paused (p runs, n takes one step)" : "paused (space runs, s takes one step)";
    }
    if (overlay.stepsPerSecond == 0.0) {
        return "running, one step per frame";
    }
    return format("running, %g steps/s", overlay.stepsPerSecond);
}

std::vector<std::string> walkFactLines(const WalkFacts& walk) {
    return {
        format("step %d   centre (%.3f, %.3f, %.3f)", frameCounter, spherePosition.x, spherePosition.y,
               spherePosition.z),
        walk.onFloor ? format("on the floor, slope %.1f degrees", walk.slopeDegrees)
                     : format("in the air, %s %.3g per step", walk.fallSpeed >= 0.0f ? "falling" : "rising",
                              std::fabs(walk.fallSpeed)),
        format("last step: %d contact%s, %d iteration%s", walk.contacts, walk.contacts == 1 ? "" : "s",
               walk.iterations, walk.iterations == 1 ? "" : "s"),
        format("walk %.3g per step   stairs up to %.3g   slopes up to %.3g degrees   radius %.4g", walk.speed,
               walk.stepHeight, walk.maxSlope, sphereRadius),
        runLine(),
        format("boxes (b): %s", boxModeName(boxDrawMode)),
    };
}

std::vector<std::string> factLines() {
    if (overlay.walk != nullptr) {
        std::vector<std::string> lines = walkFactLines(*overlay.walk);
        if (overlay.frameRate && framesPerSecond() > 0.0) {
            lines.push_back(format("%.1f frames/s", framesPerSecond()));
        }
        return lines;
    }
    std::vector<std::string> lines = {
        format("step %d   centre (%.3f, %.3f, %.3f)", frameCounter, spherePosition.x, spherePosition.y,
               spherePosition.z),
        format("speed %.4g   radius %.4g   edges: %s%s", length(sphereVelocity), sphereRadius,
               edgeRule == EdgeRule::Exact ? "exact" : "viewer's rule",
               faceSides == FaceSides::Two ? ", two-sided faces" : ""),
        runLine(),
        format("boxes (b): %s", boxModeName(boxDrawMode)),
        format("last step: %zu contact%s", lastContacts.size(), lastContacts.size() == 1 ? "" : "s"),
    };
    for (std::size_t i = 0; i < lastContacts.size() && i < 6; ++i) {
        const NotedContact& c = lastContacts[i];
        lines.push_back(format("  %s at t %.4f, triangle %d", CONTACT_KIND_NAMES[static_cast<int>(c.kind)], c.time,
                               c.triangle));
    }
    if (overlay.replay != nullptr) {
        const ReplayEvent& e = *overlay.replay;
        lines.push_back(format("replay: %s %ld, start %ld, step %ld, triangle %d", e.kind.c_str(), e.index, e.start,
                               e.step, e.triangle));
        if (!e.detail.empty()) {
            lines.push_back("  " + e.detail.substr(0, 200));
        }
    }
    if (overlay.frameRate && framesPerSecond() > 0.0) {
        lines.push_back(format("%.1f frames/s", framesPerSecond()));
    }
    return lines;
}

void drawCircle(const Vec3& centre, float radius) {
    // Turned back by the camera's angles, so the ring faces the eye.
    glPushMatrix();
    glTranslatef(centre.x, centre.y, centre.z);
    glRotatef(-cameraPitch, 1.0f, 0.0f, 0.0f);
    glRotatef(-cameraYaw, 0.0f, 1.0f, 0.0f);
    glBegin(GL_LINE_LOOP);
    for (int i = 0; i < 48; ++i) {
        const float angle = static_cast<float>(i) * static_cast<float>(2.0 * std::numbers::pi / 48.0);
        glVertex3f(radius * std::cos(angle), radius * std::sin(angle), 0.0f);
    }
    glEnd();
    glPopMatrix();
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

void drawTrail() {
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

}  // namespace

const char* boxModeName(int mode) {
    switch (mode) {
        case 0: return "none";
        case 1: return "corner points";
        case 2: return "edges";
        case 3: return "faces";
        default: return "walk only (nothing drawn)";
    }
}

void noteStep(const std::vector<StepContact>& contacts) {
    lastContacts.clear();
    for (const StepContact& c : contacts) {
        lastContacts.push_back({c.point, c.feature, c.triangle, c.time});
    }
    // A sphere standing still leaves no trail, so the path walked stays.
    if (lastContacts.empty() && !trail.empty() && trail.back().centre == spherePosition) {
        return;
    }
    trail.push_back({spherePosition, lastContacts});
    if (trail.size() > TRAIL_STEPS) {
        trail.pop_front();
    }
}

void drawSceneOverlay() {
    if (overlay.trail && !trail.empty()) {
        drawTrail();
    }
    if (overlay.replay != nullptr) {
        glColor4f(1.0f, 0.0f, 1.0f, 1.0f);
        glLineWidth(2.0f);
        drawTriangleOutline(overlay.replay->triangle);
        drawCircle(overlay.replayPoint, 1.4f * sphereRadius);
        glLineWidth(1.0f);
    }
}

void drawScreenOverlay() {
    if (!overlay.hud && !overlay.help) {
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
    glDisable(GL_DEPTH_TEST);
    if (overlay.hud) {
        drawTextLines(factLines(), 8, height - 16, 0.0f, 0.0f, 0.0f);
    }
    if (overlay.help && overlay.walk != nullptr) {
        drawTextLines({"walk mode: arrows or w a s d walk (ahead: where the camera looks)  space jump",
                       "p run/pause  n one step  b box mode  l lit mesh  Esc quit",
                       "x X y Y z Z move  f frame the model  F the whole scene",
                       "i facts  h keys  t trail  drag turn  wheel/right drag zoom  middle drag pan"},
                      8, 55, 0.2f, 0.2f, 0.5f);
    } else if (overlay.help) {
        drawTextLines({"space run/pause  s one step  b box mode  l lit mesh  Esc quit",
                       "x X y Y z Z move  arrows turn  f frame the model  F the whole scene",
                       "i facts  h keys  t trail  drag turn  wheel/right drag zoom  middle drag pan"},
                      8, 40, 0.2f, 0.2f, 0.5f);
    }
    glEnable(GL_DEPTH_TEST);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace sweepview
