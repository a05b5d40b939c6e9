#include "sprites/background_main.h"

namespace kx {

int32_t BackgroundList::add_from_file(const std::string& fname, bool transparent, bool smooth,
                                      bool preload) {
    return add_with(
        [&](CBackground& b) { return b.load_from_file(fname, transparent, smooth, preload); });
}

bool BackgroundList::replace_from_file(int32_t id, const std::string& fname, bool transparent,
                                       bool smooth, bool preload) {
    return replace_with(
        id, [&](CBackground& b) { return b.load_from_file(fname, transparent, smooth, preload); });
}

}  // namespace kx
