#include "QC_Matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
QC_Matrix Identity()
{
    QC_Matrix matrix;
    matrix.Identity();
    return matrix;
}

// Full product a x b, written independently of the in-place row updates.
QC_Matrix Multiply(const QC_Matrix& a, const QC_Matrix& b)
{
    QC_Matrix result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += double(a[4 * r + k]) * b[4 * k + c];
            result[4 * r + c] = static_cast<float>(sum);
        }
    return result;
}

QC_Matrix FromRows(std::initializer_list<float> values)
{
    QC_Matrix matrix;
    int i = 0;
    for (float value : values)
        matrix[i++] = value;
    return matrix;
}

void ExpectNear(const QC_Matrix& actual, const QC_Matrix& expected)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-5f) << "element " << i;
}

// Some matrix with no zero and no repeated element, to show every element takes part.
QC_Matrix Sample()
{
    return FromRows({1.5f, -2.0f, 3.25f, 0.5f, 4.0f, 5.5f, -6.0f, 1.0f, 7.0f, 8.5f, 9.0f, -1.5f, 2.5f, 3.0f, 4.5f, 2.0f});
}
} // namespace

TEST(QC_MatrixTest, IdentityHasOnesOnTheDiagonalOnly)
{
    QC_Matrix matrix;
    for (float& element : matrix.m)
        element = 7.0f;
    matrix.Identity();
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(matrix[i], (i % 5 == 0) ? 1.0f : 0.0f) << "element " << i;
}

TEST(QC_MatrixTest, PerspectiveNumbersOfTheScenes)
{
    QC_Matrix matrix;
    for (float& element : matrix.m)
        element = 9.0f;
    matrix.Perspective(45.0f, 1.0f, 0.1f, 100.0f);
    // The half field of view goes to the tangent as radians: 1 / tan(22.5 rad).
    EXPECT_NEAR(matrix[0], 1.79259f, 1e-5f);
    EXPECT_NEAR(matrix[5], 1.79259f, 1e-5f);
    EXPECT_FLOAT_EQ(matrix[10], 1.001001f);
    EXPECT_FLOAT_EQ(matrix[14], -0.1001001f);
    EXPECT_EQ(matrix[11], 1.0f);
    EXPECT_EQ(matrix[15], 0.0f);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13})
        EXPECT_EQ(matrix[i], 0.0f) << "element " << i;

    matrix.Perspective(90.0f, 2.0f, 0.1f, 100.0f);
    EXPECT_NEAR(matrix[5], 0.6174f, 1e-4f);
    EXPECT_NEAR(matrix[0], 0.6174f / 2.0f, 1e-4f);

    matrix.Perspective(45.0f, 16.0f / 9.0f, 0.01f, 100.0f);
    EXPECT_FLOAT_EQ(matrix[10], 1.0001f);
    EXPECT_FLOAT_EQ(matrix[14], -0.010001f);
    EXPECT_NEAR(matrix[0], 1.79259f * 9.0f / 16.0f, 1e-5f);
}

TEST(QC_MatrixTest, TranslateOfIdentityFillsTheLastRow)
{
    QC_Matrix matrix = Identity();
    matrix.Translate(1.0f, 2.0f, 3.0f);
    ExpectNear(matrix, FromRows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}));
}

TEST(QC_MatrixTest, RotateZQuarterTurnMapsXOntoY)
{
    QC_Matrix matrix = Identity();
    matrix.RotateZ(1.5708f);
    EXPECT_NEAR(matrix[0], 0.0f, 1e-5f);
    EXPECT_NEAR(matrix[1], 1.0f, 1e-5f);
    EXPECT_NEAR(matrix[2], 0.0f, 1e-5f);
    EXPECT_NEAR(matrix[3], 0.0f, 1e-5f);
    EXPECT_NEAR(matrix[4], -1.0f, 1e-5f);
    EXPECT_NEAR(matrix[5], 0.0f, 1e-5f);
}

TEST(QC_MatrixTest, EveryOperationMultipliesOnTheRight)
{
    const float angle = 0.7f;
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    struct Case
    {
        const char* name;
        void (*apply)(QC_Matrix&);
        QC_Matrix operand;
    };
    const Case cases[] = {
        {"Translate", [](QC_Matrix& m) { m.Translate(2.0f, -3.0f, 4.0f); },
         FromRows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 2, -3, 4, 1})},
        {"Scale", [](QC_Matrix& m) { m.Scale(2.0f, -0.5f, 3.0f); },
         FromRows({2, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1})},
        {"RotateX", [](QC_Matrix& m) { m.RotateX(0.7f); }, FromRows({1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1})},
        {"RotateY", [](QC_Matrix& m) { m.RotateY(0.7f); }, FromRows({c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1})},
        {"RotateZ", [](QC_Matrix& m) { m.RotateZ(0.7f); }, FromRows({c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1})},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        QC_Matrix matrix = Sample();
        test.apply(matrix);
        ExpectNear(matrix, Multiply(Sample(), test.operand));
    }
}

TEST(QC_MatrixTest, CompositionAppliesInCallOrder)
{
    // A point at the origin, translated then rotated a quarter turn about Z, lands on +Y.
    QC_Matrix matrix = Identity();
    matrix.Translate(1.0f, 0.0f, 0.0f);
    matrix.RotateZ(1.5707964f);
    EXPECT_NEAR(matrix[12], 0.0f, 1e-6f);
    EXPECT_NEAR(matrix[13], 1.0f, 1e-6f);
}

TEST(QC_MatrixDeathTest, PerspectiveRefusesAnAspectNotAboveZero)
{
    QC_Matrix matrix;
    EXPECT_EXIT(matrix.Perspective(45.0f, 0.0f, 0.1f, 100.0f), testing::ExitedWithCode(3),
                "\\[FATAL\\] Aspect has to be greated than zero\\.");
    EXPECT_EXIT(matrix.Perspective(45.0f, std::numeric_limits<float>::quiet_NaN(), 0.1f, 100.0f),
                testing::ExitedWithCode(3), "Aspect has to be greated than zero\\.");
    EXPECT_EXIT(matrix.Perspective(45.0f, -1.0f, 0.1f, 100.0f), testing::ExitedWithCode(3),
                "frame/qc/QC_Matrix.h\\([0-9]+\\):.*Aspect has to be greated than zero\\.");
}
