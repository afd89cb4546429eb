#include "encoding/cp932.h"

#include "encoding/iconv_handle.h"

namespace malvorn::encoding {
namespace {

// Length of the UTF-8 sequence that iconv stopped at; at least 1 so the
// conversion always moves on.
std::size_t utf8SequenceLength(std::string_view rest) {
    const auto lead = static_cast<unsigned char>(rest[0]);
    std::size_t n = 1;
    if ((lead & 0xE0) == 0xC0) {
        n = 2;
    } else if ((lead & 0xF0) == 0xE0) {
        n = 3;
    } else if ((lead & 0xF8) == 0xF0) {
        n = 4;
    }
    if (n > rest.size())
        return rest.size();
    for (std::size_t i = 1; i < n; ++i) {
        if ((static_cast<unsigned char>(rest[i]) & 0xC0) != 0x80)
            return 1;
    }
    return n;
}

std::size_t oneByte(std::string_view) {
    return 1;
}

// The descriptors are per thread: iconv_t carries state and is not to be
// shared between threads, and opening one per call would be slow.
IconvHandle& encoder() {
    thread_local IconvHandle handle("CP932", "UTF-8");
    return handle;
}

IconvHandle& decoder() {
    thread_local IconvHandle handle("UTF-8", "CP932");
    return handle;
}

bool isAscii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

}  // namespace

std::string Cp932::fromUtf8(std::string_view utf8) {
    if (isAscii(utf8))
        return std::string(utf8);
    return encoder().convert(utf8, "?", utf8SequenceLength);
}

std::string Cp932::toUtf8(std::string_view cp932) {
    if (isAscii(cp932))
        return std::string(cp932);
    return decoder().convert(cp932, "\xEF\xBF\xBD", oneByte);
}

std::size_t Cp932::byteWidth(std::string_view utf8) {
    if (isAscii(utf8))
        return utf8.size();
    return fromUtf8(utf8).size();
}

std::size_t Cp932::safeCut(std::string_view cp932, std::size_t maxBytes) {
    if (maxBytes >= cp932.size())
        return cp932.size();
    // Walk character by character from the start: a trail byte can have the
    // value of a lead byte, so only a forward scan knows where characters begin.
    std::size_t pos = 0;
    while (pos < maxBytes) {
        const std::size_t width = isLeadByte(static_cast<unsigned char>(cp932[pos])) ? 2 : 1;
        if (pos + width > maxBytes)
            break;
        pos += width;
    }
    return pos;
}

}  // namespace malvorn::encoding
