#pragma once
// Shared by the math and the string handlers: the error they report, and the
// string handlers that the one registration table names.
#include <cstddef>
#include <string>
#include <string_view>

#include "script/rvalue.h"

namespace kx {

class CInstance;

// The longest text a string function builds; beyond it the function reports
// its error instead of exhausting memory.
constexpr size_t kMaxResultBytes = size_t{1} << 28;

// Reports "Error in function NAME()." as a non-fatal error in context.
void report_function_error(std::string_view name);

// The handler signature as a function type, so one line declares a handler.
using HandlerFn = void(CInstance* self, CInstance* other, int argc, RValue& result,
                       const RValue* args);

HandlerFn fn_real;
HandlerFn fn_string;
HandlerFn fn_string_format;
HandlerFn fn_chr;
HandlerFn fn_ord;
HandlerFn fn_string_length;
HandlerFn fn_string_pos;
HandlerFn fn_string_copy;
HandlerFn fn_string_char_at;
HandlerFn fn_string_delete;
HandlerFn fn_string_insert;
HandlerFn fn_string_lower;
HandlerFn fn_string_upper;
HandlerFn fn_string_repeat;
HandlerFn fn_string_letters;
HandlerFn fn_string_digits;
HandlerFn fn_string_lettersdigits;
HandlerFn fn_string_replace;
HandlerFn fn_string_replace_all;
HandlerFn fn_string_count;

}  // namespace kx
