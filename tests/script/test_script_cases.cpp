// Runs every case of tests/script/cases/*.cases in-process through
// eval_program, with a headless platform whose console is captured.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/runtime.h"
#include "platform/platform.h"
#include "script/case_file.h"
#include "script/eval.h"
#include "script/script_state.h"

using namespace kx;

namespace {

class CaptureConsole : public IConsole {
public:
    void out_line(std::string_view text) override {
        // A printed text may hold line feeds of its own.
        std::string s(text);
        size_t start = 0;
        for (;;) {
            size_t nl = s.find('\n', start);
            lines.push_back(
                s.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
            if (nl == std::string::npos) break;
            start = nl + 1;
        }
    }
    void err_line(std::string_view) override {}
    std::vector<std::string> lines;
    std::unique_ptr<IConsole> replaced;  // the headless dialogs still write to it
};

std::vector<kxtest::ScriptCase> all_cases() {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(KX_SOURCE_DIR "/tests/script/cases"))
        if (e.path().extension() == ".cases") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    std::vector<kxtest::ScriptCase> out;
    for (const std::string& f : files) {
        std::string error;
        auto cases = kxtest::read_case_file(f, &error);
        EXPECT_TRUE(error.empty()) << error;
        out.insert(out.end(), cases.begin(), cases.end());
    }
    return out;
}

TEST(ScriptCases, EveryCasePasses) {
    const auto cases = all_cases();
    ASSERT_FALSE(cases.empty());
    for (const kxtest::ScriptCase& c : cases) {
        auto platform = create_headless_platform();
        auto console = std::make_unique<CaptureConsole>();
        CaptureConsole* cap = console.get();
        console->replaced = std::move(platform->m_console);
        platform->m_console = std::move(console);
        Runtime r;
        r.platform = platform.get();
        init_script(r);
        r.script->random.seed(1);
        const int rc = eval_program(r, c.code);
        std::vector<std::string> got = cap->lines;
        while (!got.empty() && got.back().empty()) got.pop_back();
        EXPECT_EQ(rc, c.ok ? 0 : 1) << c.file << ":" << c.line << " " << c.name;
        EXPECT_EQ(got, c.expected) << c.file << ":" << c.line << " " << c.name;
    }
}

}  // namespace
