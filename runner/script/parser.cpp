// A recursive-descent parser from resolved tokens to the code tree. Each rule
// opens with its grammar line.
#include "script/parser.h"

#include <algorithm>

#include "script/code_error.h"
#include "script/code_main.h"
#include "script/script_state.h"

namespace kx {

namespace {

// Taller trees (long operator chains) are refused: walking them recursively
// must stay well inside the stack.
constexpr int32_t kMaxTreeHeight = 1000;

Node make_node(int32_t kind, int32_t position) {
    Node n;
    n.kind = kind;
    n.position = position;
    return n;
}

Node make_constant(const RValue& v, int32_t position) {
    Node n = make_node(tok::Constant, position);
    n.value = v;
    return n;
}

class Parser {
public:
    Parser(ScriptState& st, const CCode& code, const std::vector<ResolvedToken>& t)
        : m_st(st), m_code(code), m_t(t) {}

    // program := <empty> | block <end> | statement* <end>
    bool program(Node& out) {
        if (cur().kind == tok::End) {
            out = make_node(tok::EmptyProgram, cur().position);
            return true;
        }
        if (cur().kind == tok::Begin) {
            if (!block(out)) return false;
            if (cur().kind != tok::End) return fail("Program ends before end of the code.");
            return true;
        }
        out = make_node(tok::Block, cur().position);
        while (cur().kind != tok::End) {
            out.children.emplace_back();
            if (!statement(out.children.back())) return false;
        }
        return true;
    }

    // expression code := <empty> | expression (anything after it is ignored)
    bool expression_code(Node& out) {
        if (cur().kind == tok::End) {
            out = make_constant(RValue(0.0), cur().position);
            return true;
        }
        return expression(out);
    }

private:
    const ResolvedToken& cur() const { return m_t[m_p]; }
    void next() {
        if (m_p + 1 < m_t.size()) ++m_p;
    }
    bool fail(std::string_view msg) { return fail_at(cur().position, msg); }
    bool fail_at(int32_t pos, std::string_view msg) {
        record_error(m_st, m_code, pos, msg);
        return false;
    }
    bool expect(int32_t kind, std::string_view msg) {
        if (cur().kind != kind) return fail(msg);
        next();
        return true;
    }
    void skip_semicolons() {
        while (cur().kind == tok::Semicolon) next();
    }
    // Keeps recursion (and so the tree) within bounds.
    struct Nest {
        Parser& p;
        explicit Nest(Parser& p_) : p(p_) { ++p.m_depth; }
        ~Nest() { --p.m_depth; }
        bool too_deep() const { return p.m_depth > kMaxNesting; }
    };
    bool check_height(Node& n) {
        int32_t h = 0;
        for (const Node& c : n.children) h = std::max(h, c.height);
        n.height = h + 1;
        if (h + 1 > kMaxTreeHeight) return fail_at(n.position, "Expression too complex.");
        return true;
    }

    // block := '{' statement* '}'
    bool block(Node& out) {
        Nest nest(*this);
        if (nest.too_deep()) return fail("Code nested too deeply.");
        next();
        out = make_node(tok::Block, cur().position);
        for (;;) {
            if (cur().kind == tok::EndBlock) break;
            if (cur().kind == tok::End) return fail("Symbol } expected.");
            out.children.emplace_back();
            if (!statement(out.children.back())) return false;
        }
        next();
        return true;
    }

    // statement := (call | block | if | while | do | for | repeat | exit | break
    //              | continue | with | return | switch | case | default | var | ';'
    //              | assignment) ';'*
    bool statement(Node& out) {
        Nest nest(*this);
        if (nest.too_deep()) return fail("Code nested too deeply.");
        if (!statement_body(out)) return false;
        skip_semicolons();
        return true;
    }

    // statement body := one alternative of statement, where
    //   return := 'return' expression      case := 'case' expression ':'
    //   default := 'default' ':'           exit | break | continue | ';' stand alone
    bool statement_body(Node& out) {
        const int32_t kind = cur().kind;
        switch (kind) {
            case tok::Call:
                return call(out);
            case tok::Begin:
                return block(out);
            case tok::If:
                return if_statement(out);
            case tok::While:
                return while_statement(out);
            case tok::Do:
                return do_statement(out);
            case tok::For:
                return for_statement(out);
            case tok::Repeat:
                return keyword_expr_statement(out, false);
            case tok::With:
                return keyword_expr_statement(out, true);
            case tok::Return: {
                next();
                out = make_node(tok::Return, cur().position);
                out.children.emplace_back();
                return expression(out.children.back());
            }
            case tok::Exit:
            case tok::Break:
            case tok::Continue:
                next();
                out = make_node(kind, cur().position);
                return true;
            case tok::Switch:
                return switch_statement(out);
            case tok::Case: {
                next();
                out = make_node(tok::Case, cur().position);
                out.children.emplace_back();
                if (!expression(out.children.back())) return false;
                return expect(tok::Colon, "Symbol : expected.");
            }
            case tok::Default:
                next();
                out = make_node(tok::Default, cur().position);
                return expect(tok::Colon, "Symbol : expected.");
            case tok::Var:
                return var_statement(out);
            case tok::Semicolon:
                out = make_node(tok::EmptyStatement, cur().position);
                next();
                return true;
            case tok::End:
                return fail("Unexpected end of code reached.");
            default:
                return assignment(out);
        }
    }

    // if := 'if' expression ['then'] statement ['else' statement]
    bool if_statement(Node& out) {
        next();
        out = make_node(tok::If, cur().position);
        out.children.resize(2);
        if (!expression(out.children[0])) return false;
        if (cur().kind == tok::Then) next();
        if (!statement(out.children[1])) return false;
        if (cur().kind == tok::Else) {
            next();
            out.children.emplace_back();
            if (!statement(out.children.back())) return false;
        }
        return true;
    }

    // while := 'while' expression ['do'] statement
    bool while_statement(Node& out) {
        next();
        out = make_node(tok::While, cur().position);
        out.children.resize(2);
        if (!expression(out.children[0])) return false;
        if (cur().kind == tok::Do) next();
        return statement(out.children[1]);
    }

    // do := 'do' statement 'until' expression
    bool do_statement(Node& out) {
        next();
        out = make_node(tok::Do, cur().position);
        out.children.resize(2);
        if (!statement(out.children[0])) return false;
        if (!expect(tok::Until, "Keyword until expected.")) return false;
        return expression(out.children[1]);
    }

    // for := 'for' '(' statement [';'] expression [';'] statement ')' statement
    bool for_statement(Node& out) {
        next();
        out = make_node(tok::For, cur().position);
        out.children.resize(4);
        if (!expect(tok::LParen, "Symbol ( expected.")) return false;
        if (!statement(out.children[0])) return false;
        if (cur().kind == tok::Semicolon) next();
        if (!expression(out.children[1])) return false;
        if (cur().kind == tok::Semicolon) next();
        if (!statement(out.children[2])) return false;
        if (!expect(tok::RParen, "Symbol ) expected.")) return false;
        return statement(out.children[3]);
    }

    // repeat := 'repeat' expression statement
    // with := 'with' expression ['do'] statement
    bool keyword_expr_statement(Node& out, bool is_with) {
        next();
        out = make_node(is_with ? tok::With : tok::Repeat, cur().position);
        out.children.resize(2);
        if (!expression(out.children[0])) return false;
        if (is_with && cur().kind == tok::Do) next();
        return statement(out.children[1]);
    }

    // switch := 'switch' expression '{' statement* '}'
    bool switch_statement(Node& out) {
        next();
        out = make_node(tok::Switch, cur().position);
        out.children.emplace_back();
        if (!expression(out.children.back())) return false;
        if (!expect(tok::Begin, "Symbol { expected.")) return false;
        for (;;) {
            if (cur().kind == tok::EndBlock) break;
            if (cur().kind == tok::End) return fail("Symbol } expected.");
            out.children.emplace_back();
            if (!statement(out.children.back())) return false;
        }
        next();
        return true;
    }

    // var := 'var' (variable [','])*
    bool var_statement(Node& out) {
        next();
        out = make_node(tok::Var, cur().position);
        while (cur().kind == tok::Variable) {
            if (cur().code < kUserVariableBase) return fail("Cannot redeclare a builtin variable.");
            Node c = make_constant(RValue(0.0), cur().position);
            c.code = cur().code;
            out.children.push_back(std::move(c));
            next();
            if (cur().kind == tok::Comma) next();
        }
        return true;
    }

    // assignment := dotted ('=' | ':=' | '+=' | '-=' | '*=' | '/=' | '|=' | '&=' | '^=') expression
    bool assignment(Node& out) {
        const int32_t start = cur().position;
        Node target;
        if (!dotted(target)) return false;
        if (target.kind != tok::Variable) return fail_at(start, "Variable name expected.");
        const int32_t op = cur().kind;
        switch (op) {
            case tok::Assign:
            case tok::AddAssign:
            case tok::SubAssign:
            case tok::MulAssign:
            case tok::DivAssign:
            case tok::OrAssign:
            case tok::AndAssign:
            case tok::XorAssign:
                break;
            default:
                return fail("Assignment operator expected.");
        }
        next();
        out = make_node(tok::Assign, start);
        out.code = op;
        out.children.push_back(std::move(target));
        out.children.emplace_back();
        return expression(out.children.back());
    }

    // expression := level0
    bool expression(Node& out) { return binary_level(out, 0); }

    // Operators by level, lowest first:
    //   0: '&&' '||' '^^'   1: '=' '<' '<=' '==' '!=' '>=' '>'   2: '|' '&' '^'
    //   3: '<<' '>>'        4: '+' '-'                          5: '*' '/' 'div' 'mod'
    static bool is_level_op(int level, int32_t k) {
        switch (level) {
            case 0:
                return k == tok::And || k == tok::Or || k == tok::Xor;
            case 1:
                return k == tok::Assign || k == tok::Less || k == tok::LessEq || k == tok::Equal ||
                       k == tok::NotEqual || k == tok::GreaterEq || k == tok::Greater;
            case 2:
                return k == tok::BitOr || k == tok::BitAnd || k == tok::BitXor;
            case 3:
                return k == tok::Shl || k == tok::Shr;
            case 4:
                return k == tok::Plus || k == tok::Minus;
            case 5:
                return k == tok::Times || k == tok::Slash || k == tok::Div || k == tok::Mod;
            default:
                return false;
        }
    }

    // level n := level(n+1) (op(n) level(n+1))*     level 6 := dotted
    bool binary_level(Node& out, int level) {
        if (level == 6) return dotted(out);
        if (!binary_level(out, level + 1)) return false;
        while (is_level_op(level, cur().kind)) {
            Node n = make_node(tok::Binary, cur().position);
            n.code = cur().kind;
            next();
            n.children.push_back(std::move(out));
            n.children.emplace_back();
            if (!binary_level(n.children.back(), level + 1)) return false;
            if (!check_height(n)) return false;
            out = std::move(n);
        }
        return true;
    }

    // dotted := primary ('.' variable)*
    bool dotted(Node& out) {
        if (!primary(out)) return false;
        while (cur().kind == tok::Dot) {
            next();
            if (cur().kind != tok::Variable) return fail("Variable name expected.");
            Node v;
            if (!variable(v)) return false;
            v.children[0] = std::move(out);
            if (!check_height(v)) return false;
            out = std::move(v);
        }
        return true;
    }

    // primary := constant | call | variable | '(' expression ')'
    //          | ('!' | 'not' | '+' | '-' | '~') dotted
    bool primary(Node& out) {
        Nest nest(*this);
        if (nest.too_deep()) return fail("Code nested too deeply.");
        switch (cur().kind) {
            case tok::Constant:
                out = make_constant(cur().value, cur().position);
                next();
                return true;
            case tok::Call:
                return call(out);
            case tok::Variable:
                return variable(out);
            case tok::LParen:
                next();
                if (!expression(out)) return false;
                return expect(tok::RParen, "Symbol ) expected.");
            case tok::Not:
            case tok::Plus:
            case tok::Minus:
            case tok::BitNot: {
                out = make_node(tok::Unary, cur().position);
                out.code = cur().kind;
                next();
                out.children.emplace_back();
                if (!dotted(out.children.back())) return false;
                return check_height(out);
            }
            default:
                return fail("Unexpected symbol in expression.");
        }
    }

    // call := function '(' [expression (',' expression)*] ')'
    bool call(Node& out) {
        out = make_node(tok::Call, cur().position);
        out.code = cur().code;
        next();
        next();  // '(' : resolution makes a call token only before one
        if (cur().kind != tok::RParen) {
            for (;;) {
                out.children.emplace_back();
                if (!expression(out.children.back())) return false;
                if (cur().kind == tok::Comma) {
                    next();
                    continue;
                }
                if (cur().kind == tok::RParen) break;
                if (cur().kind == tok::End) return fail("Symbol ) expected.");
                return fail("Symbol , or ) expected.");
            }
        }
        const int argc = static_cast<int>(out.children.size());
        bool ok = argc <= kMaxArgs;
        if (ok && out.code < kScriptCallBase) {
            const int fixed = m_st.functions.at(out.code).argc;
            ok = fixed == kAnyArgs || fixed == argc;
        }
        if (!ok) return fail("Wrong number of arguments to function or script.");
        next();
        return check_height(out);
    }

    // variable := name ['[' [expression (',' expression)*] ']']
    bool variable(Node& out) {
        out = make_node(tok::Variable, cur().position);
        out.code = cur().code;
        out.children.push_back(make_constant(RValue(double(scope::Implicit)), cur().position));
        next();
        if (cur().kind != tok::LBracket) return true;
        next();
        if (cur().kind == tok::RBracket) {
            next();
            return true;
        }
        for (;;) {
            out.children.emplace_back();
            if (!expression(out.children.back())) return false;
            if (cur().kind == tok::Comma) {
                next();
                continue;
            }
            if (cur().kind == tok::RBracket) break;
            if (cur().kind == tok::End) return fail("Symbol ] expected.");
            return fail("Symbol , or ] expected.");
        }
        next();
        if (out.children.size() > 3) return fail("Only 1- and 2-dimensional arrays are supported.");
        return check_height(out);
    }

    ScriptState& m_st;
    const CCode& m_code;
    const std::vector<ResolvedToken>& m_t;
    size_t m_p = 0;
    int m_depth = 0;
};

}  // namespace

std::unique_ptr<Node> parse_program(ScriptState& st, const CCode& code,
                                    const std::vector<ResolvedToken>& tokens) {
    auto root = std::make_unique<Node>();
    Parser p(st, code, tokens);
    if (!p.program(*root)) return nullptr;
    return root;
}

std::unique_ptr<Node> parse_expression(ScriptState& st, const CCode& code,
                                       const std::vector<ResolvedToken>& tokens) {
    auto root = std::make_unique<Node>();
    Parser p(st, code, tokens);
    if (!p.expression_code(*root)) return nullptr;
    return root;
}

}  // namespace kx
