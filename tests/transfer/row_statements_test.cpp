#include "transfer/row_statements.h"
#include "transfer/row_values.h"
#include "transfer/safe_literals.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace malvorn::transfer {
namespace {

using jet::JetBinary;
using jet::JetCurrency;
using jet::JetDate;
using jet::JetGuid;
using jet::JetValue;

struct LiteralCase {
    const char* what;
    std::int16_t type;
    JetValue value;
    const char* literal;
};

// Nulls, and the quote doubled: Literals.PlainAndSafeForms beside the safe forms.
TEST(SqlLiteral, EachTypeOfValue) {
    const LiteralCase cases[] = {
        {"text", model::kJetText, std::string("abc"), "'abc'"},
        {"zero-length text", model::kJetText, std::string(), "''"},
        {"memo line breaks kept", model::kJetMemo, std::string("a\r\nb"), "'a\r\nb'"},
        {"byte", model::kJetByte, std::int64_t{255}, "255"},
        {"long", model::kJetLong, std::int64_t{-2147483648LL}, "-2147483648"},
        {"currency half", model::kJetCurrency, JetCurrency{35000}, "3.5"},
        {"double fraction", model::kJetDouble, 12.25, "12.25"},
        {"single", model::kJetSingle, 0.1f, "0.1"},
        {"date whole day", model::kJetDate, JetDate{36925}, "'2001-02-03'"},
        {"date with time", model::kJetDate, JetDate{36925.4375},
         "TO_DATE('2001-02-03 10:30:00','YYYY-MM-DD HH24:MI:SS')"},
        {"no", model::kJetBoolean, false, "0"},
        {"guid", jet::kJetGuidType, JetGuid{"{01234567-89AB-CDEF-0123-456789ABCDEF}"},
         "'{01234567-89AB-CDEF-0123-456789ABCDEF}'"},
        {"binary", jet::kJetBinaryType, JetBinary{std::string("\x00\x7f\xff", 3)},
         "HEXTORAW('007FFF')"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sqlLiteral(c.type, c.value), c.literal) << c.what;
}

TEST(CurrencyText, ExactWithoutTrailingZeros) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0"},
        {1, "0.0001"},
        {-1, "-0.0001"},
        {123400, "12.34"},
        {-123456789, "-12345.6789"},
        {std::numeric_limits<std::int64_t>::max(), "922337203685477.5807"},
        {std::numeric_limits<std::int64_t>::min(), "-922337203685477.5808"},
    };
    for (const auto& [scaled, text] : cases)
        EXPECT_EQ(currencyText(scaled), text) << scaled;
}

TEST(NumberText, DoublesReadBackExactly) {
    const double values[] = {0.1,     1.0 / 3.0, 2.0 / 3.0, 1e20, 1e-7,    123456789.123,
                             DBL_MAX, DBL_MIN,   5e-324,    -0.0, 444.555, 9007199254740993.0};
    for (const double value : values) {
        const std::string text = doubleText(value);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
        std::size_t digits = 0;
        for (const char c : text.substr(0, text.find_first_of("eE")))
            digits += (c >= '0' && c <= '9') ? 1 : 0;
        EXPECT_LE(digits, 17u) << text;
    }
    EXPECT_EQ(doubleText(0.1), "0.1");
    EXPECT_EQ(doubleText(1.0 / 3.0), "0.3333333333333333");
}

TEST(NumberText, SinglesReadBackAsTheSameSingle) {
    const float values[] = {0.1f, 1.0f / 3.0f, 16777216.0f, FLT_MAX, FLT_MIN, -2.5f, 0.3f};
    for (const float value : values) {
        const std::string text = singleText(value);
        EXPECT_EQ(std::strtof(text.c_str(), nullptr), value) << text;
    }
    // Not the single's binary expansion (0.100000001490116...).
    EXPECT_EQ(singleText(0.1f), "0.1");
    EXPECT_EQ(singleText(0.3f), "0.3");
}

// As a literal and as a bound value alike.
TEST(NumberText, ValuesOracleCannotHoldStopTheCopy) {
    const JetValue values[] = {std::numeric_limits<double>::quiet_NaN(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<float>::infinity()};
    for (const JetValue& value : values) {
        EXPECT_THROW(sqlLiteral(model::kJetDouble, value), LiteralError);
        EXPECT_THROW(boundValue(model::kJetDouble, value, false), LiteralError);
    }
}

TEST(DateLiteral, CalendarAndTimeOfDay) {
    const std::pair<double, const char*> cases[] = {
        {0, "'1899-12-30'"},
        {60, "'1900-02-28'"},
        {61, "'1900-03-01'"},  // no 29 February 1900
        {2958465, "'9999-12-31'"},
        {-657434, "'0100-01-01'"},
        {0.75, "TO_DATE('1899-12-30 18:00:00','YYYY-MM-DD HH24:MI:SS')"},
        // Before day 0 the fraction still counts forward from midnight.
        {-1.25, "TO_DATE('1899-12-29 06:00:00','YYYY-MM-DD HH24:MI:SS')"},
        // Beyond what the reading library formats correctly.
        {1000001.5, "TO_DATE('4637-11-27 12:00:00','YYYY-MM-DD HH24:MI:SS')"},
        // Rounded to the second: up into the next day, never hour 24.
        {36925 + 86399.6 / 86400, "'2001-02-04'"},
        {36925 + 86399.4 / 86400, "TO_DATE('2001-02-03 23:59:59','YYYY-MM-DD HH24:MI:SS')"},
        {36925 + 59.7 / 86400, "TO_DATE('2001-02-03 00:01:00','YYYY-MM-DD HH24:MI:SS')"},
        {36925 + 0.4 / 86400, "'2001-02-03'"},
    };
    for (const auto& [serial, literal] : cases)
        EXPECT_EQ(dateLiteral(serial), literal) << serial;
}

TEST(DateLiteral, OutsideTheCalendarIsAnError) {
    const double serials[] = {3.0e6, -3.0e6, 1e300, std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()};
    for (const double serial : serials)
        EXPECT_THROW(dateLiteral(serial), LiteralError) << serial;
}

TEST(RowStatement, ColumnNamesNarrowedTableNameAsGiven) {
    const std::vector<model::JetFieldDef> fields = {
        {"ＣＯＤＥ１", 0, 0, false, ""}, {"顧客＿名", 0, 0, false, ""}, {"ｶﾅ", 0, 0, false, ""}};
    EXPECT_EQ(statementHead("得意先 Ｔ", fields),
              "INSERT INTO 得意先 Ｔ (CODE1, 顧客_名, ｶﾅ) VALUES");
    EXPECT_EQ(clearStatement("得意先 Ｔ"), "DELETE FROM 得意先 Ｔ");
}

TEST(SafeLiterals, LongValuesGoInPiecesTheServerAccepts) {
    // 3999 ASCII bytes then a three-byte character: the cut comes before it.
    std::string text(3999, 'a');
    text += "日b";
    EXPECT_EQ(safeLiteral(model::kJetMemo, text),
              "TO_CLOB('" + std::string(3999, 'a') + "') || TO_CLOB('日b')");
    EXPECT_EQ(safeLiteral(model::kJetMemo, std::string(4000, 'q')),
              "'" + std::string(4000, 'q') + "'");
    std::string hex;
    for (std::size_t i = 0; i < kBinaryPieceBytes; ++i)
        hex += "0F";
    EXPECT_EQ(safeLiteral(jet::kJetOleType, jet::JetBinary{std::string(kBinaryPieceBytes, '\x0f')}),
              "HEXTORAW('" + hex + "')");
    EXPECT_EQ(
        safeLiteral(jet::kJetOleType, jet::JetBinary{std::string(kBinaryPieceBytes + 1, '\x0f')}),
        "TO_BLOB(HEXTORAW('" + hex + "')) || TO_BLOB(HEXTORAW('0F'))");
}

TEST(SafeLiterals, StatementsUseTheSafeNames) {
    std::vector<model::JetFieldDef> fields(2);
    fields[0].name = "Order ID";
    fields[1].name = "ＱＴＹ";
    EXPECT_EQ(safeStatementHead("Order Details", fields),
              "INSERT INTO \"Order Details\" (\"Order ID\", QTY) VALUES");
    EXPECT_EQ(safeClearStatement("Table"), "DELETE FROM \"Table\"");
    EXPECT_EQ(dateText(36925.4375), "2001-02-03 10:30:00");
    EXPECT_EQ(dateText(36925.0), "2001-02-03 00:00:00");
}

}  // namespace
}  // namespace malvorn::transfer
