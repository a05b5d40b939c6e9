#include "world/input_main.h"

namespace kx {

void init_input(Runtime&) {}

bool open_input_files(const std::string&, const std::string&, std::string&) { return true; }

}  // namespace kx
