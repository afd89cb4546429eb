#include "jet_builder/jet_tables.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <set>
#include <variant>

#include "jet_builder/ace_types.h"
#include "model/jet_table.h"

namespace malvorn::testing::jet_file {
namespace {

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
        case model::kJetByte:
            return rawBytes(static_cast<std::uint8_t>(integerValue(v, at, 0, 255)));
        case model::kJetInteger:
            return rawBytes(static_cast<std::int16_t>(integerValue(v, at, -32768, 32767)));
        case model::kJetLong:
            return rawBytes(static_cast<std::int32_t>(
                integerValue(v, at, std::numeric_limits<std::int32_t>::min(),
                             std::numeric_limits<std::int32_t>::max())));
        case model::kJetCurrency:
            return rawBytes(integerValue(v, at, std::numeric_limits<std::int64_t>::min(),
                                         std::numeric_limits<std::int64_t>::max()));
        case model::kJetSingle:
            return rawBytes(static_cast<float>(floatValue(v, at)));
        case model::kJetDouble:
        case model::kJetDate:
            return rawBytes(floatValue(v, at));
        case model::kJetGuid:
            return guidBytes(stringValue(v, at), at);
        case model::kJetDecimalStoredType:
        case model::kJetDecimal:
            return decimalBytes(c, v, at);
        case model::kJetText: {
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
        case model::kJetMemo: {
            // Jet compresses a memo only up to 1024 characters; longer ones stay plain.
            const std::string& s = stringValue(v, at);
            const bool compress = c.field.unicodeCompression && utf8ToUtf16(s).size() <= 1024;
            return longValues.store(text.value(s, compress));
        }
        case model::kJetOle: {
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

// The column's size and whether it lives in the fixed area, by its type.
void placeColumn(ColumnLayout& c, const Format& format) {
    const JetBuildField& f = c.field;
    switch (f.type) {
        case model::kJetBoolean:
            c.fixed = true;
            c.fixedSize = 0;
            break;
        case model::kJetByte:
            c.fixed = true;
            c.fixedSize = 1;
            break;
        case model::kJetInteger:
            c.fixed = true;
            c.fixedSize = 2;
            break;
        case model::kJetLong:
        case model::kJetSingle:
            c.fixed = true;
            c.fixedSize = 4;
            break;
        case model::kJetCurrency:
        case model::kJetDouble:
        case model::kJetDate:
            c.fixed = true;
            c.fixedSize = 8;
            break;
        case model::kJetGuid:
            c.fixed = true;
            c.fixedSize = 16;
            break;
        case model::kJetDecimalStoredType:
        case model::kJetDecimal:
            if (!format.jet4)
                fail("Decimal field " + f.name + ": Decimal exists in Jet 4 files only");
            if (f.precision < 1 || f.precision > 28 || f.scale < 0 || f.scale > f.precision)
                fail("Decimal field " + f.name + " has precision " + std::to_string(f.precision) +
                     " and scale " + std::to_string(f.scale));
            c.fixed = true;
            c.fixedSize = 17;
            break;
        case model::kJetText:
            if (f.size < 1 || f.size > 255)
                fail("text field " + f.name + " has size " + std::to_string(f.size));
            c.length = format.jet4 ? 2 * f.size : f.size;
            break;
        case model::kJetOle:
        case model::kJetMemo:
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
}

// The table's logical index entries and the physical indexes they use.
void addIndexes(TableLayout& t, const JetBuildTable& table) {
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
            l.descending.push_back(std::find(ix.descending.begin(), ix.descending.end(), col) !=
                                   ix.descending.end());
        }
        for (const std::string& col : ix.descending) {
            if (std::find(ix.columns.begin(), ix.columns.end(), col) == ix.columns.end())
                fail("index " + ix.name + " sorts " + col + " descending but does not hold it");
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
}

}  // namespace

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
        c.fileType = f.type == model::kJetDecimal ? model::kJetDecimalStoredType : f.type;
        if (f.deletedBefore < 0)
            fail("field " + f.name + " has a negative count of deleted columns");
        c.number = t.maxColumns + f.deletedBefore;
        t.maxColumns = c.number + 1;
        placeColumn(c, format);
        if (!f.expression.empty()) {
            // A calculated field's value lives with the variable-length ones.
            if (format.version != JetVersion::kAce12)
                fail("calculated field " + f.name + ": ACE files only");
            c.fixed = false;
            c.length = ace::calculatedLength(f);
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
    addIndexes(t, table);
    return t;
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
        if (c.field.type == model::kJetBoolean) {
            // A Yes/No value lives in the null mask itself.
            if (!std::holds_alternative<std::monostate>(v) && !std::holds_alternative<bool>(v))
                fail(at + ": expected a Yes/No value");
            present = std::holds_alternative<bool>(v) && std::get<bool>(v);
        } else if (!std::holds_alternative<std::monostate>(v)) {
            present = true;
            Bytes bytes = encodeValue(c, v, at, text, longValues);
            if (!c.field.expression.empty())
                bytes = ace::calculatedValue(bytes);
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

}  // namespace malvorn::testing::jet_file
