#include "script/code_exec.h"

#include <cstdint>
#include <new>
#include <optional>
#include <string>

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

enum Status { Ok = 0, Error = -1, Exit = -2, Break = -3, Continue = -4 };

struct ExecContext {
    ScriptState& st;
    CInstance* self;
    CInstance* other;
    ScriptInstance* self_part;  // the language's part of self
    std::unique_ptr<CVariableList> locals;
    const CCode& code;
    bool uninitialized_as_zero;

    void set_self(CInstance* inst) { set_self(inst, &st.instances->part(*inst)); }
    void set_self(CInstance* inst, ScriptInstance* part) {
        self = inst;
        self_part = part;
    }
};

Status fail(ExecContext& c, const Node& n, std::string_view msg) {
    record_error(c.st, c.code, n.position, msg);
    return Error;
}

// A resolved variable reference.
struct Ref {
    int32_t scope;
    int32_t var;
    int32_t combined;
};

Status evaluate(ExecContext& c, const Node& n, RValue& out);
Status run(ExecContext& c, const Node& n, RValue& result);

Status array_index(ExecContext& c, const Node& n, int32_t& out) {
    RValue v;
    if (evaluate(c, n, v) != Ok) return Error;
    if (!v.is_real()) return fail(c, n, "Wrong type of array index");
    const int64_t i = round_to_i64(v.real);
    if (i < 0) return fail(c, n, "Negative array index");
    if (i >= kArrayDim) return fail(c, n, "Array index >= 32000");
    out = static_cast<int32_t>(i);
    return Ok;
}

Status resolve(ExecContext& c, const Node& n, Ref& r) {
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
        if (evaluate(c, sc, sv) != Ok) return Error;
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
            const RValue* v = c.locals ? c.locals->get(r.var, r.combined) : nullptr;
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

Status read(ExecContext& c, const Ref& r, int32_t position, RValue& out) {
    if (read_ref(c, r, out)) return Ok;
    if (c.uninitialized_as_zero) {
        out.set_real(0);
        return Ok;
    }
    std::string msg = "Unknown variable " + variable_name(c.st, r.var);
    if (r.combined != 0) msg += " or array index out of bounds";
    record_error(c.st, c.code, position, msg);
    return Error;
}

bool store(ExecContext& c, const Ref& r, const RValue& v) {
    switch (r.scope) {
        case scope::Local:
            if (!c.locals) c.locals = std::make_unique<CVariableList>();
            c.locals->set(r.var, r.combined, v);
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

// A call; `out` is the destination (the result slot for a call statement, a
// temporary starting as 0 inside an expression).
Status call(ExecContext& c, const Node& n, RValue& out) {
    // Only the passed arguments are made: a handler reads no further.
    struct Args {
        alignas(RValue) unsigned char buf[sizeof(RValue) * kMaxArgs];
        int made = 0;
        RValue* at(int i) { return reinterpret_cast<RValue*>(buf) + i; }
        ~Args() {
            for (int i = 0; i < made; ++i) at(i)->~RValue();
        }
    } a;
    const int argc = static_cast<int>(n.children.size());
    for (int i = 0; i < argc; ++i) {
        new (a.at(i)) RValue();
        ++a.made;
        if (evaluate(c, n.children[static_cast<size_t>(i)], *a.at(i)) != Ok) return Error;
    }
    const RValue* args = a.at(0);
    if (n.code < kScriptCallBase) {
        RValue r;
        c.st.functions.at(n.code).handler(c.self, c.other, argc, r, args);
        out = std::move(r);
        return Ok;
    }
    return call_script(c.st, n.code - kScriptCallBase, c.self, c.other, argc, args, out) ? Ok
                                                                                         : Error;
}

// The common operators on two reals, without the general checks; false for
// the others (and for a zero divisor), which take the general path.
inline bool real_fast_path(int32_t op, double& l, double r) {
    switch (op) {
        case tok::Plus:
            l += r;
            return true;
        case tok::Minus:
            l -= r;
            return true;
        case tok::Times:
            l *= r;
            return true;
        case tok::Slash:
            if (r == 0) return false;
            l /= r;
            return true;
        case tok::Less:
            l = (l - r) < 0 ? 1.0 : 0.0;
            return true;
        case tok::LessEq:
            l = (l - r) <= 0 ? 1.0 : 0.0;
            return true;
        case tok::Greater:
            l = (l - r) > 0 ? 1.0 : 0.0;
            return true;
        case tok::GreaterEq:
            l = (l - r) >= 0 ? 1.0 : 0.0;
            return true;
        case tok::Assign:
        case tok::Equal:
            l = (l - r) == 0 ? 1.0 : 0.0;
            return true;
        case tok::NotEqual:
            l = (l - r) != 0 ? 1.0 : 0.0;
            return true;
        default:
            return false;
    }
}

Status eval_simple(ExecContext& c, const Node& n, RValue& out) {
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

Status eval_binary(ExecContext& c, const Node& n, RValue& out) {
    if (evaluate(c, n.children[0], out) != Ok) return Error;
    const Node& right = n.children[1];
    if (right.kind == tok::Constant) {
        if (out.is_real() && right.value.is_real() &&
            real_fast_path(n.code, out.real, right.value.real))
            return Ok;
        return binary_operation(c.st, c.code, n.position, n.code, out, right.value) ? Ok : Error;
    }
    RValue r;
    if (evaluate(c, right, r) != Ok) return Error;
    if (out.is_real() && r.is_real() && real_fast_path(n.code, out.real, r.real)) return Ok;
    return binary_operation(c.st, c.code, n.position, n.code, out, r) ? Ok : Error;
}

Status evaluate(ExecContext& c, const Node& n, RValue& out) {
    switch (n.xk) {
        case xk::Const:
            out = n.value;
            return Ok;
        case xk::Call:
            out = RValue();
            return call(c, n, out);
        case xk::SimpleSelf:
            if (const RVariable* v = c.self_part->vars().find_hinted(n.code, n.hint)) {
                out = v->value;
                return Ok;
            }
            return eval_simple(c, n, out);
        case xk::Argument:
            out = c.st.args[static_cast<size_t>(n.code - c.st.argument0_index)];
            return Ok;
        case xk::Simple:
            return eval_simple(c, n, out);
        case xk::Var: {
            Ref r;
            if (resolve(c, n, r) != Ok) return Error;
            return read(c, r, n.position, out);
        }
        case xk::Unary:
            if (evaluate(c, n.children[0], out) != Ok) return Error;
            return unary_operation(c.st, c.code, n.position, n.code, out) ? Ok : Error;
        case xk::Binary:
            return eval_binary(c, n, out);
        default:
            return fail(c, n, "(Sub-)expression expected.");
    }
}

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

// An instance variable of self written without scope or index: the cell is
// found once and updated in place.
Status assign_self(ExecContext& c, const Node& n, const Node& target, RValue& result) {
    RValue v;
    const Node& rhs = n.children[1];
    if (rhs.kind == tok::Constant) {
        v.kind = rhs.value.kind;  // a real constant needs no string share
        v.real = rhs.value.real;
        if (rhs.value.is_string()) v.str = rhs.value.str;
    } else if (evaluate(c, rhs, v) != Ok) {
        return Error;
    }
    RVariable* var = c.self_part->vars().find_hinted(target.code, target.hint);
    if (!var) {
        if (n.code != tok::Assign) {
            if (!c.uninitialized_as_zero) {
                record_error(c.st, c.code, n.position,
                             "Unknown variable " + variable_name(c.st, target.code));
                return Error;
            }
            RValue cur(0.0);
            if (!binary_operation(c.st, c.code, n.position, compound_operator(n.code), cur, v))
                return Error;
            v = std::move(cur);
        }
        c.self_part->vars().set(target.code, 0, v);
        result = std::move(v);
        return Ok;
    }
    RValue& cell = var->value;
    if (n.code == tok::Assign) {
        cell = v;
        result = std::move(v);
        return Ok;
    }
    // The result slot is overwritten below: letting go of its share first
    // lets a string grow in place.
    result.str = KxString();
    if (!(cell.is_real() && v.is_real() &&
          real_fast_path(compound_operator(n.code), cell.real, v.real))) {
        RValue cur = std::move(cell);
        const bool ok =
            binary_operation(c.st, c.code, n.position, compound_operator(n.code), cur, v);
        cell = std::move(cur);  // unchanged when the operator failed
        if (!ok) return Error;
    }
    result = cell;
    return Ok;
}

Status assignment(ExecContext& c, const Node& n, RValue& result) {
    Ref r;
    const Node& target = n.children[0];
    if (target.kind == tok::SimpleVar && target.code >= kInstanceVariableBase &&
        (target.scope == scope::Implicit || target.scope == scope::Self))
        return assign_self(c, n, target, result);
    if (target.kind == tok::SimpleVar) {
        r = Ref{target.scope, target.code, 0};
    } else if (resolve(c, target, r) != Ok) {
        return Error;
    }
    RValue v;
    if (evaluate(c, n.children[1], v) != Ok) return Error;
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

// A loop body's status on one pass: no value runs the next pass; otherwise the
// loop ends with that status (break ends it normally, exit and errors pass on).
std::optional<Status> loop_end(Status body) {
    if (body == Break) return Ok;
    if (body == Exit || body == Error) return body;
    return std::nullopt;
}

// Runs the body once with the given self (and its part); other becomes the
// current self.
Status with_body(ExecContext& c, const Node& body, CInstance* inst, ScriptInstance& part,
                 RValue& result) {
    CInstance* saved_self = c.self;
    ScriptInstance* saved_part = c.self_part;
    CInstance* saved_other = c.other;
    c.other = c.self;
    c.set_self(inst, &part);
    const Status s = run(c, body, result);
    c.set_self(saved_self, saved_part);
    c.other = saved_other;
    return s;
}

Status with_statement(ExecContext& c, const Node& n, RValue& result) {
    RValue v;
    if (evaluate(c, n.children[0], v) != Ok) return Error;
    if (!v.is_real()) return fail(c, n, "Object id expected");
    const int32_t s = round_to_i32(v.real);
    const Node& body = n.children[1];
    const IScriptWorld& w = *c.st.instances;
    auto single = [&](CInstance* inst, ScriptInstance& part) {
        const Status st = with_body(c, body, inst, part, result);
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
            Status st = run(c, body, result);
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
        CInstance* inst = find_instance_by_id(c.st, s);
        if (!inst || w.part(*inst).destroyed()) return Ok;
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

Status switch_statement(ExecContext& c, const Node& n, RValue& result) {
    RValue v;
    if (evaluate(c, n.children[0], v) != Ok) return Error;
    const size_t count = n.children.size();
    size_t start = count;
    for (size_t i = 1; i < count && start == count; ++i) {
        const Node& s = n.children[i];
        if (s.kind == tok::Default) {
            start = i;
        } else if (s.kind == tok::Case) {
            RValue lv;
            if (evaluate(c, s.children[0], lv) != Ok) return Error;
            if (label_matches(v, lv)) start = i;
        }
    }
    for (size_t i = start + 1; i < count; ++i) {
        const Node& s = n.children[i];
        if (s.kind == tok::Case || s.kind == tok::Default) continue;
        const Status st = run(c, s, result);
        if (st == Break) return Ok;
        if (st != Ok) return st;
    }
    return Ok;
}

Status run_if(ExecContext& c, const Node& n, RValue& result) {
    RValue v;
    if (evaluate(c, n.children[0], v) != Ok) return Error;
    if (!v.is_real()) return fail(c, n, "Expression expected");
    if (v.real > 0.5) return run(c, n.children[1], result);
    if (n.children.size() > 2) return run(c, n.children[2], result);
    return Ok;
}

Status run_while(ExecContext& c, const Node& n, RValue& result) {
    for (RValue v;;) {
        if (evaluate(c, n.children[0], v) != Ok) return Error;
        if (!v.is_real()) return fail(c, n, "Boolean expression expected");
        if (v.real < 0.5) return Ok;
        if (const auto end = loop_end(run(c, n.children[1], result))) return *end;
    }
}

Status run_do(ExecContext& c, const Node& n, RValue& result) {
    for (;;) {
        if (const auto end = loop_end(run(c, n.children[0], result))) return *end;
        RValue v;
        if (evaluate(c, n.children[1], v) != Ok) return Error;
        if (!v.is_real()) return fail(c, n, "Boolean expression expected");
        if (v.real >= 0.5) return Ok;
    }
}

Status run_for(ExecContext& c, const Node& n, RValue& result) {
    RValue temp;
    if (const Status st = run(c, n.children[0], temp); st != Ok) return st;
    for (;;) {
        RValue v;
        if (evaluate(c, n.children[1], v) != Ok) return Error;
        if (!v.is_real()) return fail(c, n, "Expression expected");
        if (v.real < 0.5) return Ok;
        if (const auto end = loop_end(run(c, n.children[3], result))) return *end;
        RValue step;
        if (const Status st = run(c, n.children[2], step); st != Ok) return st;
    }
}

Status run_repeat(ExecContext& c, const Node& n, RValue& result) {
    RValue v;
    if (evaluate(c, n.children[0], v) != Ok) return Error;
    if (!v.is_real()) return fail(c, n, "Repeat count must be a number");
    const int64_t count = round_to_i64(v.real);
    for (int64_t i = 0; i < count; ++i) {
        if (const auto end = loop_end(run(c, n.children[1], result))) return *end;
    }
    return Ok;
}

Status run(ExecContext& c, const Node& n, RValue& result) {
    switch (n.xk) {
        case xk::Call:
            return call(c, n, result);
        case xk::AssignSelf:
            return assign_self(c, n, n.children[0], result);
        case xk::Assign:
            return assignment(c, n, result);
        case xk::Block:
            for (const Node& s : n.children) {
                const Status st = run(c, s, result);
                if (st != Ok) return st;
            }
            return Ok;
        case xk::If:
            return run_if(c, n, result);
        case xk::While:
            return run_while(c, n, result);
        case xk::Do:
            return run_do(c, n, result);
        case xk::For:
            return run_for(c, n, result);
        case xk::Repeat:
            return run_repeat(c, n, result);
        case xk::With:
            return with_statement(c, n, result);
        case xk::Switch:
            return switch_statement(c, n, result);
        case xk::Return:
            if (evaluate(c, n.children[0], result) != Ok) return Error;
            return Exit;
        case xk::Exit:
            return Exit;
        case xk::Break:
            return Break;
        case xk::Continue:
            return Continue;
        case xk::VarDecl:
            return Ok;
        case xk::Case:
            return fail(c, n, "Case statement only allowed inside switch statement.");
        case xk::Default:
            return fail(c, n, "Default statement only allowed inside switch statement.");
        default:
            return fail(c, n, "Statement expected.");
    }
}

}  // namespace

bool execute(ScriptState& st, CInstance* self, CInstance* other, CCode& code, RValue& result) {
    clear_pending_error(st);
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
    struct DepthGuard {
        int& d;
        explicit DepthGuard(int& d_) : d(d_) { ++d; }
        ~DepthGuard() { --d; }
    } guard(st.exec_depth);
    ExecContext c{st,
                  self,
                  other,
                  &st.instances->part(*self),
                  nullptr,
                  code,
                  st.settings && st.settings->UninitializedAsZero};
    const Node& root = *code.root();
    if (code.kind() == CodeKind::Expression) return evaluate(c, root, result) == Ok;
    if (root.kind == tok::EmptyProgram) return true;
    if (root.kind != tok::Block) {
        record_error(st, code, root.position, "This is not a program.");
        return false;
    }
    return run(c, root, result) != Error;
}

}  // namespace kx
