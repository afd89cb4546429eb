#pragma once

#include <string>
#include <string_view>

namespace malvorn::encoding {

// Text inside the program is UTF-8 in std::string; these two turn it into
// code points and back where a rule works character by character.
// Malformed input decodes to U+FFFD, one per bad byte, so nothing is dropped
// silently and the result is always valid.
std::u32string decodeUtf8(std::string_view utf8);
std::string encodeUtf8(std::u32string_view codePoints);
void appendUtf8(std::string& out, char32_t codePoint);

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF, no
// cut sequence.
bool isValidUtf8(std::string_view text);

// Number of characters (code points) in a UTF-8 text.
std::size_t utf8Length(std::string_view utf8);

}  // namespace malvorn::encoding
