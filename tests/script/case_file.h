#pragma once
// Reads script case tables. A file holds cases, each:
//   === <name>
//   <code lines>
//   --- ok | --- error
//   <expected stdout lines of eval, up to the next === line or the end>
// Trailing empty lines of a case's expected output are dropped.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kxtest {

struct ScriptCase {
    std::string file;
    std::string name;
    int line = 0;
    std::string code;
    bool ok = true;
    std::vector<std::string> expected;
};

inline std::vector<ScriptCase> read_case_file(const std::string& path, std::string* error) {
    std::vector<ScriptCase> out;
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        *error = "cannot open " + path;
        return out;
    }
    enum { None, Code, Expect } state = None;
    std::string line;
    int n = 0;
    std::vector<std::string> code_lines;
    auto finish = [&]() {
        if (out.empty()) return;
        ScriptCase& c = out.back();
        while (!c.expected.empty() && c.expected.back().empty()) c.expected.pop_back();
    };
    while (std::getline(f, line)) {
        ++n;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("=== ", 0) == 0) {
            if (state == Code)
                *error = path + ":" + std::to_string(out.back().line) + ": no --- line";
            finish();
            out.push_back(ScriptCase{path, line.substr(4), n, {}, true, {}});
            code_lines.clear();
            state = Code;
        } else if (state == Code && (line == "--- ok" || line == "--- error")) {
            ScriptCase& c = out.back();
            c.ok = line == "--- ok";
            for (size_t i = 0; i < code_lines.size(); ++i) {
                if (i) c.code += '\n';
                c.code += code_lines[i];
            }
            state = Expect;
        } else if (state == Code) {
            code_lines.push_back(line);
        } else if (state == Expect) {
            out.back().expected.push_back(line);
        }
    }
    if (state == Code) *error = path + ": last case has no --- line";
    finish();
    return out;
}

}  // namespace kxtest
