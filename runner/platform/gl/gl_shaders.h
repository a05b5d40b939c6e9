#pragma once
// The one shader pair that stands in for the fixed-function pipeline. It is
// compiled per combination of the switches below (TEXTURED, TEX_SELECT,
// ALPHA_TEST, FLAT, LIGHTING, FOG_MODE 0 none / 1 vertex / 2 table), so a
// software rasteriser runs no per-pixel test for a stage that is off.

namespace kx::gl {

// Matrices arrive as the device's row-major arrays uploaded untransposed, so
// GLSL sees their transposes and `M * v` is the row-vector product v x M.
//
// Conventions applied at the end of the vertex stage:
//  - y is negated so that framebuffer row 0 holds the top of the image (GL's
//    window origin is bottom-left, the device's is top-left; every buffer
//    here stores rows top first, which also keeps uploads and read-backs
//    unflipped);
//  - the half-pixel offset: the device puts pixel centres at integer
//    coordinates, GL at half-integers, so positions move by half a pixel
//    right and down. Callers therefore place a w-pixel sprite from x - 0.5
//    to x + w - 0.5, as on the original device;
//  - depth 0..1 after projection becomes GL's -1..1 clip range.
inline const char* kVertexShader = R"(
layout(location = 0) in vec3 a_pos;
layout(location = 1) in vec3 a_normal;
layout(location = 2) in vec4 a_colour;  // bytes b, g, r, a
layout(location = 3) in vec2 a_uv;

uniform mat4 u_world_view;
uniform mat4 u_proj;
uniform mat3 u_normal_matrix;
uniform vec2 u_pixel_offset;
uniform int u_light_count;
uniform vec4 u_light_pos[8];  // view space; w = 1 point (xyz position), 0 directional (xyz towards the light)
uniform vec3 u_light_diffuse[8];
uniform vec4 u_light_atten[8];  // a0, a1, a2, range
uniform int u_fog_range;
uniform vec2 u_fog_params;  // start, end

#if FLAT
flat out vec4 v_colour;
#else
out vec4 v_colour;
#endif
out vec2 v_uv;
out float v_fog;
out float v_eye_z;

float fog_factor(float d) {
    float span = u_fog_params.y - u_fog_params.x;
    if (span == 0.0) return d < u_fog_params.y ? 1.0 : 0.0;
    return clamp((u_fog_params.y - d) / span, 0.0, 1.0);
}

void main() {
    vec4 eye = u_world_view * vec4(a_pos, 1.0);
    vec4 c = a_colour.bgra;
#if LIGHTING
    // Diffuse only: the vertex colour is the reflectance, no ambient,
    // emissive or specular term; normals are not renormalised.
    vec3 n = u_normal_matrix * a_normal;
    vec3 sum = vec3(0.0);
    for (int i = 0; i < u_light_count; ++i) {
        vec3 l;
        float att = 1.0;
        if (u_light_pos[i].w == 0.0) {
            l = u_light_pos[i].xyz;
        } else {
            vec3 d = u_light_pos[i].xyz - eye.xyz;
            float dist = length(d);
            if (dist > u_light_atten[i].w) continue;
            l = dist > 0.0 ? d / dist : vec3(0.0);
            float den = u_light_atten[i].x + u_light_atten[i].y * dist +
                        u_light_atten[i].z * dist * dist;
            att = den > 0.0 ? 1.0 / den : 1.0;
        }
        sum += u_light_diffuse[i] * max(dot(n, l), 0.0) * att;
    }
    c = vec4(clamp(c.rgb * sum, 0.0, 1.0), c.a);
#endif
    v_colour = c;
    v_uv = a_uv;
    v_eye_z = eye.z;
#if FOG_MODE == 1
    v_fog = fog_factor(u_fog_range != 0 ? length(eye.xyz) : eye.z);
#else
    v_fog = 1.0;
#endif

    vec4 clip = u_proj * eye;
    clip.y = -clip.y;
    clip.xy += u_pixel_offset * clip.w;
    clip.z = 2.0 * clip.z - clip.w;
    gl_Position = clip;
    gl_PointSize = 1.0;
}
)";

inline const char* kFragmentShader = R"(
#if FLAT
flat in vec4 v_colour;
#else
in vec4 v_colour;
#endif
in vec2 v_uv;
in float v_fog;
in float v_eye_z;

uniform sampler2D u_tex;
uniform int u_alpha_func;   // device compare numbering
uniform float u_alpha_ref;  // 0..255
uniform vec2 u_fog_params;
uniform vec3 u_fog_colour;

out vec4 o_colour;

void main() {
    vec4 c = v_colour;
#if TEXTURED && TEX_SELECT
    c = texture(u_tex, v_uv);
#elif TEXTURED
    c = texture(u_tex, v_uv) * c;
#endif
#if ALPHA_TEST
    float a = floor(c.a * 255.0 + 0.5);
    bool pass;
    if (u_alpha_func == 1) pass = false;
    else if (u_alpha_func == 2) pass = a < u_alpha_ref;
    else if (u_alpha_func == 3) pass = a == u_alpha_ref;
    else if (u_alpha_func == 4) pass = a <= u_alpha_ref;
    else if (u_alpha_func == 5) pass = a > u_alpha_ref;
    else if (u_alpha_func == 6) pass = a != u_alpha_ref;
    else pass = a >= u_alpha_ref;
    if (!pass) discard;
#endif
#if FOG_MODE == 2
    float span = u_fog_params.y - u_fog_params.x;
    float f = span == 0.0 ? (v_eye_z < u_fog_params.y ? 1.0 : 0.0)
                          : clamp((u_fog_params.y - v_eye_z) / span, 0.0, 1.0);
    c.rgb = mix(u_fog_colour, c.rgb, f);
#elif FOG_MODE == 1
    c.rgb = mix(u_fog_colour, c.rgb, v_fog);
#endif
    o_colour = c;
}
)";

}  // namespace kx::gl
