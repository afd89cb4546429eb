#include "transfer/row_statements.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/calendar.h"
#include "base/numeric.h"
#include "base/sql_text.h"
#include "convert/script_text.h"
#include "encoding/ascii.h"

namespace malvorn::transfer {
namespace {

template <typename Number>
std::string shortestText(Number value) {
    if (!std::isfinite(value))
        throw LiteralError("数値が無限大または非数のため、SQLに書けません");
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string hexLiteral(const std::string& bytes) {
    return "HEXTORAW('" + encoding::hexText(bytes) + "')";
}

// Days from 1970-01-01 back to the Jet day 0, 1899-12-30.
constexpr std::int64_t kJetEpochFromUnix = -25569;
constexpr std::int64_t kSecondsPerDay = 86400;

// The numeric branch of the copy: Null, or a text that is no number, is 0.
std::string numberLiteral(const std::optional<std::string>& text) {
    return base::gfNullToValue(text);
}

}  // namespace

std::string doubleText(double value) {
    return shortestText(value);
}

std::string singleText(float value) {
    return shortestText(value);
}

std::string currencyText(std::int64_t scaled) {
    const bool negative = scaled < 0;
    // Unsigned so that the most negative value keeps its magnitude.
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::string text = std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(magnitude % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (!fraction.empty())
        text += "." + fraction;
    return negative ? "-" + text : text;
}

DateParts splitDate(double serial) {
    // Jet's calendar ends with the year 9999; anything far outside is no date.
    if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6)
        throw LiteralError("日付の値が範囲外のため、SQLに書けません");
    // The whole part is the day; the fraction counts forward from that day's
    // midnight even for days before 1899-12-30.
    double wholeDays;
    const double fraction = std::fabs(std::modf(serial, &wholeDays));
    std::int64_t day = static_cast<std::int64_t>(wholeDays);
    std::int64_t seconds = std::llround(fraction * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {  // rounds up to the next midnight
        seconds -= kSecondsPerDay;
        day += 1;
    }
    const base::CivilDate date = base::civilFromDays(day + kJetEpochFromUnix);
    if (date.year < 1 || date.year > 9999)
        throw LiteralError("日付の値が範囲外のため、SQLに書けません");
    return {static_cast<int>(date.year),
            date.month,
            date.day,
            static_cast<int>(seconds / 3600),
            static_cast<int>(seconds / 60 % 60),
            static_cast<int>(seconds % 60)};
}

std::string dateLiteral(double serial) {
    const DateParts d = splitDate(serial);
    char text[64];
    if (d.hour == 0 && d.minute == 0 && d.second == 0) {
        std::snprintf(text, sizeof text, "'%04d-%02d-%02d'", d.year, d.month, d.day);
    } else {
        std::snprintf(text, sizeof text,
                      "TO_DATE('%04d-%02d-%02d %02d:%02d:%02d','YYYY-MM-DD HH24:MI:SS')", d.year,
                      d.month, d.day, d.hour, d.minute, d.second);
    }
    return text;
}

// A number's shortest exact text; nullopt for Null.
std::optional<std::string> numberText(const jet::JetValue& value) {
    using namespace jet;
    std::optional<std::string> text;
    if (const auto* integer = std::get_if<std::int64_t>(&value))
        text = std::to_string(*integer);
    else if (const auto* currency = std::get_if<JetCurrency>(&value))
        text = currencyText(currency->scaled);
    else if (const auto* single = std::get_if<float>(&value))
        text = singleText(*single);
    else if (const auto* number = std::get_if<double>(&value))
        text = doubleText(*number);
    else if (const auto* decimal = std::get_if<JetDecimal>(&value))
        text = decimal->text;
    return text;
}

std::string sqlLiteral(std::int16_t typeCode, const jet::JetValue& value) {
    using namespace jet;
    if (model::isNumberType(typeCode))
        return numberLiteral(numberText(value));
    switch (typeCode) {
        case model::kJetText:
        case model::kJetMemo:
            if (const auto* text = std::get_if<std::string>(&value))
                return base::quoteSqlText(*text);
            return "''";
        case model::kJetDate:
            if (const auto* date = std::get_if<JetDate>(&value))
                return dateLiteral(date->serial);
            return "NULL";
        case model::kJetDateTimeExtended:
            if (const auto* stamp = std::get_if<JetTimestamp>(&value))
                return "TO_TIMESTAMP(" + base::quoteSqlText(stamp->text) +
                       ",'YYYY-MM-DD HH24:MI:SS.FF7')";
            return "NULL";
        case model::kJetBoolean:
            if (const auto* flag = std::get_if<bool>(&value))
                return *flag ? "-1" : "0";
            return "0";
        case kJetGuidType:
            if (const auto* guid = std::get_if<JetGuid>(&value))
                return base::quoteSqlText(guid->text);
            return "''";
        default:
            if (const auto* binary = std::get_if<JetBinary>(&value))
                return hexLiteral(binary->bytes);
            if (const auto* text = std::get_if<std::string>(&value))
                return base::quoteSqlText(*text);
            return "NULL";
    }
}

std::string clearStatement(const std::string& tableName) {
    return "DELETE FROM " + tableName;
}

namespace {

template <class Named>
std::string headOf(const std::string& tableName, const std::vector<Named>& named) {
    std::string columns;
    for (const auto& column : named) {
        if (!columns.empty())
            columns += ", ";
        columns += convert::fNarrowName(column.name);
    }
    return "INSERT INTO " + tableName + " (" + columns + ") VALUES";
}

}  // namespace

std::string statementHead(const std::string& tableName,
                          const std::vector<model::JetFieldDef>& fields) {
    return headOf(tableName, fields);
}

std::string statementHead(const std::string& tableName,
                          const std::vector<jet::JetColumn>& columns) {
    return headOf(tableName, columns);
}

std::string rowStatement(const std::string& head, const std::vector<std::string>& literals) {
    std::string values;
    for (const auto& literal : literals) {
        if (!values.empty())
            values += ", ";
        values += literal;
    }
    return head + " (" + values + ")";
}

std::vector<std::string> rowLiteralsBy(LiteralRule literal,
                                       const std::vector<jet::JetColumn>& columns,
                                       const jet::JetRow& row, const RowPlace* place) {
    std::vector<std::string> literals;
    literals.reserve(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        try {
            literals.push_back(
                literal(columns[i].typeCode, i < row.size() ? row[i] : jet::JetValue()));
        } catch (const LiteralError& e) {
            if (place == nullptr)
                throw;
            throw placedError(e, *place, columns[i].name);
        }
    }
    return literals;
}

std::vector<std::string> rowLiterals(const std::vector<jet::JetColumn>& columns,
                                     const jet::JetRow& row) {
    return rowLiteralsBy(sqlLiteral, columns, row);
}

LiteralError placedError(const LiteralError& e, const RowPlace& place, const std::string& column) {
    return LiteralError(std::string(e.what()) + " (ファイル: " + place.path +
                        "、テーブル: " + place.table + "、行: " + std::to_string(place.row) +
                        "、列: " + column + ")");
}

std::vector<std::string> rowLiterals(const std::vector<jet::JetColumn>& columns,
                                     const jet::JetRow& row, const RowPlace& place) {
    return rowLiteralsBy(sqlLiteral, columns, row, &place);
}

}  // namespace malvorn::transfer
