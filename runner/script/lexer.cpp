#include "script/lexer.h"

#include <string_view>

#include "script/code_error.h"
#include "script/code_main.h"

namespace kx {

namespace {

bool is_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_hex(char c) {
    return is_digit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

struct Keyword {
    std::string_view word;
    int32_t code;
};
constexpr Keyword kKeywords[] = {
    {"begin", tok::Begin},
    {"end", tok::EndBlock},
    {"if", tok::If},
    {"then", tok::Then},
    {"else", tok::Else},
    {"while", tok::While},
    {"do", tok::Do},
    {"for", tok::For},
    {"until", tok::Until},
    {"repeat", tok::Repeat},
    {"exit", tok::Exit},
    {"break", tok::Break},
    {"continue", tok::Continue},
    {"with", tok::With},
    {"return", tok::Return},
    {"switch", tok::Switch},
    {"case", tok::Case},
    {"default", tok::Default},
    {"var", tok::Var},
    {"and", tok::And},
    {"or", tok::Or},
    {"not", tok::Not},
    {"div", tok::Div},
    {"mod", tok::Mod},
    {"xor", tok::Xor},
};

int32_t word_code(std::string_view w) {
    for (const Keyword& k : kKeywords)
        if (k.word == w) return k.code;
    return tok::Ident;
}

int32_t two_char_code(char a, char b) {
    switch (a) {
        case ':':
            return b == '=' ? tok::Assign : 0;
        case '+':
            return b == '=' ? tok::AddAssign : 0;
        case '-':
            return b == '=' ? tok::SubAssign : 0;
        case '*':
            return b == '=' ? tok::MulAssign : 0;
        case '/':
            return b == '=' ? tok::DivAssign : 0;
        case '&':
            return b == '&' ? tok::And : b == '=' ? tok::AndAssign : 0;
        case '|':
            return b == '|' ? tok::Or : b == '=' ? tok::OrAssign : 0;
        case '^':
            return b == '^' ? tok::Xor : b == '=' ? tok::XorAssign : 0;
        case '<':
            return b == '=' ? tok::LessEq : b == '>' ? tok::NotEqual : b == '<' ? tok::Shl : 0;
        case '>':
            return b == '=' ? tok::GreaterEq : b == '>' ? tok::Shr : 0;
        case '=':
            return b == '=' ? tok::Equal : 0;
        case '!':
            return b == '=' ? tok::NotEqual : 0;
        default:
            return 0;
    }
}

int32_t one_char_code(char c) {
    switch (c) {
        case '{':
            return tok::Begin;
        case '}':
            return tok::EndBlock;
        case '=':
            return tok::Assign;
        case '(':
            return tok::LParen;
        case ')':
            return tok::RParen;
        case '[':
            return tok::LBracket;
        case ']':
            return tok::RBracket;
        case ';':
            return tok::Semicolon;
        case ':':
            return tok::Colon;
        case ',':
            return tok::Comma;
        case '<':
            return tok::Less;
        case '>':
            return tok::Greater;
        case '+':
            return tok::Plus;
        case '-':
            return tok::Minus;
        case '*':
            return tok::Times;
        case '/':
            return tok::Slash;
        case '!':
            return tok::Not;
        case '.':
            return tok::Dot;
        case '|':
            return tok::BitOr;
        case '&':
            return tok::BitAnd;
        case '^':
            return tok::BitXor;
        case '~':
            return tok::BitNot;
        default:
            return tok::Error;
    }
}

}  // namespace

double number_value(std::string_view text) {
    double value = 0, scale = 1;
    bool hex = false, fraction = false;
    for (char c : text) {
        if (c == '$') {
            hex = true;
        } else if (c == '.') {
            fraction = true;
        } else if (hex && c >= 'A' && c <= 'F') {
            value = value * 16 + (10 + (c - 'A'));
        } else if (hex && c >= 'a' && c <= 'f') {
            value = value * 16 + (10 + (c - 'a'));
        } else if (hex) {
            value = value * 16 + (c - '0');
        } else if (fraction) {
            scale = scale / 10;
            value = value + scale * (c - '0');
        } else {
            value = value * 10 + (c - '0');
        }
    }
    return value;
}

namespace {

// What a character can start; the lexer switches on this once per token.
enum class Start { End, Blank, Letter, Digit, Dot, Dollar, Quote, Slash, Symbol };

Start start_of(const std::string& s, size_t i, size_t n) {
    if (i >= n) return Start::End;
    const char c = s[i];
    if (static_cast<unsigned char>(c) <= 32) return Start::Blank;
    if (is_letter(c)) return Start::Letter;
    if (is_digit(c)) return Start::Digit;
    if (c == '.') return is_digit(s[i + 1]) ? Start::Dot : Start::Symbol;
    if (c == '$') return Start::Dollar;
    if (c == '"' || c == '\'') return Start::Quote;
    if (c == '/' && (s[i + 1] == '/' || s[i + 1] == '*')) return Start::Slash;
    return Start::Symbol;
}

}  // namespace

bool tokenize(ScriptState& st, const CCode& code, std::vector<Token>& out) {
    clear_pending_error(st);
    out.clear();
    // Three spaces keep every one- or two-character look-ahead inside the text.
    const std::string s = code.text() + "   ";
    const size_t n = code.text().size();
    size_t i = 0;  // 0-based; positions are i + 1
    for (;;) {
        Token t;
        t.position = static_cast<int32_t>(i + 1);
        const char c = i < s.size() ? s[i] : ' ';
        size_t e = i + 1;
        switch (start_of(s, i, n)) {
            case Start::End:
                t.kind = tok::End;
                out.push_back(std::move(t));
                return true;
            case Start::Blank:
                ++i;
                continue;
            case Start::Slash:
                if (s[i + 1] == '/') {
                    while (i < n && s[i] != '\r' && s[i] != '\n') ++i;
                    ++i;  // the line end itself
                } else {
                    // Searched from the opening slash, so "/*/" is complete.
                    const size_t close = s.find("*/", i);
                    i = close == std::string::npos || close >= n ? n : close + 2;
                }
                continue;
            case Start::Quote: {
                const size_t close = s.find(c, i + 1);
                t.kind = tok::String;
                if (close == std::string::npos) {
                    t.text = s.substr(i + 1);  // the rest, appended spaces too
                    i = s.size();
                } else {
                    t.text = s.substr(i + 1, close - i - 1);
                    i = close + 1;
                }
                break;
            }
            case Start::Dollar:
                while (e < n && is_hex(s[e])) ++e;
                t.kind = tok::Number;
                t.text = s.substr(i, e - i);
                i = e;
                break;
            case Start::Letter:
                while (e < n && (is_letter(s[e]) || is_digit(s[e]))) ++e;
                t.text = s.substr(i, e - i);
                t.kind = word_code(t.text);
                i = e;
                break;
            case Start::Digit:
            case Start::Dot:
                while (e < n && (is_digit(s[e]) || s[e] == '.')) ++e;
                t.kind = tok::Number;
                t.text = s.substr(i, e - i);
                i = e;
                break;
            case Start::Symbol:
                if (int32_t k = two_char_code(c, s[i + 1])) {
                    t.kind = k;
                    t.text = s.substr(i, 2);
                    i += 2;
                    break;
                }
                t.kind = one_char_code(c);
                t.text = std::string(1, c);
                ++i;
                if (t.kind == tok::Error) {
                    record_error(st, code, t.position, "Unexpected symbol.");
                    return false;
                }
                break;
        }
        out.push_back(std::move(t));
    }
}

}  // namespace kx
