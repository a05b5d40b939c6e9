#pragma once
// Matrix helpers for the drawing device: row vectors (p' = p x M), left-handed
// coordinates, single precision like the device. m[row][col]; translation
// lives in row 3.
#include "platform/draw_device.h"

namespace kx {

struct Vector3 {
    float x = 0, y = 0, z = 0;
};

Matrix4 matrix_identity();
// a x b: a point transformed by the result is transformed by a, then by b.
Matrix4 matrix_multiply(const Matrix4& a, const Matrix4& b);
Matrix4 matrix_scaling(float sx, float sy, float sz);
Matrix4 matrix_translation(float x, float y, float z);
// Rotations by angle radians; looking down the axis towards the origin in
// left-handed space, a positive angle turns clockwise.
Matrix4 matrix_rotation_x(float angle);
Matrix4 matrix_rotation_y(float angle);
Matrix4 matrix_rotation_z(float angle);
// About an axis through the origin (normalised here; a zero axis gives identity).
Matrix4 matrix_rotation_axis(Vector3 axis, float angle);
// View from eye towards at; view space has +z forward, +y up.
Matrix4 matrix_look_at_lh(Vector3 eye, Vector3 at, Vector3 up);
// fov_y in radians; aspect = width / height. Depth maps zn..zf to 0..1.
Matrix4 matrix_perspective_fov_lh(float fov_y, float aspect, float zn, float zf);
// w, h: the size of the view volume at the near plane.
Matrix4 matrix_perspective_lh(float w, float h, float zn, float zf);
Matrix4 matrix_ortho_lh(float w, float h, float zn, float zf);
Matrix4 matrix_ortho_off_center_lh(float l, float r, float b, float t, float zn, float zf);

// (x, y, z, 1) x m, divided by the resulting w (unchanged when w is 0).
Vector3 transform_coord(Vector3 p, const Matrix4& m);
// (x, y, z, 0) x m: a direction, ignoring translation.
Vector3 transform_normal(Vector3 v, const Matrix4& m);

bool operator==(const Matrix4& a, const Matrix4& b);

}  // namespace kx
