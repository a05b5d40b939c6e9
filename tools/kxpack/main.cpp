// kxpack: builds a game file from a source folder, and inspects or unpacks one.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "kx_version.h"
#include "kxpack/check.h"
#include "kxpack/game_source.h"

namespace {

const char* kUsage =
    "usage: kxpack build [--no-check] SRC -o FILE   build a game file from the source folder SRC\n"
    "       kxpack info FILE                        print the header, settings and sections of a "
    "game file\n"
    "       kxpack unpack FILE -o SRC               write the source folder of a game file\n"
    "       kxpack -h | --help | -V | --version\n"
    "build loads the game it wrote and compiles every piece of code with kxrun's own compiler;\n"
    "--no-check leaves that out. -- ends the options.\n";

const char* kHint = "usage: kxpack build|info|unpack ...; kxpack --help shows more\n";

int usage_error(const std::string& what) {
    std::fprintf(stderr, "kxpack: %s\n%s", what.c_str(), kHint);
    return 2;
}

int print_stdout(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "kxpack: cannot write to the standard output: %s\n",
                     std::strerror(errno));
        return 1;
    }
    return 0;
}

void print_info(const kx::pack::GameSource& g,
                const std::array<kx::pack::SectionStat, kx::kSectionCount>& st) {
    using namespace kx;
    std::printf("game id: %d\n", g.data.header.game_id);
    std::printf("identifier: ");
    for (uint8_t b : g.data.header.identifier) std::printf("%02x", b);
    std::printf("\ndebug mode: %s\n", g.data.header.debug_mode ? "yes" : "no");
    std::printf("seed: %d\n", g.data.seed);
    std::printf("extension library: %s (%zu bytes)\n", g.container.extension_library.c_str(),
                g.container.extension_library_content.size());
    std::printf("extra files: %zu (to %s, overwrite %s, delete at exit %s)\n",
                g.container.extra_files.size(),
                g.container.extra_to_temp ? "temp folder" : "working folder",
                g.container.overwrite_extra_files ? "yes" : "no",
                g.container.delete_extra_files ? "yes" : "no");
    for (const auto& f : g.container.extra_files)
        std::printf("  %s (%zu bytes)\n", f.name.c_str(), f.content.size());
    const GameSettings& s = g.settings;
    std::printf("settings:\n");
    std::printf("  FullScreen %d  Interpolate %d  NoBorder %d  ShowCursor %d  Scaling %d\n",
                s.FullScreen, s.Interpolate, s.NoBorder, s.ShowCursor, s.Scaling);
    std::printf("  AllowResize %d  AlwaysOnTop %d  ColorOutsideRoom %d  SetResolution %d\n",
                s.AllowResize, s.AlwaysOnTop, s.ColorOutsideRoom, s.SetResolution);
    std::printf("  ColorDepth %d  Resolution %d  Frequency %d  NoButtons %d  UseVSync %d\n",
                s.ColorDepth, s.Resolution, s.Frequency, s.NoButtons, s.UseVSync);
    std::printf("  KeyF4Fullscreen %d  KeyF1Info %d  KeyEscEnd %d  KeyF5F6SaveLoad %d\n",
                s.KeyF4Fullscreen, s.KeyF1Info, s.KeyEscEnd, s.KeyF5F6SaveLoad);
    std::printf("  Priority %d  FreezeOnLoseFocus %d  ShowProgressBar %d  ScaleProgressBar %d\n",
                s.Priority, s.FreezeOnLoseFocus, s.ShowProgressBar, s.ScaleProgressBar);
    std::printf("  LoadingImageTransparent %d  LoadingImageAlpha %d\n", s.LoadingImageTransparent,
                s.LoadingImageAlpha);
    std::printf("  DisplayErrors %d  WriteErrorLog %d  AbortOnError %d  UninitializedAsZero %d\n",
                s.DisplayErrors, s.WriteErrorLog, s.AbortOnError, s.UninitializedAsZero);
    std::printf("  pictures: progress bar back %s, front %s, loading %s\n",
                g.bar_back ? "yes" : "no", g.bar_front ? "yes" : "no", g.loading ? "yes" : "no");
    std::printf("  constants: %zu\n", s.constants.size());
    for (const auto& c : s.constants) std::printf("    %s = %s\n", c.name.c_str(), c.value.c_str());
    std::printf("sections:\n");
    for (size_t i = 0; i < kSectionCount; ++i) {
        if (st[i].count >= 0)
            std::printf("  %-18s version %d, %d entries\n", kSections[i].name, st[i].version,
                        st[i].count);
        else
            std::printf("  %-18s version %d\n", kSections[i].name, st[i].version);
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kx::pack;
    if (argc < 2) return usage_error("no command given");
    const std::string cmd = argv[1];
    if (cmd == "-h" || cmd == "--help") return print_stdout(kUsage);
    if (cmd == "-V" || cmd == "--version")
        return print_stdout("kxpack " KX_VERSION " (commit " KX_COMMIT ")\n");
    if (cmd != "build" && cmd != "info" && cmd != "unpack")
        return usage_error((cmd[0] == '-' ? "unknown option " : "unknown command ") + cmd);
    std::vector<std::string> operands;
    std::string out;
    bool check = true, options = true;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (options && a == "--") {
            options = false;
        } else if (options && a == "-o" && cmd != "info") {
            if (i + 1 >= argc) return usage_error("-o needs a file name");
            out = argv[++i];
        } else if (options && a == "--no-check" && cmd == "build") {
            check = false;
        } else if (options && (a == "-h" || a == "--help")) {
            return print_stdout(kUsage);
        } else if (options && a.size() > 1 && a[0] == '-') {
            return usage_error("unknown option " + a + " for " + cmd);
        } else {
            operands.push_back(a);
        }
    }
    if (operands.size() != 1)
        return usage_error(cmd + " takes one " + (cmd == "build" ? "source folder" : "game file"));
    if (cmd != "info" && out.empty())
        return usage_error(cmd + " needs -o " + (cmd == "build" ? "FILE" : "SRC"));
    try {
        if (cmd == "build") {
            GameSource g = load_source(operands[0]);
            for (const auto& sp : g.sprites)
                if (sp)
                    for (const auto& w : sp->warnings)
                        std::fprintf(stderr, "kxpack: warning: %s\n", w.c_str());
            for (const auto& bg : g.backgrounds)
                if (bg)
                    for (const auto& w : bg->warnings)
                        std::fprintf(stderr, "kxpack: warning: %s\n", w.c_str());
            std::vector<uint8_t> bytes = build_game_file(g);
            if (check) {
                std::vector<std::string> problems = check_game(g, bytes);
                for (const auto& p : problems)
                    std::fprintf(stderr, "kxpack: %s\n",
                                 (std::filesystem::path(operands[0]) / p).c_str());
                if (!problems.empty()) {
                    std::fprintf(
                        stderr,
                        "kxpack: %s not written: %zu problem%s (--no-check builds it anyway)\n",
                        out.c_str(), problems.size(), problems.size() == 1 ? "" : "s");
                    return 1;
                }
            }
            {
                std::ofstream f(out, std::ios::binary | std::ios::trunc);
                f.write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<std::streamsize>(bytes.size()));
                if (!f) throw SourceError("cannot write " + out);
            }
            std::filesystem::permissions(out,
                                         std::filesystem::perms::owner_exec |
                                             std::filesystem::perms::group_exec |
                                             std::filesystem::perms::others_exec,
                                         std::filesystem::perm_options::add);
        } else if (cmd == "unpack") {
            save_source(read_game_file(operands[0]), out);
        } else {
            std::array<SectionStat, kx::kSectionCount> stats{};
            GameSource g = read_game_file(operands[0], &stats);
            print_info(g, stats);
            if (std::fflush(stdout) != 0 || std::ferror(stdout))
                throw SourceError("cannot write to the standard output");
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kxpack: %s\n", e.what());
        return 1;
    }
}
