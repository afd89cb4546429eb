#pragma once

// The parts of reading a Jet file that need no file: type and size
// translation, the code page choice, raw value decoding, the first-index rule.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/jet_table.h"

namespace malvorn::jet {

// The iconv name of the code page Jet 3 text is stored in, from the code
// page and language id of the database header. Japanese files become CP932
// whatever the header's code page says, since that is how they are written.
std::string jet3Charset(int codePage, int languageId);

// The field type number the program uses for a type number of the reading
// library (they differ for Decimal).
std::int16_t programTypeCode(int libraryType);

// The declared size of a field. Jet 4 stores text sizes in bytes (two per
// character), Jet 3 in characters; the program always wants characters.
std::int32_t programFieldSize(std::int16_t typeCode, int storedSize, bool jet4);

// Names sorted as the engine's table collection presents them: without
// regard to ASCII case, then by bytes so that the order is total.
void sortNamesIgnoringCase(std::vector<std::string>& names);

// Whether a catalog entry is one of the user's tables: not the engine's
// (MSys*, or flagged as a system object, as the hidden flat tables behind
// multi-value and attachment fields are). Tables the user merely hid keep
// their place: the hidden flag (0x8) is a different bit.
inline constexpr std::uint32_t kSystemObjectFlags = 0x80000002u;
bool isUserTable(const std::string& name, std::uint32_t catalogFlags);

// Case-insensitive (ASCII) equality of two names.
bool sameNameIgnoringCase(const std::string& a, const std::string& b);

// One entry of a table's index list as the file stores it.
struct StoredIndex {
    std::string name;
    int number = 0;                     // relationship entries point at a real index by number
    int kind = 0;                       // 1 primary, 2 relationship, 0 other
    std::vector<int> keyColumns;        // positions into the table's fields
    bool unique = false;                // no two rows may share the key
    bool ignoreNulls = false;           // rows whose key is all Null are not indexed
    bool required = false;              // the key may not be Null
    std::vector<bool> descending = {};  // per key column, when read
};
inline constexpr int kRelationshipIndex = 2;

// The first index of the table as the engine lists it: hidden entries
// (names beginning with ".", kept by the engine for the referenced side of a
// relationship) are skipped, a relationship entry takes the key columns of
// the index it points at, and an index left without key columns (damaged,
// or pointing at nothing) gives no first index at all.
std::optional<model::JetIndexDef> firstIndexOf(const std::vector<StoredIndex>& indexes,
                                               const std::vector<model::JetFieldDef>& fields);

// The key a table really has: the index marked primary, else the first
// unique one, else none. Hidden and relationship entries never count.
std::optional<model::JetIndexDef> primaryIndexOf(const std::vector<StoredIndex>& indexes,
                                                 const std::vector<model::JetFieldDef>& fields);

// What makes a table definition one the engine never writes, in words for
// the user: a column name that is empty, repeated (regardless of case) or
// holds a control character (a line feed would split a script line), or an
// index naming one column twice. Empty when the definition is sound.
std::string definitionDamage(const std::vector<std::string>& columnNames,
                             const std::vector<StoredIndex>& indexes);

// The library's numbers of the column types it has no name for.
inline constexpr int kStoredComplex = 0x12;
inline constexpr int kStoredBigInt = 0x13;
inline constexpr int kStoredDateTimeExtended = 0x14;
inline constexpr int kExtendedDateBytes = 42;

// "yyyy-mm-dd hh:mm:ss.fffffff" of a stored Date/Time Extended value: 19
// digits of days since 0001-01-01, ':', 19 digits of 100 ns ticks into the
// day, ":7" and a pad byte. nullopt for anything else (a damaged value), a
// time past the day's end or a year past 9999.
std::optional<std::string> extendedDateText(const unsigned char* bytes, std::size_t size);

// A calculated field's stored value: 16 bytes, the result's length (32-bit),
// the result's bytes as a plain column of its type stores them, and 3 more.
// The result's bytes; nullopt when the length does not fit the value
// (damage). Calculated columns are marked in the high bits of the byte
// after the column flags (Jet 4 layout), and their declared length is the
// result's plus kCalculatedOverhead.
inline constexpr std::size_t kCalculatedResultAt = 20;
inline constexpr int kCalculatedOverhead = 23;
inline constexpr unsigned kCalculatedFlags = 0xC0;
std::optional<std::string_view> calculatedResult(const unsigned char* bytes, std::size_t size);

// Whether a column is the engine's hidden link of an append-only memo to its
// version history: a complex column named "VersionHistory_<GUID>".
bool isVersionHistoryLink(const std::string& name, int libraryType);

// Whether the header page (its first 0x98 bytes at least) belongs to an
// ACE file encrypted with a password: the page key, stored under the
// header's fixed mask, is set. The library cannot read such pages; for Jet 3
// and 4 it undoes the key's simple masking itself.
inline constexpr std::size_t kHeaderBytesForKey = 0x98;
bool aceEncrypted(const unsigned char* header, std::size_t size);

// Whether a name holds a control character (a line feed would split a
// script line or a listed name in two).
bool hasControlCharacter(const std::string& name);

// Little-endian readers over raw page bytes.
std::int64_t readInt64(const unsigned char* bytes);
std::int32_t readInt32(const unsigned char* bytes);
std::int16_t readInt16(const unsigned char* bytes);
double readDouble(const unsigned char* bytes);
float readSingle(const unsigned char* bytes);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" from the 16 stored bytes (the
// first three groups are little-endian).
std::string guidText(const unsigned char* bytes);

// Exact text of a stored Decimal: a sign byte (0x80 negative) and a 128-bit
// magnitude in four little-endian 32-bit groups, most significant first,
// divided by 10^scale. The scale's digits are always written.
std::string decimalText(const unsigned char* bytes17, int scale);

}  // namespace malvorn::jet
