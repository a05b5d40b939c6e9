#pragma once
// Reading a JSON file of a game source, with errors in our own words that
// name the file, the line and the column.
#include <istream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

#include "kxpack/game_source.h"

namespace kx::pack {

inline nlohmann::ordered_json parse_json(std::istream& in, const std::string& shown) {
    const std::string text(std::istreambuf_iterator<char>(in), {});
    try {
        return nlohmann::ordered_json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        // e.byte counts from 1 and may lie one past the end.
        const size_t at = e.byte == 0 ? 0 : e.byte - 1;
        size_t line = 1, column = 1;
        for (size_t i = 0; i < at && i < text.size(); ++i) {
            if (text[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        std::string what;
        if (at >= text.size()) {
            what = "the file ends inside a value (a bracket, brace or quote is not closed)";
        } else {
            const unsigned char c = static_cast<unsigned char>(text[at]);
            std::string shown_char =
                c < 32 || c > 126 ? "a control character" : "'" + std::string(1, char(c)) + "'";
            what = shown_char + " is not allowed here";
            if ((c == ']' || c == '}')) what += " (is there a comma before it?)";
            if (c == '\'') what += " (strings take double quotes)";
        }
        throw SourceError(shown + ":" + std::to_string(line) + ":" + std::to_string(column) +
                          ": not valid JSON: " + what);
    }
}

}  // namespace kx::pack
