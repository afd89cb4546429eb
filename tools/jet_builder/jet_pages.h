#pragma once

// The bytes of a Jet file being built: little-endian writers, the format's
// sizes, text in the file's encoding, and pages filled with rows.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "jet_builder/jet_builder.h"

namespace malvorn::testing::jet_file {

using Bytes = std::vector<std::uint8_t>;

[[noreturn]] inline void fail(const std::string& what) {
    throw std::runtime_error("Jet file builder: " + what);
}

inline void put8(Bytes& b, unsigned value) {
    b.push_back(static_cast<std::uint8_t>(value & 0xFFu));
}
inline void put16(Bytes& b, unsigned value) {
    put8(b, value);
    put8(b, value >> 8);
}
inline void put32(Bytes& b, std::uint32_t value) {
    put16(b, value & 0xFFFFu);
    put16(b, value >> 16);
}
inline void append(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}
inline void set16(Bytes& b, std::size_t at, unsigned value) {
    b[at] = static_cast<std::uint8_t>(value & 0xFFu);
    b[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFFu);
}
inline void set32(Bytes& b, std::size_t at, std::uint32_t value) {
    set16(b, at, value & 0xFFFFu);
    set16(b, at + 2, value >> 16);
}

struct Format {
    bool jet4 = true;
    std::size_t pageSize = 4096;
    JetVersion version = JetVersion::kJet4;
    std::size_t rowCountOffset = 12;  // where data pages keep their row count

    explicit Format(JetVersion written)
        : jet4(written != JetVersion::kJet3),
          pageSize(jet4 ? 4096 : 2048),
          version(written),
          rowCountOffset(jet4 ? 12 : 8) {}
    // The largest row a data page can hold: header, one offset slot, the row.
    std::size_t maxRowBytes() const { return pageSize - rowCountOffset - 4; }
};

template <typename T>
Bytes rawBytes(T value) {
    Bytes out(sizeof(T));
    std::memcpy(out.data(), &value, sizeof(T));  // the file is little-endian, as is the host
    return out;
}

// ---------------------------------------------------------------------------
// Text

std::u16string utf8ToUtf16(std::string_view text);
Bytes ucs2Bytes(std::u16string_view text);
// Jet 4's compressed form of text whose characters all fit one byte.
Bytes compressUcs2(std::u16string_view text);
// Strict conversion from UTF-8 into a Windows code page for Jet 3 text.
Bytes toCodePage(std::string_view utf8, int codePage);

class TextEncoder {
  public:
    TextEncoder(const Format& format, int codePage) : format_(format), codePage_(codePage) {}

    // Field values (Text and Memo).
    Bytes value(std::string_view utf8, bool compress) const {
        if (!format_.jet4)
            return toCodePage(utf8, codePage_);
        const std::u16string wide = utf8ToUtf16(utf8);
        Bytes plain = ucs2Bytes(wide);
        if (compress) {
            Bytes packed = compressUcs2(wide);
            if (!packed.empty() && packed.size() < plain.size())
                return packed;
        }
        return plain;
    }

    // Names of tables, columns, indexes and properties.
    Bytes name(std::string_view utf8) const {
        if (utf8.empty())
            fail("a name is empty");
        if (utf8ToUtf16(utf8).size() > 64)
            fail("name longer than 64 characters: " + std::string(utf8));
        return format_.jet4 ? ucs2Bytes(utf8ToUtf16(utf8)) : toCodePage(utf8, codePage_);
    }

    bool jet4() const { return format_.jet4; }

  private:
    const Format& format_;
    int codePage_;
};

// ---------------------------------------------------------------------------
// Pages

class PageStore {
  public:
    explicit PageStore(const Format& format) : format_(format) {}

    std::uint32_t allocate() {
        pages_.emplace_back(format_.pageSize, 0);
        return static_cast<std::uint32_t>(pages_.size() - 1);
    }
    Bytes& page(std::uint32_t number) { return pages_.at(number); }
    std::size_t count() const { return pages_.size(); }

    Bytes contents() const {
        Bytes out;
        out.reserve(pages_.size() * format_.pageSize);
        for (const Bytes& p : pages_)
            append(out, p);
        return out;
    }

  private:
    const Format& format_;
    std::vector<Bytes> pages_;
};

// Fills pages of rows one after another. Data pages, long-value pages and the
// pages holding usage maps share this layout; `owner` is what bytes 4..7 hold
// (the table definition page, or "LVAL").
class RowPages {
  public:
    static constexpr std::size_t kMaxRowsPerPage = 255;  // row numbers are one byte in pointers

    RowPages(PageStore& store, const Format& format, std::array<std::uint8_t, 4> owner)
        : store_(store), format_(format), owner_(owner) {}

    // Returns the row's pointer: page number << 8 | row number.
    std::uint32_t add(const Bytes& row) {
        if (row.size() > format_.maxRowBytes())
            fail("row of " + std::to_string(row.size()) + " bytes does not fit a page");
        if (pages_.empty() || rows_ == kMaxRowsPerPage ||
            format_.rowCountOffset + 2 + 2 * (rows_ + 1) + row.size() > top_)
            startPage();
        Bytes& p = store_.page(pages_.back());
        top_ -= row.size();
        std::copy(row.begin(), row.end(), p.begin() + static_cast<std::ptrdiff_t>(top_));
        set16(p, format_.rowCountOffset + 2 + 2 * rows_, static_cast<unsigned>(top_));
        ++rows_;
        set16(p, format_.rowCountOffset, static_cast<unsigned>(rows_));
        set16(p, 2, static_cast<unsigned>(top_ - (format_.rowCountOffset + 2 + 2 * rows_)));
        return (pages_.back() << 8) | static_cast<std::uint32_t>(rows_ - 1);
    }

    const std::vector<std::uint32_t>& pages() const { return pages_; }

  private:
    void startPage() {
        const std::uint32_t number = store_.allocate();
        Bytes& p = store_.page(number);
        p[0] = 0x01;
        p[1] = 0x01;
        std::copy(owner_.begin(), owner_.end(), p.begin() + 4);
        pages_.push_back(number);
        rows_ = 0;
        top_ = format_.pageSize;
        set16(p, 2, static_cast<unsigned>(top_ - format_.rowCountOffset - 2));
    }

    PageStore& store_;
    const Format& format_;
    std::array<std::uint8_t, 4> owner_;
    std::vector<std::uint32_t> pages_;
    std::size_t rows_ = 0;
    std::size_t top_ = 0;
};

inline std::array<std::uint8_t, 4> ownerBytes(std::uint32_t page) {
    return {static_cast<std::uint8_t>(page & 0xFF), static_cast<std::uint8_t>((page >> 8) & 0xFF),
            static_cast<std::uint8_t>((page >> 16) & 0xFF),
            static_cast<std::uint8_t>((page >> 24) & 0xFF)};
}

// Memo and OLE values: short ones inline in the row, longer ones in a row of a
// long-value page, the longest in a chain of long-value rows (each one starting
// with the pointer to the next).
class LongValues {
  public:
    static constexpr std::size_t kInlineLimit = 64;

    LongValues(PageStore& store, const Format& format)
        : format_(format), pages_(store, format, {'L', 'V', 'A', 'L'}) {}

    // Returns the 12-byte field stored in the row (followed by the data when inline).
    Bytes store(const Bytes& data) {
        if (data.size() >= 0x1000000)
            fail("long value of " + std::to_string(data.size()) + " bytes is too long");
        const auto size = static_cast<std::uint32_t>(data.size());
        Bytes field;
        if (data.size() <= kInlineLimit) {
            put32(field, size | 0x80000000u);
            put32(field, 0);
            put32(field, 0);
            append(field, data);
        } else if (data.size() <= format_.maxRowBytes()) {
            put32(field, size | 0x40000000u);
            put32(field, pages_.add(data));
            put32(field, 0);
        } else {
            // Written last piece first, so that each piece knows its successor.
            const std::size_t piece = format_.maxRowBytes() - 4;
            const std::size_t count = (data.size() + piece - 1) / piece;
            std::uint32_t next = 0;
            for (std::size_t i = count; i-- > 0;) {
                Bytes row;
                put32(row, next);
                const std::size_t from = i * piece;
                const std::size_t to = std::min(data.size(), from + piece);
                row.insert(row.end(), data.begin() + static_cast<std::ptrdiff_t>(from),
                           data.begin() + static_cast<std::ptrdiff_t>(to));
                next = pages_.add(row);
            }
            put32(field, size);
            put32(field, next);
            put32(field, 0);
        }
        return field;
    }

  private:
    const Format& format_;
    RowPages pages_;
};

}  // namespace malvorn::testing::jet_file
