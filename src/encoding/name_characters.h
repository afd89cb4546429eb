#pragma once

#include <string_view>

namespace malvorn::encoding {

// The characters of a name Oracle takes without quotes, byte by byte over
// UTF-8: it starts with a letter (any non-ASCII character counts as one) and
// goes on with letters, digits, "_", "$" and "#". The ideographic space
// U+3000 is the exception among non-ASCII characters: never part of a name.
inline bool isNameStartByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           static_cast<unsigned char>(c) >= 0x80;
}

inline bool isNamePartByte(char c) {
    return isNameStartByte(c) || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '#';
}

inline constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

// Whether the ideographic space starts at byte `i` of `text`.
inline bool isIdeographicSpaceAt(std::string_view text, std::size_t i) {
    // The first byte alone settles most bytes: the lexer asks at every one.
    return i < text.size() && text[i] == kIdeographicSpace[0] &&
           text.substr(i, kIdeographicSpace.size()) == kIdeographicSpace;
}

}  // namespace malvorn::encoding
