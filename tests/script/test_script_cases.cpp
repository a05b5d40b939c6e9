// Runs every case of tests/script/cases/*.cases in-process through
// eval_program, each in a fresh runtime started as the program starts one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "script/case_file.h"
#include "script/eval.h"
#include "script/script_state.h"
#include "support/test_runtime.h"

using namespace kx;

namespace {

// The console's lines; a printed text may hold line feeds of its own.
std::vector<std::string> split_lines(const std::vector<std::string>& printed) {
    std::vector<std::string> lines;
    for (const std::string& s : printed) {
        size_t start = 0;
        for (;;) {
            size_t nl = s.find('\n', start);
            lines.push_back(
                s.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
            if (nl == std::string::npos) break;
            start = nl + 1;
        }
    }
    return lines;
}

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
        test::TestRuntime t;
        t.script().random.seed(1);
        const int rc = eval_program(t.runtime(), c.code);
        std::vector<std::string> got = split_lines(t.take_out());
        while (!got.empty() && got.back().empty()) got.pop_back();
        EXPECT_EQ(rc, c.ok ? 0 : 1) << c.file << ":" << c.line << " " << c.name;
        EXPECT_EQ(got, c.expected) << c.file << ":" << c.line << " " << c.name;
    }
}

}  // namespace
