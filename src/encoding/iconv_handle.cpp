#include "encoding/iconv_handle.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace malvorn::encoding {

IconvHandle::IconvHandle(const char* toCode, const char* fromCode)
    : handle_(iconv_open(toCode, fromCode)) {
    if (handle_ == reinterpret_cast<void*>(-1)) {
        throw std::runtime_error(std::string("no text conversion from ") + fromCode + " to " +
                                 toCode + " on this system");
    }
}

IconvHandle::~IconvHandle() {
    iconv_close(static_cast<iconv_t>(handle_));
}

std::string IconvHandle::convert(std::string_view input, std::string_view replacement,
                                 std::size_t (*badLength)(std::string_view)) {
    auto cd = static_cast<iconv_t>(handle_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    std::string out;
    out.resize(input.size() * 2 + 16);
    std::size_t written = 0;
    std::size_t consumed = 0;

    while (consumed < input.size()) {
        char* in = const_cast<char*>(input.data() + consumed);
        std::size_t inLeft = input.size() - consumed;
        char* dst = out.data() + written;
        std::size_t outLeft = out.size() - written;

        const std::size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
        consumed = input.size() - inLeft;
        written = out.size() - outLeft;
        if (rc != static_cast<std::size_t>(-1))
            break;

        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL: replace the offending sequence and go on.
        if (out.size() - written < replacement.size())
            out.resize(out.size() * 2);
        out.replace(written, replacement.size(), replacement);
        written += replacement.size();
        consumed += badLength(input.substr(consumed));
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(written);
    return out;
}

}  // namespace malvorn::encoding
