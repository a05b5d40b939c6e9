#include "core/game_paths.h"

#include <filesystem>

#include "core/run_options.h"

namespace kx {

namespace fs = std::filesystem;

namespace {
std::string under(const std::string& dir, std::string_view name) {
    return dir.empty() ? std::string(name) : (fs::path(dir) / fs::path(name)).string();
}
}  // namespace

std::string game_read_path(const RunOptions& o, std::string_view name) {
    const fs::path p{std::string(name)};
    if (name.empty() || p.is_absolute()) return std::string(name);
    if (!o.write_dir.empty() && o.write_dir != o.working_dir) {
        std::error_code ec;
        const std::string mine = under(o.write_dir, name);
        if (fs::exists(mine, ec)) return mine;
    }
    return under(o.working_dir, name);
}

std::string game_write_path(const RunOptions& o, std::string_view name) {
    const fs::path p{std::string(name)};
    if (name.empty() || p.is_absolute()) return std::string(name);
    return under(o.write_dir.empty() ? o.working_dir : o.write_dir, name);
}

}  // namespace kx
