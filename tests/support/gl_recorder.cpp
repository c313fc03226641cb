#include "support/gl_recorder.h"

#include <GL/glut.h>

#include <initializer_list>

std::vector<GlCall> glCalls;

std::vector<GlCall> callsNamed(const std::string& name) {
    std::vector<GlCall> found;
    for (const GlCall& call : glCalls) {
        if (call.name == name) {
            found.push_back(call);
        }
    }
    return found;
}

std::string callNames(std::size_t first) {
    std::string names;
    for (std::size_t i = first; i < glCalls.size(); ++i) {
        names += (names.empty() ? "" : " ") + glCalls[i].name;
    }
    return names;
}

namespace {
void record(const char* name, std::initializer_list<double> args = {}) {
    glCalls.push_back(GlCall{name, args});
}
}  // namespace

// OpenGL
void glBegin(GLenum mode) { record("glBegin", {double(mode)}); }
void glEnd() { record("glEnd"); }
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { record("glColor4f", {r, g, b, a}); }
void glVertex3fv(const GLfloat* v) { record("glVertex3fv", {v[0], v[1], v[2]}); }
void glPushMatrix() { record("glPushMatrix"); }
void glPopMatrix() { record("glPopMatrix"); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { record("glTranslatef", {x, y, z}); }
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    record("glRotatef", {angle, x, y, z});
}
void glCallList(GLuint list) { record("glCallList", {double(list)}); }
void glClear(GLbitfield mask) { record("glClear", {double(mask)}); }
void glLoadIdentity() { record("glLoadIdentity"); }
void glDepthMask(GLboolean flag) { record("glDepthMask", {double(flag)}); }
void glFlush() { record("glFlush"); }
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    record("glViewport", {double(x), double(y), double(width), double(height)});
}
void glMatrixMode(GLenum mode) { record("glMatrixMode", {double(mode)}); }
void glShadeModel(GLenum) {}
void glClearColor(GLclampf, GLclampf, GLclampf, GLclampf) {}
void glClearDepth(GLclampd) {}
void glDepthFunc(GLenum) {}
void glEnable(GLenum) {}
void glBlendFunc(GLenum, GLenum) {}
GLuint glGenLists(GLsizei range) {
    record("glGenLists", {double(range)});
    return 7;  // any name; the tests expect this one
}
void glNewList(GLuint list, GLenum mode) { record("glNewList", {double(list), double(mode)}); }
void glEndList() { record("glEndList"); }

// GLU
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    record("gluPerspective", {fovy, aspect, zNear, zFar});
}

// GLUT
// The viewer's start-up, which the end-to-end tests see in a real window.
void glutInit(int*, char**) {}
void glutInitDisplayMode(unsigned int) {}
void glutInitWindowPosition(int, int) {}
void glutInitWindowSize(int, int) {}
int glutCreateWindow(const char*) { return 1; }
void glutKeyboardFunc(void (*)(unsigned char, int, int)) {}
void glutSpecialFunc(void (*)(int, int, int)) {}
void glutReshapeFunc(void (*)(int, int)) {}
void glutDisplayFunc(void (*)()) {}
void glutIdleFunc(void (*)()) {}
void glutMainLoop() {}
void glutWireSphere(double radius, GLint slices, GLint stacks) {
    record("glutWireSphere", {radius, double(slices), double(stacks)});
}
void glutSwapBuffers() { record("glutSwapBuffers"); }
void glutPostRedisplay() { record("glutPostRedisplay"); }
