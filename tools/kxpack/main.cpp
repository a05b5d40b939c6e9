// kxpack: builds a game file from a source folder, and inspects or unpacks one.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "kxpack/game_source.h"

namespace {

const char* kUsage =
    "usage: kxpack build SRC -o FILE    build a game file from the source folder SRC\n"
    "       kxpack info FILE            print the header, settings and sections of a game file\n"
    "       kxpack unpack FILE -o SRC   write the source folder of a game file\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

void print_info(const kx::pack::GameSource& g, const std::array<kx::pack::SectionStat, kx::kSectionCount>& st) {
    using namespace kx;
    std::printf("game id: %d\n", g.data.header.game_id);
    std::printf("identifier: ");
    for (uint8_t b : g.data.header.identifier) std::printf("%02x", b);
    std::printf("\ndebug mode: %s\n", g.data.header.debug_mode ? "yes" : "no");
    std::printf("seed: %d\n", g.data.seed);
    std::printf("extension library: %s (%zu bytes)\n", g.container.extension_library.c_str(),
                g.container.extension_library_content.size());
    std::printf("extra files: %zu (to %s, overwrite %s, delete at exit %s)\n",
                g.container.extra_files.size(), g.container.extra_to_temp ? "temp folder" : "working folder",
                g.container.overwrite_extra_files ? "yes" : "no", g.container.delete_extra_files ? "yes" : "no");
    for (const auto& f : g.container.extra_files) std::printf("  %s (%zu bytes)\n", f.name.c_str(), f.content.size());
    const GameSettings& s = g.settings;
    std::printf("settings:\n");
    std::printf("  FullScreen %d  Interpolate %d  NoBorder %d  ShowCursor %d  Scaling %d\n", s.FullScreen,
                s.Interpolate, s.NoBorder, s.ShowCursor, s.Scaling);
    std::printf("  AllowResize %d  AlwaysOnTop %d  ColorOutsideRoom %d  SetResolution %d\n", s.AllowResize,
                s.AlwaysOnTop, s.ColorOutsideRoom, s.SetResolution);
    std::printf("  ColorDepth %d  Resolution %d  Frequency %d  NoButtons %d  UseVSync %d\n", s.ColorDepth,
                s.Resolution, s.Frequency, s.NoButtons, s.UseVSync);
    std::printf("  KeyF4Fullscreen %d  KeyF1Info %d  KeyEscEnd %d  KeyF5F6SaveLoad %d\n", s.KeyF4Fullscreen,
                s.KeyF1Info, s.KeyEscEnd, s.KeyF5F6SaveLoad);
    std::printf("  Priority %d  FreezeOnLoseFocus %d  ShowProgressBar %d  ScaleProgressBar %d\n", s.Priority,
                s.FreezeOnLoseFocus, s.ShowProgressBar, s.ScaleProgressBar);
    std::printf("  LoadingImageTransparent %d  LoadingImageAlpha %d\n", s.LoadingImageTransparent,
                s.LoadingImageAlpha);
    std::printf("  DisplayErrors %d  WriteErrorLog %d  AbortOnError %d  UninitializedAsZero %d\n",
                s.DisplayErrors, s.WriteErrorLog, s.AbortOnError, s.UninitializedAsZero);
    std::printf("  pictures: progress bar back %s, front %s, loading %s\n", g.bar_back ? "yes" : "no",
                g.bar_front ? "yes" : "no", g.loading ? "yes" : "no");
    std::printf("  constants: %zu\n", s.constants.size());
    for (const auto& c : s.constants) std::printf("    %s = %s\n", c.name.c_str(), c.value.c_str());
    std::printf("sections:\n");
    for (size_t i = 0; i < kSectionCount; ++i) {
        if (st[i].count >= 0)
            std::printf("  %-18s version %d, %d entries\n", kSections[i].name, st[i].version, st[i].count);
        else
            std::printf("  %-18s version %d\n", kSections[i].name, st[i].version);
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kx::pack;
    if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 3) return usage();
    std::string cmd = argv[1];
    try {
        if (cmd == "build" || cmd == "unpack") {
            if (argc != 5 || std::strcmp(argv[3], "-o") != 0) return usage();
            if (cmd == "build") {
                GameSource g = load_source(argv[2]);
                std::vector<uint8_t> bytes = build_game_file(g);
                std::string out = argv[4];
                {
                    std::ofstream f(out, std::ios::binary | std::ios::trunc);
                    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
                    if (!f) throw SourceError("cannot write " + out);
                }
                std::filesystem::permissions(out, std::filesystem::perms::owner_exec | std::filesystem::perms::group_exec |
                                                      std::filesystem::perms::others_exec,
                                             std::filesystem::perm_options::add);
            } else {
                save_source(read_game_file(argv[2]), argv[4]);
            }
            return 0;
        }
        if (cmd == "info" && argc == 3) {
            std::array<SectionStat, kx::kSectionCount> stats{};
            GameSource g = read_game_file(argv[2], &stats);
            print_info(g, stats);
            return 0;
        }
        return usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kxpack: %s\n", e.what());
        return 1;
    }
}
