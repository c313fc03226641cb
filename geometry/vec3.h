#pragma once

#include <cmath>

namespace sweepview {

// A point, direction, extent or normal: three 32-bit floats, copied freely.
// Every operation is done in float, in the order written, so results are the
// same bits on every build (the project compiles with -ffp-contract=off).
struct Vec3 {
    float x;
    float y;
    float z;

    constexpr Vec3(float x_ = 0.0f, float y_ = 0.0f, float z_ = 0.0f) : x(x_), y(y_), z(z_) {}

    void operator+=(const Vec3& b) {
        x += b.x;
        y += b.y;
        z += b.z;
    }

    // Scales to unit length by the factor 1 / length, rounded to float before it
    // multiplies. No guard: the zero vector becomes non-numbers.
    Vec3& normalize() {
        const float factor = 1.0f / std::sqrt(x * x + y * y + z * z);
        x *= factor;
        y *= factor;
        z *= factor;
        return *this;
    }
};

// Three packed floats: the compiled tree's 32-byte nodes and the SSE loads of
// their bounds count on it.
static_assert(sizeof(Vec3) == 3 * sizeof(float) && alignof(Vec3) == alignof(float));

inline Vec3 operator+(const Vec3& a, const Vec3& b) {
    return Vec3(a.x + b.x, a.y + b.y, a.z + b.z);
}

inline Vec3 operator-(const Vec3& a, const Vec3& b) {
    return Vec3(a.x - b.x, a.y - b.y, a.z - b.z);
}

inline Vec3 operator*(const Vec3& a, float s) { return Vec3(a.x * s, a.y * s, a.z * s); }

inline bool operator==(const Vec3& a, const Vec3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

inline Vec3 componentProduct(const Vec3& a, const Vec3& b) {
    return Vec3(a.x * b.x, a.y * b.y, a.z * b.z);
}

inline float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Right-handed: cross((1,0,0), (0,1,0)) = (0,0,1).
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return Vec3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

inline float lengthSquared(const Vec3& a) { return a.x * a.x + a.y * a.y + a.z * a.z; }

inline float length(const Vec3& a) { return std::sqrt(lengthSquared(a)); }

// Unit-length copy with the same factor as Vec3::normalize; the zero vector
// gives non-numbers.
inline Vec3 normalized(const Vec3& a) {
    Vec3 copy = a;
    return copy.normalize();
}

// Component by index, 0 = x, 1 = y, 2 = z; for code that picks axes at run time.
inline float component(const Vec3& a, int axis) {
    return axis == 0 ? a.x : (axis == 1 ? a.y : a.z);
}

inline constexpr Vec3 zeroVector{};

}  // namespace sweepview
