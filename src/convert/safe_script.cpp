#include "convert/safe_script.h"

#include <algorithm>
#include <cstdint>

#include "base/numeric.h"
#include "encoding/ascii.h"
#include "encoding/cp932.h"

namespace malvorn::convert {
namespace {

constexpr std::size_t kNameWidth = 31;
constexpr std::size_t kTypeWidth = 20;
constexpr std::int64_t kOverhead = 3;
constexpr std::int64_t kLobInlineBytes = 4000;

// The column name followed by spaces up to the window's column, counted in
// the script file's bytes; a longer name is never cut (a quoted name must
// stay whole).
std::string paddedName(const std::string& name) {
    const std::size_t width = encoding::Cp932::byteWidth(name);
    return width < kNameWidth ? name + std::string(kNameWidth - width, ' ') : name + " ";
}

std::int64_t estimatedBytes(const model::JetFieldDef& field) {
    switch (field.typeCode) {
        case model::kJetText:
            return std::int64_t{field.size} * 3;  // up to three bytes a character
        case model::kJetBoolean:
            return 2;
        case model::kJetByte:
            return 2;
        case model::kJetInteger:
            return 3;
        case model::kJetLong:
            return 5;
        case model::kJetCurrency:
            return 10;
        case model::kJetSingle:
        case model::kJetDouble:
            return 19;
        case model::kJetDate:
            return 7;
        case model::kJetBigInt:
        case model::kJetDateTimeExtended:
            return 11;
        case model::kJetDecimal:
            return (field.precision + 1) / 2 + 1;
        case model::kJetGuid:
            return 38;
        case model::kJetBinary:
            return field.size;
        default:
            return kLobInlineBytes;
    }
}

std::string withoutEquals(std::string_view text) {
    text = trimSpaces(text);
    if (!text.empty() && text.front() == '=')
        text = trimSpaces(text.substr(1));
    return std::string(text);
}

bool isOneOf(const std::string& text, std::initializer_list<std::string_view> words) {
    for (const auto word : words) {
        if (encoding::equalsIgnoringAsciiCase(text, word))
            return true;
    }
    return false;
}

std::string keyColumns(const model::JetIndexDef& index) {
    std::string keys;
    for (const auto& field : index.fieldNames)
        keys += (keys.empty() ? "" : ",") + oracleName(field);
    return keys;
}

}  // namespace

std::string safeOracleType(const model::JetFieldDef& field) {
    switch (field.typeCode) {
        case model::kJetText:
            return "VARCHAR2(" + std::to_string(field.size > 0 ? field.size : 255) + " CHAR)";
        case model::kJetMemo:
            return "CLOB";
        case model::kJetBoolean:
            return "NUMBER(1)";
        case model::kJetByte:
            return "NUMBER(3)";
        case model::kJetInteger:
            return "NUMBER(5)";
        case model::kJetLong:
            return "NUMBER(10)";
        case model::kJetCurrency:
            return "NUMBER(19,4)";
        case model::kJetSingle:
        case model::kJetDouble:
            return "NUMBER";
        case model::kJetDate:
            return "DATE";
        case model::kJetBigInt:
            return "NUMBER(19)";
        case model::kJetDateTimeExtended:
            return "TIMESTAMP(7)";
        case model::kJetDecimal:
            return "NUMBER(" + std::to_string(field.precision > 0 ? field.precision : 18) + "," +
                   std::to_string(field.scale) + ")";
        case model::kJetGuid:
            return "VARCHAR2(38)";
        case model::kJetBinary:
            return "RAW(" + std::to_string(field.size > 0 ? field.size : 255) + ")";
        default:
            return "BLOB";
    }
}

std::string safeDefault(const model::JetFieldDef& field) {
    const std::string text = withoutEquals(field.defaultValue);
    if (text.empty())
        return {};
    switch (field.typeCode) {
        case model::kJetDate:
            return isOneOf(text, {"Date()", "Now()"}) ? "SYSDATE" : "";
        case model::kJetBoolean:
            if (isOneOf(text, {"Yes", "True", "On", "-1"}))
                return "-1";
            return isOneOf(text, {"No", "False", "Off", "0"}) ? "0" : "";
        default:
            return model::isNumberType(field.typeCode) && base::gfIsNumericText(text) ? text : "";
    }
}

SafeScript makeSafeTableSQL(const model::JetTableDef& table, const TableScriptOptions& options,
                            const ScriptDate& date, ConstraintNames& names) {
    SafeScript result;
    ScriptLines& script = result.script;
    script = openTableScript(table.name, oracleName(table.name), date);

    std::int64_t dataBytes = 0;
    std::int64_t overheadBytes = 0;
    std::string prefix = "(";
    for (const auto& field : table.fields) {
        dataBytes += estimatedBytes(field);
        overheadBytes += kOverhead;
        std::string line = prefix + paddedName(oracleName(field.name));
        const std::string type = safeOracleType(field);
        const std::string defaultValue = safeDefault(field);
        const auto& ids = options.identityColumns;
        if (std::find(ids.begin(), ids.end(), field.name) != ids.end())
            line += type + " GENERATED BY DEFAULT AS IDENTITY";
        else if (!defaultValue.empty())
            line += PadBytes(type, kTypeWidth) + "DEFAULT " + defaultValue;
        else
            line += type;
        if (defaultValue.empty() && !trimSpaces(field.defaultValue).empty())
            result.notes.push_back(field.name + " の既定値 " + field.defaultValue +
                                   " は省きました");
        script.append(line);
        prefix = ",";
    }
    if (table.primaryIndex) {
        result.keyName = names.take(table.primaryIndex->name, table.name);
        script.append(",CONSTRAINT " + result.keyName + " PRIMARY KEY(" +
                      keyColumns(*table.primaryIndex) + ") USING INDEX TABLESPACE " +
                      options.indexTablespace);
    }
    closeTableScript(script, options.tableTablespace, dataBytes, overheadBytes);
    return result;
}

}  // namespace malvorn::convert
