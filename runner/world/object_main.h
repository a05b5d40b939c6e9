#pragma once
// The object list, compiling actions, the action interpreter and running
// events with inheritance.
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

class CStream;
class CInstance;
struct CObject;
struct CEvent;
struct CAction;

bool object_exists(int32_t index);
std::string object_name(int32_t index);  // "<undefined>" for none
int32_t object_find(std::string_view name);
CObject* object_get(int32_t index);
int32_t object_add();
bool object_delete(int32_t index);
// Candidate lies in the parent chain of object (object itself excluded).
bool object_is_ancestor(int32_t object, int32_t candidate);

// Reads the objects section and resolves action function names.
bool load_objects(CStream& s);
bool compile_objects();
// Compiles one action (shared with time lines); reports fatally on failure.
bool compile_action(CAction& a);

// The event for (type, number) found through the parent chain, and the
// object whose table held it.
const CEvent* find_event(int32_t object, int32_t type, int32_t number, int32_t* owner = nullptr);
bool has_event_type(int32_t object, int32_t type);

void perform_event(CInstance* self, CInstance* other, int32_t object, int32_t type, int32_t number);
void perform_event_instance(CInstance* inst, CInstance* other, int32_t type, int32_t number);
void perform_event_all(int32_t type, int32_t number);
// Runs an event's action list for an instance (the current-event record is
// the caller's).
void run_event(const CEvent& e, CInstance* self, CInstance* other);

void run_library_init();
// Runs a compiled program with a temporary instance (id 0, object 0 at 0,0).
class CCode;
void run_with_temp_instance(CCode& code);

}  // namespace kx
