#include "platform/headless.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "platform/load_window_layout.h"

namespace kx {

namespace {
std::string lower_plain(std::string_view s) {
    std::string r;
    for (char c : s)
        if (c != '&') r += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}
// Dialog texts break lines with CR or CR LF; a terminal wants LF.
std::string terminal_text(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            out += '\n';
            if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}
}  // namespace

std::string dialog_echo_text(std::string_view prefix, const std::string& subject,
                             std::string_view text) {
    std::string out(prefix);
    if (!subject.empty()) out += subject + ": ";
    return out + terminal_text(text);
}

HeadlessDialogs::HeadlessDialogs(IConsole& console, std::vector<std::string> answers,
                                 std::string prefix)
    : m_console(console), m_answers(answers.begin(), answers.end()), m_prefix(std::move(prefix)) {}

void HeadlessDialogs::print(std::string_view text) {
    m_console.err_line(dialog_echo_text(m_prefix, m_subject, text));
}

bool HeadlessDialogs::next_answer(std::string& out) {
    if (m_answers.empty()) return false;
    out = m_answers.front();
    m_answers.pop_front();
    return true;
}

void HeadlessDialogs::message(std::string_view, std::string_view text) {
    print(text);
}

bool HeadlessDialogs::question(std::string_view, std::string_view text) {
    print(text);
    std::string a;
    if (!next_answer(a)) return false;  // nothing scripted: No
    std::string l = lower_plain(a);
    return l == "yes" || l == "y";
}

int HeadlessDialogs::buttons(std::string_view, std::string_view text,
                             const std::vector<std::string>& captions) {
    print(text);
    if (captions.empty()) return 0;
    int last = static_cast<int>(captions.size()) - 1;
    std::string a;
    if (!next_answer(a)) return last;
    std::string l = lower_plain(a);
    for (size_t i = 0; i < captions.size(); ++i)
        if (lower_plain(captions[i]) == l) return static_cast<int>(i);
    return last;
}

void StdConsole::out_line(std::string_view text) {
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void StdConsole::err_line(std::string_view text) {
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

int64_t RealClock::now_us() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void RealClock::sleep_us(int64_t us) {
    if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
}

namespace {
class HeadlessLoadWindow : public ILoadWindow {
public:
    explicit HeadlessLoadWindow(const LoadWindowLayout& l) : m_layout(l) {}
    int client_width() const override { return m_layout.client_w; }
    int client_height() const override { return m_layout.client_h; }
    void set_progress(int, std::string_view) override {}
    void show() override {}
    void hide() override {}

private:
    LoadWindowLayout m_layout;
};
}  // namespace

std::unique_ptr<ILoadWindow> HeadlessWindowSystem::create_load_window(const LoadWindowSpec& desc) {
    return std::make_unique<HeadlessLoadWindow>(
        layout_load_window(desc, screen_width(), screen_height()));
}

std::unique_ptr<IGameWindow> HeadlessWindowSystem::create_game_window(uint32_t, std::string*) {
    return std::make_unique<HeadlessGameWindow>(screen_width(), screen_height());
}

bool read_answers_file(const std::string& path, std::vector<std::string>& out) {
    std::ifstream f(path);
    if (!f) return false;
    std::string line;
    while (std::getline(f, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return true;
}

}  // namespace kx
