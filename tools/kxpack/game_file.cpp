#include <filesystem>

#include "gamedata/scramble.h"
#include "kxpack/game_source.h"
#include "platform/platform.h"
#include "script/script_main.h"

namespace kx::pack {

namespace fs = std::filesystem;

namespace {

// Collects what the reader would show, for kxpack's own error text.
class CollectDialogs : public IDialogs {
public:
    std::string last;
    void message(std::string_view, std::string_view t) override { last = t; }
    bool question(std::string_view, std::string_view t) override {
        last = t;
        return false;
    }
    int buttons(std::string_view, std::string_view t, const std::vector<std::string>& c) override {
        last = t;
        return c.empty() ? 0 : static_cast<int>(c.size()) - 1;
    }
};
}  // namespace

// The script list's record is the runner's own.
void write_scripts_section(CStream& st, const std::vector<std::optional<ScriptSource>>& scripts) {
    ScriptList list;
    for (const auto& s : scripts) {
        if (s)
            list.add(s->name, s->code);
        else
            list.add(std::nullopt);
    }
    save_scripts(st, list);
}

bool read_scripts_section(CStream& st, std::vector<std::optional<ScriptSource>>& out) {
    out.clear();
    ScriptList list;
    if (!load_scripts(list, st)) return false;
    for (int i = 0; i < list.count(); ++i) {
        if (const CScript* sc = list.at(i))
            out.push_back(ScriptSource{sc->name, sc->text});
        else
            out.emplace_back();
    }
    return true;
}

CStream build_sections(const GameSource& g) {
    CStream st;
    write_settings(st, g.settings,
                   {g.bar_back ? &*g.bar_back : nullptr, g.bar_front ? &*g.bar_front : nullptr,
                    g.loading ? &*g.loading : nullptr});
    g.sounds.write(st);
    write_sprites_section(st, g.sprites);
    write_backgrounds_section(st, g.backgrounds);
    g.paths.write(st);
    write_scripts_section(st, g.scripts);
    write_fonts_section(st, g.fonts);
    write_world_sections(st, Section::TimeLines, g);
    write_world_sections(st, Section::Objects, g);
    write_world_sections(st, Section::Rooms, g);
    write_game_information(st, g.info);
    write_library_init(st, g.library_init);
    write_room_order(st, g.room_order);
    return st;
}

std::vector<uint8_t> build_game_file(const GameSource& g) {
    CStream data = build_game_data(g.data, build_sections(g));
    CStream file(launcher_prefix());
    file.seek(file.size());
    write_container(file, g.container, data);
    return std::move(file.data());
}

GameSource read_game_file(const fs::path& path, std::array<SectionStat, kSectionCount>* stats) {
    GameSource g;
    CollectDialogs dialogs;
    ContainerOptions opts;
    opts.write_files = false;
    opts.keep_contents = true;
    ContainerInfo info;
    try {
        if (!read_container(path.string(), opts, dialogs, info)) throw SourceError(dialogs.last);
        g.container.delete_extra_files = info.delete_extra_files;
        g.container.overwrite_extra_files = info.overwrite_extra_files;
        g.container.extra_to_temp = info.extra_to_temp;
        g.container.extension_library = info.extension_library;
        g.container.extension_library_content = info.extension_library_content;
        g.container.extra_files = info.extra_contents;

        // The header fields that the reader skips are recovered here so that an
        // unpacked source builds back to the same bytes.
        {
            CStream& d = info.game_data;
            d.seek(4);
            g.data.filler_a = d.read_int();
            g.data.filler_b = d.read_int();
            if (g.data.filler_a < 0 || static_cast<size_t>(g.data.filler_a) > d.remaining() / 4)
                throw StreamError("bad filler");
            d.seek(12 + static_cast<size_t>(g.data.filler_a) * 4);
            g.data.seed = d.read_int();
            d.seek(0);
        }
        SettingsRawPictures raw;
        GameDataHandlers h;
        h.readers[size_t(Section::Settings)] = [&](CStream& s) {
            return read_settings(s, g.settings, &raw);
        };
        h.readers[size_t(Section::Sprites)] = [&](CStream& s) {
            return read_sprites_section(s, g.sprites);
        };
        h.readers[size_t(Section::Backgrounds)] = [&](CStream& s) {
            return read_backgrounds_section(s, g.backgrounds);
        };
        h.readers[size_t(Section::Paths)] = [&](CStream& s) { return g.paths.read(s); };
        h.readers[size_t(Section::Sounds)] = [&](CStream& s) { return g.sounds.read(s); };
        h.readers[size_t(Section::Scripts)] = [&](CStream& s) {
            return read_scripts_section(s, g.scripts);
        };
        h.readers[size_t(Section::Fonts)] = [&](CStream& s) {
            return read_fonts_section(s, g.fonts);
        };
        h.readers[size_t(Section::TimeLines)] = [&](CStream& s) {
            std::vector<std::unique_ptr<CTimeLine>> list;
            if (!read_timeline_list(s, list)) return false;
            for (auto& t : list) g.timelines.emplace_back(t.release());
            return true;
        };
        h.readers[size_t(Section::Objects)] = [&](CStream& s) {
            std::vector<std::unique_ptr<CObject>> list;
            if (!read_object_list(s, list)) return false;
            for (auto& o : list) g.objects.emplace_back(o.release());
            return true;
        };
        h.readers[size_t(Section::Rooms)] = [&](CStream& s) {
            return read_room_section(s, g.rooms);
        };
        h.readers[size_t(Section::GameInfo)] = [&](CStream& s) {
            return read_game_information(s, g.info);
        };
        h.readers[size_t(Section::LibraryInit)] = [&](CStream& s) {
            return read_library_init(s, g.library_init);
        };
        h.readers[size_t(Section::RoomOrder)] = [&](CStream& s) {
            return read_room_order(s, g.room_order);
        };
        if (stats) {
            for (size_t i = 0; i < kSectionCount; ++i) {
                auto inner = h.readers[i];
                h.readers[i] = [&, inner, i](CStream& s) {
                    size_t at = s.position();
                    (*stats)[i].version = s.read_int();
                    if (kSections[i].resource_list) (*stats)[i].count = s.read_int();
                    s.seek(at);
                    return inner ? inner(s) : read_empty_section(static_cast<Section>(i), s);
                };
            }
        }
        if (!read_game_data(info.game_data, h, dialogs, g.data.header))
            throw SourceError(dialogs.last);
        g.bar_back = raw.bar_back;
        g.bar_front = raw.bar_front;
        g.loading = raw.loading;
        g.settings.ProgressBarBack.reset();
        g.settings.ProgressBarFront.reset();
        g.settings.LoadingImage.reset();
    } catch (const StreamError&) {
        throw SourceError(msg::kCorrupted);
    }
    return g;
}

}  // namespace kx::pack
