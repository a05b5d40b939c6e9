#pragma once
// The per-run temporary folder: made at start, emptied and removed at exit
// (also on SIGINT and SIGTERM).
#include <functional>
#include <random>
#include <string>

namespace kx {

class TempFolder {
public:
    // Makes base/kx_ttt_N under $TMPDIR, $TEMP or $TMP (first set), else /tmp;
    // falls back to /tmp, then to the working folder. get_env is for tests.
    explicit TempFolder(std::function<const char*(const char*)> get_env = nullptr);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool ok() const { return !m_path.empty(); }
    const std::string& path() const { return m_path; }
    // Folder + "/a" + a number in 0..99999 + ext, drawn again until no such file exists.
    std::string temp_file_name(const std::string& ext);
    // Empties and removes the folder; safe to call twice.
    void remove();

private:
    bool make_under(const std::string& base);
    std::string m_path;
    std::mt19937 m_rng;
};

}  // namespace kx
