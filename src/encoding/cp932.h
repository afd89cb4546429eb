#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace malvorn::encoding {

// The program's file and byte-width encoding: Windows code page 932
// (Shift-JIS with the vendor extensions Japanese users type every day:
// ～ ∥ ① 髙 and the NEC/IBM rows).
//
// Policies, fixed here once for every caller:
// - a character with no CP932 form is written as "?" (one byte), so the
//   byte width of a text is always the width of what ends up in the file;
// - a byte sequence that is not CP932 decodes to U+FFFD, one per bad byte.
class Cp932 {
  public:
    static std::string fromUtf8(std::string_view utf8);
    static std::string toUtf8(std::string_view cp932);

    // Bytes the text occupies once written in CP932.
    static std::size_t byteWidth(std::string_view utf8);

    // True for bytes that open a double-byte character.
    static bool isLeadByte(unsigned char byte) {
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    }

    // Length of the longest prefix of at most `maxBytes` bytes that does not
    // end inside a double-byte character.
    static std::size_t safeCut(std::string_view cp932, std::size_t maxBytes);
};

}  // namespace malvorn::encoding
