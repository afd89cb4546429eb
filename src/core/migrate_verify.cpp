#include "core/migrate_verify.h"

#include <cstdlib>

#include "convert/safe_names.h"
#include "convert/script_text.h"
#include "encoding/ascii.h"
#include "transfer/row_statements.h"
#include "transfer/safe_literals.h"

namespace malvorn::core {
namespace {

enum class Kind { kText, kNumber, kDate, kTimestamp, kBytes };

Kind kindOf(std::int16_t typeCode) {
    if (typeCode == model::kJetBoolean || model::isNumberType(typeCode))
        return Kind::kNumber;
    switch (typeCode) {
        case model::kJetText:
        case model::kJetMemo:
        case jet::kJetGuidType:
            return Kind::kText;
        case model::kJetDate:
            return Kind::kDate;
        case model::kJetDateTimeExtended:
            return Kind::kTimestamp;
        default:
            return Kind::kBytes;
    }
}

// A decimal text without sign noise, leading or trailing zeros; nullopt for
// an exponent form.
std::optional<std::string> plainDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    std::string whole(text.substr(0, point));
    std::string fraction(point == std::string_view::npos ? "" : text.substr(point + 1));
    for (const char c : whole + fraction) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    std::string plain = (whole.empty() ? "0" : whole) + (fraction.empty() ? "" : "." + fraction);
    return negative && plain != "0" ? "-" + plain : plain;
}

bool sameNumber(const std::string& expected, const std::string& server) {
    const auto a = plainDecimal(expected);
    const auto b = plainDecimal(server);
    if (a && b)
        return *a == *b;
    char* endA = nullptr;
    char* endB = nullptr;
    const long double x = std::strtold(expected.c_str(), &endA);
    const long double y = std::strtold(server.c_str(), &endB);
    return *endA == '\0' && *endB == '\0' && x == y;
}

// The Jet value as the server should show it; nullopt for Null.
std::optional<std::string> expectedText(std::int16_t typeCode, const jet::JetValue& value,
                                        bool oracleSafe) {
    switch (kindOf(typeCode)) {
        case Kind::kText: {
            if (const auto* guid = std::get_if<jet::JetGuid>(&value))
                return guid->text;
            const auto* text = std::get_if<std::string>(&value);
            if (text == nullptr || text->empty())
                return std::nullopt;  // the server keeps no empty text
            return *text;
        }
        case Kind::kNumber:
            if (jet::isNull(value) && oracleSafe && typeCode != model::kJetBoolean)
                return std::nullopt;
            return transfer::sqlLiteral(typeCode, value);
        case Kind::kDate:
            if (const auto* date = std::get_if<jet::JetDate>(&value))
                return transfer::dateText(date->serial);
            return std::nullopt;
        case Kind::kTimestamp:
            if (const auto* stamp = std::get_if<jet::JetTimestamp>(&value))
                return stamp->text;
            return std::nullopt;
        case Kind::kBytes:
            break;
    }
    const auto* binary = std::get_if<jet::JetBinary>(&value);
    if (binary == nullptr || binary->bytes.empty())
        return std::nullopt;
    return binary->bytes;
}

std::string shown(const std::optional<std::string>& value, Kind kind) {
    if (!value)
        return "NULL";
    std::string text = kind == Kind::kBytes ? encoding::hexText(*value) : *value;
    constexpr std::size_t kShownBytes = 40;
    return text.size() > kShownBytes ? text.substr(0, kShownBytes) + "..." : text;
}

std::string selectList(const model::JetTableDef& table, bool oracleSafe) {
    std::string list;
    for (const auto& field : table.fields) {
        const std::string name =
            oracleSafe ? convert::oracleName(field.name) : convert::fNarrowName(field.name);
        list += list.empty() ? "" : ", ";
        if (field.typeCode == model::kJetDate)
            list += "TO_CHAR(" + name + ", 'YYYY-MM-DD HH24:MI:SS')";
        else if (field.typeCode == model::kJetDateTimeExtended)
            list += "TO_CHAR(" + name + ", 'YYYY-MM-DD HH24:MI:SS.FF7')";
        else
            list += name;
    }
    return list;
}

}  // namespace

bool sameValue(std::int16_t typeCode, const jet::JetValue& value, const oracle::Value& server,
               bool oracleSafe) {
    const auto expected = expectedText(typeCode, value, oracleSafe);
    if (!expected || !server)
        return !expected && !server;
    switch (kindOf(typeCode)) {
        case Kind::kNumber:
            return sameNumber(*expected, *server);
        case Kind::kBytes:
            return *server == *expected ||
                   encoding::equalsIgnoringAsciiCase(*server, encoding::hexText(*expected));
        default:
            return *server == *expected;
    }
}

VerifyResult verifyTable(oracle::Session& session, jet::JetSource& source,
                         const model::JetTableDef& table, bool oracleSafe) {
    const std::string name = oracleSafe ? convert::oracleName(table.name) : table.name;
    const auto server = session.query("SELECT " + selectList(table, oracleSafe) + " FROM " + name);
    const auto rows = source.openRows(table.name);
    VerifyResult result;
    jet::JetRow row;
    while (rows->next(row)) {
        const std::int64_t number = result.rowsVerified + 1;
        if (!server->next()) {
            result.difference = std::to_string(number) + " 行目以降がサーバーにありません";
            return result;
        }
        for (std::size_t i = 0; i < rows->columns().size(); ++i) {
            const jet::JetColumn& column = rows->columns()[i];
            const jet::JetValue& value = i < row.size() ? row[i] : jet::JetValue();
            const oracle::Value held = server->value(i);
            if (!sameValue(column.typeCode, value, held, oracleSafe)) {
                const Kind kind = kindOf(column.typeCode);
                result.difference = std::to_string(number) + " 行目の " + column.name + ": Jet " +
                                    shown(expectedText(column.typeCode, value, oracleSafe), kind) +
                                    " / サーバー " + shown(held, Kind::kText);
                return result;
            }
        }
        result.rowsVerified = number;
    }
    if (server->next())
        result.difference = "サーバーに Jet より多くの行があります";
    return result;
}

}  // namespace malvorn::core
