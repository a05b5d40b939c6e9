#pragma once
// The compiler's tokens and code tree. Token codes are shared by the lexer, the
// parser (as tree node kinds) and the executor. The numbers are fixed: several
// written forms share one code.
#include <cstdint>
#include <string>
#include <vector>

#include "script/rvalue.h"

namespace kx {

namespace tok {
enum : int32_t {
    End = -2,
    Error = -1,
    Ident = 0,
    Number = 1,
    String = 2,
    Constant = 5,   // resolved: a constant value
    Call = 6,       // resolved: built-in function or script call
    Variable = 7,   // resolved: a variable
    SimpleVar = 8,  // tree only: a variable with a constant scope and no index
    Begin = 11,
    EndBlock = 12,
    If = 13,
    Then = 14,
    Else = 15,
    While = 16,
    Do = 17,
    For = 18,
    Until = 19,
    Repeat = 20,
    Exit = 21,
    Break = 22,
    Continue = 23,
    With = 24,
    Return = 25,
    Switch = 26,
    Case = 27,
    Default = 28,
    Var = 29,
    Assign = 101,  // = and :=
    AddAssign = 102,
    SubAssign = 103,
    MulAssign = 104,
    DivAssign = 105,
    LParen = 106,
    RParen = 107,
    Semicolon = 108,
    Comma = 109,
    LBracket = 110,
    RBracket = 111,
    Dot = 112,
    Colon = 113,
    OrAssign = 114,
    AndAssign = 115,
    XorAssign = 116,
    And = 201,
    Or = 202,
    Not = 203,
    Less = 204,
    LessEq = 205,
    Equal = 206,
    NotEqual = 207,
    GreaterEq = 208,
    Greater = 209,
    Plus = 210,
    Minus = 211,
    Times = 212,
    Slash = 213,
    Div = 214,
    Mod = 215,
    Xor = 216,
    BitOr = 217,
    BitAnd = 218,
    BitXor = 219,
    BitNot = 220,
    Shl = 221,
    Shr = 222,
    EmptyProgram = -2,    // tree: empty program
    EmptyStatement = -1,  // tree: a stray ;
    Block = 1000,
    Unary = 1010,
    Binary = 1011,
};
}  // namespace tok

// Scope values.
namespace scope {
enum : int32_t {
    Self = -1,
    Other = -2,
    All = -3,
    Noone = -4,
    Global = -5,
    Implicit = -6,  // a variable written without a scope
    Local = -7,     // var-locals
};
}  // namespace scope

// Dense dispatch codes for the executor, derived from the node kind (and for
// variables and assignments from their shape) once the tree is final.
namespace xk {
enum : uint8_t {
    Other = 0,
    Const,
    Call,
    SimpleSelf,  // a simple variable of the running instance's own list
    Simple,
    Argument,  // argument0 .. argument15 of the running instance: the slot itself
    Var,
    Unary,
    Binary,
    Assign,
    AssignSelf,  // an assignment to a SimpleSelf variable
    Block,
    If,
    While,
    Do,
    For,
    Repeat,
    With,
    Switch,
    Return,
    Exit,
    Break,
    Continue,
    VarDecl,
    Case,
    Default,
};
}  // namespace xk

// A call's code: a built-in function's index, or this plus a script's index.
constexpr int32_t kScriptCallBase = 100000;

// A lexical token as written.
struct Token {
    int32_t kind = tok::End;
    std::string text;
    int32_t position = 0;
};

// A token after resolution: a call, constant or variable code, or a literal's value.
struct ResolvedToken {
    int32_t kind = tok::End;
    int32_t code = 0;
    RValue value;
    int32_t position = 0;
};

struct ExecContext;
struct Node;
// A node's bound handler: evaluates it into out (expressions) or runs it with
// out as the result slot (statements); answers a statement status.
using ExecFn = int32_t (*)(ExecContext& c, const Node& n, RValue& out);

// A node of the code tree; the kind is a token code (or Block/Unary/Binary).
struct Node {
    int32_t kind = -1;
    int32_t code = 0;
    int32_t scope = 0;
    RValue value;
    std::vector<Node> children;
    int32_t position = 0;
    int32_t height = 1;  // levels of this subtree; bounded by the parser
    uint8_t xk = 0;      // the executor's dense dispatch code (xk::), set by lowering
    // Where the executor last found this node's variable in an instance's
    // or the global list (a cache only, so it may change while the tree is
    // run); for a var-local, its slot in the execution's frame.
    mutable int32_t hint = 0;
    ExecFn fn = nullptr;  // bound by the executor's link pass
};

}  // namespace kx
