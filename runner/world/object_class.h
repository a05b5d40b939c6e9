#pragma once
// Objects, their event tables and actions, and their records in the game data.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "script/code_main.h"
#include "script/rvalue.h"

namespace kx {

class CStream;

constexpr int kEventTypeCount = 11;
// Event types; the numbers are part of the game data and of the scripts.
namespace ev {
enum : int32_t {
    Create = 0,
    Destroy = 1,
    Alarm = 2,
    Step = 3,
    Collision = 4,
    Keyboard = 5,
    Mouse = 6,
    Other = 7,
    Draw = 8,
    KeyPress = 9,
    KeyRelease = 10
};
enum : int32_t { StepNormal = 0, StepBegin = 1, StepEnd = 2 };
enum : int32_t {
    OutsideRoom = 0,
    Boundary = 1,
    GameStart = 2,
    GameEnd = 3,
    RoomStart = 4,
    RoomEnd = 5,
    NoMoreLives = 6,
    AnimationEnd = 7,
    EndOfPath = 8,
    NoMoreHealth = 9,
    User0 = 10
};
}  // namespace ev

// Event numbers above this are refused when reading, so a corrupt record
// cannot make an event table huge.
constexpr int32_t kMaxEventNumber = 100000;
constexpr int kMaxActionArgs = 8;
// The interpreter evaluates at most this many arguments.
constexpr int kMaxActionArgsRun = 7;

namespace act {
enum : int32_t {
    Normal = 0,
    Begin = 1,
    End = 2,
    Else = 3,
    Exit = 4,
    Repeat = 5,
    Variable = 6,
    Code = 7
};
enum : int32_t { ExecNone = 0, ExecFunction = 1, ExecCode = 2 };
enum : int32_t { KindString = 1, KindBoth = 2, KindFont = 15, KindCompiled = 0, KindConstant = -1 };
}  // namespace act

constexpr int32_t kActionVersion = 440;
constexpr int32_t kEventVersion = 400;
constexpr int32_t kObjectListVersion = 400;

struct CAction {
    // From the game data.
    int32_t library_id = 0;
    int32_t action_id = 0;
    int32_t kind = act::Normal;
    bool may_be_relative = false;
    bool is_question = false;
    bool uses_applies_to = false;
    int32_t exec_type = act::ExecNone;
    std::string function_name;
    std::string code;
    int32_t arg_count = 0;
    std::vector<int32_t> arg_kinds;  // as stored (at most 8)
    int32_t applies_to = -1;
    bool relative = false;
    std::vector<std::string> args;  // as stored (at most 8)
    bool negate = false;
    // Made when compiling.
    int32_t function_index = -1;
    std::array<int32_t, kMaxActionArgs> run_kinds{};
    std::unique_ptr<CCode> compiled;
    std::array<std::unique_ptr<CCode>, kMaxActionArgs> arg_codes;
    std::array<RValue, kMaxActionArgs> arg_values;
};

struct CEvent {
    std::vector<CAction> actions;
    bool stored = false;  // came from the game data (written back by kxpack)
    bool present() const { return !actions.empty(); }
};

struct CObject {
    std::string name;
    int32_t sprite = -1;
    bool solid = false;
    bool visible = true;
    int32_t depth = 0;
    bool persistent = false;
    int32_t parent = -1;
    int32_t mask = -1;
    int32_t last_type = 10;  // the record's last event type
    // Per type, by event number. Kept sparse, so a high number costs nothing;
    // a missing number reads as an empty event.
    std::array<std::map<int32_t, CEvent>, kEventTypeCount> events;

    // The event (made empty when missing). type must lie in 0..10 and n >= 0.
    CEvent& event_at(int32_t type, int32_t n);
    // The event when present (at least one action), else null.
    const CEvent* present_event(int32_t type, int32_t n) const;
    bool has_type(int32_t type) const;
};

// Action and event records. A bad record throws StreamError or answers false.
bool read_action(CStream& s, CAction& a);
void write_action(CStream& s, const CAction& a);
bool read_event(CStream& s, CEvent& e);
void write_event(CStream& s, const CEvent& e);
// The object record after its name (version 400 or 430); written as 430.
bool read_object(CStream& s, CObject& o);
void write_object(CStream& s, const CObject& o);

// The resource list of objects: slots with a name and a record, or empty.
bool read_object_list(CStream& s, std::vector<std::unique_ptr<CObject>>& out);
void write_object_list(CStream& s, const std::vector<const CObject*>& list);

// "Create Event", "Alarm Event for alarm 3", ...; object_name names a
// collision's other object.
std::string event_name(int32_t type, int32_t number, const std::string& other_object_name);
std::string key_name(int32_t key);

}  // namespace kx
