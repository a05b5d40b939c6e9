#pragma once
// The subsystems kxrun is made of.
#include <span>

#include "core/subsystem.h"

namespace kx {

struct Runtime;

// In start order: a subsystem comes after the ones it builds on.
std::span<const Subsystem* const> kxrun_subsystems();
// Starts a runtime with every subsystem, as the program does.
void start_kxrun(Runtime& r);

}  // namespace kx
