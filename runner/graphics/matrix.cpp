#include "graphics/matrix.h"

#include <cmath>

namespace kx {

namespace {

Vector3 sub(Vector3 a, Vector3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
float dot(Vector3 a, Vector3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vector3 cross(Vector3 a, Vector3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vector3 normalize(Vector3 v) {
    float len = std::sqrt(dot(v, v));
    if (len == 0) return v;
    return {v.x / len, v.y / len, v.z / len};
}

Matrix4 zero() {
    return Matrix4{};
}

}  // namespace

Matrix4 matrix_identity() {
    Matrix4 r = zero();
    for (int i = 0; i < 4; ++i) r.m[i][i] = 1;
    return r;
}

Matrix4 matrix_multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 r = zero();
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

Matrix4 matrix_scaling(float sx, float sy, float sz) {
    Matrix4 r = matrix_identity();
    r.m[0][0] = sx;
    r.m[1][1] = sy;
    r.m[2][2] = sz;
    return r;
}

Matrix4 matrix_translation(float x, float y, float z) {
    Matrix4 r = matrix_identity();
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}

Matrix4 matrix_rotation_x(float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    Matrix4 r = matrix_identity();
    r.m[1][1] = c;
    r.m[1][2] = s;
    r.m[2][1] = -s;
    r.m[2][2] = c;
    return r;
}

Matrix4 matrix_rotation_y(float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    Matrix4 r = matrix_identity();
    r.m[0][0] = c;
    r.m[0][2] = -s;
    r.m[2][0] = s;
    r.m[2][2] = c;
    return r;
}

Matrix4 matrix_rotation_z(float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    Matrix4 r = matrix_identity();
    r.m[0][0] = c;
    r.m[0][1] = s;
    r.m[1][0] = -s;
    r.m[1][1] = c;
    return r;
}

// Rodrigues' rotation written for row vectors (the transpose of the
// column-vector form).
Matrix4 matrix_rotation_axis(Vector3 axis, float angle) {
    Vector3 v = normalize(axis);
    if (dot(v, v) == 0) return matrix_identity();
    float c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    Matrix4 r = matrix_identity();
    r.m[0][0] = t * v.x * v.x + c;
    r.m[0][1] = t * v.x * v.y + s * v.z;
    r.m[0][2] = t * v.x * v.z - s * v.y;
    r.m[1][0] = t * v.x * v.y - s * v.z;
    r.m[1][1] = t * v.y * v.y + c;
    r.m[1][2] = t * v.y * v.z + s * v.x;
    r.m[2][0] = t * v.x * v.z + s * v.y;
    r.m[2][1] = t * v.y * v.z - s * v.x;
    r.m[2][2] = t * v.z * v.z + c;
    return r;
}

Matrix4 matrix_look_at_lh(Vector3 eye, Vector3 at, Vector3 up) {
    Vector3 z = normalize(sub(at, eye));
    Vector3 x = normalize(cross(up, z));
    Vector3 y = cross(z, x);
    Matrix4 r = matrix_identity();
    r.m[0][0] = x.x;
    r.m[0][1] = y.x;
    r.m[0][2] = z.x;
    r.m[1][0] = x.y;
    r.m[1][1] = y.y;
    r.m[1][2] = z.y;
    r.m[2][0] = x.z;
    r.m[2][1] = y.z;
    r.m[2][2] = z.z;
    r.m[3][0] = -dot(x, eye);
    r.m[3][1] = -dot(y, eye);
    r.m[3][2] = -dot(z, eye);
    return r;
}

Matrix4 matrix_perspective_fov_lh(float fov_y, float aspect, float zn, float zf) {
    float ys = 1 / std::tan(fov_y / 2);
    float xs = ys / aspect;
    Matrix4 r = zero();
    r.m[0][0] = xs;
    r.m[1][1] = ys;
    r.m[2][2] = zf / (zf - zn);
    r.m[2][3] = 1;
    r.m[3][2] = -zn * zf / (zf - zn);
    return r;
}

Matrix4 matrix_perspective_lh(float w, float h, float zn, float zf) {
    Matrix4 r = zero();
    r.m[0][0] = 2 * zn / w;
    r.m[1][1] = 2 * zn / h;
    r.m[2][2] = zf / (zf - zn);
    r.m[2][3] = 1;
    r.m[3][2] = zn * zf / (zn - zf);
    return r;
}

Matrix4 matrix_ortho_lh(float w, float h, float zn, float zf) {
    Matrix4 r = matrix_identity();
    r.m[0][0] = 2 / w;
    r.m[1][1] = 2 / h;
    r.m[2][2] = 1 / (zf - zn);
    r.m[3][2] = zn / (zn - zf);
    return r;
}

Matrix4 matrix_ortho_off_center_lh(float l, float r_, float b, float t, float zn, float zf) {
    Matrix4 r = matrix_identity();
    r.m[0][0] = 2 / (r_ - l);
    r.m[1][1] = 2 / (t - b);
    r.m[2][2] = 1 / (zf - zn);
    r.m[3][0] = (l + r_) / (l - r_);
    r.m[3][1] = (t + b) / (b - t);
    r.m[3][2] = zn / (zn - zf);
    return r;
}

Vector3 transform_coord(Vector3 p, const Matrix4& m) {
    float x = p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0];
    float y = p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1];
    float z = p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2];
    float w = p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3];
    if (w == 0) return {x, y, z};
    return {x / w, y / w, z / w};
}

Vector3 transform_normal(Vector3 v, const Matrix4& m) {
    return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
            v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
            v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

bool operator==(const Matrix4& a, const Matrix4& b) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (a.m[i][j] != b.m[i][j]) return false;
    return true;
}

}  // namespace kx
