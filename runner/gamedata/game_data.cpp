#include "gamedata/game_data.h"

#include <filesystem>
#include <fstream>

#include "gamedata/scramble.h"
#include "platform/platform.h"

namespace kx {

namespace fs = std::filesystem;

const std::array<SectionInfo, kSectionCount> kSections = {{
    {"settings", 600, -1, "", false},
    {"sounds", 400, 5, "Loading sounds", true},
    {"sprites", 400, 10, "Loading sprites", true},
    {"backgrounds", 400, 23, "Loading backgrounds", true},
    {"paths", 420, 30, "Loading paths", true},
    {"scripts", 400, 32, "Loading scripts", true},
    {"fonts", 540, 34, "Loading fonts", true},
    {"time lines", 500, 36, "Loading time lines", true},
    {"objects", 400, 38, "Loading objects", true},
    {"rooms", 420, 41, "Loading rooms", true},
    {"game information", 600, 45, "Loading help", false},
    {"library init code", 500, 47, "Loading library init code", false},
    {"room order", 540, 49, "Loading room order", false},
}};

bool has_game_data(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    f.seekg(static_cast<std::streamoff>(kGameDataOffset));
    int32_t magic = 0;
    if (!f.read(reinterpret_cast<char*>(&magic), 4)) return false;
    return magic == kContainerMagic;
}

std::string safe_extra_file_name(std::string_view stored) {
    size_t cut = stored.find_last_of("/\\");
    std::string_view base = cut == std::string_view::npos ? stored : stored.substr(cut + 1);
    // A drive-relative name like "C:file" keeps only what follows the colon.
    if (size_t colon = base.find(':'); colon != std::string_view::npos)
        base = base.substr(colon + 1);
    if (base.empty() || base == "." || base == "..") return {};
    return std::string(base);
}

namespace {

// The container and the inner data both open with this pair.
bool read_magic_and_version(CStream& st, IDialogs& dialogs) {
    if (st.read_int() != kContainerMagic) {
        dialogs.message("", msg::kNotValid);
        return false;
    }
    if (st.read_int() != kFormatVersion) {
        dialogs.message("", msg::kWrongVersion);
        return false;
    }
    return true;
}

bool write_file(const fs::path& p, std::span<const uint8_t> bytes) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

}  // namespace

bool read_container(const std::string& path, const ContainerOptions& opts, IDialogs& dialogs,
                    ContainerInfo& out) {
    CStream st;
    if (!st.load_from_file(path)) {
        dialogs.message("", msg::kCannotRead);
        return false;
    }
    return read_container(st, opts, dialogs, out);
}

bool read_container(CStream& st, const ContainerOptions& opts, IDialogs& dialogs,
                    ContainerInfo& out) {
    if (st.size() < kGameDataOffset) {
        dialogs.message("", msg::kNotValid);
        return false;
    }
    st.seek(kGameDataOffset);
    if (!read_magic_and_version(st, dialogs)) return false;
    out.delete_extra_files = st.read_bool();
    out.overwrite_extra_files = st.read_bool();
    out.extra_to_temp = st.read_int() != 0;
    out.extension_library = st.read_string();
    {
        // Written out as the container says; the matrix and texture functions it
        // carries are our own, so it is never loaded.
        CStream lib = st.read_compressed();
        std::string name = safe_extra_file_name(out.extension_library);
        if (opts.keep_contents)
            out.extension_library_content.assign(lib.bytes().begin(), lib.bytes().end());
        if (opts.write_files && !name.empty() && !opts.temp_dir.empty())
            write_file(fs::path(opts.temp_dir) / name, lib.bytes());
    }
    out.extra_files.clear();
    const fs::path folder = out.extra_to_temp ? opts.temp_dir : opts.working_dir;
    for (;;) {
        std::string name = st.read_string();
        if (name == kFileListEnd) break;
        CStream content = st.read_compressed();
        if (opts.keep_contents)
            out.extra_contents.push_back({name, {content.bytes().begin(), content.bytes().end()}});
        std::string safe = safe_extra_file_name(name);
        if (safe.empty()) continue;  // nothing of the name is safe to write
        fs::path target = folder / safe;
        std::error_code ec;
        if (opts.write_files && (out.overwrite_extra_files || !fs::exists(target, ec)))
            write_file(target, content.bytes());
        out.extra_files.push_back(target.string());
    }
    out.game_data = st.read_compressed();
    return true;
}

namespace {

void skip_ints(CStream& st, int32_t count) {
    if (count < 0) throw StreamError("negative filler count");
    if (static_cast<size_t>(count) > st.remaining() / 4) throw StreamError("filler past the end");
    st.seek(st.position() + static_cast<size_t>(count) * 4);
}

}  // namespace

bool read_empty_section(Section s, CStream& st) {
    const SectionInfo& info = kSections[static_cast<size_t>(s)];
    if (st.read_int() != info.version) return false;
    if (info.resource_list) {
        int32_t n = st.read_int();
        if (n < 0 || static_cast<size_t>(n) > st.remaining() / 4) return false;
        for (int32_t i = 0; i < n; ++i)
            if (st.read_bool()) return false;  // a resource this runner cannot read yet
        if (s == Section::Rooms) {
            st.read_int();  // last instance id in use
            st.read_int();  // last tile id in use
        }
        return true;
    }
    return false;  // non-list sections always have a reader
}

bool read_game_data(CStream& st, GameDataHandlers& h, IDialogs& dialogs, GameHeader& header) {
    if (st.read_int() != kGameDataMagic) {
        dialogs.message("", msg::kNotValid);
        return false;
    }
    int32_t filler_a = st.read_int();
    int32_t filler_b = st.read_int();
    skip_ints(st, filler_a);
    int32_t seed = st.read_int();
    st.read_int();
    skip_ints(st, filler_b);
    st.read_int();
    size_t p = st.position();
    if (p + 1 < st.size()) {
        std::span<uint8_t> rest(st.data().data() + p + 1, st.size() - p - 1);
        if (!unscramble_bytes(rest, seed)) throw StreamError("scrambling seed out of range");
    }
    st.read_int();
    st.read_int();
    if (!read_magic_and_version(st, dialogs)) return false;
    header.debug_mode = st.read_bool();
    header.game_id = st.read_int();
    st.read_bytes(header.identifier.data(), header.identifier.size());

    for (size_t i = 0; i < kSectionCount; ++i) {
        const SectionInfo& info = kSections[i];
        if (info.progress >= 0 && h.progress) h.progress(info.progress, info.message);
        bool ok = h.readers[i] ? h.readers[i](st) : read_empty_section(static_cast<Section>(i), st);
        if (!ok) {
            dialogs.message("", msg::kResourceData);
            return false;
        }
        if (i == static_cast<size_t>(Section::Settings) && h.after_settings) h.after_settings();
    }
    return true;
}

void write_container(CStream& out, const ContainerSpec& desc, const CStream& game_data) {
    out.write_int(kContainerMagic);
    out.write_int(kFormatVersion);
    out.write_bool(desc.delete_extra_files);
    out.write_bool(desc.overwrite_extra_files);
    out.write_int(desc.extra_to_temp ? 1 : 0);
    out.write_string(desc.extension_library);
    out.write_compressed(desc.extension_library_content);
    for (const auto& f : desc.extra_files) {
        out.write_string(f.name);
        out.write_compressed(f.content);
    }
    out.write_string(kFileListEnd);
    out.write_compressed(game_data);
}

CStream build_game_data(const GameDataSpec& desc, const CStream& sections) {
    CStream st;
    st.write_int(kGameDataMagic);
    st.write_int(desc.filler_a);
    st.write_int(desc.filler_b);
    // Filler and unused words: any values; derived from the seed so a source
    // always gives the same bytes.
    uint32_t x = static_cast<uint32_t>(desc.seed) * 2654435761u + 1;
    auto next = [&] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return static_cast<int32_t>(x & 0x7fffffff);
    };
    for (int i = 0; i < desc.filler_a; ++i) st.write_int(next());
    st.write_int(desc.seed);
    st.write_int(next());
    for (int i = 0; i < desc.filler_b; ++i) st.write_int(next());
    st.write_int(next());
    size_t p = st.position();
    st.write_int(next());
    st.write_int(next());
    st.write_int(kContainerMagic);
    st.write_int(kFormatVersion);
    st.write_bool(desc.header.debug_mode);
    st.write_int(desc.header.game_id);
    st.write_bytes(desc.header.identifier);
    st.write_bytes(sections.bytes());
    if (st.size() > p + 1) {
        std::span<uint8_t> rest(st.data().data() + p + 1, st.size() - p - 1);
        if (!scramble_bytes(rest, desc.seed)) throw StreamError("scrambling seed out of range");
    }
    return st;
}

#ifndef KX_INSTALL_BINDIR
#define KX_INSTALL_BINDIR "/usr/local/bin"
#endif

std::vector<uint8_t> launcher_prefix() {
    // Arguments before a "--" are kxrun's options, the rest the game's; without
    // one every argument is the game's.
    static const char kScript[] =
        "#!/bin/sh\n"
        "# A Korvax 6 game file: the game data follows this launcher. Played by kxrun:\n"
        "# the one beside this file, else the one on the PATH, else the installed one.\n"
        "d=$(dirname \"$0\")\n"
        "if [ -f \"$d/kxrun\" ] && [ -x \"$d/kxrun\" ]; then k=$d/kxrun\n"
        "elif command -v kxrun >/dev/null 2>&1; then k=kxrun\n"
        "elif [ -x \"" KX_INSTALL_BINDIR "/kxrun\" ]; then k=" KX_INSTALL_BINDIR
        "/kxrun\n"
        "else echo \"$0: kxrun is needed to play this game; it is not beside the game, on the PATH "
        "or in " KX_INSTALL_BINDIR
        "\" >&2; exit 127; fi\n"
        "g=$0 n=$# i=0 cut=0\n"
        "for a; do i=$((i+1)); if [ \"$a\" = -- ]; then cut=$i; break; fi; done\n"
        "if [ $cut -gt 0 ]; then\n"
        "  i=0\n"
        "  for a; do i=$((i+1)); if [ $i -eq $cut ]; then set -- \"$@\" -- \"$g\"; else set -- "
        "\"$@\" \"$a\"; fi; done\n"
        "  shift $n\n"
        "else\n"
        "  set -- -- \"$g\" \"$@\"\n"
        "fi\n"
        "exec \"$k\" \"$@\"\n";
    std::vector<uint8_t> out(kGameDataOffset, 0);
    std::copy(kScript, kScript + sizeof(kScript) - 1, out.begin());
    return out;
}

}  // namespace kx
