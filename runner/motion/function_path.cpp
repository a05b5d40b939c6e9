// Built-in functions that read, make and edit path resources.
#include <algorithm>
#include <climits>

#include "core/runtime.h"
#include "motion/motion_main.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "script/function_math.h"
#include "script/function_string.h"

namespace kx {
namespace {

PathList& paths() {
    return rt().get<MotionState>().paths;
}
CPath* path_arg(const RValue* a) {
    return paths().get(arg_int(a[0]));
}
RPathPoint point_args(const RValue* a, int first) {
    return {arg_real(a[first]), arg_real(a[first + 1]), arg_real(a[first + 2])};
}

KX_HANDLER(fn_path_name) {
    const int64_t i = arg_int(args[0]);
    result = paths().exists(i) ? RValue(std::string_view(paths().name(i))) : RValue("<undefined>");
}
KX_HANDLER(fn_path_exists) {
    result.set_real(paths().exists(arg_int(args[0])) ? 1 : 0);
}

template <class F>
void query(RValue& result, const RValue* args, F f) {
    const CPath* p = path_arg(args);
    result.set_real(p ? f(*p) : -1.0);
}
KX_HANDLER(fn_path_get_length) {
    query(result, args, [](const CPath& p) { return p.length(); });
}
KX_HANDLER(fn_path_get_kind) {
    query(result, args, [](const CPath& p) { return double(p.kind()); });
}
KX_HANDLER(fn_path_get_closed) {
    query(result, args, [](const CPath& p) { return p.closed() ? 1.0 : 0.0; });
}
KX_HANDLER(fn_path_get_precision) {
    query(result, args, [](const CPath& p) { return double(p.precision()); });
}
KX_HANDLER(fn_path_get_number) {
    query(result, args, [](const CPath& p) { return double(p.points().size()); });
}

// Control point n, or (0, 0, 1) for an index outside the list.
RPathPoint control_point(const CPath& p, int64_t n) {
    if (n < 0 || n >= static_cast<int64_t>(p.points().size())) return {0, 0, 1};
    return p.points()[static_cast<size_t>(n)];
}
KX_HANDLER(fn_path_get_point_x) {
    query(result, args, [&](const CPath& p) { return control_point(p, arg_int(args[1])).x; });
}
KX_HANDLER(fn_path_get_point_y) {
    query(result, args, [&](const CPath& p) { return control_point(p, arg_int(args[1])).y; });
}
KX_HANDLER(fn_path_get_point_speed) {
    query(result, args, [&](const CPath& p) { return control_point(p, arg_int(args[1])).speed; });
}
KX_HANDLER(fn_path_get_x) {
    query(result, args, [&](const CPath& p) { return p.lookup(arg_real(args[1])).x; });
}
KX_HANDLER(fn_path_get_y) {
    query(result, args, [&](const CPath& p) { return p.lookup(arg_real(args[1])).y; });
}
KX_HANDLER(fn_path_get_speed) {
    query(result, args, [&](const CPath& p) { return p.lookup(arg_real(args[1])).speed; });
}

template <class F>
void edit(const RValue* args, F f) {
    if (CPath* p = path_arg(args)) f(*p);
}
KX_HANDLER(fn_path_set_kind) {
    edit(args, [&](CPath& p) { p.set_kind(arg_i32(args[1])); });
}
KX_HANDLER(fn_path_set_closed) {
    edit(args, [&](CPath& p) { p.set_closed(arg_bool(args[1])); });
}
KX_HANDLER(fn_path_set_precision) {
    edit(args, [&](CPath& p) { p.set_precision(arg_i32(args[1])); });
}

KX_HANDLER(fn_path_add) {
    const int32_t i = paths().add_empty();
    paths().assign(i, new_path_name(i), CPath());
    result.set_real(i);
}
KX_HANDLER(fn_path_duplicate) {
    const CPath* p = path_arg(args);
    if (!p) {
        report_with_context(rt(), "Trying to duplicate non-existing path.", false);
        return;
    }
    CPath copy = *p;  // the list may move its paths when it grows
    const int32_t i = paths().add_empty();
    paths().assign(i, new_path_name(i), std::move(copy));
    result.set_real(i);
}
KX_HANDLER(fn_path_assign) {
    const int64_t ind = arg_int(args[0]);
    const CPath* src = paths().get(arg_int(args[1]));
    if (!src || ind < 0 || ind >= paths().count()) {
        report_with_context(rt(), "Error assigning a path.", false);
        return;
    }
    const int32_t slot = static_cast<int32_t>(ind);
    std::string name = paths().exists(slot) ? paths().name(slot) : new_path_name(slot);
    CPath copy = *src;
    paths().assign(slot, std::move(name), std::move(copy));
}
KX_HANDLER(fn_path_append) {
    CPath* target = path_arg(args);
    if (!target) {
        report_with_context(rt(), "Appending to non-existing path.", false);
        return;
    }
    const CPath* src = paths().get(arg_int(args[1]));
    if (!src) {
        report_with_context(rt(), "Appending a non-existing path.", false);
        return;
    }
    target->append(*src);
}
KX_HANDLER(fn_path_delete) {
    const int64_t i = arg_int(args[0]);
    if (!paths().exists(i)) {
        report_with_context(rt(), "Trying to delete non-existing path.", false);
        return;
    }
    paths().remove(static_cast<int32_t>(i));
    result.set_real(1);
}

KX_HANDLER(fn_path_add_point) {
    edit(args, [&](CPath& p) { p.add_point(point_args(args, 1)); });
}
KX_HANDLER(fn_path_insert_point) {
    edit(args, [&](CPath& p) { p.insert_point(arg_int(args[1]), point_args(args, 2)); });
}
KX_HANDLER(fn_path_change_point) {
    edit(args, [&](CPath& p) { p.change_point(arg_int(args[1]), point_args(args, 2)); });
}
KX_HANDLER(fn_path_delete_point) {
    edit(args, [&](CPath& p) { p.delete_point(arg_int(args[1])); });
}
KX_HANDLER(fn_path_clear_points) {
    edit(args, [](CPath& p) { p.clear_points(); });
}
KX_HANDLER(fn_path_reverse) {
    edit(args, [](CPath& p) { p.reverse(); });
}
KX_HANDLER(fn_path_mirror) {
    edit(args, [](CPath& p) { p.mirror(); });
}
KX_HANDLER(fn_path_flip) {
    edit(args, [](CPath& p) { p.flip(); });
}
KX_HANDLER(fn_path_rotate) {
    edit(args, [&](CPath& p) { p.rotate(arg_real(args[1])); });
}
KX_HANDLER(fn_path_scale) {
    edit(args, [&](CPath& p) { p.scale(arg_real(args[1]), arg_real(args[2])); });
}
KX_HANDLER(fn_path_shift) {
    edit(args, [&](CPath& p) { p.shift(arg_real(args[1]), arg_real(args[2])); });
}

const BuiltinDef kPathFunctions[] = {
    {"path_name", fn_path_name, 1},
    {"path_get_name", fn_path_name, 1},
    {"path_exists", fn_path_exists, 1},
    {"path_get_length", fn_path_get_length, 1},
    {"path_get_kind", fn_path_get_kind, 1},
    {"path_get_closed", fn_path_get_closed, 1},
    {"path_get_precision", fn_path_get_precision, 1},
    {"path_get_number", fn_path_get_number, 1},
    {"path_get_point_x", fn_path_get_point_x, 2},
    {"path_get_point_y", fn_path_get_point_y, 2},
    {"path_get_point_speed", fn_path_get_point_speed, 2},
    {"path_get_x", fn_path_get_x, 2},
    {"path_get_y", fn_path_get_y, 2},
    {"path_get_speed", fn_path_get_speed, 2},
    {"path_set_kind", fn_path_set_kind, 2},
    {"path_set_closed", fn_path_set_closed, 2},
    {"path_set_precision", fn_path_set_precision, 2},
    {"path_add", fn_path_add, 0},
    {"path_duplicate", fn_path_duplicate, 1},
    {"path_assign", fn_path_assign, 2},
    {"path_append", fn_path_append, 2},
    {"path_delete", fn_path_delete, 1},
    {"path_add_point", fn_path_add_point, 4},
    {"path_insert_point", fn_path_insert_point, 5},
    {"path_change_point", fn_path_change_point, 5},
    {"path_delete_point", fn_path_delete_point, 2},
    {"path_clear_points", fn_path_clear_points, 1},
    {"path_reverse", fn_path_reverse, 1},
    {"path_mirror", fn_path_mirror, 1},
    {"path_flip", fn_path_flip, 1},
    {"path_rotate", fn_path_rotate, 2},
    {"path_scale", fn_path_scale, 3},
    {"path_shift", fn_path_shift, 3},
};

}  // namespace

void register_function_path(FunctionTable& table) {
    table.add(kPathFunctions);
}

}  // namespace kx
