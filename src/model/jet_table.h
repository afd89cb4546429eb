#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace malvorn::model {

// The Jet field type numbers the program tells apart. Any other number
// (Yes/No is 1, OLE object 11, GUID 15, ...) is carried as it is.
enum JetType : std::int16_t {
    kJetBoolean = 1,
    kJetByte = 2,
    kJetInteger = 3,
    kJetLong = 4,
    kJetCurrency = 5,
    kJetSingle = 6,
    kJetDouble = 7,
    kJetDate = 8,
    kJetText = 10,
    kJetMemo = 12,
};

// One field of a Jet table, as the generator and the data copy see it.
// Texts are UTF-8.
struct JetFieldDef {
    std::string name;
    std::int16_t typeCode = 0;
    std::int32_t size = 0;  // characters; meaningful for text fields only
    bool allowZeroLength = false;
    std::string defaultValue;  // the stored expression, possibly empty
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
};

}  // namespace malvorn::model
