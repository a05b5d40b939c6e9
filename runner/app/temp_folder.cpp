#include "app/temp_folder.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace kx {

namespace fs = std::filesystem;

TempFolder::TempFolder(std::function<const char*(const char*)> get_env)
    : m_rng(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count())) {
    if (!get_env) get_env = [](const char* n) { return std::getenv(n); };
    std::string base;
    for (const char* name : {"TMPDIR", "TEMP", "TMP"}) {
        const char* v = get_env(name);
        if (v && *v) {
            base = v;
            break;
        }
    }
    if (base.empty()) base = "/tmp";
    std::error_code ec;
    if (make_under(base)) return;
    if (make_under("/tmp")) return;
    make_under(fs::current_path(ec).string());
}

TempFolder::~TempFolder() {
    remove();
}

bool TempFolder::make_under(const std::string& base) {
    std::uniform_int_distribution<int> pick(0, 99999);
    std::error_code ec;
    for (int tries = 0; tries < 1000; ++tries) {
        fs::path p = fs::path(base) / ("kx_ttt_" + std::to_string(pick(m_rng)));
        if (fs::exists(p, ec)) continue;
        if (fs::create_directories(p, ec) && !ec) {
            m_path = p.string();
            return true;
        }
        return false;
    }
    return false;
}

std::string TempFolder::temp_file_name(const std::string& ext) {
    std::uniform_int_distribution<int> pick(0, 99999);
    std::error_code ec;
    for (;;) {
        std::string name = m_path + "/a" + std::to_string(pick(m_rng)) + ext;
        if (!fs::exists(name, ec)) return name;
    }
}

void TempFolder::remove() {
    if (m_path.empty()) return;
    std::error_code ec;
    fs::remove_all(m_path, ec);
    m_path.clear();
}

}  // namespace kx
