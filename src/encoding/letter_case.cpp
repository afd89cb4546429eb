#include "encoding/letter_case.h"

#include <QChar>

#include "encoding/utf8.h"

namespace malvorn::encoding {

std::string upperCaseName(std::string_view name) {
    std::string out(name);
    bool ascii = true;
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii || !isValidUtf8(out))
        return out;
    std::u32string codePoints = decodeUtf8(out);
    for (char32_t& c : codePoints)
        c = QChar::toUpper(c);
    return encodeUtf8(codePoints);
}

}  // namespace malvorn::encoding
