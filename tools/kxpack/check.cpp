#include "kxpack/check.h"

#include "app/subsystems.h"
#include "core/runtime.h"
#include "gamedata/game_data.h"
#include "gamedata/gamedata_state.h"
#include "platform/platform.h"
#include "script/code_error.h"
#include "script/code_main.h"
#include "script/script_state.h"
#include "world/object_class.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx::pack {

namespace {

// Keeps what the runner would show; questions answer No, boxes their last button.
class CollectDialogs : public IDialogs {
public:
    std::vector<std::string> texts;
    void message(std::string_view, std::string_view t) override { texts.emplace_back(t); }
    bool question(std::string_view, std::string_view t) override {
        texts.emplace_back(t);
        return false;
    }
    int buttons(std::string_view, std::string_view t, const std::vector<std::string>& c) override {
        texts.emplace_back(t);
        return c.empty() ? 0 : static_cast<int>(c.size()) - 1;
    }
};

// A runner message as one line: its line breaks become "; ".
std::string one_line(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\r' || c == '\n') {
            while (i + 1 < s.size() && (s[i + 1] == '\r' || s[i + 1] == '\n')) ++i;
            if (!out.empty() && i + 1 < s.size()) out += "; ";
        } else {
            out += c;
        }
    }
    return out;
}

std::string at(const std::string& text, int position) {
    int line = 0, column = 0;
    line_and_column(text, position, line, column);
    return "line " + std::to_string(line) + ", position " + std::to_string(column);
}

// The text an action compiles as a program, as compile_action makes it.
std::string action_program(const CAction& a) {
    auto arg = [&](size_t i) { return i < a.args.size() ? a.args[i] : std::string(); };
    if (a.kind == act::Variable) return arg(0) + (a.relative ? " += " : " = ") + arg(1);
    if (a.kind == act::Code) return arg(0);
    return a.exec_type == act::ExecCode ? a.code : std::string();
}

class Checker {
public:
    Checker(const GameSource& g) : m_g(g) {
        m_platform = create_headless_platform();
        auto d = std::make_unique<CollectDialogs>();
        m_dialogs = d.get();
        m_platform->m_dialogs = std::move(d);
        m_rt.platform = m_platform.get();
        start_kxrun(m_rt);
    }

    std::vector<std::string> run(const std::vector<uint8_t>& bytes) {
        RuntimeScope scope(m_rt);
        if (!load(bytes)) return m_problems;
        ScriptState& st = m_rt.get<ScriptState>();
        for (const Subsystem* sub : m_rt.subsystems())
            for (const LoadStep& step : sub->load_steps)
                if (step.stage == LoadStage::Constants && !step.run(m_rt)) {
                    collected("game.json constants");
                    return m_problems;
                }
        m_dialogs->texts.clear();
        for (const auto& s : m_g.scripts) {
            if (!s) continue;
            CCode code(s->code, false);
            if (!code.compile(st)) code_problem("scripts/" + s->name + ".kxs", s->code);
        }
        WorldState& w = m_rt.get<WorldState>();
        for (size_t i = 0; i < w.objects.size(); ++i) {
            if (!w.objects[i]) continue;
            CObject& o = *w.objects[i];
            const std::string file = "objects/" + o.name + ".json";
            references(file, o);
            for (int32_t type = 0; type < kEventTypeCount; ++type)
                for (auto& [n, e] : o.events[static_cast<size_t>(type)]) {
                    const std::string other =
                        type == ev::Collision ? object_name(n) : std::string();
                    std::string name = event_name(type, n, other);
                    name.erase(0, name.find_first_not_of(' '));
                    actions(file + ", " + name, e, static_cast<int32_t>(i), type, n);
                }
        }
        for (size_t t = 0; t < w.timelines.size(); ++t) {
            if (!w.timelines[t]) continue;
            CTimeLine& tl = *w.timelines[t];
            for (size_t m = 0; m < tl.moments.size(); ++m)
                actions("timelines/" + tl.name + ".json, moment " + std::to_string(tl.times[m]),
                        tl.moments[m], static_cast<int32_t>(t), kTimeLineEventType, tl.times[m]);
        }
        for (const auto& r : m_g.rooms.rooms) {
            if (!r) continue;
            const std::string file = "rooms/" + r->name + ".json";
            room_references(file, *r);
            compile_program(file + ", creation code", r->code);
            for (size_t k = 0; k < r->instances.size(); ++k)
                compile_program(file + ", instance " + std::to_string(k) + " creation code",
                                r->instances[k].code);
        }
        return m_problems;
    }

private:
    bool load(const std::vector<uint8_t>& bytes) {
        CStream file(bytes);
        ContainerOptions opts;
        opts.write_files = false;
        ContainerInfo info;
        bool ok = false;
        GameDataHandlers h = section_readers(m_rt);
        try {
            ok = read_container(file, opts, *m_dialogs, info) &&
                 read_game_data(info.game_data, h, *m_dialogs, m_rt.get<GameDataState>().header);
        } catch (const std::exception&) {
            m_dialogs->texts.emplace_back(msg::kCorrupted);
        }
        // A missing action function is named again, with its file, below.
        if (ok) {
            m_dialogs->texts.clear();
            return true;
        }
        collected("game.json: the built game does not load");
        return false;
    }

    void collected(const std::string& where) {
        for (const auto& t : m_dialogs->texts) m_problems.push_back(where + ": " + one_line(t));
        if (m_dialogs->texts.empty()) m_problems.push_back(where + ": refused");
        m_dialogs->texts.clear();
    }

    void code_problem(const std::string& where, const std::string& text) {
        ScriptState& st = m_rt.get<ScriptState>();
        m_problems.push_back(where + ": " + at(text, st.errors.recorded_position) + ": " +
                             st.errors.recorded_detail);
        clear_pending_error(st);
        m_dialogs->texts.clear();
    }

    void compile_program(const std::string& where, const std::string& text) {
        if (text.empty()) return;
        CCode code(text, false);
        if (!code.compile(m_rt.get<ScriptState>())) code_problem(where, text);
    }

    void actions(const std::string& where, CEvent& e, int32_t owner, int32_t type, int32_t number) {
        ScriptState& st = m_rt.get<ScriptState>();
        for (size_t k = 0; k < e.actions.size(); ++k) {
            CAction& a = e.actions[k];
            const std::string w = where + ", action " + std::to_string(k + 1);
            if (a.exec_type == act::ExecFunction && a.function_index < 0) {
                m_problems.push_back(w + ": no action function named " + a.function_name);
                continue;
            }
            if (a.applies_to >= 0 && !object_slot(a.applies_to))
                m_problems.push_back(w + ": applies to object " + std::to_string(a.applies_to) +
                                     ", which does not exist");
            const std::string program = action_program(a);
            st.event = EventContext{owner, type, number, static_cast<int32_t>(k), a.relative};
            if (compile_action(m_rt, a)) continue;
            if (!program.empty() && a.compiled && !a.compiled->compiled())
                m_problems.push_back(w + ": " + at(program, st.errors.recorded_position) + ": " +
                                     st.errors.recorded_detail);
            else
                m_problems.push_back(w + ": " +
                                     one_line(m_dialogs->texts.empty() ? std::string("refused")
                                                                       : m_dialogs->texts.back()));
            m_dialogs->texts.clear();
            // A failed compile ends the game: let the next one be reported too.
            st.errors.ending = false;
            st.transition = {};
        }
    }

    bool object_slot(int32_t i) const {
        const WorldState& w = m_rt.get<WorldState>();
        return i >= 0 && static_cast<size_t>(i) < w.objects.size() &&
               w.objects[static_cast<size_t>(i)];
    }
    std::string object_name(int32_t i) const {
        return object_slot(i) ? m_rt.get<WorldState>().objects[static_cast<size_t>(i)]->name
                              : "<undefined>";
    }
    template <class List>
    static bool slot(const List& l, int32_t i) {
        return i >= 0 && static_cast<size_t>(i) < l.size() && l[static_cast<size_t>(i)];
    }
    void need(const std::string& where, const char* kind, bool exists, int32_t i) {
        if (i < 0 || exists) return;
        m_problems.push_back(where + ": " + kind + " " + std::to_string(i) + " does not exist");
    }

    void references(const std::string& file, const CObject& o) {
        need(file, "sprite", slot(m_g.sprites, o.sprite), o.sprite);
        need(file + ", mask", "sprite", slot(m_g.sprites, o.mask), o.mask);
        need(file + ", parent", "object", object_slot(o.parent), o.parent);
        for (const auto& [n, e] : o.events[ev::Collision]) {
            (void)e;
            need(file + ", collision event", "object", object_slot(n), n);
        }
    }

    void room_references(const std::string& file, const RoomRecord& r) {
        for (size_t k = 0; k < r.layers.size(); ++k)
            if (r.layers[k].visible || r.layers[k].index >= 0)
                need(file + ", background layer " + std::to_string(k), "background",
                     slot(m_g.backgrounds, r.layers[k].index), r.layers[k].index);
        for (size_t k = 0; k < r.views.size(); ++k)
            need(file + ", view " + std::to_string(k), "object", object_slot(r.views[k].object),
                 r.views[k].object);
        for (size_t k = 0; k < r.instances.size(); ++k) {
            const int32_t obj = r.instances[k].object;
            if (!object_slot(obj))
                m_problems.push_back(file + ", instance " + std::to_string(k) + ": object " +
                                     std::to_string(obj) + " does not exist");
        }
        for (size_t k = 0; k < r.tiles.size(); ++k)
            need(file + ", tile " + std::to_string(k), "background",
                 slot(m_g.backgrounds, r.tiles[k].background), r.tiles[k].background);
    }

    const GameSource& m_g;
    std::unique_ptr<Platform> m_platform;  // outlives the runtime that uses it
    Runtime m_rt;
    CollectDialogs* m_dialogs = nullptr;
    std::vector<std::string> m_problems;
};

}  // namespace

void line_and_column(const std::string& text, int position, int& line, int& column) {
    const int len = static_cast<int>(text.size());
    int p = std::min(std::max(position, 1), std::max(len, 1));
    line = 1;
    int start = 0;  // index of the first character of the current line
    for (int i = 0; i < p - 1 && i < len; ++i) {
        const char c = text[static_cast<size_t>(i)];
        if (c == '\n' ||
            (c == '\r' && (i + 1 >= len || text[static_cast<size_t>(i) + 1] != '\n'))) {
            ++line;
            start = i + 1;
        }
    }
    column = p - start;
}

std::vector<std::string> check_game(const GameSource& g, const std::vector<uint8_t>& bytes) {
    Checker c(g);
    return c.run(bytes);
}

}  // namespace kx::pack
