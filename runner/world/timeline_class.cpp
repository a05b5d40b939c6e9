#include "world/timeline_class.h"

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "gamedata/record_io.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "script/code_operator.h"
#include "script/script_state.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx {

int CTimeLine::index_at(double p) const {
    const int n = count();
    for (int i = 0; i < n; ++i)
        if (times[static_cast<size_t>(i)] >= p) return i;
    return n;
}

int CTimeLine::find(int32_t time) const {
    for (int i = 0; i < count(); ++i)
        if (times[static_cast<size_t>(i)] == time) return i;
    return -1;
}

CEvent& CTimeLine::add(int32_t time) {
    const int at = find(time);
    if (at >= 0) return moments[static_cast<size_t>(at)];
    size_t pos = 0;
    while (pos < times.size() && times[pos] <= time) ++pos;
    times.insert(times.begin() + static_cast<std::ptrdiff_t>(pos), time);
    return *moments.insert(moments.begin() + static_cast<std::ptrdiff_t>(pos), CEvent());
}

void CTimeLine::remove(int32_t time) {
    const int at = find(time);
    if (at < 0) return;
    times.erase(times.begin() + at);
    moments.erase(moments.begin() + at);
}

namespace {

template <class IO, class TimeLine>
bool timeline_record(IO& io, TimeLine& t) {
    if (!io.version(kTimeLineVersion)) return false;
    int32_t n = t.count();
    if (!io.count(n, 12)) return false;
    if constexpr (IO::kReads) {
        t.times.resize(static_cast<size_t>(n));
        t.moments.resize(static_cast<size_t>(n));
    }
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
        io.i(t.times[i]);
        if (!io.record(t.moments[i], read_event, write_event)) return false;
    }
    return true;
}

template <class IO, class List>
bool timeline_list_record(IO& io, List& list) {
    if (!io.version(kTimeLineListVersion)) return false;
    return io.list(list, 4, [&](auto& t) {
        if (!io.slot(t)) return true;
        io.str(t->name);
        return timeline_record(io, *t);
    });
}

}  // namespace

bool read_timeline(CStream& s, CTimeLine& t) {
    RecordReader io{s};
    return timeline_record(io, t);
}

void write_timeline(CStream& s, const CTimeLine& t) {
    RecordWriter io{s};
    timeline_record(io, t);
}

bool read_timeline_list(CStream& s, std::vector<std::unique_ptr<CTimeLine>>& out) {
    out.clear();
    RecordReader io{s};
    return timeline_list_record(io, out);
}

void write_timeline_list(CStream& s, const std::vector<const CTimeLine*>& list) {
    RecordWriter io{s};
    timeline_list_record(io, list);
}

namespace {

CTimeLine* timeline_get(WorldState& w, int32_t index) {
    auto& list = w.timelines;
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return nullptr;
    return list[static_cast<size_t>(index)].get();
}

}  // namespace

bool compile_timelines(Runtime& r) {
    auto& list = r.get<WorldState>().timelines;
    EventContext& ec = r.get<ScriptState>().event;
    for (size_t t = 0; t < list.size(); ++t) {
        if (!list[t]) continue;
        for (size_t m = 0; m < list[t]->moments.size(); ++m) {
            const EventContext saved = ec;
            for (size_t i = 0; i < list[t]->moments[m].actions.size(); ++i) {
                ec = EventContext{static_cast<int32_t>(t), kTimeLineEventType, list[t]->times[m],
                                  static_cast<int32_t>(i), false};
                if (!compile_action(r, list[t]->moments[m].actions[i])) {
                    ec = saved;
                    return false;
                }
            }
            ec = saved;
        }
    }
    return true;
}

void run_moment(Runtime& r, CInstance* self, CInstance* other, int32_t timeline, int moment) {
    if (transition_pending(r)) return;
    CTimeLine* t = timeline_get(r.get<WorldState>(), timeline);
    if (!t || moment < 0 || moment >= t->count()) return;
    EventContext& ec = r.get<ScriptState>().event;
    const EventContext saved = ec;
    ec.owner_index = timeline;
    ec.event_type = kTimeLineEventType;
    ec.event_number = t->times[static_cast<size_t>(moment)];
    ec.action_index = 0;
    run_event(r, t->moments[static_cast<size_t>(moment)], self, other);
    ec = saved;
}

bool add_code_moment(Runtime& r, int32_t timeline, int32_t time, const std::string& code) {
    CTimeLine* t = timeline_get(r.get<WorldState>(), timeline);
    if (!t) return false;
    CEvent& e = t->add(time);
    CAction a;
    a.kind = act::Code;
    a.exec_type = act::ExecCode;
    a.arg_count = 1;
    a.arg_kinds = {act::KindString};
    a.args = {code};
    e.actions.push_back(std::move(a));
    e.stored = true;
    // Compile only the new action: earlier ones are compiled already.
    EventContext& ec = r.get<ScriptState>().event;
    const EventContext saved = ec;
    ec = EventContext{timeline, kTimeLineEventType, time,
                      static_cast<int32_t>(e.actions.size() - 1), false};
    const bool ok = compile_action(r, e.actions.back());
    ec = saved;
    return ok;
}

namespace {

WorldState& world_of_handler() {
    return rt().get<WorldState>();
}

KX_HANDLER(f_timeline_exists) {
    result.set_real(timeline_get(world_of_handler(), arg_held_i32(args[0])) ? 1 : 0);
}
KX_HANDLER(f_timeline_get_name) {
    const CTimeLine* t = timeline_get(world_of_handler(), arg_held_i32(args[0]));
    result.set_string(KxString(t ? t->name : std::string("<undefined>")));
}
KX_HANDLER(f_timeline_add) {
    auto& list = world_of_handler().timelines;
    auto t = std::make_unique<CTimeLine>();
    t->name = "__newtimeline" + std::to_string(list.size());
    list.push_back(std::move(t));
    result.set_real(static_cast<double>(list.size() - 1));
}
KX_HANDLER(f_timeline_delete) {
    WorldState& w = world_of_handler();
    const int32_t i = arg_held_i32(args[0]);
    if (!timeline_get(w, i)) {
        report_with_context(rt(), "Trying to delete non-existing timeline.", false);
        return;
    }
    w.timelines[static_cast<size_t>(i)].reset();
    result.set_real(1);
}
KX_HANDLER(f_timeline_moment_add) {
    add_code_moment(rt(), arg_held_i32(args[0]), arg_held_i32(args[1]), args[2].str.str());
}
KX_HANDLER(f_timeline_moment_clear) {
    if (CTimeLine* t = timeline_get(world_of_handler(), arg_held_i32(args[0])))
        t->remove(arg_held_i32(args[1]));
}

constexpr BuiltinDef kFunctions[] = {
    {"timeline_exists", f_timeline_exists, 1},
    {"timeline_name", f_timeline_get_name, 1},
    {"timeline_get_name", f_timeline_get_name, 1},
    {"timeline_add", f_timeline_add, 0},
    {"timeline_delete", f_timeline_delete, 1},
    {"timeline_moment_add", f_timeline_moment_add, 3},
    {"timeline_moment_clear", f_timeline_moment_clear, 2},
};

}  // namespace

void register_function_timeline(FunctionTable& table) {
    table.add(kFunctions);
}

}  // namespace kx
