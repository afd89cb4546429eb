#pragma once
// Tokens as one comparable line (kind, offsets, text), so that a test's
// failure shows where two readings part.
#include <string>
#include <vector>

#include "localserver/lexer.h"

namespace malvorn::localserver {

inline std::string described(const std::vector<Token>& tokens) {
    std::string out;
    for (const Token& t : tokens) {
        out += std::to_string(static_cast<int>(t.kind)) + "[" + std::to_string(t.begin) + "," +
               std::to_string(t.end) + "]" + t.text + " ";
    }
    return out;
}

}  // namespace malvorn::localserver
