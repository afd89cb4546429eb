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
std::string_view shortestText(Number value, NumberBuffer& buffer) {
    if (!std::isfinite(value))
        throw LiteralError("数値が無限大または非数のため、SQLに書けません");
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())};
}

// Exact: the scaled value with up to four decimals, no trailing zeros.
std::string_view currencyText(std::int64_t scaled, NumberBuffer& buffer) {
    const bool negative = scaled < 0;
    // Unsigned so that the most negative value keeps its magnitude.
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    char* at = buffer.data();
    if (negative)
        *at++ = '-';
    at = std::to_chars(at, buffer.data() + buffer.size(), magnitude / 10000).ptr;
    std::uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        int places = 4;
        for (; fraction % 10 == 0; fraction /= 10)
            --places;
        *at++ = '.';
        for (int i = places - 1; i >= 0; --i, fraction /= 10)
            at[i] = static_cast<char>('0' + fraction % 10);
        at += places;
    }
    return {buffer.data(), static_cast<std::size_t>(at - buffer.data())};
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
    NumberBuffer buffer;
    return std::string(shortestText(value, buffer));
}

std::string singleText(float value) {
    NumberBuffer buffer;
    return std::string(shortestText(value, buffer));
}

std::string currencyText(std::int64_t scaled) {
    NumberBuffer buffer;
    return std::string(currencyText(scaled, buffer));
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
    const bool midnight = d.hour == 0 && d.minute == 0 && d.second == 0;
    // Written digit by digit: a copy writes one for every date of every row.
    char text[] = "TO_DATE('0000-00-00 00:00:00','YYYY-MM-DD HH24:MI:SS')";
    char* at = text + 9;
    if (base::writeDateTimeText(at, d.year, d.month, d.day, d.hour, d.minute, d.second)) {
        if (!midnight)
            return text;
        return "'" + std::string(at, 10) + "'";
    }
    char wide[64];
    if (midnight) {
        std::snprintf(wide, sizeof wide, "'%04d-%02d-%02d'", d.year, d.month, d.day);
    } else {
        std::snprintf(wide, sizeof wide,
                      "TO_DATE('%04d-%02d-%02d %02d:%02d:%02d','YYYY-MM-DD HH24:MI:SS')", d.year,
                      d.month, d.day, d.hour, d.minute, d.second);
    }
    return wide;
}

// A number's shortest exact text; nullopt for Null.
std::optional<std::string> numberText(const jet::JetValue& value) {
    NumberBuffer buffer;
    const auto text = numberText(value, buffer);
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

std::optional<std::string_view> numberText(const jet::JetValue& value, NumberBuffer& buffer) {
    using namespace jet;
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), *integer).ptr;
        return std::string_view(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    }
    if (const auto* currency = std::get_if<JetCurrency>(&value))
        return currencyText(currency->scaled, buffer);
    if (const auto* single = std::get_if<float>(&value))
        return shortestText(*single, buffer);
    if (const auto* number = std::get_if<double>(&value))
        return shortestText(*number, buffer);
    if (const auto* decimal = std::get_if<JetDecimal>(&value))
        return std::string_view(decimal->text);
    return std::nullopt;
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
    // Both sides lvalues: the field is read in place, not copied.
    const jet::JetValue null;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        try {
            literals.push_back(literal(columns[i].typeCode, i < row.size() ? row[i] : null));
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
