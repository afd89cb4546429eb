#pragma once

#include <cstddef>
#include <string_view>

namespace malvorn::encoding {

// Columns a character takes on a terminal: 2 for the characters Unicode's
// East Asian Width calls Wide or Fullwidth (kanji, kana, full-width forms,
// Hangul syllables, emoji), 1 for every other one.
int displayWidth(char32_t c);
// Columns a text takes: the sum of its characters'.
std::size_t displayWidth(std::u32string_view text);

}  // namespace malvorn::encoding
