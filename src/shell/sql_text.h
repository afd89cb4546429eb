#pragma once

#include <string>
#include <string_view>

namespace malvorn::shell {

// A SQL text literal: the text in single quotes, each quote inside doubled.
std::string quoteSqlText(std::string_view text);

}  // namespace malvorn::shell
