#pragma once

// Stored Text and Memo bytes to UTF-8, the way the Jet library's own
// conversion (iconv, one call per value) gives them, without the call: the
// reader converts millions of values a table, and the library's way spends
// more on setting up each conversion than on the bytes themselves. Where the
// library puts a '?' (a character past U+FFFF, a byte the code page has no
// character for), the value is read as Windows reads it or refused.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace malvorn::jet {

// Jet 4 and ACE text: UCS-2 little-endian, or, after the marker FF FE, runs
// of one byte per character (the high byte zero) and of two, each 00 byte
// switching between them. As the library gives it, a last odd byte is
// dropped and a run of two bytes cut short ends the value; unlike the
// library (which turns each half into '?'), a surrogate pair is the
// character past U+FFFF it stands for. False, with nothing appended, when a
// surrogate has no other half: UTF-8 has no form for it.
bool appendUcs2Text(std::string_view stored, std::string& out);

// A stored text that has no faithful UTF-8 form: what is wrong with it, for
// the message that names its row and column.
class UnreadableText : public std::runtime_error {
  public:
    explicit UnreadableText(const std::string& what) : std::runtime_error(what) {}
};

// A code page in which every byte is one character on its own (no state, no
// combining of marks), so that a table of 256 conversions made once gives
// what converting the whole value gives. Where the general conversion has no
// character for a byte (it gives '?'), the table holds what Windows reads
// there: the C1 control of the same number for 0x80 to 0x9F; any other such
// byte makes the value unreadable.
class SingleByteText {
  public:
    // Whether `charset` (an iconv name as jet3Charset gives it) is one.
    static bool suits(std::string_view charset);
    // The table from the general conversion of each byte alone; nullopt
    // when a byte does not come back as one short character.
    static std::optional<SingleByteText> make(
        const std::function<std::string(std::string_view)>& convert);
    // The first byte the code page has no character for, or nullopt when
    // every byte was appended.
    std::optional<unsigned char> append(std::string_view stored, std::string& out) const;

  private:
    SingleByteText() = default;
    std::array<std::array<char, 4>, 256> utf8_{};
    std::array<std::uint8_t, 256> sizes_{};
};

// The conversion of one file's text: the quick ones above where they give
// the library's result, the library's (`general`) for the rest (Jet 3 code
// pages of more than one byte a character). The library puts a '?' for each
// byte it cannot convert; a value that comes back with more '?' than it had
// 3F bytes is refused, not carried with them (no code page here has 3F as
// the second byte of a character, so each one stands for itself).
class StoredText {
  public:
    using Convert = std::function<std::string(std::string_view)>;
    // `jet3Charset` empty for Jet 4 and ACE files.
    StoredText(const std::string& jet3Charset, Convert general);
    // Throws UnreadableText for a value without a faithful UTF-8 form.
    std::string operator()(std::string_view stored) const;

  private:
    bool jet4_;
    std::string charset_;
    std::optional<SingleByteText> table_;
    Convert general_;
};

// The library's own conversion of `stored` for a file of that kind
// (`jet3Charset` empty for Jet 4), as the reader set it up before the quick
// ones above; for comparing them with it.
std::string libraryText(std::string_view stored, const std::string& jet3Charset);

}  // namespace malvorn::jet
