#include "jet_builder/jet_pages.h"

#include <iconv.h>

#include <cerrno>

namespace malvorn::testing::jet_file {

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            fail("text is not valid UTF-8");
        }
        if (i + extra >= text.size() && extra > 0)
            fail("text is not valid UTF-8 (cut short)");
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                fail("text is not valid UTF-8");
            cp = (cp << 6) | (next & 0x3F);
        }
        i += extra + 1;
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            fail("text is not valid UTF-8 (a surrogate or past U+10FFFF)");
        if (cp > 0xFFFF) {  // a surrogate pair, as Access stores it
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

Bytes ucs2Bytes(std::u16string_view text) {
    Bytes out;
    out.reserve(text.size() * 2);
    for (char16_t c : text)
        put16(out, c);
    return out;
}

// Jet 4's compressed form: FF FE, then runs of one-byte characters (high byte
// zero) and two-byte characters, a 0x00 byte switching between the two. A
// character whose low byte is zero cannot sit in a two-byte run (its first byte
// would read as a switch), and neither can U+0000; such texts stay plain.
Bytes compressUcs2(std::u16string_view text) {
    Bytes out{0xFF, 0xFE};
    bool narrow = true;
    for (char16_t c : text) {
        if (c != 0 && c <= 0xFF) {
            if (!narrow) {
                put8(out, 0);
                narrow = true;
            }
            put8(out, c);
        } else {
            if ((c & 0xFF) == 0)
                return {};
            if (narrow) {
                put8(out, 0);
                narrow = false;
            }
            put16(out, c);
        }
    }
    return out;
}

// Strict conversion from UTF-8 into a Windows code page for Jet 3 text.
Bytes toCodePage(std::string_view utf8, int codePage) {
    const std::string target = "CP" + std::to_string(codePage);
    iconv_t cd = ::iconv_open(target.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        fail("code page " + std::to_string(codePage) + " is not available");
    std::string in(utf8);
    Bytes out(in.size() * 2 + 8);
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    auto* outPtr = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size();
    const std::size_t rc = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    const int error = errno;
    ::iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0) {
        fail("text cannot be written in code page " + std::to_string(codePage) + " (" +
             std::strerror(error) + "): " + std::string(utf8));
    }
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace malvorn::testing::jet_file
