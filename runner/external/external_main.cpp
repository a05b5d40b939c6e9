#include "external/external_main.h"

#include <filesystem>

#include "core/runtime.h"
#include "platform/platform.h"
#include "script/script_state.h"

namespace kx {

namespace fs = std::filesystem;

std::vector<std::pair<std::string, std::vector<std::string>>> own_libraries() {
    std::vector<std::string> velunor;
    const std::string exe = executable_path();
    if (!exe.empty()) velunor.push_back((fs::path(exe).parent_path() / "libvelunor.so").string());
#ifdef KX_VELUNOR_BUILD_FILE
    velunor.push_back(KX_VELUNOR_BUILD_FILE);
#endif
#ifdef KX_INSTALL_LIBDIR
    velunor.push_back(KX_INSTALL_LIBDIR "/libvelunor.so");
#endif
    return {{"velunor", std::move(velunor)}};
}

namespace {

void create(Runtime& r) {
    ExternalState& st = r.emplace<ExternalState>();
    st.loader = r.platform ? r.platform->libraries() : nullptr;
    if (!r.options.game_file.empty())
        st.search.game_dir = fs::path(r.options.game_file).parent_path().string();
    st.search.working_dir = r.options.working_dir;
    st.search.own = own_libraries();
}

void register_builtins(Runtime& r) {
    register_function_external(r.get<ScriptState>().functions);
}

void shutdown(Runtime& r) {
    release_all_externals(r.get<ExternalState>());
}

}  // namespace

const Subsystem kExternalSubsystem{
    .name = "external",
    .create = create,
    .register_builtins = register_builtins,
    .shutdown = shutdown,
};

}  // namespace kx
