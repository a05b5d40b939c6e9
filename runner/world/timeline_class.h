#pragma once
// Time lines: moments in steps, each with an event of its own.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "world/object_class.h"

namespace kx {

class CStream;
class CInstance;
struct Runtime;

constexpr int32_t kTimeLineListVersion = 500;
constexpr int32_t kTimeLineVersion = 500;

struct CTimeLine {
    std::string name;
    std::vector<int32_t> times;  // ascending (as stored)
    std::vector<CEvent> moments;

    int count() const { return static_cast<int>(times.size()); }
    // The first moment whose time is at least p (count when none).
    int index_at(double p) const;
    int find(int32_t time) const;  // exact, or -1
    CEvent& add(int32_t time);
    void remove(int32_t time);
};

bool read_timeline(CStream& s, CTimeLine& t);
void write_timeline(CStream& s, const CTimeLine& t);
bool read_timeline_list(CStream& s, std::vector<std::unique_ptr<CTimeLine>>& out);
void write_timeline_list(CStream& s, const std::vector<const CTimeLine*>& list);

// Runner side.
bool compile_timelines(Runtime& r);
void run_moment(Runtime& r, CInstance* self, CInstance* other, int32_t timeline, int moment);
// Adds a code moment and compiles it (compile errors are fatal reports).
bool add_code_moment(Runtime& r, int32_t timeline, int32_t time, const std::string& code);
void register_function_timeline(class FunctionTable& table);

}  // namespace kx
