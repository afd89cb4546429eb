#pragma once

#include <string>
#include <string_view>

namespace malvorn::base {

// A SQL text literal: the text in single quotes, each quote inside doubled.
std::string quoteSqlText(std::string_view text);

// Oracle's reserved words (upper case): never a name unless quoted. The
// local server refuses them as the server does, and the Oracle-safe scripts
// quote them.
bool isReservedWord(std::string_view upperName);

}  // namespace malvorn::base
