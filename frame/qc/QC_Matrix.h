#pragma once
// 4 x 4 float matrices for the scene code: row-major (element 4 * r + c is row r, column c),
// row vectors, left-handed perspective. Every composing operation multiplies on the right
// (current = current x operand), so a scene starts from Perspective and applies Translate,
// Scale and the rotations in the order its description lists them.
//
//   QC_Matrix& m = *static_cast<QC_Matrix*>(mappedConstantBuffer);
//   m.Perspective(45.0f, aspect, 0.1f, 100.0f);
//   m.Translate(0.0f, 0.0f, 5.0f);
//   m.RotateY(time);
//
// Header-only, inline and allocation-free: a matrix is exactly its 16 floats, with no
// constructor, so it may live directly in a mapped buffer. Trigonometry is evaluated in double
// precision and rounded to float. Angles are radians throughout; Perspective passes half its
// field of view to the tangent unconverted, as the scenes' numbers were tuned against.

#include "QC_Log.h"

#include <cmath>
#include <type_traits>

// Four floats: the unit in which scene code writes parameters next to matrices.
struct QC_Float4
{
    float x;
    float y;
    float z;
    float w;
};

// Sine and cosine of one angle (radians).
inline void QC_SinCos(float angle, float* sine, float* cosine)
{
    *sine = static_cast<float>(std::sin(static_cast<double>(angle)));
    *cosine = static_cast<float>(std::cos(static_cast<double>(angle)));
}

// Cotangent, x in radians.
inline float QC_Cot(float x)
{
    return static_cast<float>(1.0 / std::tan(static_cast<double>(x)));
}

struct QC_Matrix
{
    float m[16];

    float& operator[](int index) { return m[index]; }
    float operator[](int index) const { return m[index]; }

    void Identity()
    {
        for (float& element : m)
            element = 0.0f;
        m[0] = m[5] = m[10] = m[15] = 1.0f;
    }

    // Left-handed perspective; overwrites the matrix. An aspect that is not greater than zero
    // (NaN included) is fatal.
    void Perspective(float fieldOfView, float aspect, float nearPlane, float farPlane)
    {
        if (!(aspect > 0.0f))
            QC_FATAL("Aspect has to be greated than zero.");
        const float yScale = QC_Cot(fieldOfView / 2.0f);
        const float xScale = yScale / aspect;
        for (float& element : m)
            element = 0.0f;
        m[0] = xScale;
        m[5] = yScale;
        m[10] = farPlane / (farPlane - nearPlane);
        m[11] = 1.0f;
        m[14] = -nearPlane * farPlane / (farPlane - nearPlane);
    }

    // current x T: each row (x, y, z, w) becomes (x + w tx, y + w ty, z + w tz, w).
    void Translate(float tx, float ty, float tz)
    {
        for (int row = 0; row < 16; row += 4) {
            const float w = m[row + 3];
            m[row + 0] += w * tx;
            m[row + 1] += w * ty;
            m[row + 2] += w * tz;
        }
    }

    // current x diag(sx, sy, sz, 1).
    void Scale(float sx, float sy, float sz)
    {
        for (int row = 0; row < 16; row += 4) {
            m[row + 0] *= sx;
            m[row + 1] *= sy;
            m[row + 2] *= sz;
        }
    }

    // current x Rx: each row becomes (x, c y - s z, s y + c z, w).
    void RotateX(float angle)
    {
        float s, c;
        QC_SinCos(angle, &s, &c);
        for (int row = 0; row < 16; row += 4) {
            const float y = m[row + 1];
            const float z = m[row + 2];
            m[row + 1] = c * y - s * z;
            m[row + 2] = s * y + c * z;
        }
    }

    // current x Ry: each row becomes (c x + s z, y, -s x + c z, w).
    void RotateY(float angle)
    {
        float s, c;
        QC_SinCos(angle, &s, &c);
        for (int row = 0; row < 16; row += 4) {
            const float x = m[row + 0];
            const float z = m[row + 2];
            m[row + 0] = c * x + s * z;
            m[row + 2] = -s * x + c * z;
        }
    }

    // current x Rz: each row becomes (c x - s y, s x + c y, z, w).
    void RotateZ(float angle)
    {
        float s, c;
        QC_SinCos(angle, &s, &c);
        for (int row = 0; row < 16; row += 4) {
            const float x = m[row + 0];
            const float y = m[row + 1];
            m[row + 0] = c * x - s * y;
            m[row + 1] = s * x + c * y;
        }
    }
};

static_assert(sizeof(QC_Matrix) == 16 * sizeof(float), "a matrix is exactly its 16 floats");
static_assert(std::is_trivial_v<QC_Matrix> && std::is_standard_layout_v<QC_Matrix>,
              "a matrix may live in a mapped constant buffer");
static_assert(sizeof(QC_Float4) == 4 * sizeof(float), "a float4 is exactly its 4 floats");
