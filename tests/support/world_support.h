#pragma once
// Shared by the tests that give objects events in code.
#include <gtest/gtest.h>

#include <string>

#include "script/code_error.h"
#include "world/object_class.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx::test {

// A code action that runs code with self = other = the instance.
inline CAction code_action(const std::string& code) {
    CAction a;
    a.kind = act::Code;
    a.exec_type = act::ExecCode;
    a.uses_applies_to = true;
    a.arg_count = 1;
    a.arg_kinds = {act::KindString};
    a.args = {code};
    return a;
}

// Appends a compiled code action to event (type, n) of object obj.
inline ::testing::AssertionResult add_code(int32_t obj, int32_t type, int32_t n,
                                           const std::string& code) {
    CEvent& e = world().objects[static_cast<size_t>(obj)]->event_at(type, n);
    e.actions.push_back(code_action(code));
    if (compile_action(e.actions.back())) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << pending_message();
}

}  // namespace kx::test
