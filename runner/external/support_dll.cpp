#include "external/support_dll.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace kx {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && lower(a) == lower(b);
}

bool ends_with_nocase(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && same_name(s.substr(s.size() - tail.size()), tail);
}

// The entry of dir named like name: the exact one, else the first (in sorted
// order) that differs only in case; empty when there is none.
fs::path match_entry(const fs::path& dir, const std::string& name) {
    std::error_code ec;
    if (fs::exists(dir / name, ec)) return dir / name;
    std::vector<fs::path> hits;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (same_name(it->path().filename().string(), name)) hits.push_back(it->path());
    if (hits.empty()) return {};
    std::sort(hits.begin(), hits.end());
    return hits.front();
}

// base / relative, each component matched without regard to case when the
// exact one is missing; empty when a component cannot be found.
fs::path resolve_nocase(const fs::path& base, const fs::path& relative) {
    fs::path at = base;
    for (const fs::path& part : relative) {
        const std::string p = part.string();
        if (p.empty() || p == ".") continue;
        if (p == "..") {
            at /= p;
            continue;
        }
        at = match_entry(at, p);
        if (at.empty()) return {};
    }
    return at;
}

}  // namespace

std::vector<std::string> library_candidates(std::string_view name, const LibrarySearch& where) {
    std::string text(name);
    std::replace(text.begin(), text.end(), '\\', '/');
    bool absolute = !text.empty() && text[0] == '/';
    if (text.size() >= 2 && text[1] == ':' &&
        ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'))) {
        text = "/" + text.substr(2);
        absolute = true;
    }
    const size_t slash = text.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : text.substr(0, slash);
    const std::string base = slash == std::string::npos ? text : text.substr(slash + 1);

    std::vector<std::string> files;  // the names to look for in each folder
    std::string stem = base;
    if (ends_with_nocase(base, ".dll"))
        stem = base.substr(0, base.size() - 4);
    else if (!base.empty())
        files.push_back(base);
    if (!stem.empty()) {
        files.push_back(stem + ".so");
        files.push_back("lib" + stem + ".so");
    }

    std::vector<std::string> out;
    std::error_code ec;
    const std::string key = lower(stem);
    for (const auto& [own, paths] : where.own)
        if (own == key)
            for (const std::string& p : paths)
                if (fs::is_regular_file(p, ec)) out.push_back(p);

    std::vector<std::pair<fs::path, fs::path>> places;  // a base and the part below it
    if (absolute) {
        places.emplace_back("/", fs::path(folder).relative_path());
    } else {
        for (const std::string& d : {where.game_dir, where.working_dir})
            places.emplace_back(d.empty() ? fs::path(".") : fs::path(d), fs::path(folder));
    }
    for (const auto& [base_dir, below] : places)
        for (const std::string& f : files) {
            const fs::path hit = resolve_nocase(base_dir, below / f);
            if (hit.empty() || !fs::is_regular_file(hit, ec)) continue;
            const std::string s = hit.string();
            if (std::find(out.begin(), out.end(), s) == out.end()) out.push_back(s);
        }
    // The loader's own path only for a name without a folder.
    if (folder.empty() && !absolute)
        for (const std::string& f : files) {
            out.push_back(f);
            if (lower(f) != f) out.push_back(lower(f));
        }
    return out;
}

int32_t define_external(ExternalState& st, std::string_view library, std::string_view function,
                        int64_t convention, ExternalKind result, std::vector<ExternalKind> args) {
    const int n = static_cast<int>(args.size());
    if (n > kMaxExternalArgs) return -1;
    if (n > kMaxTextArgs && std::any_of(args.begin(), args.end(),
                                        [](ExternalKind k) { return k == ExternalKind::Text; }))
        return -1;
    if (!st.loader) return -1;

    LibraryHandle lib = nullptr;
    for (auto it = st.functions.rbegin(); it != st.functions.rend(); ++it)
        if (it->library && same_name(it->library_name, library)) {
            lib = it->library;
            break;
        }
    if (!lib) {
        for (const std::string& path : library_candidates(library, st.search))
            if ((lib = st.loader->open(path, nullptr))) break;
        if (!lib) return -1;
        st.loaded.push_back(lib);
    }
    LibraryEntry entry = st.loader->symbol(lib, std::string(function));
    if (!entry) return -1;

    RFunction f;
    f.library_name = std::string(library);
    f.library = lib;
    f.function_name = std::string(function);
    f.entry = entry;
    f.convention = convention;
    f.args = std::move(args);
    f.result = result;
    st.functions.push_back(std::move(f));
    return static_cast<int32_t>(st.functions.size() - 1);
}

RValue call_external(ExternalState& st, int64_t id, std::span<const RValue> values) {
    if (id < 0 || id >= static_cast<int64_t>(st.functions.size())) return RValue(0.0);
    const RFunction& f = st.functions[static_cast<size_t>(id)];
    RValue out(0.0);
    if (f.result == ExternalKind::Text) out.set_string(KxString());
    if (values.size() != f.args.size() || !f.library || !st.loader) return out;

    std::vector<ExternalArg> args(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        const RValue& v = values[i];
        // A text given for a real passes 0; a real given for a text, "".
        if (f.args[i] == ExternalKind::Text)
            args[i].text = v.is_string() ? v.str.c_str() : "";
        else
            args[i].real = v.is_real() ? v.real : 0.0;
    }
    const ExternalResult r = st.loader->call(f.entry, f.convention == 1, f.args, args, f.result);
    if (f.result == ExternalKind::Text)
        out.set_string(KxString(r.text ? std::string_view(r.text) : std::string_view()));
    else
        out.set_real(r.real);
    return out;
}

void free_external(ExternalState& st, std::string_view library) {
    LibraryHandle released = nullptr;
    for (RFunction& f : st.functions) {
        if (!f.library || !same_name(f.library_name, library)) continue;
        if (!released) released = f.library;
        f.library = nullptr;
    }
    if (!released) return;
    auto it = std::find(st.loaded.begin(), st.loaded.end(), released);
    if (it != st.loaded.end()) st.loaded.erase(it);
    if (st.loader) st.loader->close(released);
}

void release_all_externals(ExternalState& st) {
    for (RFunction& f : st.functions) f.library = nullptr;
    if (st.loader)
        while (!st.loaded.empty()) {
            st.loader->close(st.loaded.back());
            st.loaded.pop_back();
        }
    st.loaded.clear();
}

}  // namespace kx
