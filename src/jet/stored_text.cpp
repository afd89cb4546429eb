#include "jet/stored_text.h"

#include <glib.h>  // mdbtools.h includes it inside extern "C"; it must come first

#include <mdbtools.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace malvorn::jet {
namespace {

// Writes one code unit at `out` and returns the end of what it wrote.
char* putUnit(std::uint32_t unit, char* out) {
    if (unit < 0x80) {
        *out++ = static_cast<char>(unit);
    } else if (unit < 0x800) {
        *out++ = static_cast<char>(0xC0 | (unit >> 6));
        *out++ = static_cast<char>(0x80 | (unit & 0x3F));
    } else if (unit >= 0xD800 && unit < 0xE000) {
        *out++ = '?';  // UCS-2 has no surrogates: the library's iconv refuses each unit
    } else {
        *out++ = static_cast<char>(0xE0 | (unit >> 12));
        *out++ = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (unit & 0x3F));
    }
    return out;
}

std::uint32_t unitAt(const unsigned char* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8);
}

// Writes the UTF-8 of `stored` at `put`, which has room for two bytes a
// stored byte (one byte a character gives at most two, two bytes a
// character at most three); returns the end of what it wrote.
char* putUcs2Text(std::string_view stored, char* put) {
    const auto* at = reinterpret_cast<const unsigned char*>(stored.data());
    std::size_t left = stored.size();
    if (left < 2 || at[0] != 0xFF || at[1] != 0xFE) {
        for (; left >= 2; at += 2, left -= 2)
            put = putUnit(unitAt(at), put);
    } else {
        at += 2;
        left -= 2;
        bool oneByte = true;
        while (left > 0) {
            if (*at == 0) {
                oneByte = !oneByte;
                ++at;
                --left;
            } else if (oneByte) {
                put = putUnit(*at, put);
                ++at;
                --left;
            } else if (left >= 2) {
                put = putUnit(unitAt(at), put);
                at += 2;
                left -= 2;
            } else {
                break;
            }
        }
    }
    return put;
}

}  // namespace

void appendUcs2Text(std::string_view stored, std::string& out) {
    // Most values are short: written on the stack and copied once, so that
    // the string is no longer than the text (and holds it in place when it
    // is short) instead of sized for the worst case.
    char shortValue[512];
    if (2 * stored.size() <= sizeof shortValue) {
        out.append(shortValue,
                   static_cast<std::size_t>(putUcs2Text(stored, shortValue) - shortValue));
        return;
    }
    const std::size_t before = out.size();
    out.resize(before + 2 * stored.size());
    char* end = putUcs2Text(stored, out.data() + before);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

bool SingleByteText::suits(std::string_view charset) {
    // The Windows code pages of one byte a character. CP1255 and CP1258 are
    // left out: their converters join a letter with the marks after it.
    static constexpr std::string_view kSingleByte[] = {"CP874",  "CP1250", "CP1251", "CP1252",
                                                       "CP1253", "CP1254", "CP1256", "CP1257"};
    return std::find(std::begin(kSingleByte), std::end(kSingleByte), charset) !=
           std::end(kSingleByte);
}

std::optional<SingleByteText> SingleByteText::make(
    const std::function<std::string(std::string_view)>& convert) {
    SingleByteText table;
    for (int byte = 0; byte < 256; ++byte) {
        const char one = static_cast<char>(byte);
        const std::string utf8 = convert(std::string_view(&one, 1));
        if (utf8.empty() || utf8.size() > table.utf8_[0].size())
            return std::nullopt;
        std::copy(utf8.begin(), utf8.end(), table.utf8_[static_cast<unsigned>(byte)].begin());
        table.sizes_[static_cast<unsigned>(byte)] = static_cast<std::uint8_t>(utf8.size());
    }
    return table;
}

void SingleByteText::append(std::string_view stored, std::string& out) const {
    out.reserve(out.size() + stored.size() * 2);
    for (const char c : stored) {
        const auto byte = static_cast<unsigned char>(c);
        out.append(utf8_[byte].data(), sizes_[byte]);
    }
}

StoredText::StoredText(const std::string& jet3Charset, Convert general)
    : jet4_(jet3Charset.empty()), general_(std::move(general)) {
    if (!jet4_ && SingleByteText::suits(jet3Charset))
        table_ = SingleByteText::make(general_);
}

std::string StoredText::operator()(std::string_view stored) const {
    std::string out;
    if (jet4_)
        appendUcs2Text(stored, out);
    else if (table_)
        table_->append(stored, out);
    else
        out = general_(stored);
    return out;
}

std::string libraryText(std::string_view stored, const std::string& jet3Charset) {
    ::setenv("MDBICONV", "UTF-8", 1);
    if (!jet3Charset.empty())
        ::setenv("MDB_JET3_CHARSET", jet3Charset.c_str(), 1);
    auto file = std::make_unique<MdbFile>();
    auto handle = std::make_unique<MdbHandle>();
    file->jet_version = jet3Charset.empty() ? MDB_VER_JET4 : MDB_VER_JET3;
    handle->f = file.get();
    mdb_iconv_init(handle.get());
    std::string out(stored.size() * 3 + 8, '\0');
    const int written =
        mdb_unicode2ascii(handle.get(), stored.data(), stored.size(), out.data(), out.size());
    mdb_iconv_close(handle.get());
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return out;
}

}  // namespace malvorn::jet
