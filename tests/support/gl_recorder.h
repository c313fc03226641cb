#pragma once

#include <string>
#include <vector>

// A stand-in for the OpenGL, GLU and GLUT functions the viewer calls, linked
// into tests instead of the real libraries: each call is appended to glCalls
// with its arguments, so a test can assert the exact sequence.
struct GlCall {
    std::string name;
    std::vector<double> args;  // numbers, and the floats a pointer argument points at
};

extern std::vector<GlCall> glCalls;

// The calls with this name, in order.
std::vector<GlCall> callsNamed(const std::string& name);

// The names of the calls from index first on, in order, separated by spaces.
std::string callNames(std::size_t first = 0);
