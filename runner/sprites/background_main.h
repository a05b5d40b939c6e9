#pragma once
// The game's backgrounds: a list of CBackground by id.
#include "sprites/background_class.h"
#include "sprites/resource_list.h"

namespace kx {

class BackgroundList : public ResourceList<CBackground> {
public:
    BackgroundList() : ResourceList<CBackground>("background") {}

    // New id, or -1 (and no new slot) when the file is missing or does not decode.
    int32_t add_from_file(const std::string& fname, bool transparent, bool smooth, bool preload);
    // False for an index out of range or a file that does not load.
    bool replace_from_file(int32_t id, const std::string& fname, bool transparent, bool smooth,
                           bool preload);
};

}  // namespace kx
