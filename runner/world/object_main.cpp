#include "world/object_main.h"

#include <string>

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "platform/platform.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_main.h"
#include "script/code_operator.h"
#include "script/script_state.h"
#include "world/world_state.h"

namespace kx {

namespace {

// The index that ends any walk through an action list.
constexpr int kStop = 10000000;

}  // namespace

bool object_exists(const WorldState& w, int32_t index) {
    return object_get(w, index) != nullptr;
}

CObject* object_get(const WorldState& w, int32_t index) {
    auto& list = w.objects;
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return nullptr;
    return list[static_cast<size_t>(index)].get();
}

std::string object_name(const WorldState& w, int32_t index) {
    const CObject* o = object_get(w, index);
    return o ? o->name : "<undefined>";
}

int32_t object_find(const WorldState& w, std::string_view name) {
    auto& list = w.objects;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] && list[i]->name == name) return static_cast<int32_t>(i);
    return -1;
}

int32_t object_add(WorldState& w) {
    auto& list = w.objects;
    auto o = std::make_unique<CObject>();
    o->name = "__newobject" + std::to_string(list.size());
    list.push_back(std::move(o));
    return static_cast<int32_t>(list.size()) - 1;
}

bool object_delete(WorldState& w, int32_t index) {
    if (!object_exists(w, index)) return false;
    w.objects[static_cast<size_t>(index)].reset();
    return true;
}

bool object_is_ancestor(const WorldState& w, int32_t object, int32_t candidate) {
    const CObject* o = object_get(w, object);
    // A parent cycle in the data ends after as many links as there are objects.
    for (size_t guard = w.objects.size(); o && guard > 0; --guard) {
        if (o->parent == candidate && object_exists(w, candidate)) return true;
        o = object_get(w, o->parent);
    }
    return false;
}

bool load_objects(Runtime& r, CStream& s) {
    WorldState& w = r.get<WorldState>();
    if (!read_object_list(s, w.objects)) return false;
    const FunctionTable& fns = r.get<ScriptState>().functions;
    for (auto& o : w.objects) {
        if (!o) continue;
        for (auto& type : o->events)
            for (auto& [n, e] : type)
                for (CAction& a : e.actions) {
                    a.function_index = a.function_name.empty() ? -1 : fns.find(a.function_name);
                    if (a.exec_type == act::ExecFunction && a.function_index < 0)
                        r.platform->dialogs()->message(
                            "", "Failed to locate action function " + a.function_name);
                }
    }
    return true;
}

bool compile_action(Runtime& r, CAction& a) {
    ScriptState& st = r.get<ScriptState>();
    auto arg_text = [&](size_t i) { return i < a.args.size() ? a.args[i] : std::string(); };
    if (a.kind == act::Variable) {
        a.code = arg_text(0) + (a.relative ? " += " : " = ") + arg_text(1);
        a.kind = act::Normal;
        a.arg_count = 0;
    } else if (a.kind == act::Code) {
        a.code = arg_text(0);
        a.kind = act::Normal;
        a.arg_count = 0;
    }
    if (a.exec_type == act::ExecFunction && a.function_index < 0) {
        // Action functions come with the action library; name the missing one.
        report_with_context(
            r, "COMPILATION ERROR in action\rUnknown action function " + a.function_name, true);
        return false;
    }
    if (a.exec_type == act::ExecCode) {
        a.compiled = std::make_unique<CCode>(a.code, false);
        if (!a.compiled->compile(st)) {
            const std::string m = pending_message(st);
            clear_pending_error(st);
            report_with_context(r, "COMPILATION ERROR in code action\r" + m, true);
            return false;
        }
    }
    a.code.clear();
    for (auto& c : a.arg_codes) c.reset();
    for (int i = 0; i < a.arg_count; ++i) {
        const size_t u = static_cast<size_t>(i);
        int32_t kind = u < a.arg_kinds.size() ? a.arg_kinds[u] : 0;
        const std::string text = arg_text(u);
        if (kind == act::KindBoth)
            kind = !text.empty() && (text[0] == '\'' || text[0] == '"') ? act::KindCompiled
                                                                        : act::KindString;
        if (kind == act::KindString || kind == act::KindFont) {
            a.run_kinds[u] = act::KindConstant;
            a.arg_values[u] = RValue(std::string_view(text));
            continue;
        }
        auto code = std::make_unique<CCode>(text, true);
        if (!code->compile(st)) {
            const std::string m = pending_message(st);
            clear_pending_error(st);
            report_with_context(r, "COMPILATION ERROR in argument " + std::to_string(i) + "\r" + m,
                                true);
            return false;
        }
        if (code->kind() == CodeKind::Constant) {
            a.run_kinds[u] = act::KindConstant;
            a.arg_values[u] = code->constant_value();
        } else {
            a.run_kinds[u] = act::KindCompiled;
            a.arg_codes[u] = std::move(code);
        }
    }
    a.args.clear();
    return true;
}

bool compile_objects(Runtime& r) {
    WorldState& w = r.get<WorldState>();
    EventContext& ec = r.get<ScriptState>().event;
    const EventContext saved = ec;
    for (size_t oi = 0; oi < w.objects.size(); ++oi) {
        CObject* o = w.objects[oi].get();
        if (!o) continue;
        for (int32_t t = 0; t < kEventTypeCount; ++t) {
            for (auto& [n, e] : o->events[static_cast<size_t>(t)]) {
                auto& actions = e.actions;
                for (size_t i = 0; i < actions.size(); ++i) {
                    ec = EventContext{static_cast<int32_t>(oi), t, n, static_cast<int32_t>(i),
                                      false};
                    if (!compile_action(r, actions[i])) {
                        ec = saved;
                        return false;
                    }
                }
            }
        }
    }
    ec = saved;
    return true;
}

const CEvent* find_event(const WorldState& w, int32_t object, int32_t type, int32_t number,
                         int32_t* owner) {
    const size_t guard0 = w.objects.size() + 1;
    auto walk = [&](int32_t n) -> const CEvent* {
        int32_t o = object;
        for (size_t guard = guard0; guard > 0; --guard) {
            const CObject* obj = object_get(w, o);
            if (!obj) return nullptr;
            if (const CEvent* e = obj->present_event(type, n)) {
                if (owner) *owner = o;
                return e;
            }
            o = obj->parent;
        }
        return nullptr;
    };
    if (const CEvent* e = walk(number)) return e;
    if (type == ev::Collision && object_exists(w, number)) {
        int32_t a = object_get(w, number)->parent;
        for (size_t guard = guard0; guard > 0 && object_exists(w, a); --guard) {
            if (const CEvent* e = walk(a)) return e;
            a = object_get(w, a)->parent;
        }
    }
    return nullptr;
}

bool has_event_type(const WorldState& w, int32_t object, int32_t type) {
    if (type < 0 || type >= kEventTypeCount) return false;
    const CObject* o = object_get(w, object);
    for (size_t guard = w.objects.size() + 1; o && guard > 0; --guard) {
        if (o->has_type(type)) return true;
        o = object_get(w, o->parent);
    }
    return false;
}

namespace {

// The action list walk of one event for one instance.
class Interpreter {
public:
    Interpreter(Runtime& r, const CEvent& e, CInstance* self, CInstance* other)
        : m_rt(r),
          m_st(r.get<ScriptState>()),
          m_world(r.get<WorldState>()),
          m_actions(e.actions),
          m_self(self),
          m_other(other),
          m_count(static_cast<int>(e.actions.size())) {}

    void run_all() {
        for (int i = 0; i < m_count;) i = run(i);
    }

private:
    const CAction& at(int i) const { return m_actions[static_cast<size_t>(i)]; }

    bool evaluate_arg(const CAction& a, int i, CInstance* self, CInstance* other, RValue& out) {
        const size_t u = static_cast<size_t>(i);
        if (a.run_kinds[u] == act::KindConstant || !a.arg_codes[u]) {
            out = a.arg_values[u];
            return true;
        }
        return execute_reporting(m_rt, self, other, *a.arg_codes[u], out);
    }

    RValue run_action(const CAction& a, CInstance* self, CInstance* other) {
        ScriptState& st = m_st;
        RValue result;
        const int argc = a.arg_count < kMaxActionArgsRun ? a.arg_count : kMaxActionArgsRun;
        if (a.exec_type == act::ExecFunction) {
            st.event.action_relative = a.may_be_relative && a.relative;
            std::array<RValue, kMaxArgs> values;  // a handler may read up to its own count
            for (int i = 0; i < argc; ++i)
                evaluate_arg(a, i, self, other, values[static_cast<size_t>(i)]);
            if (a.function_index >= 0 && a.function_index < st.functions.count())
                st.functions.at(a.function_index).handler(self, other, argc, result, values.data());
        } else if (a.exec_type == act::ExecCode && a.compiled) {
            std::array<RValue, kMaxActionArgsRun> saved;
            for (int i = 0; i < argc; ++i)
                saved[static_cast<size_t>(i)] = st.args[static_cast<size_t>(i)];
            const bool saved_relative = st.event.action_relative;
            st.event.action_relative = a.may_be_relative && a.relative;
            for (int i = 0; i < argc; ++i) {
                RValue v;
                evaluate_arg(a, i, self, other, v);
                st.args[static_cast<size_t>(i)] = std::move(v);
            }
            execute_reporting(m_rt, self, other, *a.compiled, result);
            for (int i = 0; i < argc; ++i)
                st.args[static_cast<size_t>(i)] = std::move(saved[static_cast<size_t>(i)]);
            st.event.action_relative = saved_relative;
        }
        return result;
    }

    bool answer(const CAction& a, CInstance* self, CInstance* other) {
        const RValue r = run_action(a, self, other);
        const bool yes = r.real >= 0.5;
        return a.negate ? !yes : yes;
    }

    bool applies_to_object(const CAction& a) const {
        return a.uses_applies_to && a.applies_to >= 0 &&
               static_cast<size_t>(a.applies_to) <= m_world.objects.size();
    }

    bool pending() const { return m_st.transition.pending(); }

    int run(int i) {
        if (pending() || i >= m_count) return kStop;
        m_st.event.action_index = i;
        const CAction& a = at(i);
        int r;
        if (a.kind == act::Begin)
            r = run_block(i);
        else if (a.kind == act::Repeat)
            r = repeat(i);
        else if (a.is_question)
            r = question(i);
        else
            r = normal(i);
        return pending() ? kStop : r;
    }

    int normal(int i) {
        const CAction& a = at(i);
        if (a.kind == act::Exit) return kStop;
        if (!a.uses_applies_to || a.applies_to == -1) {
            run_action(a, m_self, m_other);
        } else if (a.applies_to == -2) {
            run_action(a, m_other, m_self);
        } else if (applies_to_object(a)) {
            const std::vector<CInstance*> list = room_instances(m_world).family(a.applies_to);
            for (CInstance* inst : list) {
                if (pending()) break;
                if (!inst->destroyed()) run_action(a, inst, m_other);
            }
        }
        return pending() ? kStop : i + 1;
    }

    int question(int i) {
        const CAction& a = at(i);
        bool yes = false;
        if (!a.uses_applies_to || a.applies_to == -1) {
            yes = answer(a, m_self, m_other);
        } else if (a.applies_to == -2) {
            yes = answer(a, m_other, m_self);
        } else if (applies_to_object(a)) {
            yes = true;
            const std::vector<CInstance*> list = room_instances(m_world).family(a.applies_to);
            for (CInstance* inst : list)
                if (!inst->destroyed() && !answer(a, inst, m_other)) {
                    yes = false;
                    break;
                }
        }
        if (pending()) return kStop;
        int r = yes ? run(i + 1) : skip(i + 1);
        if (r < m_count && at(r).kind == act::Else) r = yes ? skip(r + 1) : run(r + 1);
        return r;
    }

    int repeat(int i) {
        const CAction& a = at(i);
        RValue n;
        if (a.arg_count > 0) evaluate_arg(a, 0, m_self, m_other, n);
        const int64_t times = round_to_i64(n.real);
        for (int64_t k = 0; k < times; ++k) {
            if (run(i + 1) >= kStop || pending()) break;
        }
        if (pending()) return kStop;
        return skip(i + 1);
    }

    int run_block(int i) {
        int j = i + 1;
        while (j < m_count && at(j).kind != act::End) j = run(j);
        return j + 1;
    }

    int skip(int i) {
        if (i >= m_count) return kStop;
        const CAction& a = at(i);
        if (a.kind == act::Begin) {
            int j = i + 1;
            while (j < m_count && at(j).kind != act::End) j = skip(j);
            return j + 1;
        }
        if (a.is_question || a.kind == act::Repeat) return skip(i + 1);
        return i + 1;
    }

    Runtime& m_rt;
    ScriptState& m_st;
    const WorldState& m_world;
    const std::vector<CAction>& m_actions;
    CInstance* m_self;
    CInstance* m_other;
    int m_count;
};

}  // namespace

void run_event(Runtime& r, const CEvent& e, CInstance* self, CInstance* other) {
    Interpreter(r, e, self, other).run_all();
}

void perform_event(Runtime& r, CInstance* self, CInstance* other, int32_t object, int32_t type,
                   int32_t number) {
    if (transition_pending(r)) return;
    int32_t owner = -1;
    const CEvent* e = find_event(r.get<WorldState>(), object, type, number, &owner);
    if (!e) return;
    EventContext& ec = r.get<ScriptState>().event;
    const EventContext saved = ec;
    ec.owner_index = owner;
    ec.event_type = type;
    ec.event_number = number;
    ec.action_index = 0;
    run_event(r, *e, self, other);
    ec = saved;
}

void perform_event_instance(Runtime& r, CInstance* inst, CInstance* other, int32_t type,
                            int32_t number) {
    if (!inst) return;
    perform_event(r, inst, other, inst->object_index(), type, number);
}

void perform_event_all(Runtime& r, int32_t type, int32_t number) {
    WorldState& w = r.get<WorldState>();
    for_each_live(
        [&]() -> auto& { return room_instances(w).active(); },
        [&](CInstance* inst) {
            perform_event(r, inst, inst, inst->object_index(), type, number);
            return true;
        });
}

void run_with_temp_instance(Runtime& r, CCode& code) {
    CInstance temp(0, 0);
    set_object(r, temp, 0);
    RValue result;
    execute_reporting(r, &temp, &temp, code, result);
}

void run_library_init(Runtime& r) {
    ScriptState& st = r.get<ScriptState>();
    for (const std::string& text : r.get<WorldState>().library_init) {
        if (text.empty()) continue;
        CCode code(text, false);
        if (!code.compile(st)) {
            const std::string m = pending_message(st);
            clear_pending_error(st);
            report(r, "COMPILATION ERROR in library initialization code\r" + m, true);
            continue;
        }
        run_with_temp_instance(r, code);
    }
}

}  // namespace kx
