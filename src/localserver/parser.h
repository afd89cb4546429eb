#pragma once

#include <string>
#include <vector>

#include "localserver/ast.h"
#include "localserver/lexer.h"

namespace malvorn::localserver {

// Reads one statement of the server's language into its tree. Statements
// outside the language are ORA-00900; malformed ones get the error the server
// gives for the first thing it cannot read (ORA-00933, ORA-00936, ...).
ast::Statement parseStatement(const std::string& statement);
// The same for a statement already split into tokens; literals in the tree
// then name their tokens.
ast::Statement parseStatement(const std::string& statement, std::vector<Token> tokens);

// The error for a statement nested beyond what the server evaluates.
inline constexpr int kTooComplexCode = 36;
inline constexpr const char* kTooComplexText =
    "maximum number of recursive SQL levels (255) exceeded";
[[noreturn]] void tooComplex();

// Reads a stored view's query; ORA-00928 for anything else.
ast::Select parseViewQuery(const std::string& query);

// Reads a lone expression (a stored DEFAULT).
ast::ExprPtr parseExpression(const std::string& text);

}  // namespace malvorn::localserver
