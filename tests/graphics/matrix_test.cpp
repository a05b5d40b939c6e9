#include "graphics/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace kx {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void expect_near(Vector3 got, Vector3 want, const char* what) {
    EXPECT_NEAR(got.x, want.x, 1e-4f) << what;
    EXPECT_NEAR(got.y, want.y, 1e-4f) << what;
    EXPECT_NEAR(got.z, want.z, 1e-4f) << what;
}

TEST(Matrix, PointsThroughEachHelper) {
    struct Case {
        const char* what;
        Matrix4 m;
        Vector3 in, out;
    };
    const Case cases[] = {
        {"identity", matrix_identity(), {1, 2, 3}, {1, 2, 3}},
        {"scaling", matrix_scaling(2, -3, 0.5f), {1, 2, 4}, {2, -6, 2}},
        {"translation", matrix_translation(10, 20, 30), {1, 2, 3}, {11, 22, 33}},
        {"rotation x: +y turns to +z", matrix_rotation_x(kPi / 2), {0, 1, 0}, {0, 0, 1}},
        {"rotation y: +z turns to +x", matrix_rotation_y(kPi / 2), {0, 0, 1}, {1, 0, 0}},
        {"rotation z: +x turns to +y", matrix_rotation_z(kPi / 2), {1, 0, 0}, {0, 1, 0}},
        {"rotation z by 30 degrees",
         matrix_rotation_z(kPi / 6),
         {2, 0, 0},
         {std::sqrt(3.0f), 1, 0}},
        {"look-at: eye maps to origin",
         matrix_look_at_lh({1, 2, -5}, {1, 2, 0}, {0, 1, 0}),
         {1, 2, -5},
         {0, 0, 0}},
        {"look-at: target ahead on +z",
         matrix_look_at_lh({1, 2, -5}, {1, 2, 0}, {0, 1, 0}),
         {1, 2, 0},
         {0, 0, 5}},
        // Looking along +x with y up, the world's -z lies to the right.
        {"look-at sideways",
         matrix_look_at_lh({0, 0, 0}, {1, 0, 0}, {0, 1, 0}),
         {2, 3, -1},
         {1, 3, 2}},
        {"perspective fov: near corner",
         matrix_perspective_fov_lh(kPi / 2, 2, 1, 101),
         {2, 1, 1},
         {1, 1, 0}},
        {"perspective fov: far plane",
         matrix_perspective_fov_lh(kPi / 2, 2, 1, 101),
         {0, 0, 101},
         {0, 0, 1}},
        {"perspective: near corner", matrix_perspective_lh(2, 1, 1, 3), {1, 0.5f, 1}, {1, 1, 0}},
        {"perspective: doubled distance halves x",
         matrix_perspective_lh(2, 1, 1, 3),
         {1, 0.5f, 2},
         {0.5f, 0.5f, 0.75f}},
        {"ortho: corner at near", matrix_ortho_lh(200, 100, 1, 11), {100, 50, 1}, {1, 1, 0}},
        {"ortho: middle depth", matrix_ortho_lh(200, 100, 1, 11), {-100, -50, 6}, {-1, -1, 0.5f}},
        {"ortho off-centre: left bottom near",
         matrix_ortho_off_center_lh(10, 30, 40, 20, 0, 1),
         {10, 40, 0},
         {-1, -1, 0}},
        {"ortho off-centre: right top far",
         matrix_ortho_off_center_lh(10, 30, 40, 20, 0, 1),
         {30, 20, 1},
         {1, 1, 1}},
    };
    for (const Case& c : cases) expect_near(transform_coord(c.in, c.m), c.out, c.what);
}

TEST(Matrix, ExactEntriesOfTheStandardForms) {
    Matrix4 p = matrix_perspective_fov_lh(kPi / 2, 2, 1, 101);
    EXPECT_FLOAT_EQ(p.m[0][0], 0.5f);
    EXPECT_FLOAT_EQ(p.m[1][1], 1.0f);
    EXPECT_FLOAT_EQ(p.m[2][2], 1.01f);
    EXPECT_FLOAT_EQ(p.m[2][3], 1.0f);
    EXPECT_FLOAT_EQ(p.m[3][2], -1.01f);
    EXPECT_FLOAT_EQ(p.m[3][3], 0.0f);
    Matrix4 o = matrix_ortho_lh(640, -480, 1, 32000);
    EXPECT_FLOAT_EQ(o.m[0][0], 2.0f / 640);
    EXPECT_FLOAT_EQ(o.m[1][1], -2.0f / 480);
    EXPECT_FLOAT_EQ(o.m[2][2], 1.0f / 31999);
    EXPECT_FLOAT_EQ(o.m[3][2], -1.0f / 31999);
    EXPECT_FLOAT_EQ(o.m[3][3], 1.0f);
    Matrix4 t = matrix_translation(4, 5, 6);
    EXPECT_EQ(t.m[3][0], 4);
    EXPECT_EQ(t.m[0][3], 0);
}

TEST(Matrix, MultiplyAppliesLeftFirst) {
    // Rotate a quarter turn, then move: the move is not rotated.
    Matrix4 rot_then_move =
        matrix_multiply(matrix_rotation_z(kPi / 2), matrix_translation(100, 0, 0));
    expect_near(transform_coord({1, 0, 0}, rot_then_move), {100, 1, 0}, "rotate then move");
    Matrix4 move_then_rot =
        matrix_multiply(matrix_translation(100, 0, 0), matrix_rotation_z(kPi / 2));
    expect_near(transform_coord({1, 0, 0}, move_then_rot), {0, 101, 0}, "move then rotate");
    expect_near(transform_normal({1, 0, 0}, rot_then_move), {0, 1, 0}, "normals ignore moves");
}

TEST(Matrix, AxisRotationAgreesWithTheAxisForms) {
    for (float a : {0.3f, -1.2f, 2.5f}) {
        struct Case {
            Vector3 axis;
            Matrix4 want;
        };
        const Case cases[] = {{{3, 0, 0}, matrix_rotation_x(a)},
                              {{0, 0.5f, 0}, matrix_rotation_y(a)},
                              {{0, 0, 2}, matrix_rotation_z(a)}};
        for (const Case& c : cases) {
            Matrix4 got = matrix_rotation_axis(c.axis, a);
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j) EXPECT_NEAR(got.m[i][j], c.want.m[i][j], 1e-6f);
        }
    }
    // A diagonal axis permutes the coordinate axes after a third of a turn.
    expect_near(transform_coord({1, 0, 0}, matrix_rotation_axis({1, 1, 1}, 2 * kPi / 3)), {0, 1, 0},
                "diagonal axis");
    EXPECT_TRUE(matrix_rotation_axis({0, 0, 0}, 1.0f) == matrix_identity());
}

TEST(Matrix, TwoDimensionalRoomProjection) {
    // The room rectangle (x, y, w, h) fills clip space with y growing downwards.
    const float x = 100, y = 50, w = 320, h = 240;
    Matrix4 view =
        matrix_look_at_lh({x + w / 2, y + h / 2, -16000}, {x + w / 2, y + h / 2, 0}, {0, 1, 0});
    Matrix4 proj = matrix_ortho_lh(w, -h, 1, 32000);
    Matrix4 vp = matrix_multiply(view, proj);
    expect_near(transform_coord({x, y, 0}, vp), {-1, 1, 15999.0f / 31999}, "top left");
    expect_near(transform_coord({x + w, y + h, 0}, vp), {1, -1, 15999.0f / 31999}, "bottom right");
}

}  // namespace
}  // namespace kx
