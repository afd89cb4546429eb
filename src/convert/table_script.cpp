#include "convert/table_script.h"

#include <cstdint>

#include "base/numeric.h"
#include "encoding/ascii.h"
#include "encoding/utf8.h"

namespace malvorn::convert {
namespace {

constexpr std::size_t kNameWidth = 31;
constexpr std::size_t kTypeWidth = 20;
constexpr std::size_t kTitleChars = 20;

enum class ClauseRule { kNotNull, kNumericDefault, kDateDefault, kNone };

struct ColumnType {
    std::string oracleType;
    ClauseRule rule = ClauseRule::kNone;
    std::int64_t dataBytes = 0;
    std::int64_t overheadBytes = 0;
};

ColumnType mapType(const model::JetFieldDef& field) {
    constexpr std::int64_t kOverhead = 3;
    switch (field.typeCode) {
        case model::kJetText:
            return {"VARCHAR2(" + std::to_string(field.size) + ")", ClauseRule::kNotNull,
                    field.size, kOverhead};
        case model::kJetMemo:
            return {"VARCHAR2(500)", ClauseRule::kNotNull, 500, kOverhead};
        case model::kJetLong:
            return {"NUMBER(10)", ClauseRule::kNumericDefault, 5, kOverhead};
        case model::kJetInteger:
            return {"NUMBER(5)", ClauseRule::kNumericDefault, 3, kOverhead};
        case model::kJetByte:
            return {"NUMBER(3)", ClauseRule::kNumericDefault, 2, kOverhead};
        case model::kJetCurrency:
            return {"NUMBER(19,4)", ClauseRule::kNumericDefault, 10, kOverhead};
        case model::kJetSingle:
        case model::kJetDouble:
            return {"NUMBER", ClauseRule::kNumericDefault, 19, kOverhead};
        case model::kJetDate:
            return {"DATE", ClauseRule::kDateDefault, 7, kOverhead};
        default:
            return {"ERROR TYPE=" + std::to_string(field.typeCode), ClauseRule::kNone, 0, 0};
    }
}

// The type text with its clause, as it follows the padded column name.
std::string columnTypeText(const model::JetFieldDef& field, const ColumnType& type,
                           bool suppressNotNull) {
    const std::string padded = PadBytes(type.oracleType, kTypeWidth);
    switch (type.rule) {
        case ClauseRule::kNotNull:
            if (suppressNotNull)
                return padded;  // the file form trims these spaces
            if (!field.allowZeroLength)
                return padded + "NOT NULL";
            break;
        case ClauseRule::kNumericDefault:
            if (base::gfIsNumericText(field.defaultValue)) {
                return padded + "DEFAULT " + field.defaultValue;
            }
            break;
        case ClauseRule::kDateDefault:
            if (!trimSpaces(field.defaultValue).empty()) {
                return padded + "DEFAULT " + field.defaultValue;
            }
            break;
        case ClauseRule::kNone:
            return type.oracleType;
    }
    return std::string(trimSpaces(padded));
}

std::string constraintLine(const model::JetTableDef& table, const model::JetIndexDef& index,
                           const std::string& indexTablespace) {
    const std::string name =
        encoding::equalsIgnoringAsciiCase(index.name, "pkkey") ? "pk" + table.name : index.name;
    std::string keys;
    for (const auto& field : index.fieldNames) {
        if (!keys.empty())
            keys += ',';
        keys += fNarrowName(field);
    }
    return ",CONSTRAINT " + name + " PRIMARY KEY(" + keys + ") USING INDEX TABLESPACE " +
           indexTablespace;
}

}  // namespace

std::string titleText(const std::string& tableName) {
    const std::size_t length = encoding::utf8Length(tableName);
    std::string title = "/* ﾃｰﾌﾞﾙ作成SQL　" + tableName;
    if (length < kTitleChars)
        title.append(kTitleChars - length, ' ');
    return title;
}

ScriptLines openTableScript(const std::string& tableName, const std::string& createName,
                            const ScriptDate& date) {
    ScriptLines script;
    script.append(std::string(kBorderLine));
    script.append(boxedCommentLine(titleText(tableName)));
    script.append(boxedCommentLine("/* Create Date : " + formatScriptDate(date)));
    script.append(std::string());  // the row-length line, written last
    script.append(std::string(kBorderLine));
    script.append("CREATE TABLE " + createName);
    return script;
}

void closeTableScript(ScriptLines& script, const std::string& tableTablespace,
                      std::int64_t dataBytes, std::int64_t overheadBytes) {
    script.append(")");
    script.append("TABLESPACE " + tableTablespace + ";");
    script.set(4, boxedCommentLine("/* Row Length + Over Head = " + std::to_string(dataBytes) +
                                   " + " + std::to_string(overheadBytes) + " = " +
                                   formatGrouped(dataBytes + overheadBytes) + " Bytes"));
}

ScriptLines fMakeTableSQL(const model::JetTableDef& table, const TableScriptOptions& options,
                          const ScriptDate& date) {
    ScriptLines script = openTableScript(table.name, table.name, date);

    // 64-bit: a wide table (dozens of memo fields) must still generate.
    std::int64_t dataBytes = 0;
    std::int64_t overheadBytes = 0;
    std::string prefix = "(";
    for (const auto& field : table.fields) {
        const ColumnType type = mapType(field);
        dataBytes += type.dataBytes;
        overheadBytes += type.overheadBytes;
        script.append(prefix + PadBytes(fNarrowName(field.name), kNameWidth) +
                      columnTypeText(field, type, options.suppressNotNull));
        prefix = ",";
    }
    if (table.firstIndex) {
        script.append(constraintLine(table, *table.firstIndex, options.indexTablespace));
    }
    closeTableScript(script, options.tableTablespace, dataBytes, overheadBytes);
    return script;
}

}  // namespace malvorn::convert
