#include "jet_builder/jet_catalog.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "jet_builder/ace_types.h"
#include "model/jet_table.h"

namespace malvorn::testing::jet_file {
namespace {

// ---------------------------------------------------------------------------
// Properties (MSysObjects.LvProp)

class PropertyBlob {
  public:
    PropertyBlob(const Format& format, const TextEncoder& text) : format_(format), text_(text) {}

    void addBool(const std::string& column, const std::string& name, bool value) {
        entry(column, name, model::kJetBoolean,
              Bytes{static_cast<std::uint8_t>(value ? 0xFF : 0x00)});
    }
    void addByte(const std::string& column, const std::string& name, std::uint8_t value) {
        entry(column, name, model::kJetByte, Bytes{value});
    }
    void addText(const std::string& column, const std::string& name, const std::string& value) {
        entry(column, name, model::kJetText, text_.value(value, false));
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

}  // namespace

Bytes columnProperties(const TableLayout& t, const Format& format, const TextEncoder& text) {
    PropertyBlob blob(format, text);
    for (const ColumnLayout& c : t.columns) {
        if (c.field.name.empty())
            continue;
        const JetBuildField& f = c.field;
        const bool textual = f.type == model::kJetText || f.type == model::kJetMemo;
        if (textual || f.allowZeroLength)
            blob.addBool(f.name, "AllowZeroLength", f.allowZeroLength);
        blob.addBool(f.name, "Required", f.required);
        if (textual && format.jet4)
            blob.addBool(f.name, "UnicodeCompression", f.unicodeCompression);
        const std::pair<const char*, const std::string*> texts[] = {
            {"DefaultValue", &f.defaultValue},
            {"Description", &f.description},
            {"ValidationRule", &f.validationRule},
            {"ValidationText", &f.validationText}};
        for (const auto& [property, value] : texts) {
            if (!value->empty())
                blob.addText(f.name, property, *value);
        }
        if (!f.expression.empty()) {
            blob.addText(f.name, "Expression", f.expression);
            blob.addByte(f.name, "ResultType", static_cast<std::uint8_t>(f.type));
        }
    }
    return blob.bytes();
}

// ---------------------------------------------------------------------------
// Table definitions

namespace {

// The definition's fixed header and the row counts of its physical indexes.
Bytes definitionHeader(const TableLayout& t, const Format& format) {
    Bytes s;
    const auto columnCount = static_cast<unsigned>(t.columns.size());
    const auto indexCount = static_cast<std::uint32_t>(t.indexes.size());
    const std::uint32_t physicalCount = t.physicalCount;
    // Jet 3's header has the same fields as Jet 4's, its row count four bytes
    // and the fields after it twenty bytes earlier.
    const std::size_t rows = format.jet4 ? 16 : 12, tail = format.jet4 ? 40 : 20;
    s.resize(tail + 23, 0);
    s[0] = 0x02;
    s[1] = 0x01;
    if (format.jet4) {
        s[24] = 0x01;
    } else {
        s[2] = 'V';
        s[3] = 'C';
    }
    set32(s, rows, t.rowCount);
    s[tail] = t.system ? 0x53 : 0x4E;
    set16(s, tail + 1, static_cast<unsigned>(t.maxColumns));
    set16(s, tail + 3, static_cast<unsigned>(t.varCount));
    set16(s, tail + 5, columnCount);
    set32(s, tail + 7, indexCount);
    set32(s, tail + 11, physicalCount);
    set32(s, tail + 15, t.usageMap);
    set32(s, tail + 19, t.freeMap);
    for (std::uint32_t i = 0; i < physicalCount; ++i) {
        put32(s, 0);
        put32(s, t.rowCount);
        if (format.jet4)
            put32(s, 0);
    }
    return s;
}

// Each column's descriptor, then the column names.
void putColumns(Bytes& s, const TableLayout& t, const Format& format, const TextEncoder& text,
                int codePage) {
    for (const ColumnLayout& c : t.columns) {
        const bool textual = c.field.type == model::kJetText || c.field.type == model::kJetMemo;
        const unsigned flags = (c.fixed ? 0x01u : 0x00u) | (c.field.required ? 0x00u : 0x02u) |
                               (c.field.autoNumber ? 0x04u : 0x00u);
        put8(s, static_cast<unsigned>(c.fileType));
        if (format.jet4) {
            put32(s, 0);
            put16(s, static_cast<unsigned>(c.number));
            put16(s, static_cast<unsigned>(c.varIndex));
            put16(s, static_cast<unsigned>(c.number));
            if (c.fileType == model::kJetDecimalStoredType) {
                put8(s, static_cast<unsigned>(c.field.precision));
                put8(s, static_cast<unsigned>(c.field.scale));
            } else {
                put16(s, textual ? 0x0409u : 0u);  // sort order: General
            }
            put16(s, 0);
            put8(s, flags);
            put8(s, (textual && c.field.unicodeCompression ? 0x01u : 0x00u) |
                        (c.field.expression.empty() ? 0x00u : 0xC0u));
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
}

// The physical indexes' key columns, the logical entries, then their names.
void putIndexes(Bytes& s, const TableLayout& t, const Format& format, const TextEncoder& text) {
    for (const IndexLayout& ix : t.indexes) {
        if (ix.relationship)
            continue;
        if (format.jet4)
            put32(s, 0);
        for (std::size_t k = 0; k < 10; ++k) {
            if (k < ix.columns.size()) {
                put16(s, static_cast<unsigned>(ix.columns[k]));
                put8(s, k < ix.descending.size() && ix.descending[k]
                            ? 0x00u
                            : 0x01u);  // the order: 1 ascending
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
}

}  // namespace

Bytes tableDefinition(const TableLayout& t, const Format& format, const TextEncoder& text,
                      int codePage) {
    Bytes s = definitionHeader(t, format);
    putColumns(s, t, format, text, codePage);
    putIndexes(s, t, format, text);
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

namespace {

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

}  // namespace

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

TableLayout catalogLayout(const Format& format, bool links) {
    JetBuildTable t;
    t.name = "MSysObjects";
    t.fields = {{.name = "Id", .type = model::kJetLong},
                {.name = "ParentId", .type = model::kJetLong},
                {.name = "Name", .type = model::kJetText, .size = 255},
                {.name = "Type", .type = model::kJetInteger},
                {.name = "DateCreate", .type = model::kJetDate},
                {.name = "DateUpdate", .type = model::kJetDate},
                {.name = "Flags", .type = model::kJetLong},
                {.name = "LvProp", .type = model::kJetOle}};
    if (links)
        t.fields.insert(t.fields.end(),
                        {{.name = "Connect", .type = model::kJetMemo},
                         {.name = "Database", .type = model::kJetMemo},
                         {.name = "ForeignName", .type = model::kJetText, .size = 255}});
    for (JetBuildField& f : t.fields)
        f.unicodeCompression = false;
    TableLayout layout = layoutTable(t, format);
    layout.system = true;
    return layout;
}

std::vector<JetBuildValue> catalogRow(std::uint32_t id, const std::string& name, std::int64_t flags,
                                      const Bytes& lvProp, std::int64_t type) {
    JetBuildValue props;
    if (!lvProp.empty())
        props = std::string(lvProp.begin(), lvProp.end());
    return {std::int64_t{static_cast<std::int32_t>(id)},
            std::int64_t{0},
            name,
            type,
            kCatalogDate,
            kCatalogDate,
            flags,
            std::move(props)};
}

std::vector<JetBuildValue> withLinkColumns(std::vector<JetBuildValue> row,
                                           const JetBuildLink* link) {
    const auto text = [](const std::string& value) {
        return value.empty() ? JetBuildValue() : JetBuildValue(value);
    };
    // The engine writes a Jet link's Connect as ";DATABASE=<path>".
    const std::string connect =
        !link ? "" : (link->connect.empty() ? ";DATABASE=" + link->database : link->connect);
    row.push_back(text(connect));
    row.push_back(text(link ? link->database : ""));
    row.push_back(text(link ? link->foreignName : ""));
    return row;
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

}  // namespace malvorn::testing::jet_file
