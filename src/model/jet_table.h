#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace malvorn::model {

// The Jet field type numbers the program tells apart; any other number is
// carried as it is.
enum JetType : std::int16_t {
    kJetBoolean = 1,
    kJetByte = 2,
    kJetInteger = 3,
    kJetLong = 4,
    kJetCurrency = 5,
    kJetSingle = 6,
    kJetDouble = 7,
    kJetDate = 8,
    kJetBinary = 9,
    kJetText = 10,
    kJetOle = 11,
    kJetMemo = 12,
    kJetGuid = 15,
    kJetComplex = 18,  // multi-value or attachment: the row holds a link number
    kJetBigInt = 19,   // Large Number, 64-bit
    kJetDecimal = 20,
    // Date/Time Extended. The file stores 0x14, which is Decimal's number
    // here, so it gets a number of the program's own.
    kJetDateTimeExtended = 26,
};

// A Decimal field's column type as the file (and libmdb) stores it; the
// engine calls the field type kJetDecimal.
inline constexpr int kJetDecimalStoredType = 16;

// The types whose values are numbers: written unquoted, compared as numbers.
// Yes/No is not among them here; each caller says what it makes of it.
inline bool isNumberType(std::int16_t typeCode) {
    switch (typeCode) {
        case kJetByte:
        case kJetInteger:
        case kJetLong:
        case kJetBigInt:
        case kJetCurrency:
        case kJetSingle:
        case kJetDouble:
        case kJetDecimal:
            return true;
        default:
            return false;
    }
}

// One field of a Jet table, as the generator and the data copy see it.
// Texts are UTF-8.
struct JetFieldDef {
    std::string name;
    std::int16_t typeCode = 0;
    std::int32_t size = 0;  // characters; meaningful for text fields only
    bool allowZeroLength = false;
    std::string defaultValue;  // the stored expression, possibly empty
    // Decimal fields only: the declared digits and the digits after the point.
    std::int32_t precision = 0;
    std::int32_t scale = 0;
    // A calculated field (Access 2010): its expression. Its values are the
    // results the engine stored, of the field's type; nullopt for others.
    std::optional<std::string> expression = std::nullopt;
};

// The first index of a table (position 0 of the engine's list).
struct JetIndexDef {
    std::string name;
    std::vector<std::string> fieldNames;
};

struct JetTableDef {
    std::string name;  // as the caller gave it
    std::vector<JetFieldDef> fields;
    std::optional<JetIndexDef> firstIndex;
    // The index the engine marks as primary; without one, the first unique
    // index. Hidden and relationship entries never count.
    std::optional<JetIndexDef> primaryIndex = std::nullopt;
    // Columns the reader leaves out because they hold no value of the
    // user's: the link of an append-only memo to its version history.
    std::vector<std::string> leftOut = {};
};

}  // namespace malvorn::model
