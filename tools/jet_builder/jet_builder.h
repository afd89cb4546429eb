#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// Writes real Jet database files (.mdb) from a description in code, so that the
// tests can make every shape of file they need on the fly. Test-only code: the
// program itself never writes Jet files.
namespace malvorn::testing {

// A cell value; its meaning follows the field's Jet type code:
//   monostate = Null; bool for Yes/No (1); std::int64_t for Byte(2)/Integer(3)/Long(4) and for
//   Currency(5) as the raw value scaled by 10,000 (12.34 -> 123400); double for Single(6)/Double(7)
//   and for Date/Time(8) as the day serial (0 = 1899-12-30, fraction = time of day);
//   std::string (UTF-8) for Text(10)/Memo(12).
// Also accepted: std::string holding the raw bytes of an OLE(11) value, and for GUID(15) either
// the text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional) or 16 raw bytes.
// A Yes/No field has no Null in Jet; monostate is written as No.
using JetBuildValue = std::variant<std::monostate, bool, std::int64_t, double, std::string>;

struct JetBuildField {
    std::string name{};  // UTF-8, may be Japanese / full-width
    int type = 10;  // Jet type code: 1,2,3,4,5,6,7,8,10,11(OLE),12,15(GUID); extra: 20(Decimal)
    int size = 50;  // text: characters (max 255); ignored otherwise
    bool allowZeroLength = false;  // written as the AllowZeroLength property
    std::string defaultValue{};    // written as the DefaultValue property when not empty
    // Optional extras.
    bool required = false;           // written as the Required property
    bool unicodeCompression = true;  // Jet 4 text/memo: store compressed when that is shorter
    // Decimal (type 20, stored as column type 16; Jet 4 only): the value is a decimal text
    // ("-123.45", at most `scale` decimals) or an integer.
    int precision = 18;
    int scale = 0;
    // Stored column numbers left unused just before this field, as the engine
    // leaves them after a column there was deleted: the numbers then differ
    // from the positions in the field list.
    int deletedBefore = 0;
    // A Long Integer the engine numbers itself (AutoNumber): the column's
    // auto-increment flag.
    bool autoNumber = false;
    // Written as the Description, ValidationRule and ValidationText
    // properties when not empty.
    std::string description{};
    std::string validationRule{};
    std::string validationText{};
    // Not empty: a calculated field (kAce12 only) of `type`, its result's:
    // flagged as calculated, with the Expression and ResultType properties,
    // each value stored after the head the engine puts before a result.
    std::string expression{};
};

struct JetBuildIndex {
    std::string name{};                  // e.g. "PrimaryKey", "pkkey"
    std::vector<std::string> columns{};  // field names in key order
    bool primary = false;
    bool unique = false;  // optional extra; a primary index is always unique
    // Optional extra: the entry a relationship adds (index type 2). It has no key columns
    // of its own in libmdb's reading and shares the physical index of another entry of this
    // table on the same `columns`, which must exist.
    bool relationship = false;
    // An entry with no columns is allowed: it stands for a damaged index without key columns.
    // Optional extra: the key columns sorted descending (each one of `columns`).
    std::vector<std::string> descending{};
};

struct JetBuildTable {
    std::string name{};
    std::vector<JetBuildField> fields{};
    std::vector<JetBuildIndex> indexes{};  // in the order they are to be listed
    std::vector<std::vector<JetBuildValue>> rows{};
    // Damage tests: field names no engine writes, repeated or empty (an
    // empty-named field gets no properties).
    bool allowBadNames = false;
    // The catalog's Flags of the table: 0x80000002 marks a system object (as
    // on the engine's hidden flat tables), 0x8 a table the user hid.
    std::uint32_t catalogFlags = 0;
};

// A saved query: its catalog entry (MSysObjects, type 5) and its rows of the
// query catalog (MSysQueries), written in the order given. The attribute
// numbers and flags are the engine's (see model/stored_query.h).
struct JetBuildQueryRow {
    int attribute = 0;
    std::string expression{};
    std::optional<std::int64_t> flag{};
    std::string name1{};
    std::string name2{};
};

struct JetBuildQuery {
    std::string name{};
    std::uint32_t catalogFlags = 0;
    std::vector<JetBuildQueryRow> rows{};
};

// A link to a table of another file, as a split application's front end
// holds it: a catalog entry without pages of its own, of type 6 for a table
// of a Jet file (`database` its path) or 4 for an ODBC table (`connect`
// "ODBC;DSN=..."), `foreignName` the table's name there.
struct JetBuildLink {
    std::string name{};
    std::string database{};
    std::string foreignName{};
    std::string connect{};  // empty for a Jet file: ";DATABASE=<database>" is written
    std::uint32_t catalogFlags = 0;
    int type() const { return connect.rfind("ODBC;", 0) == 0 ? 4 : 6; }
};

// kAce12: the Access 2007 format, Jet 4's pages under its own header; it
// also takes the ACE-only field types of ace_types.h.
enum class JetVersion { kJet3, kJet4, kAce12 };

// Writes a complete Jet database file holding `tables` (plus the system catalog) that
// mdbtools/libmdb 1.0.0 reads back: table list, columns with types and sizes, the
// AllowZeroLength and DefaultValue properties, the indexes with their key columns, and rows
// (including memo values of any length, e.g. 100 KB). Jet 3 text is written in `codePage`
// (a Windows code page: 932, 1252, 1253...). Throws std::runtime_error on failure.
void writeJetFile(const std::string& path, const std::vector<JetBuildTable>& tables,
                  JetVersion version = JetVersion::kJet4, int codePage = 932);

// The catalog id (MSysObjects.Id) writeJetFile gives tables[index]: the page
// of its definition, which follow the catalog's in the order of `tables`.
constexpr std::uint32_t jetCatalogId(std::size_t index) {
    return static_cast<std::uint32_t>(3 + index);
}

// Optional extras, for tests that damage files on purpose: the same file as bytes, and the
// size of its pages (the file is a whole number of pages; page 0 is the header, page 2 the
// catalog's table definition).
std::vector<std::uint8_t> buildJetFile(const std::vector<JetBuildTable>& tables,
                                       JetVersion version = JetVersion::kJet4, int codePage = 932);
// The same with saved queries: the file then also holds the system table
// MSysQueries.
std::vector<std::uint8_t> buildJetFile(const std::vector<JetBuildTable>& tables,
                                       const std::vector<JetBuildQuery>& queries,
                                       JetVersion version = JetVersion::kJet4, int codePage = 932);
void writeJetFile(const std::string& path, const std::vector<JetBuildTable>& tables,
                  const std::vector<JetBuildQuery>& queries, JetVersion version = JetVersion::kJet4,
                  int codePage = 932);
// The same with linked tables in the catalog.
std::vector<std::uint8_t> buildJetFileWithLinks(const std::vector<JetBuildTable>& tables,
                                                const std::vector<JetBuildLink>& links,
                                                JetVersion version = JetVersion::kJet4,
                                                int codePage = 932);
void writeJetFileWithLinks(const std::string& path, const std::vector<JetBuildTable>& tables,
                           const std::vector<JetBuildLink>& links,
                           JetVersion version = JetVersion::kJet4, int codePage = 932);
constexpr std::size_t jetPageSize(JetVersion version) {
    return version == JetVersion::kJet3 ? 2048 : 4096;
}

}  // namespace malvorn::testing
