#pragma once
// The object list, compiling actions, the action interpreter and running
// events with inheritance.
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

class CStream;
class CInstance;
class CCode;
struct CObject;
struct CEvent;
struct CAction;
struct Runtime;
struct WorldState;

bool object_exists(const WorldState& w, int32_t index);
std::string object_name(const WorldState& w, int32_t index);  // "<undefined>" for none
int32_t object_find(const WorldState& w, std::string_view name);
CObject* object_get(const WorldState& w, int32_t index);
int32_t object_add(WorldState& w);
bool object_delete(WorldState& w, int32_t index);
// Candidate lies in the parent chain of object (object itself excluded).
bool object_is_ancestor(const WorldState& w, int32_t object, int32_t candidate);

// Reads the objects section and resolves action function names.
bool load_objects(Runtime& r, CStream& s);
bool compile_objects(Runtime& r);
// Compiles one action (shared with time lines); reports fatally on failure.
bool compile_action(Runtime& r, CAction& a);

// The event for (type, number) found through the parent chain, and the
// object whose table held it.
const CEvent* find_event(const WorldState& w, int32_t object, int32_t type, int32_t number,
                         int32_t* owner = nullptr);
bool has_event_type(const WorldState& w, int32_t object, int32_t type);

void perform_event(Runtime& r, CInstance* self, CInstance* other, int32_t object, int32_t type,
                   int32_t number);
void perform_event_instance(Runtime& r, CInstance* inst, CInstance* other, int32_t type,
                            int32_t number);
void perform_event_all(Runtime& r, int32_t type, int32_t number);
// Runs an event's action list for an instance (the current-event record is
// the caller's).
void run_event(Runtime& r, const CEvent& e, CInstance* self, CInstance* other);

void run_library_init(Runtime& r);
// Runs a compiled program with a temporary instance (id 0, object 0 at 0,0).
void run_with_temp_instance(Runtime& r, CCode& code);

}  // namespace kx
