// Vector, matrix and quaternion math: degenerate inputs, aliasing of the
// output with an input, and the algebraic identities the simulation relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "sim/vector_math.h"

namespace {

using sim::Mat3;
using sim::Quat;
using sim::Vec3;

void expect_mat_eq(const Mat3& a, const Mat3& b, double tol = 0.0) {
    const double* pa = &a.m00;
    const double* pb = &b.m00;
    for (int i = 0; i < 9; ++i) {
        if (tol == 0.0) {
            EXPECT_EQ(pa[i], pb[i]) << "element " << i;
        } else {
            EXPECT_NEAR(pa[i], pb[i], tol) << "element " << i;
        }
    }
}

void expect_vec_near(const Vec3& a, const Vec3& b, double tol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

void expect_quat_near(const Quat& a, const Quat& b, double tol) {
    EXPECT_NEAR(a.w, b.w, tol);
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

Quat unit_quat(double w, double x, double y, double z) {
    Quat q;
    sim::quat_normalize(q, Quat{w, x, y, z});
    return q;
}

// q v q* for a unit quaternion: the rotation the quaternion stands for.
Vec3 rotate_by_quat(const Quat& q, const Vec3& v) {
    Quat p{0.0, v.x, v.y, v.z}, conj, tmp;
    sim::quat_conjugate(conj, q);
    sim::quat_mul(tmp, q, p);
    sim::quat_mul(tmp, tmp, conj);
    return Vec3{tmp.x, tmp.y, tmp.z};
}

const Mat3 kA{1.5, -2.0, 0.25, 3.0, 4.5, -1.0, 0.5, 2.0, -3.5};
const Mat3 kB{-0.5, 1.0, 2.0, 0.75, -1.25, 3.0, 2.5, 0.5, 1.0};

TEST(VecNormalize, DegenerateVectorsBecomeZeroAndReportFailure) {
    Vec3 out{7.0, 7.0, 7.0};
    EXPECT_FALSE(sim::vec_normalize(out, Vec3{0.0, 0.0, 0.0}));
    EXPECT_EQ(out.x, 0.0);
    EXPECT_EQ(out.y, 0.0);
    EXPECT_EQ(out.z, 0.0);

    out = Vec3{7.0, 7.0, 7.0};
    EXPECT_FALSE(sim::vec_normalize(out, Vec3{1e-320, 0.0, 0.0}));  // subnormal length
    EXPECT_EQ(out.x, 0.0);
    EXPECT_EQ(out.y, 0.0);
    EXPECT_EQ(out.z, 0.0);
}

TEST(VecNormalize, ScalesToUnitLengthInPlace) {
    Vec3 v{3.0, 0.0, -4.0};
    EXPECT_TRUE(sim::vec_normalize(v, v));
    expect_vec_near(v, Vec3{0.6, 0.0, -0.8}, 1e-16);
    Vec3 small{0.0, -1e-150, 0.0};  // small, but its squared length is still normal
    EXPECT_TRUE(sim::vec_normalize(small, small));
    EXPECT_EQ(small.y, -1.0);
}

TEST(VecOps, CrossProductIsRightHandedAndAliasSafe) {
    Vec3 z;
    sim::vec_cross(z, Vec3{1, 0, 0}, Vec3{0, 1, 0});
    expect_vec_near(z, Vec3{0, 0, 1}, 0.0);
    Vec3 a{1.0, 2.0, 3.0};
    const Vec3 b{-2.0, 0.5, 4.0};
    Vec3 expected;
    sim::vec_cross(expected, a, b);
    sim::vec_cross(a, a, b);
    expect_vec_near(a, expected, 0.0);
    EXPECT_DOUBLE_EQ(expected.x, 2.0 * 4.0 - 3.0 * 0.5);
}

TEST(Mat3Ops, OutputMayAliasAnInput) {
    Mat3 sum, product, difference;
    sim::mat3_add(sum, kA, kB);
    sim::mat3_mul(product, kA, kB);
    sim::mat3_sub(difference, kA, kB);

    Mat3 a = kA;
    sim::mat3_add(a, a, kB);
    expect_mat_eq(a, sum);

    a = kA;
    sim::mat3_mul(a, a, kB);
    expect_mat_eq(a, product);

    Mat3 b = kB;
    sim::mat3_mul(b, kA, b);
    expect_mat_eq(b, product);

    a = kA;
    sim::mat3_mul(a, a, a);
    Mat3 square;
    sim::mat3_mul(square, kA, kA);
    expect_mat_eq(a, square);

    b = kB;
    sim::mat3_sub(b, kA, b);
    expect_mat_eq(b, difference);

    Mat3 inverse;
    sim::mat3_inverse(inverse, kA);
    a = kA;
    sim::mat3_inverse(a, a);
    expect_mat_eq(a, inverse);
}

TEST(Mat3Inverse, DiagonalMatrixInvertsElementwise) {
    Mat3 inv;
    sim::mat3_inverse(inv, Mat3{2.0, 0, 0, 0, 4.0, 0, 0, 0, -8.0});
    expect_mat_eq(inv, Mat3{0.5, 0, 0, 0, 0.25, 0, 0, 0, -0.125});
}

TEST(Mat3Inverse, SymmetricMatrixTimesInverseIsIdentity) {
    // An inertia-like tensor: a sum of point inertias and a diagonal part.
    Mat3 m, p;
    sim::mat3_point_inertia(m, Vec3{0.3, -0.1, 0.05});
    sim::mat3_point_inertia(p, Vec3{-0.2, 0.4, 0.1});
    sim::mat3_add(m, m, p);
    sim::mat3_add(m, m, Mat3{1e-3, 0, 0, 0, 2e-3, 0, 0, 0, 3e-3});
    Mat3 inv, prod, identity;
    sim::mat3_inverse(inv, m);
    sim::mat3_identity(identity);
    sim::mat3_mul(prod, m, inv);
    expect_mat_eq(prod, identity, 1e-12);
    sim::mat3_mul(prod, inv, m);
    expect_mat_eq(prod, identity, 1e-12);
    EXPECT_DOUBLE_EQ(inv.m01, inv.m10);
    EXPECT_DOUBLE_EQ(inv.m02, inv.m20);
    EXPECT_DOUBLE_EQ(inv.m12, inv.m21);
}

TEST(Mat3PointInertia, ActsAsRCrossVCrossR) {
    // |r|^2 v - r (r.v) = r x (v x r), the angular momentum of a unit mass
    // at r spinning with angular velocity v.
    const Vec3 r{0.3, -0.7, 1.1};
    const Vec3 v{-0.4, 0.9, 0.25};
    Mat3 inertia;
    sim::mat3_point_inertia(inertia, r);
    Vec3 iv, vxr, expected;
    sim::mat3_mul_vec(iv, inertia, v);
    sim::vec_cross(vxr, v, r);
    sim::vec_cross(expected, r, vxr);
    expect_vec_near(iv, expected, 1e-15);
}

TEST(MatFromQuat, IdentityQuaternionGivesIdentityMatrix) {
    Mat3 m, identity;
    sim::mat3_from_quat(m, Quat{1.0, 0.0, 0.0, 0.0});
    sim::mat3_identity(identity);
    expect_mat_eq(m, identity);
}

TEST(MatFromQuat, MatrixRotatesLikeTheQuaternion) {
    // A quarter turn about z takes x to y: the first column is (0, 1, 0).
    Quat quarter;
    sim::quat_from_axis_angle(quarter, Vec3{0, 0, 1}, std::numbers::pi / 2.0);
    Mat3 m;
    sim::mat3_from_quat(m, quarter);
    Vec3 c0, c1, c2;
    sim::mat3_columns(c0, c1, c2, m);
    expect_vec_near(c0, Vec3{0, 1, 0}, 1e-15);
    expect_vec_near(c1, Vec3{-1, 0, 0}, 1e-15);
    expect_vec_near(c2, Vec3{0, 0, 1}, 1e-15);

    const Quat q = unit_quat(0.4, -0.5, 0.3, 0.7);
    sim::mat3_from_quat(m, q);
    const Vec3 v{1.5, -0.25, 0.75};
    Vec3 by_matrix;
    sim::mat3_mul_vec(by_matrix, m, v);
    expect_vec_near(by_matrix, rotate_by_quat(q, v), 1e-14);
}

TEST(QuatOps, HamiltonProductOfBasisUnits) {
    Quat k, minus_k, minus_one;
    sim::quat_mul(k, Quat{0, 1, 0, 0}, Quat{0, 0, 1, 0});        // i j = k
    sim::quat_mul(minus_k, Quat{0, 0, 1, 0}, Quat{0, 1, 0, 0});  // j i = -k
    sim::quat_mul(minus_one, Quat{0, 0, 0, 1}, Quat{0, 0, 0, 1});  // k k = -1
    expect_quat_near(k, Quat{0, 0, 0, 1}, 0.0);
    expect_quat_near(minus_k, Quat{0, 0, 0, -1}, 0.0);
    expect_quat_near(minus_one, Quat{-1, 0, 0, 0}, 0.0);
}

TEST(QuatOps, ProductMayAliasEitherFactor) {
    const Quat a = unit_quat(0.3, 0.5, -0.2, 0.8);
    const Quat b = unit_quat(-0.6, 0.1, 0.7, 0.2);
    Quat expected;
    sim::quat_mul(expected, a, b);
    Quat x = a;
    sim::quat_mul(x, x, b);
    expect_quat_near(x, expected, 0.0);
    Quat y = b;
    sim::quat_mul(y, a, y);
    expect_quat_near(y, expected, 0.0);
    Quat sq_expected, z = a;
    sim::quat_mul(sq_expected, a, a);
    sim::quat_mul(z, z, z);
    expect_quat_near(z, sq_expected, 0.0);
}

TEST(QuatOps, UnitQuaternionTimesConjugateIsIdentity) {
    for (const Quat& raw : {Quat{0.3, 0.5, -0.2, 0.8}, Quat{-1.0, 2.0, 3.0, -4.0}, Quat{0, 0, 1, 0}}) {
        Quat q, conj, product;
        sim::quat_normalize(q, raw);
        sim::quat_conjugate(conj, q);
        sim::quat_mul(product, q, conj);
        expect_quat_near(product, Quat{1.0, 0.0, 0.0, 0.0}, 1e-15);
    }
}

}  // namespace
