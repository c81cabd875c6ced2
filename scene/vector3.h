#pragma once
// Three single-precision floats with value semantics: the tube's positions
// and normals and the point cloud's points; and the angle conversion the
// effects share. Pure arithmetic, float throughout
// (no promotion to double), so results are the same wherever it is used.

#include <cmath>

namespace scene {

// Degrees to radians for every effect that turns a stepped angle (degrees)
// into a sine or cosine, in double precision: the factor the show's motion
// was made with, 2.2e-15 (relative) above the double nearest pi / 180.
inline constexpr double kRadiansPerDegree = 0.017453292519943334;

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    Vector3 operator-() const { return {-x, -y, -z}; }
    Vector3 operator+(const Vector3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vector3 operator-(const Vector3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vector3 operator*(float s) const { return {x * s, y * s, z * s}; }

    // Right-handed: (u x v) = (u.y v.z - u.z v.y, u.z v.x - u.x v.z, u.x v.y - u.y v.x).
    Vector3 Cross(const Vector3& v) const { return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x}; }
    float Length() const { return std::sqrt(x * x + y * y + z * z); }

    // To unit length, scaled by the float 1 / length; a vector shorter than
    // 1e-49 (in single precision: exactly zero) becomes (0, 0, 0).
    void Normalise() {
        const float length = Length();
        if (static_cast<double>(length) < 1e-49) {
            *this = {};
            return;
        }
        const float scale = 1.0f / length;
        x *= scale;
        y *= scale;
        z *= scale;
    }
};

}  // namespace scene
