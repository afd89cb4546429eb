#include "jet_builder/jet_builder.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <set>
#include <stdexcept>
#include <string_view>

#include "jet_builder/ace_types.h"

// Page layouts follow mdbtools' notes on the Jet format (pages of 4096 bytes in
// Jet 4 and 2048 in Jet 3; table definitions, data pages with a row-offset table
// growing down from the header and rows growing up from the page end, long-value
// pages, usage maps and the property blobs of MSysObjects.LvProp). The writer is
// deliberately plain: one table definition chain per table, rows packed page after
// page, one usage map per table that covers the whole file, and an empty leaf page
// per index (the readers we serve take index definitions from the table
// definition and never walk the index tree).
namespace malvorn::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("Jet file builder: " + what);
}

void put8(Bytes& b, unsigned value) {
    b.push_back(static_cast<std::uint8_t>(value & 0xFFu));
}
void put16(Bytes& b, unsigned value) {
    put8(b, value);
    put8(b, value >> 8);
}
void put32(Bytes& b, std::uint32_t value) {
    put16(b, value & 0xFFFFu);
    put16(b, value >> 16);
}
void append(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}
void set16(Bytes& b, std::size_t at, unsigned value) {
    b[at] = static_cast<std::uint8_t>(value & 0xFFu);
    b[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFFu);
}
void set32(Bytes& b, std::size_t at, std::uint32_t value) {
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

// ---------------------------------------------------------------------------
// Text

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
        // libmdb decodes Jet 4 text as UCS-2, so characters outside the BMP
        // would not come back as written.
        if (cp > 0xFFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            fail("text holds a character outside the Basic Multilingual Plane");
        out.push_back(static_cast<char16_t>(cp));
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

std::array<std::uint8_t, 4> ownerBytes(std::uint32_t page) {
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

// ---------------------------------------------------------------------------
// Tables

constexpr int kBool = 1, kByte = 2, kInteger = 3, kLong = 4, kCurrency = 5, kSingle = 6,
              kDouble = 7, kDateTime = 8, kText = 10, kOle = 11, kMemo = 12, kGuid = 15;
// Decimal: the engine's field type is 20, the file's column type 16 (what libmdb reports).
constexpr int kDecimalInFile = 16, kDecimal = 20;

struct ColumnLayout {
    JetBuildField field;
    int number = 0;  // stored column number, also the bit in the null mask
    bool fixed = false;
    int fixedOffset = 0;
    int fixedSize = 0;
    int varIndex = 0;
    int length = 0;    // the table definition's column length
    int fileType = 0;  // the column type stored in the file
};

struct IndexLayout {
    std::string name;
    std::vector<int> columns;  // column numbers
    bool primary = false;
    bool unique = false;
    bool relationship = false;
    std::uint32_t physical = 0;  // the physical index this entry uses
    std::uint32_t leafPage = 0;
};

struct TableLayout {
    std::string name;
    bool system = false;
    std::uint32_t catalogFlags = 0;
    std::vector<ColumnLayout> columns;
    int maxColumns = 0;                // one past the highest stored column number
    std::vector<IndexLayout> indexes;  // logical entries, in the order listed
    std::uint32_t physicalCount = 0;
    int varCount = 0;
    int fixedAreaSize = 0;
    std::uint32_t tdefPage = 0;
    std::uint32_t rowCount = 0;
    std::vector<std::uint32_t> dataPages;
    std::uint32_t usageMap = 0;  // row pointers
    std::uint32_t freeMap = 0;
};

TableLayout layoutTable(const JetBuildTable& table, const Format& format) {
    if (table.name.empty())
        fail("a table has no name");
    if (table.fields.empty())
        fail("table " + table.name + " has no fields");
    if (table.fields.size() > 255)
        fail("table " + table.name + " has more than 255 fields");
    TableLayout t;
    t.name = table.name;
    t.catalogFlags = table.catalogFlags;
    std::set<std::string> seen;
    int fixedCount = 0;
    for (const JetBuildField& f : table.fields) {
        if (!seen.insert(f.name).second && !table.allowBadNames)
            fail("table " + table.name + " has two fields named " + f.name);
        ColumnLayout c;
        c.field = f;
        c.fileType = f.type == kDecimal ? kDecimalInFile : f.type;
        if (f.deletedBefore < 0)
            fail("field " + f.name + " has a negative count of deleted columns");
        c.number = t.maxColumns + f.deletedBefore;
        t.maxColumns = c.number + 1;
        switch (f.type) {
            case kBool:
                c.fixed = true;
                c.fixedSize = 0;
                break;
            case kByte:
                c.fixed = true;
                c.fixedSize = 1;
                break;
            case kInteger:
                c.fixed = true;
                c.fixedSize = 2;
                break;
            case kLong:
            case kSingle:
                c.fixed = true;
                c.fixedSize = 4;
                break;
            case kCurrency:
            case kDouble:
            case kDateTime:
                c.fixed = true;
                c.fixedSize = 8;
                break;
            case kGuid:
                c.fixed = true;
                c.fixedSize = 16;
                break;
            case kDecimalInFile:
            case kDecimal:
                if (!format.jet4)
                    fail("Decimal field " + f.name + ": Decimal exists in Jet 4 files only");
                if (f.precision < 1 || f.precision > 28 || f.scale < 0 || f.scale > f.precision)
                    fail("Decimal field " + f.name + " has precision " +
                         std::to_string(f.precision) + " and scale " + std::to_string(f.scale));
                c.fixed = true;
                c.fixedSize = 17;
                break;
            case kText:
                if (f.size < 1 || f.size > 255)
                    fail("text field " + f.name + " has size " + std::to_string(f.size));
                c.length = format.jet4 ? 2 * f.size : f.size;
                break;
            case kOle:
            case kMemo:
                break;
            default: {
                const auto stored = ace::storedColumn(f.type);
                if (!stored || format.version != JetVersion::kAce12)
                    fail("field " + f.name + " has unsupported type " + std::to_string(f.type));
                c.fileType = stored->fileType;
                c.fixed = true;
                c.fixedSize = stored->fixedSize;
            }
        }
        if (c.fixed) {
            c.fixedOffset = t.fixedAreaSize;
            c.length = c.fixedSize;
            t.fixedAreaSize += c.fixedSize;
            c.varIndex = fixedCount++;
        } else {
            c.varIndex = t.varCount++;
        }
        t.columns.push_back(c);
    }
    // A Jet 3 row stores its column count in one byte.
    if (t.maxColumns > 255)
        fail("table " + table.name + " numbers its columns past 255");
    std::set<std::string> indexNames;
    for (const JetBuildIndex& ix : table.indexes) {
        if (!indexNames.insert(ix.name).second)
            fail("table " + table.name + " has two indexes named " + ix.name);
        if (ix.columns.size() > 10)
            fail("index " + ix.name + " has more than 10 columns");
        if (ix.relationship && ix.primary)
            fail("index " + ix.name + " cannot be both primary and a relationship's");
        IndexLayout l;
        l.name = ix.name;
        l.primary = ix.primary;
        l.unique = ix.unique || ix.primary;
        l.relationship = ix.relationship;
        for (const std::string& col : ix.columns) {
            auto it = std::find_if(t.columns.begin(), t.columns.end(),
                                   [&](const ColumnLayout& c) { return c.field.name == col; });
            if (it == t.columns.end())
                fail("index " + ix.name + " names unknown field " + col);
            l.columns.push_back(it->number);
        }
        if (!l.relationship)
            l.physical = t.physicalCount++;
        t.indexes.push_back(l);
    }
    // A relationship's entry has no physical index of its own: it shares the one
    // of an entry on the same fields (libmdb cannot read a physical index that
    // only a relationship entry points at).
    for (IndexLayout& l : t.indexes) {
        if (!l.relationship)
            continue;
        auto shared = std::find_if(t.indexes.begin(), t.indexes.end(), [&](const IndexLayout& o) {
            return !o.relationship && o.columns == l.columns;
        });
        if (shared == t.indexes.end())
            fail("relationship index " + l.name + " needs an index on the same fields");
        l.physical = shared->physical;
    }
    return t;
}

std::string where(const TableLayout& t, std::size_t row, const ColumnLayout& c) {
    return "table " + t.name + " row " + std::to_string(row + 1) + " field " + c.field.name;
}

std::int64_t integerValue(const JetBuildValue& v, const std::string& at, std::int64_t lo,
                          std::int64_t hi) {
    const auto* value = std::get_if<std::int64_t>(&v);
    if (value == nullptr)
        fail(at + ": expected an integer value");
    if (*value < lo || *value > hi)
        fail(at + ": value " + std::to_string(*value) + " out of range");
    return *value;
}

double floatValue(const JetBuildValue& v, const std::string& at) {
    if (const auto* d = std::get_if<double>(&v))
        return *d;
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return static_cast<double>(*i);
    fail(at + ": expected a number");
}

const std::string& stringValue(const JetBuildValue& v, const std::string& at) {
    const auto* s = std::get_if<std::string>(&v);
    if (s == nullptr)
        fail(at + ": expected a string");
    return *s;
}

Bytes guidBytes(const std::string& value, const std::string& at) {
    if (value.size() == 16)
        return Bytes(value.begin(), value.end());
    std::string hex;
    for (char ch : value) {
        if (ch == '{' || ch == '}' || ch == '-')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(ch)))
            fail(at + ": not a GUID: " + value);
        hex.push_back(ch);
    }
    if (hex.size() != 32)
        fail(at + ": not a GUID: " + value);
    Bytes raw;
    for (std::size_t i = 0; i < 32; i += 2)
        raw.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    // The first three groups are stored little-endian, the last eight bytes as written.
    std::reverse(raw.begin(), raw.begin() + 4);
    std::reverse(raw.begin() + 4, raw.begin() + 6);
    std::reverse(raw.begin() + 6, raw.begin() + 8);
    return raw;
}

template <typename T>
Bytes rawBytes(T value) {
    Bytes out(sizeof(T));
    std::memcpy(out.data(), &value, sizeof(T));  // the file is little-endian, as is the host
    return out;
}

// Sign byte, then the 96-bit magnitude (scaled by 10^scale) as four 32-bit
// words, most significant word first, each word little-endian.
Bytes decimalBytes(const ColumnLayout& c, const JetBuildValue& v, const std::string& at) {
    using U128 = unsigned __int128;
    auto power = [](int n) {
        U128 p = 1;
        for (int i = 0; i < n; ++i)
            p *= 10;
        return p;
    };
    const int scale = c.field.scale;
    bool negative = false;
    U128 magnitude = 0;
    if (const auto* i = std::get_if<std::int64_t>(&v)) {
        negative = *i < 0;
        magnitude = negative ? static_cast<U128>(-(*i + 1)) + 1 : static_cast<U128>(*i);
        magnitude *= power(scale);
    } else if (const auto* text = std::get_if<std::string>(&v)) {
        std::size_t pos = 0;
        if (pos < text->size() && (text->at(pos) == '-' || text->at(pos) == '+'))
            negative = text->at(pos++) == '-';
        int fraction = -1;
        bool digits = false;
        for (; pos < text->size(); ++pos) {
            const char ch = text->at(pos);
            if (ch == '.' && fraction < 0) {
                fraction = 0;
            } else if (ch >= '0' && ch <= '9') {
                digits = true;
                if (fraction >= 0 && ++fraction > scale)
                    fail(at + ": " + *text + " has more decimals than the scale " +
                         std::to_string(scale));
                if (magnitude > power(29))
                    fail(at + ": " + *text + " is too large");
                magnitude = magnitude * 10 + static_cast<U128>(ch - '0');
            } else {
                fail(at + ": not a decimal number: " + *text);
            }
        }
        if (!digits)
            fail(at + ": not a decimal number: " + *text);
        magnitude *= power(scale - std::max(fraction, 0));
    } else {
        fail(at + ": expected a decimal text or an integer");
    }
    if (magnitude >= power(c.field.precision))
        fail(at + ": value does not fit precision " + std::to_string(c.field.precision));
    Bytes out;
    put8(out, negative && magnitude != 0 ? 0x80u : 0x00u);
    for (int word = 3; word >= 0; --word)
        put32(out, static_cast<std::uint32_t>(magnitude >> (32 * word)));
    return out;
}

Bytes encodeValue(const ColumnLayout& c, const JetBuildValue& v, const std::string& at,
                  const TextEncoder& text, LongValues& longValues) {
    switch (c.field.type) {
        case kByte:
            return rawBytes(static_cast<std::uint8_t>(integerValue(v, at, 0, 255)));
        case kInteger:
            return rawBytes(static_cast<std::int16_t>(integerValue(v, at, -32768, 32767)));
        case kLong:
            return rawBytes(static_cast<std::int32_t>(
                integerValue(v, at, std::numeric_limits<std::int32_t>::min(),
                             std::numeric_limits<std::int32_t>::max())));
        case kCurrency:
            return rawBytes(integerValue(v, at, std::numeric_limits<std::int64_t>::min(),
                                         std::numeric_limits<std::int64_t>::max()));
        case kSingle:
            return rawBytes(static_cast<float>(floatValue(v, at)));
        case kDouble:
        case kDateTime:
            return rawBytes(floatValue(v, at));
        case kGuid:
            return guidBytes(stringValue(v, at), at);
        case kDecimalInFile:
        case kDecimal:
            return decimalBytes(c, v, at);
        case kText: {
            const std::string& s = stringValue(v, at);
            if (utf8ToUtf16(s).size() > static_cast<std::size_t>(c.field.size))
                fail(at + ": text longer than the field's " + std::to_string(c.field.size) +
                     " characters");
            Bytes bytes = text.value(s, c.field.unicodeCompression);
            // Jet 3 rows address their fields with one byte plus a jump table
            // that cannot step over a field longer than 255 bytes.
            if (!text.jet4() && bytes.size() > 255)
                fail(at + ": text longer than 255 bytes in the code page");
            return bytes;
        }
        case kMemo: {
            // Jet compresses a memo only up to 1024 characters; longer ones stay plain.
            const std::string& s = stringValue(v, at);
            const bool compress = c.field.unicodeCompression && utf8ToUtf16(s).size() <= 1024;
            return longValues.store(text.value(s, compress));
        }
        case kOle: {
            const std::string& s = stringValue(v, at);
            return longValues.store(Bytes(s.begin(), s.end()));
        }
        default:
            if (ace::storedColumn(c.field.type))
                return ace::valueBytes(c.field.type, v, at);
            fail(at + ": unsupported type");
    }
}

// Jet 3 keeps one-byte offsets; the jump table names, for each further 256
// bytes of row, the first variable column that starts beyond them.
void appendJet3Tail(Bytes& row, const std::vector<std::size_t>& offsets, std::size_t varCount,
                    const Bytes& mask, const std::string& tableName) {
    const std::size_t eod = offsets[varCount];
    const std::size_t tail = 1 + varCount + 1 + mask.size();
    std::size_t jumps = 0;
    for (;;) {
        const std::size_t needed = (eod + tail + jumps - 1) / 256;
        if (needed == jumps)
            break;
        jumps = needed;
    }
    const std::size_t real = eod / 256;
    if (jumps < real || jumps - real > 1)
        fail("a row of table " + tableName + " is too wide for the Jet 3 layout");
    std::vector<std::uint8_t> entries(jumps, 0xFF);
    for (std::size_t j = 0; j < real; ++j) {
        std::size_t i = 0;
        while (offsets[i] < 256 * (j + 1))
            ++i;
        if (j > 0 && entries[j - 1] == i)
            fail("a row of table " + tableName + " has a field spanning 256 bytes (Jet 3)");
        entries[j] = static_cast<std::uint8_t>(i);
    }
    put8(row, static_cast<unsigned>(eod));
    for (std::size_t v = varCount; v-- > 0;)
        put8(row, static_cast<unsigned>(offsets[v]));
    for (std::size_t j = jumps; j-- > 0;)
        put8(row, entries[j]);
    put8(row, static_cast<unsigned>(varCount));
    append(row, mask);
}

Bytes buildRow(const TableLayout& t, const std::vector<JetBuildValue>& values, std::size_t rowIndex,
               const Format& format, const TextEncoder& text, LongValues& longValues) {
    if (values.size() != t.columns.size())
        fail("table " + t.name + " row " + std::to_string(rowIndex + 1) + " has " +
             std::to_string(values.size()) + " values for " + std::to_string(t.columns.size()) +
             " fields");
    Bytes fixedArea(static_cast<std::size_t>(t.fixedAreaSize), 0);
    std::vector<Bytes> varData(static_cast<std::size_t>(t.varCount));
    Bytes mask((static_cast<std::size_t>(t.maxColumns) + 7) / 8, 0);
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const ColumnLayout& c = t.columns[i];
        const JetBuildValue& v = values[i];
        const std::string at = where(t, rowIndex, c);
        bool present = false;
        if (c.field.type == kBool) {
            // A Yes/No value lives in the null mask itself.
            if (!std::holds_alternative<std::monostate>(v) && !std::holds_alternative<bool>(v))
                fail(at + ": expected a Yes/No value");
            present = std::holds_alternative<bool>(v) && std::get<bool>(v);
        } else if (!std::holds_alternative<std::monostate>(v)) {
            present = true;
            Bytes bytes = encodeValue(c, v, at, text, longValues);
            if (c.fixed)
                std::copy(bytes.begin(), bytes.end(), fixedArea.begin() + c.fixedOffset);
            else
                varData[static_cast<std::size_t>(c.varIndex)] = std::move(bytes);
        }
        if (present)
            mask[static_cast<std::size_t>(c.number / 8)] |=
                static_cast<std::uint8_t>(1u << (c.number % 8));
    }
    Bytes row;
    if (format.jet4)
        put16(row, static_cast<unsigned>(t.maxColumns));
    else
        put8(row, static_cast<unsigned>(t.maxColumns));
    append(row, fixedArea);
    std::vector<std::size_t> offsets;
    for (const Bytes& data : varData) {
        offsets.push_back(row.size());
        append(row, data);
    }
    offsets.push_back(row.size());
    const auto varCount = static_cast<std::size_t>(t.varCount);
    if (format.jet4) {
        if (varCount > 0) {
            put16(row, static_cast<unsigned>(offsets[varCount]));
            for (std::size_t v = varCount; v-- > 0;)
                put16(row, static_cast<unsigned>(offsets[v]));
        }
        // The count of variable columns is written even when there are none, so
        // a reader that looks for it before the null mask finds zero.
        put16(row, static_cast<unsigned>(varCount));
        append(row, mask);
    } else if (varCount > 0) {
        appendJet3Tail(row, offsets, varCount, mask, t.name);
    } else {
        put8(row, 0);
        append(row, mask);
    }
    if (row.size() > format.maxRowBytes())
        fail("table " + t.name + " row " + std::to_string(rowIndex + 1) + " is " +
             std::to_string(row.size()) + " bytes, more than a page holds");
    return row;
}

// ---------------------------------------------------------------------------
// Properties (MSysObjects.LvProp)

class PropertyBlob {
  public:
    PropertyBlob(const Format& format, const TextEncoder& text) : format_(format), text_(text) {}

    void addBool(const std::string& column, const std::string& name, bool value) {
        entry(column, name, kBool, Bytes{static_cast<std::uint8_t>(value ? 0xFF : 0x00)});
    }
    void addText(const std::string& column, const std::string& name, const std::string& value) {
        entry(column, name, kText, text_.value(value, false));
    }

    Bytes bytes() const {
        if (blocks_.empty())
            return {};
        Bytes out;
        const char* magic = format_.jet4 ? "MR2" : "KKD";
        out.insert(out.end(), magic, magic + 3);
        put8(out, 0);
        Bytes names;
        for (const std::string& n : names_) {
            const Bytes encoded = text_.name(n);
            put16(names, static_cast<unsigned>(encoded.size()));
            append(names, encoded);
        }
        chunk(out, 0x80, names);
        for (const auto& [column, entries] : blocks_) {
            const Bytes encodedName = text_.name(column);
            Bytes block;
            put32(block, 0);  // patched below
            put16(block, static_cast<unsigned>(encodedName.size()));
            append(block, encodedName);
            append(block, entries);
            set32(block, 0, static_cast<std::uint32_t>(block.size()));
            chunk(out, 0x01, block);
        }
        return out;
    }

  private:
    static void chunk(Bytes& out, unsigned type, const Bytes& body) {
        put32(out, static_cast<std::uint32_t>(body.size() + 6));
        put16(out, type);
        append(out, body);
    }

    void entry(const std::string& column, const std::string& name, int type, const Bytes& value) {
        auto it = std::find(names_.begin(), names_.end(), name);
        if (it == names_.end())
            it = names_.insert(names_.end(), name);
        const auto nameIndex = static_cast<unsigned>(it - names_.begin());
        auto block = std::find_if(blocks_.begin(), blocks_.end(),
                                  [&](const auto& b) { return b.first == column; });
        if (block == blocks_.end())
            block = blocks_.insert(blocks_.end(), {column, Bytes{}});
        Bytes& e = block->second;
        put16(e, static_cast<unsigned>(value.size() + 8));
        put8(e, 0);
        put8(e, static_cast<unsigned>(type));
        put16(e, nameIndex);
        put16(e, static_cast<unsigned>(value.size()));
        append(e, value);
    }

    const Format& format_;
    const TextEncoder& text_;
    std::vector<std::string> names_;
    std::vector<std::pair<std::string, Bytes>> blocks_;
};

Bytes columnProperties(const TableLayout& t, const Format& format, const TextEncoder& text) {
    PropertyBlob blob(format, text);
    for (const ColumnLayout& c : t.columns) {
        if (c.field.name.empty())
            continue;
        const JetBuildField& f = c.field;
        const bool textual = f.type == kText || f.type == kMemo;
        if (textual || f.allowZeroLength)
            blob.addBool(f.name, "AllowZeroLength", f.allowZeroLength);
        blob.addBool(f.name, "Required", f.required);
        if (textual && format.jet4)
            blob.addBool(f.name, "UnicodeCompression", f.unicodeCompression);
        if (!f.defaultValue.empty())
            blob.addText(f.name, "DefaultValue", f.defaultValue);
    }
    return blob.bytes();
}

// ---------------------------------------------------------------------------
// Table definitions

Bytes tableDefinition(const TableLayout& t, const Format& format, const TextEncoder& text,
                      int codePage) {
    Bytes s;
    const auto columnCount = static_cast<unsigned>(t.columns.size());
    const auto indexCount = static_cast<std::uint32_t>(t.indexes.size());
    const std::uint32_t physicalCount = t.physicalCount;
    if (format.jet4) {
        s.resize(63, 0);
        s[0] = 0x02;
        s[1] = 0x01;
        set32(s, 16, t.rowCount);
        s[24] = 0x01;
        s[40] = t.system ? 0x53 : 0x4E;
        set16(s, 41, static_cast<unsigned>(t.maxColumns));
        set16(s, 43, static_cast<unsigned>(t.varCount));
        set16(s, 45, columnCount);
        set32(s, 47, indexCount);
        set32(s, 51, physicalCount);
        set32(s, 55, t.usageMap);
        set32(s, 59, t.freeMap);
    } else {
        s.resize(43, 0);
        s[0] = 0x02;
        s[1] = 0x01;
        s[2] = 'V';
        s[3] = 'C';
        set32(s, 12, t.rowCount);
        s[20] = t.system ? 0x53 : 0x4E;
        set16(s, 21, static_cast<unsigned>(t.maxColumns));
        set16(s, 23, static_cast<unsigned>(t.varCount));
        set16(s, 25, columnCount);
        set32(s, 27, indexCount);
        set32(s, 31, physicalCount);
        set32(s, 35, t.usageMap);
        set32(s, 39, t.freeMap);
    }
    for (std::uint32_t i = 0; i < physicalCount; ++i) {
        put32(s, 0);
        put32(s, t.rowCount);
        if (format.jet4)
            put32(s, 0);
    }
    for (const ColumnLayout& c : t.columns) {
        const bool textual = c.field.type == kText || c.field.type == kMemo;
        const unsigned flags = (c.fixed ? 0x01u : 0x00u) | (c.field.required ? 0x00u : 0x02u);
        put8(s, static_cast<unsigned>(c.fileType));
        if (format.jet4) {
            put32(s, 0);
            put16(s, static_cast<unsigned>(c.number));
            put16(s, static_cast<unsigned>(c.varIndex));
            put16(s, static_cast<unsigned>(c.number));
            if (c.fileType == kDecimalInFile) {
                put8(s, static_cast<unsigned>(c.field.precision));
                put8(s, static_cast<unsigned>(c.field.scale));
            } else {
                put16(s, textual ? 0x0409u : 0u);  // sort order: General
            }
            put16(s, 0);
            put8(s, flags);
            put8(s, textual && c.field.unicodeCompression ? 0x01u : 0x00u);
            put32(s, 0);
        } else {
            put16(s, static_cast<unsigned>(c.number));
            put16(s, static_cast<unsigned>(c.varIndex));
            put16(s, static_cast<unsigned>(c.number));
            put16(s, textual ? 0x0409u : 0u);
            put16(s, textual ? static_cast<unsigned>(codePage) : 0u);
            put16(s, 0);
            put8(s, flags);
        }
        put16(s, static_cast<unsigned>(c.fixedOffset));
        put16(s, static_cast<unsigned>(c.length));
    }
    for (const ColumnLayout& c : t.columns) {
        const Bytes name = c.field.name.empty() ? Bytes{} : text.name(c.field.name);
        if (format.jet4) {
            put16(s, static_cast<unsigned>(name.size()));
        } else {
            if (name.size() > 255)
                fail("field name too long: " + c.field.name);
            put8(s, static_cast<unsigned>(name.size()));
        }
        append(s, name);
    }
    for (const IndexLayout& ix : t.indexes) {
        if (ix.relationship)
            continue;
        if (format.jet4)
            put32(s, 0);
        for (std::size_t k = 0; k < 10; ++k) {
            if (k < ix.columns.size()) {
                put16(s, static_cast<unsigned>(ix.columns[k]));
                put8(s, 0x01);  // ascending
            } else {
                put16(s, 0xFFFF);
                put8(s, 0);
            }
        }
        put32(s, 0);  // index usage map: unused by the readers we serve
        put32(s, ix.leafPage);
        if (format.jet4)
            put32(s, 0);
        put8(s, (ix.unique ? 0x01u : 0x00u) | (ix.primary ? 0x08u : 0x00u));
        if (format.jet4)
            s.insert(s.end(), 5, 0);
    }
    for (const IndexLayout& ix : t.indexes) {
        if (format.jet4)
            put32(s, 0);
        put32(s, ix.physical);
        put32(s, ix.physical);
        put8(s, 0);
        put32(s, 0xFFFFFFFFu);  // the other table's index: not written
        put32(s, 0);
        put8(s, 0);
        put8(s, 0);
        put8(s, ix.primary ? 0x01u : (ix.relationship ? 0x02u : 0x00u));
        if (format.jet4)
            put32(s, 0);
    }
    for (const IndexLayout& ix : t.indexes) {
        const Bytes name = text.name(ix.name);
        if (format.jet4)
            put16(s, static_cast<unsigned>(name.size()));
        else
            put8(s, static_cast<unsigned>(name.size()));
        append(s, name);
    }
    put16(s, 0xFFFF);  // end of the (empty) list of long-value column maps
    set32(s, 8, static_cast<std::uint32_t>(s.size()));
    return s;
}

// Spreads a table definition over its first page and as many continuation
// pages as it needs; each continuation page carries 8 header bytes.
void writeTableDefinition(PageStore& store, const Format& format, std::uint32_t firstPage,
                          const Bytes& stream) {
    std::size_t done = 0;
    std::uint32_t current = firstPage;
    bool first = true;
    while (true) {
        Bytes& p = store.page(current);
        const std::size_t start = first ? 0 : 8;
        const std::size_t take = std::min(stream.size() - done, format.pageSize - start);
        std::copy(stream.begin() + static_cast<std::ptrdiff_t>(done),
                  stream.begin() + static_cast<std::ptrdiff_t>(done + take),
                  p.begin() + static_cast<std::ptrdiff_t>(start));
        p[0] = 0x02;
        p[1] = 0x01;
        if (format.jet4) {
            set16(p, 2, static_cast<unsigned>(format.pageSize - start - take));
        } else {
            p[2] = 'V';
            p[3] = 'C';
        }
        done += take;
        if (done == stream.size()) {
            set32(p, 4, 0);
            return;
        }
        const std::uint32_t next = store.allocate();
        set32(store.page(current), 4, next);  // `p` may dangle after allocate()
        current = next;
        first = false;
    }
}

// ---------------------------------------------------------------------------
// The header page

void rc4(const std::array<std::uint8_t, 4>& key, std::uint8_t* data, std::size_t length) {
    std::array<std::uint8_t, 256> s{};
    for (std::size_t i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    std::size_t j = 0;
    for (std::size_t i = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % key.size()]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    std::size_t x = 0;
    std::size_t y = 0;
    for (std::size_t k = 0; k < length; ++k) {
        x = (x + 1) & 0xFF;
        y = (y + s[x]) & 0xFF;
        std::swap(s[x], s[y]);
        data[k] ^= s[(s[x] + s[y]) & 0xFF];
    }
}

void writeHeaderPage(Bytes& p, const Format& format, int codePage) {
    p[0] = 0x00;
    p[1] = 0x01;
    const char* id = ace::engineName(format.version);
    std::memcpy(p.data() + 4, id, std::strlen(id));
    p[0x14] = ace::versionByte(format.version);
    // The block from 0x18 is stored masked with a fixed RC4 key; in clear it
    // holds the sort order, the code page, the page encryption key (zero: the
    // pages are not encrypted) and the creation date.
    const unsigned language = codePage == 932 ? 0x0411u : 0x0409u;
    if (format.jet4)
        set32(p, 0x6E, language);
    else
        set16(p, 0x3A, language);
    set16(p, 0x3C, static_cast<unsigned>(codePage));
    set32(p, 0x3E, 0);
    Bytes created = rawBytes(45292.5);  // 2024-01-01 12:00
    std::copy(created.begin(), created.end(), p.begin() + 0x72);
    rc4({0xC7, 0xDA, 0x39, 0x6B}, p.data() + 0x18, format.jet4 ? 128 : 126);
}

// ---------------------------------------------------------------------------
// The catalog

constexpr double kCatalogDate = 45292.5;

TableLayout catalogLayout(const Format& format) {
    JetBuildTable t;
    t.name = "MSysObjects";
    t.fields = {{.name = "Id", .type = kLong},
                {.name = "ParentId", .type = kLong},
                {.name = "Name", .type = kText, .size = 255},
                {.name = "Type", .type = kInteger},
                {.name = "DateCreate", .type = kDateTime},
                {.name = "DateUpdate", .type = kDateTime},
                {.name = "Flags", .type = kLong},
                {.name = "LvProp", .type = kOle}};
    for (JetBuildField& f : t.fields)
        f.unicodeCompression = false;
    TableLayout layout = layoutTable(t, format);
    layout.system = true;
    return layout;
}

std::vector<JetBuildValue> catalogRow(std::uint32_t id, const std::string& name, std::int64_t flags,
                                      const Bytes& lvProp) {
    JetBuildValue props;
    if (!lvProp.empty())
        props = std::string(lvProp.begin(), lvProp.end());
    return {std::int64_t{id}, std::int64_t{0}, name,  std::int64_t{1},
            kCatalogDate,     kCatalogDate,    flags, std::move(props)};
}

void addUsageMaps(TableLayout& t, RowPages& mapPages, std::size_t pageCount, const Format& format) {
    Bytes usage;
    put8(usage, 0);   // map type 0: the bitmap follows
    put32(usage, 0);  // ...and starts at page 0
    usage.resize(5 + (pageCount + 7) / 8, 0);
    if (usage.size() > format.maxRowBytes())
        fail("the file has too many pages for one usage map");
    for (std::uint32_t page : t.dataPages)
        usage[5 + page / 8] |= static_cast<std::uint8_t>(1u << (page % 8));
    t.usageMap = mapPages.add(usage);
    Bytes freeMap;
    put8(freeMap, 0);
    put32(freeMap, 0);
    put8(freeMap, 0);
    t.freeMap = mapPages.add(freeMap);
}

}  // namespace

std::vector<std::uint8_t> buildJetFile(const std::vector<JetBuildTable>& tables, JetVersion version,
                                       int codePage) {
    if (codePage != 932 && codePage != 1252)
        fail("code page " + std::to_string(codePage) + " is not supported (932 or 1252)");
    const Format format(version);
    const TextEncoder text(format, codePage);
    PageStore store(format);

    const std::uint32_t headerPage = store.allocate();
    writeHeaderPage(store.page(headerPage), format, codePage);
    RowPages globalMap(store, format, ownerBytes(0));
    globalMap.add(Bytes{0, 0, 0, 0, 0, 0});  // page 1: the database's own usage map

    TableLayout catalog = catalogLayout(format);
    catalog.tdefPage = store.allocate();
    if (catalog.tdefPage != 2)
        fail("internal: the catalog must sit on page 2");

    std::vector<TableLayout> layouts;
    std::set<std::string> names{"msysobjects"};
    for (const JetBuildTable& table : tables) {
        std::string lower = table.name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        if (!names.insert(lower).second)
            fail("two tables named " + table.name);
        layouts.push_back(layoutTable(table, format));
        layouts.back().tdefPage = store.allocate();
    }

    LongValues longValues(store, format);
    for (std::size_t i = 0; i < tables.size(); ++i) {
        TableLayout& t = layouts[i];
        RowPages data(store, format, ownerBytes(t.tdefPage));
        for (std::size_t r = 0; r < tables[i].rows.size(); ++r)
            data.add(buildRow(t, tables[i].rows[r], r, format, text, longValues));
        t.rowCount = static_cast<std::uint32_t>(tables[i].rows.size());
        t.dataPages = data.pages();
    }

    std::vector<std::vector<JetBuildValue>> catalogRows;
    catalogRows.push_back(
        catalogRow(catalog.tdefPage, "MSysObjects", static_cast<std::int32_t>(0x80000002u), {}));
    for (const TableLayout& t : layouts)
        catalogRows.push_back(catalogRow(t.tdefPage, t.name,
                                         static_cast<std::int32_t>(t.catalogFlags),
                                         columnProperties(t, format, text)));
    RowPages catalogData(store, format, ownerBytes(catalog.tdefPage));
    for (std::size_t r = 0; r < catalogRows.size(); ++r)
        catalogData.add(buildRow(catalog, catalogRows[r], r, format, text, longValues));
    catalog.rowCount = static_cast<std::uint32_t>(catalogRows.size());
    catalog.dataPages = catalogData.pages();

    for (TableLayout& t : layouts) {
        for (IndexLayout& ix : t.indexes) {
            if (ix.relationship)
                continue;
            ix.leafPage = store.allocate();
            Bytes& leaf = store.page(ix.leafPage);
            leaf[0] = 0x04;
            leaf[1] = 0x01;
            set16(leaf, 2, static_cast<unsigned>(format.pageSize - (format.jet4 ? 0x1E0 : 0xF8)));
            set32(leaf, 4, t.tdefPage);
        }
    }

    RowPages mapPages(store, format, ownerBytes(0));
    const std::size_t pageCount = store.count();
    addUsageMaps(catalog, mapPages, pageCount, format);
    for (TableLayout& t : layouts)
        addUsageMaps(t, mapPages, pageCount, format);

    writeTableDefinition(store, format, catalog.tdefPage,
                         tableDefinition(catalog, format, text, codePage));
    for (const TableLayout& t : layouts)
        writeTableDefinition(store, format, t.tdefPage, tableDefinition(t, format, text, codePage));

    return store.contents();
}

void writeJetFile(const std::string& path, const std::vector<JetBuildTable>& tables,
                  JetVersion version, int codePage) {
    const Bytes bytes = buildJetFile(tables, version, codePage);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        fail("cannot create " + path);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        fail("cannot write " + path);
}

}  // namespace malvorn::testing
