/* Functions for the external-function tests: each count of real arguments,
 * texts in and out, and a counter that shows whether the library was loaded
 * anew. The weights make a swapped or dropped argument show. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

static int calls;
static char text[256];

EXPORT double kt_zero(void) {
    return 42;
}
EXPORT double kt_r1(double a) {
    return a;
}
EXPORT double kt_r2(double a, double b) {
    return a + 2 * b;
}
EXPORT double kt_r3(double a, double b, double c) {
    return a + 2 * b + 3 * c;
}
EXPORT double kt_r4(double a, double b, double c, double d) {
    return a + 2 * b + 3 * c + 4 * d;
}
EXPORT double kt_r5(double a, double b, double c, double d, double e) {
    return kt_r4(a, b, c, d) + 5 * e;
}
EXPORT double kt_r6(double a, double b, double c, double d, double e, double f) {
    return kt_r5(a, b, c, d, e) + 6 * f;
}
EXPORT double kt_r7(double a, double b, double c, double d, double e, double f, double g) {
    return kt_r6(a, b, c, d, e, f) + 7 * g;
}
EXPORT double kt_r8(double a, double b, double c, double d, double e, double f, double g,
                    double h) {
    return kt_r7(a, b, c, d, e, f, g) + 8 * h;
}
EXPORT double kt_r11(double a, double b, double c, double d, double e, double f, double g, double h,
                     double i, double j, double k) {
    return kt_r8(a, b, c, d, e, f, g, h) + 9 * i + 10 * j + 11 * k;
}
EXPORT double kt_r12(double a, double b, double c, double d, double e, double f, double g, double h,
                     double i, double j, double k, double l) {
    return kt_r11(a, b, c, d, e, f, g, h, i, j, k) + 12 * l;
}

/* Texts: the length of one, two joined, and four of mixed kinds described. */
EXPORT double kt_length(const char* s) {
    return (double)strlen(s);
}
EXPORT const char* kt_join(const char* a, const char* b) {
    snprintf(text, sizeof text, "%s+%s", a, b);
    return text;
}
EXPORT const char* kt_mixed(const char* a, double b, const char* c, double d) {
    snprintf(text, sizeof text, "%s|%g|%s|%g", a, b, c, d);
    return text;
}
EXPORT const char* kt_number_text(double x) {
    snprintf(text, sizeof text, "<%g>", x);
    return text;
}
EXPORT const char* kt_null(void) {
    return NULL;
}

/* Counts its calls since the library was loaded. */
EXPORT double kt_count(void) {
    return ++calls;
}

/* The file this library was loaded from. */
EXPORT const char* kt_where(void) {
    Dl_info info;
    if (!dladdr((void*)kt_where, &info) || !info.dli_fname) return "";
    snprintf(text, sizeof text, "%s", info.dli_fname);
    return text;
}
