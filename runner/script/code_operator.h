#pragma once
// The operators of the language, shared by the executor and constant folding.
#include <cstdint>

#include "script/rvalue.h"

namespace kx {

class CCode;
struct ScriptState;

// Operand must be a real. Records the error against code at position.
bool unary_operation(ScriptState& st, const CCode& code, int32_t position, int32_t op, RValue& v);
// The result replaces left.
bool binary_operation(ScriptState& st, const CCode& code, int32_t position, int32_t op,
                      RValue& left, const RValue& right);

// L / R truncated toward zero, keeping the low 32 bits as a signed integer
// (div, and mod's quotient).
double truncated_quotient(double l, double r);

// Nearest integer, ties to even; NaN gives 0 and values beyond the range
// saturate.
int64_t round_to_i64(double x);
int32_t round_to_i32(double x);

// Strings longer than this are refused by the operators that build them.
constexpr size_t kMaxStringLength = size_t(1) << 28;

}  // namespace kx
