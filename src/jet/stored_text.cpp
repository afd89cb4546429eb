#include "jet/stored_text.h"

#include <glib.h>  // mdbtools.h includes it inside extern "C"; it must come first

#include <mdbtools.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace malvorn::jet {
namespace {

// Writes one code unit at `out` and returns the end of what it wrote; not
// for surrogates, which come in pairs (see `putUnits`).
char* putUnit(std::uint32_t unit, char* out) {
    if (unit < 0x80) {
        *out++ = static_cast<char>(unit);
    } else if (unit < 0x800) {
        *out++ = static_cast<char>(0xC0 | (unit >> 6));
        *out++ = static_cast<char>(0x80 | (unit & 0x3F));
    } else {
        *out++ = static_cast<char>(0xE0 | (unit >> 12));
        *out++ = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (unit & 0x3F));
    }
    return out;
}

std::string hexByte(unsigned char byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string{'0', 'x', kDigits[byte >> 4], kDigits[byte & 0xF]};
}

bool isSurrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit < 0xE000;
}
bool isHighSurrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit < 0xDC00;
}
bool isLowSurrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit < 0xE000;
}

// A character past U+FFFF, stored as a surrogate pair: four bytes of UTF-8.
char* putPair(std::uint32_t high, std::uint32_t low, char* out) {
    const std::uint32_t code = 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
    *out++ = static_cast<char>(0xF0 | (code >> 18));
    *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
    return out;
}

std::uint32_t unitAt(const unsigned char* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8);
}

// The code unit at `at`, or with the one after it, the character of a
// surrogate pair, written at `put`: how many stored bytes it took, 0 for a
// surrogate without its other half (`pairable`: whether the two bytes after
// `at` may hold that half).
std::size_t putUnits(const unsigned char* at, std::size_t left, bool pairable, char*& put) {
    const std::uint32_t unit = unitAt(at);
    if (!isSurrogate(unit)) {
        put = putUnit(unit, put);
        return 2;
    }
    if (isHighSurrogate(unit) && pairable && left >= 4 && isLowSurrogate(unitAt(at + 2))) {
        put = putPair(unit, unitAt(at + 2), put);
        return 4;
    }
    return 0;
}

// Writes the UTF-8 of `stored` at `put`, which has room for two bytes a
// stored byte (one byte a character gives at most two, two bytes a
// character at most three, four a pair four); returns the end of what it
// wrote, or null at a surrogate without its other half.
char* putUcs2Text(std::string_view stored, char* put) {
    const auto* at = reinterpret_cast<const unsigned char*>(stored.data());
    std::size_t left = stored.size();
    if (left < 2 || at[0] != 0xFF || at[1] != 0xFE) {
        while (left >= 2) {
            const std::size_t took = putUnits(at, left, true, put);
            if (took == 0)
                return nullptr;
            at += took;
            left -= took;
        }
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
                // A zero byte after a unit ends its run of two: the pair's
                // second half cannot start with one.
                const std::size_t took = putUnits(at, left, left >= 4 && at[2] != 0, put);
                if (took == 0)
                    return nullptr;
                at += took;
                left -= took;
            } else {
                break;
            }
        }
    }
    return put;
}

}  // namespace

bool appendUcs2Text(std::string_view stored, std::string& out) {
    // Most values are short: written on the stack and copied once, so that
    // the string is no longer than the text (and holds it in place when it
    // is short) instead of sized for the worst case.
    char shortValue[512];
    if (2 * stored.size() <= sizeof shortValue) {
        const char* end = putUcs2Text(stored, shortValue);
        if (end == nullptr)
            return false;
        out.append(shortValue, static_cast<std::size_t>(end - shortValue));
        return true;
    }
    const std::size_t before = out.size();
    out.resize(before + 2 * stored.size());
    char* end = putUcs2Text(stored, out.data() + before);
    if (end == nullptr) {
        out.resize(before);
        return false;
    }
    out.resize(static_cast<std::size_t>(end - out.data()));
    return true;
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
        std::string utf8 = convert(std::string_view(&one, 1));
        if (utf8 == "?" && one != '?') {
            // Undefined in the code page: Windows keeps 0x80 to 0x9F as the
            // C1 controls of those numbers, so Access shows and stores them
            // as such; the rest stay without a character (size 0).
            utf8 = byte >= 0x80 && byte < 0xA0 ? std::string{'\xC2', one} : std::string();
        } else if (utf8.empty() || utf8.size() > table.utf8_[0].size()) {
            return std::nullopt;
        }
        std::copy(utf8.begin(), utf8.end(), table.utf8_[static_cast<unsigned>(byte)].begin());
        table.sizes_[static_cast<unsigned>(byte)] = static_cast<std::uint8_t>(utf8.size());
    }
    return table;
}

std::optional<unsigned char> SingleByteText::append(std::string_view stored,
                                                    std::string& out) const {
    out.reserve(out.size() + stored.size() * 2);
    for (const char c : stored) {
        const auto byte = static_cast<unsigned char>(c);
        if (sizes_[byte] == 0)
            return byte;
        out.append(utf8_[byte].data(), sizes_[byte]);
    }
    return std::nullopt;
}

StoredText::StoredText(const std::string& jet3Charset, Convert general)
    : jet4_(jet3Charset.empty()), charset_(jet3Charset), general_(std::move(general)) {
    if (!jet4_ && SingleByteText::suits(jet3Charset))
        table_ = SingleByteText::make(general_);
}

std::string StoredText::operator()(std::string_view stored) const {
    std::string out;
    if (jet4_) {
        if (!appendUcs2Text(stored, out))
            throw UnreadableText("対になっていないサロゲートを含む文字列");
    } else if (table_) {
        if (const auto undefined = table_->append(stored, out))
            throw UnreadableText("文字コード " + charset_ + " に文字のないバイト " +
                                 hexByte(*undefined) + " を含む文字列");
    } else {
        out = general_(stored);
        // Counted only when a '?' came back: most values hold none.
        if (out.find('?') != std::string::npos && std::count(out.begin(), out.end(), '?') !=
                                                      std::count(stored.begin(), stored.end(), '?'))
            throw UnreadableText("文字コード " + charset_ + " で読めないバイトを含む文字列");
    }
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
