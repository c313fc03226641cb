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
    glCalls.push_back(GlCall{name, args, {}});
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
void glShadeModel(GLenum mode) { record("glShadeModel", {double(mode)}); }
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
    record("glClearColor", {r, g, b, a});
}
void glClearDepth(GLclampd depth) { record("glClearDepth", {depth}); }
void glDepthFunc(GLenum func) { record("glDepthFunc", {double(func)}); }
void glEnable(GLenum cap) { record("glEnable", {double(cap)}); }
void glBlendFunc(GLenum source, GLenum destination) {
    record("glBlendFunc", {double(source), double(destination)});
}
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
void glutInit(int* argc, char** /*argv*/) { record("glutInit", {double(*argc)}); }
void glutInitDisplayMode(unsigned int mode) { record("glutInitDisplayMode", {double(mode)}); }
void glutInitWindowPosition(int x, int y) {
    record("glutInitWindowPosition", {double(x), double(y)});
}
void glutInitWindowSize(int width, int height) {
    record("glutInitWindowSize", {double(width), double(height)});
}
int glutCreateWindow(const char* title) {
    glCalls.push_back(GlCall{"glutCreateWindow", {}, title});
    return 1;
}
void glutKeyboardFunc(void (*)(unsigned char, int, int)) { record("glutKeyboardFunc"); }
void glutSpecialFunc(void (*)(int, int, int)) { record("glutSpecialFunc"); }
void glutReshapeFunc(void (*)(int, int)) { record("glutReshapeFunc"); }
void glutDisplayFunc(void (*)()) { record("glutDisplayFunc"); }
void glutIdleFunc(void (*)()) { record("glutIdleFunc"); }
void glutMainLoop() { record("glutMainLoop"); }
void glutWireSphere(double radius, GLint slices, GLint stacks) {
    record("glutWireSphere", {radius, double(slices), double(stacks)});
}
void glutSwapBuffers() { record("glutSwapBuffers"); }
void glutPostRedisplay() { record("glutPostRedisplay"); }
