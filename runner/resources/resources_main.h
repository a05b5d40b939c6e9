#pragma once
// The resource functions' subsystem: it keeps no state of its own; the
// resources are the sprite and world subsystems', their textures the
// graphics subsystem's.
#include "core/subsystem.h"

namespace kx {

class FunctionTable;

void register_function_resource(FunctionTable& table);
void register_function_object(FunctionTable& table);

extern const Subsystem kResourcesSubsystem;

}  // namespace kx
