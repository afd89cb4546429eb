#pragma once

#include <string>
#include <string_view>

namespace malvorn::encoding {

// Upper case as the server folds a name written without quotes: every letter
// that has a simple upper-case form takes it ("Umsätze" is "UMSÄTZE"), other
// characters (Japanese among them) stay. Bytes that are no UTF-8 are left as
// they are, ASCII letters among them still folded.
std::string upperCaseName(std::string_view name);

}  // namespace malvorn::encoding
