#include "app/game_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace kx {

namespace fs = std::filesystem;

bool folder_writable(const std::string& dir) {
    std::error_code ec;
    const fs::path d = dir.empty() ? fs::current_path(ec) : fs::path(dir);
    if (ec || !fs::is_directory(d, ec)) return false;
    // Trying is the only answer that holds for read-only mounts and ACLs.
    const fs::path probe = d / (".kxrun-probe-" + std::to_string(std::random_device{}()));
    bool ok = false;
    {
        std::ofstream f(probe, std::ios::binary);
        ok = static_cast<bool>(f);
    }
    if (ok) fs::remove(probe, ec);
    return ok;
}

std::string choose_write_dir(const std::string& working_dir, int32_t game_id) {
    if (folder_writable(working_dir)) return working_dir;
    fs::path base;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg && fs::path(xdg).is_absolute()) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = fs::path(home) / ".local" / "share";
    } else {
        return working_dir;
    }
    const fs::path dir = base / "kxrun" / "games" / std::to_string(game_id);
    std::error_code ec;
    fs::create_directories(dir, ec);
    return fs::is_directory(dir, ec) ? dir.string() : working_dir;
}

}  // namespace kx
