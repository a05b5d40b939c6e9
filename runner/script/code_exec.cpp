// The executor. Compiling ends with a link pass that binds each node of the
// lowered tree to a handler chosen for its shape (an instance variable of
// self, a var-local slot, an operator on reals with a constant right side,
// a built-in or a script call, ...), so running is a chain of direct calls
// through those bindings with every operand found ahead of time; the node
// still carries its position for the messages.
#include "script/code_exec.h"

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <type_traits>

#include "gamedata/game_settings.h"
#include "script/code_error.h"
#include "script/code_main.h"
#include "script/code_operator.h"
#include "script/script_instance.h"
#include "script/script_main.h"
#include "script/script_state.h"

namespace kx {

namespace {

// Above the script call budget, so that runaway script recursion meets its
// own message first; the main thread's stack is 8 MiB.
constexpr uintptr_t kExecStackBudget = uintptr_t(6) << 20;

enum Status : int32_t { Ok = 0, Error = -1, Exit = -2, Break = -3, Continue = -4 };

}  // namespace

struct ExecContext {
    ScriptState& st;
    CInstance* self;
    CInstance* other;
    ScriptInstance* self_part;  // the language's part of self
    LocalSlot* slots;           // the var-locals the code names, by slot
    // Var-locals reached only through a computed scope; made on first write.
    std::unique_ptr<CVariableList> extra;
    const CCode& code;
    bool uninitialized_as_zero;

    void set_self(CInstance* inst) { set_self(inst, &st.instances->part(*inst)); }
    void set_self(CInstance* inst, ScriptInstance* part) {
        self = inst;
        self_part = part;
    }
};

namespace {

inline int32_t ev(ExecContext& c, const Node& n, RValue& out) {
    return n.fn(c, n, out);
}

// Into a temporary: a real needs no string share (its string is no part of
// its meaning).
inline void copy_value(RValue& out, const RValue& v) {
    if (v.is_real())
        out.set_real(v.real);
    else
        out = v;
}

int32_t fail(ExecContext& c, const Node& n, std::string_view msg) {
    record_error(c.st, c.code, n.position, msg);
    return Error;
}

// A resolved variable reference.
struct Ref {
    int32_t scope;
    int32_t var;
    int32_t combined;
};

// ------------------------------------------------------------ var-locals

LocalSlot* local_slot(ExecContext& c, int32_t var) {
    const std::vector<int32_t>& names = c.code.local_slots();
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == var) return &c.slots[i];
    return nullptr;
}

const RValue* local_get(ExecContext& c, int32_t var, int32_t combined) {
    if (LocalSlot* s = local_slot(c, var)) return s->set ? s->var.cell(combined) : nullptr;
    return c.extra ? c.extra->get(var, combined) : nullptr;
}

void local_set(ExecContext& c, int32_t var, int32_t combined, const RValue& v) {
    if (LocalSlot* s = local_slot(c, var)) {
        s->set = true;
        s->var.cell_for_write(combined) = v;
        return;
    }
    if (!c.extra) c.extra = std::make_unique<CVariableList>();
    c.extra->set(var, combined, v);
}

// ------------------------------------------------------------ references

int32_t array_index(ExecContext& c, const Node& n, int32_t& out) {
    RValue v;
    if (ev(c, n, v) != Ok) return Error;
    if (!v.is_real()) return fail(c, n, "Wrong type of array index");
    const int64_t i = round_to_i64(v.real);
    if (i < 0) return fail(c, n, "Negative array index");
    if (i >= kArrayDim) return fail(c, n, "Array index >= 32000");
    out = static_cast<int32_t>(i);
    return Ok;
}

int32_t resolve(ExecContext& c, const Node& n, Ref& r) {
    r.var = n.code;
    r.combined = 0;
    if (n.kind == tok::SimpleVar) {
        r.scope = n.scope;
        return Ok;
    }
    const Node& sc = n.children[0];
    if (sc.kind == tok::Constant && sc.value.is_real()) {
        r.scope = sc.scope;  // rounded by lowering
    } else {
        RValue sv;
        if (ev(c, sc, sv) != Ok) return Error;
        if (!sv.is_real()) return fail(c, sc, "Wrong type of variable index");
        r.scope = round_to_i32(sv.real);
    }
    if (n.children.size() > 1) {
        int32_t i;
        if (array_index(c, n.children[1], i) != Ok) return Error;
        r.combined = i;
        if (n.children.size() > 2) {
            int32_t j;
            if (array_index(c, n.children[2], j) != Ok) return Error;
            r.combined = i * kArrayDim + j;
        }
    }
    return Ok;
}

bool read_ref(ExecContext& c, const Ref& r, RValue& out) {
    switch (r.scope) {
        case scope::Local: {
            const RValue* v = local_get(c, r.var, r.combined);
            if (!v) return false;
            out = *v;
            return true;
        }
        case scope::Implicit:
        case scope::Self:
            return get_on_instance(c.st, c.self, r.var, r.combined, out);
        case scope::Global: {
            const RValue* v = c.st.globals.get(r.var, r.combined);
            if (!v) return false;
            out = *v;
            return true;
        }
        case scope::Noone:
            return false;
        case scope::Other:
            return get_on_instance(c.st, c.other, r.var, r.combined, out);
        default:
            return get_by_scope(c.st, r.scope, r.var, r.combined, out);
    }
}

// A missing variable: 0 under UninitializedAsZero, else the error.
int32_t missing(ExecContext& c, int32_t var, int32_t combined, int32_t position, RValue& out) {
    if (c.uninitialized_as_zero) {
        out.set_real(0);
        return Ok;
    }
    std::string msg = "Unknown variable " + variable_name(c.st, var);
    if (combined != 0) msg += " or array index out of bounds";
    record_error(c.st, c.code, position, msg);
    return Error;
}

int32_t read(ExecContext& c, const Ref& r, int32_t position, RValue& out) {
    if (read_ref(c, r, out)) return Ok;
    return missing(c, r.var, r.combined, position, out);
}

bool store(ExecContext& c, const Ref& r, const RValue& v) {
    switch (r.scope) {
        case scope::Local:
            local_set(c, r.var, r.combined, v);
            return true;
        case scope::Implicit:
        case scope::Self:
            return set_on_instance(c.st, c.self, r.var, r.combined, v);
        case scope::Global:
            c.st.globals.set(r.var, r.combined, v);
            return true;
        case scope::Noone:
            return false;
        case scope::Other:
            return set_on_instance(c.st, c.other, r.var, r.combined, v);
        default:
            return set_by_scope(c.st, r.scope, r.var, r.combined, v);
    }
}

// ------------------------------------------------------------ expressions

int32_t x_bad(ExecContext& c, const Node& n, RValue&) {
    return fail(c, n, "(Sub-)expression expected.");
}

int32_t x_const(ExecContext&, const Node& n, RValue& out) {
    out = n.value;
    return Ok;
}

int32_t x_const_real(ExecContext&, const Node& n, RValue& out) {
    out.set_real(n.value.real);
    return Ok;
}

// Any simple variable (constant scope, no index).
int32_t x_simple(ExecContext& c, const Node& n, RValue& out) {
    if (n.scope == scope::Implicit || n.scope == scope::Self) {
        if (n.code >= kInstanceVariableBase) {
            if (const RValue* v = c.self_part->vars().get(n.code, 0)) {
                out = *v;
                return Ok;
            }
        } else if (n.code < c.st.builtins.count()) {
            const RBuiltinVariable& b = c.st.builtins.at(n.code);
            if (b.getter && b.getter(c.self, 0, out)) return Ok;
        }
    }
    const Ref r{n.scope, n.code, 0};
    return read(c, r, n.position, out);
}

int32_t x_self(ExecContext& c, const Node& n, RValue& out) {
    if (const RVariable* v = c.self_part->vars().find_hinted(n.code, n.hint)) {
        copy_value(out, v->value);
        return Ok;
    }
    return x_simple(c, n, out);
}

// A built-in variable of self: straight to its getter.
int32_t x_builtin_self(ExecContext& c, const Node& n, RValue& out) {
    const RBuiltinVariable& b = c.st.builtins.at(n.code);
    if (b.getter && b.getter(c.self, 0, out)) return Ok;
    return missing(c, n.code, 0, n.position, out);
}

int32_t x_local(ExecContext& c, const Node& n, RValue& out) {
    const LocalSlot& s = c.slots[n.hint];
    if (s.set) {
        copy_value(out, s.var.value);
        return Ok;
    }
    return missing(c, n.code, 0, n.position, out);
}

int32_t x_global(ExecContext& c, const Node& n, RValue& out) {
    if (const RVariable* v = c.st.globals.find_hinted(n.code, n.hint)) {
        copy_value(out, v->value);
        return Ok;
    }
    return missing(c, n.code, 0, n.position, out);
}

int32_t x_argument(ExecContext& c, const Node& n, RValue& out) {
    copy_value(out, c.st.args[n.hint]);  // the slot number, set by linking
    return Ok;
}

// A variable of one instance: self, other or an id (found through the
// room's index); its own variables through the node's cached position.
int32_t read_on(ExecContext& c, const Node& n, CInstance* inst, const Ref& r, RValue& out) {
    if (r.var >= kInstanceVariableBase) {
        if (const RVariable* v = c.st.instances->part(*inst).vars().find_hinted(r.var, n.hint)) {
            if (const RValue* cell = v->cell(r.combined)) {
                copy_value(out, *cell);
                return Ok;
            }
        }
    } else if (get_on_instance(c.st, inst, r.var, r.combined, out)) {
        return Ok;
    }
    return missing(c, r.var, r.combined, n.position, out);
}

int32_t x_var(ExecContext& c, const Node& n, RValue& out) {
    Ref r;
    if (resolve(c, n, r) != Ok) return Error;
    switch (r.scope) {
        case scope::Implicit:
        case scope::Self:
            return read_on(c, n, c.self, r, out);
        case scope::Other:
            return read_on(c, n, c.other, r, out);
        default:
            if (r.scope < kInstanceIdBase) return read(c, r, n.position, out);
            if (CInstance* inst = c.st.instances->find_live_id(r.scope))
                return read_on(c, n, inst, r, out);
            return missing(c, r.var, r.combined, n.position, out);
    }
}

// other.name, a variable of other's own list.
int32_t x_other(ExecContext& c, const Node& n, RValue& out) {
    return read_on(c, n, c.other, Ref{scope::Other, n.code, 0}, out);
}

int32_t x_unary(ExecContext& c, const Node& n, RValue& out) {
    if (ev(c, n.children[0], out) != Ok) return Error;
    return unary_operation(c.st, c.code, n.position, n.code, out) ? Ok : Error;
}

int32_t x_negate(ExecContext& c, const Node& n, RValue& out) {
    if (ev(c, n.children[0], out) != Ok) return Error;
    if (out.is_real()) {
        out.real = -out.real;
        return Ok;
    }
    return unary_operation(c.st, c.code, n.position, n.code, out) ? Ok : Error;
}

// The common operators on two reals; false leaves the case (and a zero
// divisor) to binary_operation, which has every rule and message.
struct OpAdd {
    static bool apply(double& l, double r) { return l += r, true; }
};
struct OpSub {
    static bool apply(double& l, double r) { return l -= r, true; }
};
struct OpMul {
    static bool apply(double& l, double r) { return l *= r, true; }
};
struct OpDiv {
    static bool apply(double& l, double r) {
        if (r == 0) return false;
        l /= r;
        return true;
    }
};
struct OpLess {
    static bool apply(double& l, double r) { return l = (l - r) < 0 ? 1.0 : 0.0, true; }
};
struct OpLessEq {
    static bool apply(double& l, double r) { return l = (l - r) <= 0 ? 1.0 : 0.0, true; }
};
struct OpGreater {
    static bool apply(double& l, double r) { return l = (l - r) > 0 ? 1.0 : 0.0, true; }
};
struct OpGreaterEq {
    static bool apply(double& l, double r) { return l = (l - r) >= 0 ? 1.0 : 0.0, true; }
};
struct OpEqual {
    static bool apply(double& l, double r) { return l = (l - r) == 0 ? 1.0 : 0.0, true; }
};
struct OpNotEqual {
    static bool apply(double& l, double r) { return l = (l - r) != 0 ? 1.0 : 0.0, true; }
};
struct OpIntDiv {
    static bool apply(double& l, double r) {
        if (r == 0) return false;
        l = truncated_quotient(l, r);
        return true;
    }
};
struct OpMod {
    static bool apply(double& l, double r) {
        if (r == 0) return false;
        l = l - truncated_quotient(l, r) * r;
        return true;
    }
};
struct OpNone {
    static bool apply(double&, double) { return false; }
};

template <class Op>
int32_t x_binary(ExecContext& c, const Node& n, RValue& out) {
    if (ev(c, n.children[0], out) != Ok) return Error;
    RValue r;
    if (ev(c, n.children[1], r) != Ok) return Error;
    if (out.is_real() && r.is_real() && Op::apply(out.real, r.real)) return Ok;
    return binary_operation(c.st, c.code, n.position, n.code, out, r) ? Ok : Error;
}

// The right operand is a real constant.
template <class Op>
int32_t x_binary_k(ExecContext& c, const Node& n, RValue& out) {
    if (ev(c, n.children[0], out) != Ok) return Error;
    const RValue& r = n.children[1].value;
    if (out.is_real() && Op::apply(out.real, r.real)) return Ok;
    return binary_operation(c.st, c.code, n.position, n.code, out, r) ? Ok : Error;
}

template <class Op>
ExecFn binary_fn(bool constant_right) {
    return constant_right ? &x_binary_k<Op> : &x_binary<Op>;
}

ExecFn pick_binary(int32_t op, bool k) {
    switch (op) {
        case tok::Plus:
            return binary_fn<OpAdd>(k);
        case tok::Minus:
            return binary_fn<OpSub>(k);
        case tok::Times:
            return binary_fn<OpMul>(k);
        case tok::Slash:
            return binary_fn<OpDiv>(k);
        case tok::Less:
            return binary_fn<OpLess>(k);
        case tok::LessEq:
            return binary_fn<OpLessEq>(k);
        case tok::Greater:
            return binary_fn<OpGreater>(k);
        case tok::GreaterEq:
            return binary_fn<OpGreaterEq>(k);
        case tok::Assign:
        case tok::Equal:
            return binary_fn<OpEqual>(k);
        case tok::NotEqual:
            return binary_fn<OpNotEqual>(k);
        case tok::Div:
            return binary_fn<OpIntDiv>(k);
        case tok::Mod:
            return binary_fn<OpMod>(k);
        default:
            return binary_fn<OpNone>(k);
    }
}

// Leaves the frame's var-locals as a fresh execution expects them.
void clear_frame(LocalSlot* slots, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        LocalSlot& s = slots[i];
        if (!s.set) continue;
        s.set = false;
        s.var.value = RValue();
        s.var.rows.clear();
    }
}

// An execution past its checks of code and instances: the frame, the
// context, the run.
bool run_code(ScriptState& st, CInstance* self, ScriptInstance* self_part, CInstance* other,
              const CCode& code, RValue& result) {
    const Node& root = *code.root();
    if (code.kind() == CodeKind::Program) {
        if (root.kind == tok::EmptyProgram) return true;
        if (root.kind != tok::Block) {
            record_error(st, code, root.position, "This is not a program.");
            return false;
        }
    }
    // The frame of this depth; the frames of deeper executions are others, so
    // the slots stay put while this one runs.
    const size_t depth = static_cast<size_t>(st.exec_depth);
    const size_t nslots = code.local_slots().size();
    LocalSlot* slots = nullptr;
    if (nslots > 0) {
        if (st.local_frames.size() <= depth) st.local_frames.resize(depth + 1);
        auto& frame = st.local_frames[depth];
        if (!frame) frame = std::make_unique<std::vector<LocalSlot>>();
        if (frame->size() < nslots) frame->resize(nslots);
        slots = frame->data();
    }
    struct Guard {
        int& d;
        LocalSlot* slots;
        size_t n;
        Guard(int& d_, LocalSlot* s, size_t n_) : d(d_), slots(s), n(n_) { ++d; }
        ~Guard() {
            if (n > 0) clear_frame(slots, n);
            --d;
        }
    } guard(st.exec_depth, slots, nslots);
    ExecContext c{st,    self,    other, self_part,
                  slots, nullptr, code,  st.settings && st.settings->UninitializedAsZero};
    if (code.kind() == CodeKind::Expression) return ev(c, root, result) == Ok;
    return root.fn(c, root, result) != Error;
}

// ------------------------------------------------------------ calls

// The evaluated arguments of one call, on the machine stack: only the passed
// ones are made, since a handler reads no further.
struct Args {
    alignas(RValue) unsigned char buf[sizeof(RValue) * kMaxArgs];
    int made = 0;
    RValue* at(int i) { return reinterpret_cast<RValue*>(buf) + i; }
    ~Args() {
        for (int i = 0; i < made; ++i) at(i)->~RValue();
    }
    int32_t evaluate(ExecContext& c, const Node& n) {
        const int argc = static_cast<int>(n.children.size());
        for (int i = 0; i < argc; ++i) {
            new (at(i)) RValue();
            ++made;
            if (ev(c, n.children[static_cast<size_t>(i)], *at(i)) != Ok) return Error;
        }
        return Ok;
    }
};

int32_t call_builtin(ExecContext& c, const Node& n, RValue& out) {
    Args a;
    if (a.evaluate(c, n) != Ok) return Error;
    RValue r;
    c.st.functions.at(n.code).handler(c.self, c.other, a.made, r, a.at(0));
    out = std::move(r);
    return Ok;
}

// A call statement of a script hands it the running code's result slot. The
// arguments are evaluated straight into the callee's block.
int32_t s_call_script(ExecContext& c, const Node& n, RValue& out) {
    ScriptState& st = c.st;
    RValue* block = acquire_args(st);
    struct Release {
        ScriptState& st;
        RValue* block;
        int used;
        ~Release() { release_args(st, block, used); }
    } rel{st, block, 0};
    const int argc = static_cast<int>(n.children.size());
    for (int i = 0; i < argc; ++i) {
        rel.used = i + 1;
        if (ev(c, n.children[static_cast<size_t>(i)], block[i]) != Ok) return Error;
    }
    // A script call nested in another one, well inside both stack budgets,
    // enters the script's code directly; every other goes the checking way,
    // which also gives the messages.
    const int index = n.code - kScriptCallBase;
    const CScript* sc = st.scripts.at(index);
    const CCode* code = sc ? sc->code.get() : nullptr;
    const uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    const bool fast = code && code->compiled() && code->kind() == CodeKind::Program &&
                      st.call_depth > 0 && st.call_depth < kMaxScriptDepth &&
                      !(st.stack_base > here && st.stack_base - here > kScriptStackBudget) &&
                      !(st.exec_stack_base > here && st.exec_stack_base - here > kExecStackBudget);
    if (!fast)
        return call_script_with(st, index, c.self, c.other, argc, block, out, rel.used) ? Ok
                                                                                        : Error;
    RValue* const caller = st.args;
    const int caller_used = st.args_used;
    st.args = block;
    st.args_used = argc;
    ++st.call_depth;
    if (st.errors.pending) clear_pending_error(st);
    const bool ok = run_code(st, c.self, c.self_part, c.other, *code, out);
    if (!ok) out.set_string(KxString("ERROR"));
    --st.call_depth;
    if (!ok) set_pending_message(st, "In script " + sc->name + ":\r" + pending_message(st));
    if (st.args_used > rel.used) rel.used = st.args_used;
    st.args = caller;
    st.args_used = caller_used;
    return ok ? Ok : Error;
}

int32_t x_call_builtin(ExecContext& c, const Node& n, RValue& out) {
    out = RValue();
    return call_builtin(c, n, out);
}

int32_t x_call_script(ExecContext& c, const Node& n, RValue& out) {
    out = RValue();
    return s_call_script(c, n, out);
}

// ------------------------------------------------------------ assignments

int32_t compound_operator(int32_t op) {
    switch (op) {
        case tok::AddAssign:
            return tok::Plus;
        case tok::SubAssign:
            return tok::Minus;
        case tok::MulAssign:
            return tok::Times;
        case tok::DivAssign:
            return tok::Slash;
        case tok::OrAssign:
            return tok::BitOr;
        case tok::AndAssign:
            return tok::BitAnd;
        case tok::XorAssign:
            return tok::BitXor;
        default:
            return 0;
    }
}

bool compound_fast(int32_t op, double& l, double r) {
    switch (op) {
        case tok::AddAssign:
            return OpAdd::apply(l, r);
        case tok::SubAssign:
            return OpSub::apply(l, r);
        case tok::MulAssign:
            return OpMul::apply(l, r);
        case tok::DivAssign:
            return OpDiv::apply(l, r);
        default:
            return false;
    }
}

int32_t eval_rhs(ExecContext& c, const Node& rhs, RValue& v) {
    if (rhs.kind == tok::Constant) {
        v.kind = rhs.value.kind;  // a real constant needs no string share
        v.real = rhs.value.real;
        if (rhs.value.is_string()) v.str = rhs.value.str;
        return Ok;
    }
    return ev(c, rhs, v);
}

// Stores v into a variable's plain value that exists (the compound forms
// read it first); the list is looked up after the right side ran.
int32_t assign_cell(ExecContext& c, const Node& n, RValue& cell, RValue& v, RValue& result) {
    if (n.code == tok::Assign) {
        cell = v;
        result = std::move(v);
        return Ok;
    }
    // The result slot is overwritten below: letting go of its share first
    // lets a string grow in place.
    result.str = KxString();
    if (!(cell.is_real() && v.is_real() && compound_fast(n.code, cell.real, v.real))) {
        RValue cur = std::move(cell);
        const bool ok =
            binary_operation(c.st, c.code, n.position, compound_operator(n.code), cur, v);
        cell = std::move(cur);  // unchanged when the operator failed
        if (!ok) return Error;
    }
    copy_value(result, cell);
    return Ok;
}

// A compound assignment to a variable that does not exist yet.
int32_t assign_new(ExecContext& c, const Node& n, int32_t var, RValue& v) {
    if (n.code == tok::Assign) return Ok;
    if (!c.uninitialized_as_zero) {
        record_error(c.st, c.code, n.position, "Unknown variable " + variable_name(c.st, var));
        return Error;
    }
    RValue cur(0.0);
    if (!binary_operation(c.st, c.code, n.position, compound_operator(n.code), cur, v))
        return Error;
    v = std::move(cur);
    return Ok;
}

// An instance variable of self written without scope or index, with the
// right side's value: the cell is found once and updated in place.
int32_t assign_self_value(ExecContext& c, const Node& n, RValue& v, RValue& result) {
    const Node& target = n.children[0];
    RVariable* var = c.self_part->vars().find_hinted(target.code, target.hint);
    if (!var) {
        if (assign_new(c, n, target.code, v) != Ok) return Error;
        c.self_part->vars().set(target.code, 0, v);
        result = std::move(v);
        return Ok;
    }
    return assign_cell(c, n, var->value, v, result);
}

int32_t s_assign_self(ExecContext& c, const Node& n, RValue& result) {
    RValue v;
    if (eval_rhs(c, n.children[1], v) != Ok) return Error;
    return assign_self_value(c, n, v, result);
}

// A var-local written without index.
int32_t assign_local_value(ExecContext& c, const Node& n, RValue& v, RValue& result) {
    const Node& target = n.children[0];
    LocalSlot& s = c.slots[target.hint];
    if (!s.set) {
        if (assign_new(c, n, target.code, v) != Ok) return Error;
        s.set = true;
        s.var.value = v;
        result = std::move(v);
        return Ok;
    }
    return assign_cell(c, n, s.var.value, v, result);
}

int32_t s_assign_local(ExecContext& c, const Node& n, RValue& result) {
    RValue v;
    if (eval_rhs(c, n.children[1], v) != Ok) return Error;
    return assign_local_value(c, n, v, result);
}

// Where the fast forms find the cell: self's list or the frame; null sends
// the assignment the general way.
struct SelfCell {
    static RValue* find(ExecContext& c, const Node& target) {
        RVariable* v = c.self_part->vars().find_hinted(target.code, target.hint);
        return v ? &v->value : nullptr;
    }
    static RValue* make(ExecContext&, const Node&) { return nullptr; }
    static int32_t general(ExecContext& c, const Node& n, RValue& v, RValue& result) {
        return assign_self_value(c, n, v, result);
    }
};
struct LocalCell {
    static RValue* find(ExecContext& c, const Node& target) {
        LocalSlot& s = c.slots[target.hint];
        return s.set ? &s.var.value : nullptr;
    }
    // A frame slot not yet written holds a fresh real 0.
    static RValue* make(ExecContext& c, const Node& target) {
        LocalSlot& s = c.slots[target.hint];
        s.set = true;
        return &s.var.value;
    }
    static int32_t general(ExecContext& c, const Node& n, RValue& v, RValue& result) {
        return assign_local_value(c, n, v, result);
    }
};
struct OpSet {
    static bool apply(double& l, double r) { return l = r, true; }
};

// `=`, `+=`, `-=`, `*=` on a cell that holds a real, with a real: the
// arithmetic in place; anything else goes the general way with the value.
template <class Cell, class Op>
int32_t s_assign_fast(ExecContext& c, const Node& n, RValue& result) {
    RValue v;
    if (eval_rhs(c, n.children[1], v) != Ok) return Error;
    if (v.is_real()) {
        RValue* cell = Cell::find(c, n.children[0]);
        if constexpr (std::is_same_v<Op, OpSet>)
            if (!cell) cell = Cell::make(c, n.children[0]);
        if (cell && cell->is_real()) {
            Op::apply(cell->real, v.real);
            result.set_real(cell->real);
            return Ok;
        }
    }
    return Cell::general(c, n, v, result);
}

template <class Cell>
ExecFn pick_assign(int32_t op, ExecFn general) {
    switch (op) {
        case tok::Assign:
            return &s_assign_fast<Cell, OpSet>;
        case tok::AddAssign:
            return &s_assign_fast<Cell, OpAdd>;
        case tok::SubAssign:
            return &s_assign_fast<Cell, OpSub>;
        case tok::MulAssign:
            return &s_assign_fast<Cell, OpMul>;
        default:
            return general;
    }
}

int32_t s_assign(ExecContext& c, const Node& n, RValue& result) {
    Ref r;
    const Node& target = n.children[0];
    if (target.kind == tok::SimpleVar) {
        r = Ref{target.scope, target.code, 0};
    } else if (resolve(c, target, r) != Ok) {
        return Error;
    }
    RValue v;
    if (ev(c, n.children[1], v) != Ok) return Error;
    if (n.code != tok::Assign) {
        RValue cur;
        if (read(c, r, n.position, cur) != Ok) return Error;
        if (!binary_operation(c.st, c.code, n.position, compound_operator(n.code), cur, v))
            return Error;
        v = std::move(cur);
    }
    result = v;
    if (!store(c, r, v)) return fail(c, n, "Cannot assign to the variable");
    return Ok;
}

// ------------------------------------------------------------ statements

int32_t s_bad(ExecContext& c, const Node& n, RValue&) {
    return fail(c, n, "Statement expected.");
}
int32_t s_case(ExecContext& c, const Node& n, RValue&) {
    return fail(c, n, "Case statement only allowed inside switch statement.");
}
int32_t s_default(ExecContext& c, const Node& n, RValue&) {
    return fail(c, n, "Default statement only allowed inside switch statement.");
}
int32_t s_ok(ExecContext&, const Node&, RValue&) {
    return Ok;
}
int32_t s_exit(ExecContext&, const Node&, RValue&) {
    return Exit;
}
int32_t s_break(ExecContext&, const Node&, RValue&) {
    return Break;
}
int32_t s_continue(ExecContext&, const Node&, RValue&) {
    return Continue;
}

int32_t s_return(ExecContext& c, const Node& n, RValue& result) {
    if (ev(c, n.children[0], result) != Ok) return Error;
    return Exit;
}

int32_t s_block(ExecContext& c, const Node& n, RValue& result) {
    for (const Node& s : n.children)
        if (const int32_t st = s.fn(c, s, result); st != Ok) return st;
    return Ok;
}

// A loop body's status on one pass: no value runs the next pass; otherwise the
// loop ends with that status (break ends it normally, exit and errors pass on).
inline std::optional<int32_t> loop_end(int32_t body) {
    if (body == Break) return Ok;
    if (body == Exit || body == Error) return body;
    return std::nullopt;
}

int32_t s_if(ExecContext& c, const Node& n, RValue& result) {
    RValue v;
    if (ev(c, n.children[0], v) != Ok) return Error;
    if (!v.is_real()) return fail(c, n, "Expression expected");
    if (v.real > 0.5) return n.children[1].fn(c, n.children[1], result);
    if (n.children.size() > 2) return n.children[2].fn(c, n.children[2], result);
    return Ok;
}

int32_t s_while(ExecContext& c, const Node& n, RValue& result) {
    const Node& cond = n.children[0];
    const Node& body = n.children[1];
    for (RValue v;;) {
        if (ev(c, cond, v) != Ok) return Error;
        if (!v.is_real()) return fail(c, n, "Boolean expression expected");
        if (v.real < 0.5) return Ok;
        if (const auto end = loop_end(body.fn(c, body, result))) return *end;
    }
}

int32_t s_do(ExecContext& c, const Node& n, RValue& result) {
    const Node& body = n.children[0];
    for (;;) {
        if (const auto end = loop_end(body.fn(c, body, result))) return *end;
        RValue v;
        if (ev(c, n.children[1], v) != Ok) return Error;
        if (!v.is_real()) return fail(c, n, "Boolean expression expected");
        if (v.real >= 0.5) return Ok;
    }
}

int32_t s_for(ExecContext& c, const Node& n, RValue& result) {
    const Node& init = n.children[0];
    const Node& cond = n.children[1];
    const Node& step = n.children[2];
    const Node& body = n.children[3];
    RValue temp;
    if (const int32_t st = init.fn(c, init, temp); st != Ok) return st;
    for (;;) {
        RValue v;
        if (ev(c, cond, v) != Ok) return Error;
        if (!v.is_real()) return fail(c, n, "Expression expected");
        if (v.real < 0.5) return Ok;
        if (const auto end = loop_end(body.fn(c, body, result))) return *end;
        if (const int32_t st = step.fn(c, step, temp); st != Ok) return st;
    }
}

int32_t s_repeat(ExecContext& c, const Node& n, RValue& result) {
    RValue v;
    if (ev(c, n.children[0], v) != Ok) return Error;
    if (!v.is_real()) return fail(c, n, "Repeat count must be a number");
    const int64_t count = round_to_i64(v.real);
    const Node& body = n.children[1];
    for (int64_t i = 0; i < count; ++i) {
        if (const auto end = loop_end(body.fn(c, body, result))) return *end;
    }
    return Ok;
}

// Runs the body once with the given self (and its part); other becomes the
// current self.
int32_t with_body(ExecContext& c, const Node& body, CInstance* inst, ScriptInstance& part,
                  RValue& result) {
    CInstance* saved_self = c.self;
    ScriptInstance* saved_part = c.self_part;
    CInstance* saved_other = c.other;
    c.other = c.self;
    c.set_self(inst, &part);
    const int32_t s = body.fn(c, body, result);
    c.set_self(saved_self, saved_part);
    c.other = saved_other;
    return s;
}

int32_t s_with(ExecContext& c, const Node& n, RValue& result) {
    RValue v;
    if (ev(c, n.children[0], v) != Ok) return Error;
    if (!v.is_real()) return fail(c, n, "Object id expected");
    const int32_t s = round_to_i32(v.real);
    const Node& body = n.children[1];
    const IScriptWorld& w = *c.st.instances;
    auto single = [&](CInstance* inst, ScriptInstance& part) {
        const int32_t st = with_body(c, body, inst, part, result);
        return st == Continue ? Ok : st;
    };
    switch (s) {
        case scope::Local:
            return fail(c, n, "Cannot use local in with statement.");
        case scope::Global:
            return fail(c, n, "Cannot use global in with statement.");
        case scope::Noone:
            return Ok;
        case scope::Other: {
            // self and other swap for the body
            CInstance* saved_self = c.self;
            ScriptInstance* saved_part = c.self_part;
            CInstance* saved_other = c.other;
            c.set_self(saved_other);
            c.other = saved_self;
            const int32_t st = body.fn(c, body, result);
            c.set_self(saved_self, saved_part);
            c.other = saved_other;
            return st == Continue ? Ok : st;
        }
        case scope::Self:
        case scope::Implicit:
            return single(c.self, *c.self_part);
        case scope::All: {
            const int count = w.count();
            for (int i = 0; i < count; ++i) {
                if (i >= w.count()) break;
                CInstance* inst = w.at(i);
                ScriptInstance& part = w.part(*inst);
                if (part.destroyed()) continue;
                if (const auto end = loop_end(with_body(c, body, inst, part, result))) return *end;
            }
            return Ok;
        }
        default:
            break;
    }
    if (s < 0) return Ok;
    if (s >= kInstanceIdBase) {
        CInstance* inst = w.find_live_id(s);
        if (!inst) return Ok;
        return single(inst, w.part(*inst));
    }
    const int count = w.object_count(s);
    for (int i = 0; i < count; ++i) {
        if (i >= w.object_count(s)) break;
        CInstance* inst = w.object_at(s, i);
        ScriptInstance& part = w.part(*inst);
        if (part.destroyed()) continue;
        if (const auto end = loop_end(with_body(c, body, inst, part, result))) return *end;
    }
    return Ok;
}

bool label_matches(const RValue& a, const RValue& b) {
    if (a.is_real() && b.is_real()) return a.real == b.real;
    if (a.is_string() && b.is_string()) return a.str.view() == b.str.view();
    return false;
}

int32_t s_switch(ExecContext& c, const Node& n, RValue& result) {
    RValue v;
    if (ev(c, n.children[0], v) != Ok) return Error;
    const size_t count = n.children.size();
    size_t start = count;
    for (size_t i = 1; i < count && start == count; ++i) {
        const Node& s = n.children[i];
        if (s.kind == tok::Default) {
            start = i;
        } else if (s.kind == tok::Case) {
            RValue lv;
            if (ev(c, s.children[0], lv) != Ok) return Error;
            if (label_matches(v, lv)) start = i;
        }
    }
    for (size_t i = start + 1; i < count; ++i) {
        const Node& s = n.children[i];
        if (s.kind == tok::Case || s.kind == tok::Default) continue;
        const int32_t st = s.fn(c, s, result);
        if (st == Break) return Ok;
        if (st != Ok) return st;
    }
    return Ok;
}

// ------------------------------------------------------------ linking

struct Linker {
    const ScriptState& st;
    std::vector<int32_t> slots;

    int32_t slot(int32_t var) {
        for (size_t i = 0; i < slots.size(); ++i)
            if (slots[i] == var) return static_cast<int32_t>(i);
        slots.push_back(var);
        return static_cast<int32_t>(slots.size() - 1);
    }

    static bool constant_scope(const Node& n, int32_t s) {
        return !n.children.empty() && n.children[0].kind == tok::Constant &&
               n.children[0].value.is_real() && n.children[0].scope == s;
    }

    // A variable node as read or as an assignment's target.
    void variable(Node& n) {
        if (n.kind == tok::SimpleVar) {
            if (n.scope == scope::Local) n.hint = slot(n.code);
            return;
        }
        if (constant_scope(n, scope::Local)) slot(n.code);
        for (Node& ch : n.children) expr(ch);
    }

    void expr(Node& n) {
        switch (n.xk) {
            case xk::Const:
                n.fn = n.value.is_real() ? &x_const_real : &x_const;
                return;
            case xk::Call:
                for (Node& ch : n.children) expr(ch);
                n.fn = n.code < kScriptCallBase ? &x_call_builtin : &x_call_script;
                return;
            case xk::SimpleSelf:
                n.fn = &x_self;
                return;
            case xk::Argument:
                n.hint = n.code - st.argument0_index;
                n.fn = &x_argument;
                return;
            case xk::Simple:
                variable(n);
                if (n.scope == scope::Local)
                    n.fn = &x_local;
                else if (n.scope == scope::Global)
                    n.fn = &x_global;
                else if (n.scope == scope::Other && n.code >= kInstanceVariableBase)
                    n.fn = &x_other;
                else if ((n.scope == scope::Implicit || n.scope == scope::Self) && n.code >= 0 &&
                         n.code < st.builtins.count())
                    n.fn = &x_builtin_self;
                else
                    n.fn = &x_simple;
                return;
            case xk::Var:
                variable(n);
                n.fn = &x_var;
                return;
            case xk::Unary:
                expr(n.children[0]);
                n.fn = n.code == tok::Minus ? &x_negate : &x_unary;
                return;
            case xk::Binary: {
                expr(n.children[0]);
                expr(n.children[1]);
                const Node& r = n.children[1];
                n.fn = pick_binary(n.code, r.kind == tok::Constant && r.value.is_real());
                return;
            }
            default:
                n.fn = &x_bad;
                return;
        }
    }

    void stmt(Node& n) {
        switch (n.xk) {
            case xk::Call:
                for (Node& ch : n.children) expr(ch);
                n.fn = n.code < kScriptCallBase ? &call_builtin : &s_call_script;
                return;
            case xk::AssignSelf:
                expr(n.children[1]);
                n.fn = pick_assign<SelfCell>(n.code, &s_assign_self);
                return;
            case xk::Assign: {
                Node& target = n.children[0];
                variable(target);
                expr(n.children[1]);
                n.fn = target.kind == tok::SimpleVar && target.scope == scope::Local
                           ? pick_assign<LocalCell>(n.code, &s_assign_local)
                           : &s_assign;
                return;
            }
            case xk::Block:
                for (Node& ch : n.children) stmt(ch);
                n.fn = &s_block;
                return;
            case xk::If:
                expr(n.children[0]);
                for (size_t i = 1; i < n.children.size(); ++i) stmt(n.children[i]);
                n.fn = &s_if;
                return;
            case xk::While:
                expr(n.children[0]);
                stmt(n.children[1]);
                n.fn = &s_while;
                return;
            case xk::Do:
                stmt(n.children[0]);
                expr(n.children[1]);
                n.fn = &s_do;
                return;
            case xk::For:
                stmt(n.children[0]);
                expr(n.children[1]);
                stmt(n.children[2]);
                stmt(n.children[3]);
                n.fn = &s_for;
                return;
            case xk::Repeat:
                expr(n.children[0]);
                stmt(n.children[1]);
                n.fn = &s_repeat;
                return;
            case xk::With:
                expr(n.children[0]);
                stmt(n.children[1]);
                n.fn = &s_with;
                return;
            case xk::Switch:
                expr(n.children[0]);
                for (size_t i = 1; i < n.children.size(); ++i) stmt(n.children[i]);
                n.fn = &s_switch;
                return;
            case xk::Return:
                expr(n.children[0]);
                n.fn = &s_return;
                return;
            case xk::Exit:
                n.fn = &s_exit;
                return;
            case xk::Break:
                n.fn = &s_break;
                return;
            case xk::Continue:
                n.fn = &s_continue;
                return;
            case xk::VarDecl:
                for (const Node& ch : n.children) slot(ch.code);
                n.fn = &s_ok;
                return;
            case xk::Case:
                if (!n.children.empty()) expr(n.children[0]);
                n.fn = &s_case;
                return;
            case xk::Default:
                n.fn = &s_default;
                return;
            default:
                n.fn = &s_bad;
                return;
        }
    }
};

}  // namespace

std::vector<int32_t> link_tree(const ScriptState& st, Node& root, bool program) {
    Linker l{st, {}};
    if (program)
        l.stmt(root);
    else
        l.expr(root);
    return std::move(l.slots);
}

bool execute(ScriptState& st, CInstance* self, CInstance* other, CCode& code, RValue& result) {
    if (st.errors.pending) clear_pending_error(st);
    if (!code.compiled()) {
        record_error(st, code, 0, "Internal Error: Executing non-compiled code.");
        return false;
    }
    if (code.kind() == CodeKind::Constant) {
        result = code.constant_value();
        return true;
    }
    if (!self || !other) {
        record_error(st, code, 0, "Internal Error: Executing code for nil instance.");
        return false;
    }
    // Executions nest through scripts, handlers that run code and events
    // raised by functions; past a stack budget they fail instead of
    // exhausting the machine stack.
    const uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (st.exec_depth == 0) {
        st.exec_stack_base = here;
    } else if (st.exec_stack_base > here && st.exec_stack_base - here > kExecStackBudget) {
        record_error(st, code, 0, "Code executions nested too deeply.");
        return false;
    }
    return run_code(st, self, &st.instances->part(*self), other, code, result);
}

}  // namespace kx
