#pragma once

#include <cmath>
#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"

// Single-precision point: three floats, laid out x, y, z with no padding so that arrays of points
// can be handed out as float triples.
struct T3dFltPoint {
    float x = 0, y = 0, z = 0;

    T3dFltPoint() = default;
    T3dFltPoint(float px, float py, float pz) : x(px), y(py), z(pz) {}
    explicit T3dFltPoint(const float* p) : x(p[0]), y(p[1]), z(p[2]) {}

    float& operator[](int i) { return (&x)[i]; }
    float operator[](int i) const { return (&x)[i]; }
    bool operator==(const T3dFltPoint&) const = default;
    T3dFltPoint operator+(const T3dFltPoint& o) const { return {x + o.x, y + o.y, z + o.z}; }
    T3dFltPoint operator-(const T3dFltPoint& o) const { return {x - o.x, y - o.y, z - o.z}; }
    T3dFltPoint operator*(float s) const { return {x * s, y * s, z * s}; }
};
static_assert(sizeof(T3dFltPoint) == 12);

// Single-precision vector; w is carried for matrix products and is 0 for directions.
struct BRINDLE_API T4dFltVector {
    float x = 0, y = 0, z = 0, w = 0;

    T4dFltVector() = default;
    T4dFltVector(float px, float py, float pz, float pw = 0) : x(px), y(py), z(pz), w(pw) {}

    float& operator[](int i) { return (&x)[i]; }
    float operator[](int i) const { return (&x)[i]; }
    bool operator==(const T4dFltVector&) const = default;

    float dot(const T4dFltVector& o) const { return x * o.x + y * o.y + z * o.z; }
    float length() const { return std::sqrt(dot(*this)); }
    void setToCrossProduct(const T4dFltVector& a, const T4dFltVector& b) {
        float cx = a.y * b.z - a.z * b.y, cy = a.z * b.x - a.x * b.z, cz = a.x * b.y - a.y * b.x;
        x = cx;
        y = cy;
        z = cz;
        w = 0;
    }
    // True when every component is within tolerance of zero.
    bool zeroLength(float tolerance) const {
        return std::fabs(x) <= tolerance && std::fabs(y) <= tolerance && std::fabs(z) <= tolerance;
    }
    // Scales to unit length; a vector shorter than the tolerance is left as it is and false returned.
    bool normalize(float tolerance = 0.0f) {
        float l = length();
        if (!(l > tolerance)) return false;
        x /= l;
        y /= l;
        z /= l;
        return true;
    }

    static const T4dFltVector xAxis, yAxis, zAxis;
};

// Row-major 4x4 matrix acting on row vectors (p' = p * M), translation in the last row.
struct BRINDLE_API T4dFltMatrix {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    bool isIdentity() const;
    T3dFltPoint transformPoint(const T3dFltPoint& p) const;
    T4dFltVector transformVector(const T4dFltVector& v) const;
    T4dFltMatrix operator*(const T4dFltMatrix& o) const;
    // False, leaving the matrix as it was, when it is singular.
    bool invert();
    // The matrix that carries normals along with this one: the inverse transpose of the upper
    // 3x3, no translation. A singular 3x3 gives its cofactor matrix, which still keeps normals
    // perpendicular to the transformed surface wherever that is not flattened.
    T4dFltMatrix convertForNormals() const;
};

using T2Float = float[2];
struct T2FloatPair {
    float u = 0, v = 0;
    bool operator==(const T2FloatPair&) const = default;
};
using T2FloatArray = Tarray<T2FloatPair>;
using T3Float = float[3];
// Points of the host interface: double-precision ones and homogeneous ones (x, y, z and a weight
// w, 1 for ordinary points). Records store positions in single precision.
struct T3dDblPoint {
    double x = 0, y = 0, z = 0;
};
struct T4dFltPoint {
    float x = 0, y = 0, z = 0, w = 1;
};
struct T4dDblPoint {
    double x = 0, y = 0, z = 0, w = 1;
};
using T3dDblPointArray = Tarray<T3dDblPoint>;
using T4dFltPointArray = Tarray<T4dFltPoint>;
using T4dDblPointArray = Tarray<T4dDblPoint>;
using T3dFltPointArray = Tarray<T3dFltPoint>;
using T4dFltVectorArray = Tarray<T4dFltVector>;
