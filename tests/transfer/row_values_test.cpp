// Values bound from what the reader decoded, against the literals they stand
// for and the general rule numbers short-cut: the number's text, checked, and
// 0 for what is no number. The types only ACE files hold, through the
// literals, the bound values and the Oracle-safe rule that a column is carried
// or its table fails.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/numeric.h"
#include "transfer/carried_types.h"
#include "transfer/row_statements.h"
#include "transfer/row_values.h"
#include "transfer/safe_literals.h"

namespace malvorn::transfer {
namespace {

using jet::JetValue;

// A bound value as one text: its kind and what it holds.
std::string shown(const oracle::BoundValue& value) {
    if (const auto* text = std::get_if<std::string>(&value))
        return "text " + *text;
    if (const auto* number = std::get_if<oracle::BoundNumber>(&value))
        return "number " + number->text;
    if (const auto* d = std::get_if<oracle::BoundDateTime>(&value)) {
        char text[32];
        std::snprintf(text, sizeof text, "date %04d-%02d-%02d %02d:%02d:%02d", d->year, d->month,
                      d->day, d->hour, d->minute, d->second);
        return text;
    }
    if (const auto* bytes = std::get_if<oracle::BoundBytes>(&value))
        return "bytes " + std::to_string(bytes->bytes.size());
    return "null";
}

// Each value next to the literal it stands for, under both rules.
TEST(RowValues, EachValueIsWhatItsLiteralWrites) {
    const struct {
        std::int16_t type;
        JetValue value;
        const char* plain;
        const char* safe;
    } cases[] = {
        {model::kJetText, JetValue(), "text ", "null"},
        {model::kJetMemo, std::string("O'Neil"), "text O'Neil", "text O'Neil"},
        {model::kJetLong, JetValue(), "number 0", "null"},
        {model::kJetLong, std::int64_t{-7}, "number -7", "number -7"},
        {model::kJetCurrency, jet::JetCurrency{-123400}, "number -12.34", "number -12.34"},
        {model::kJetDouble, 1e-5, "number 1e-05", "number 1e-05"},
        {model::kJetSingle, std::string("x"), "number 0", "text x"},
        {jet::kJetDecimalType, jet::JetDecimal{"-1.230"}, "number -1.230", "number -1.230"},
        {model::kJetBoolean, JetValue(), "number 0", "number 0"},
        {model::kJetBoolean, true, "number -1", "number -1"},
        {model::kJetDate, JetValue(), "null", "null"},
        {model::kJetDate, jet::JetDate{-1000.75}, "date 1897-04-04 18:00:00",
         "date 1897-04-04 18:00:00"},
        {model::kJetDate, jet::JetDate{36925.99999999}, "date 2001-02-04 00:00:00",
         "date 2001-02-04 00:00:00"},
        {jet::kJetGuidType, JetValue(), "text ", "null"},
        {jet::kJetGuidType, jet::JetGuid{"{A-B}"}, "text {A-B}", "text {A-B}"},
        {jet::kJetOleType, JetValue(), "null", "null"},
        {jet::kJetOleType, jet::JetBinary{""}, "bytes 0", "null"},
        {jet::kJetBinaryType, jet::JetBinary{std::string(3, '\0')}, "bytes 3", "bytes 3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shown(boundValue(c.type, c.value, false)), c.plain)
            << sqlLiteral(c.type, c.value);
        EXPECT_EQ(shown(boundValue(c.type, c.value, true)), c.safe) << safeLiteral(c.type, c.value);
    }
}

TEST(BoundNumbers, BinaryFloatsAreTheirCheckedText) {
    const struct {
        const char* what;
        std::int16_t type;
        JetValue value;
    } cases[] = {
        {"zero", model::kJetDouble, 0.0},
        {"negative zero", model::kJetDouble, -0.0},
        {"one", model::kJetDouble, 1.0},
        {"smallest subnormal", model::kJetDouble, std::numeric_limits<double>::denorm_min()},
        {"largest", model::kJetDouble, DBL_MAX},
        {"lowest", model::kJetDouble, -DBL_MAX},
        {"exponent form", model::kJetDouble, 1e21},
        {"a third", model::kJetDouble, 1.0 / 3},
        {"single zero", model::kJetSingle, 0.0F},
        {"single negative", model::kJetSingle, -0.1F},
        {"single largest", model::kJetSingle, FLT_MAX},
        {"single in a Double column", model::kJetDouble, 2.5F},
        {"text in a Double column", model::kJetDouble, std::string(" 12 ")},
        {"no number in a Double column", model::kJetDouble, std::string("x")},
        {"Null", model::kJetDouble, JetValue()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NumberBuffer buffer;
        const std::string_view general = base::gfNullToValueView(numberText(c.value, buffer));
        const oracle::BoundValue bound = boundValue(c.type, c.value, false);
        const auto* number = std::get_if<oracle::BoundNumber>(&bound);
        ASSERT_NE(number, nullptr);
        EXPECT_EQ(number->text, general);
        // Only a plain 0 goes as whole units: -0 keeps its text.
        EXPECT_EQ(number->exact, general == "0");
        EXPECT_EQ(number->units, 0);
    }
}

TEST(BoundNumbers, UnitsOnlyLeaveOutTheTextOfExactNumbersAlone) {
    const struct {
        const char* what;
        std::int16_t type;
        JetValue value;
        const char* bareText;  // the text bound for a driver that reads units only
    } cases[] = {
        {"integer", model::kJetLong, std::int64_t{-42}, ""},
        {"largest integer", model::kJetBigInt, std::int64_t{INT64_MAX}, ""},
        {"currency", model::kJetCurrency, jet::JetCurrency{-123400}, ""},
        {"Yes", model::kJetBoolean, true, ""},
        {"No", model::kJetBoolean, false, ""},
        {"Null Yes/No", model::kJetBoolean, JetValue(), ""},
        {"double", model::kJetDouble, 0.25, "0.25"},
        {"double zero", model::kJetDouble, 0.0, "0"},
        {"decimal", jet::kJetDecimalType, jet::JetDecimal{"-1.230"}, "-1.230"},
        {"Null number", model::kJetLong, JetValue(), "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const oracle::BoundValue written = boundValue(c.type, c.value, false);
        // Filled over another number first: nothing of it may stay.
        oracle::BoundValue unitsOnly = oracle::BoundNumber{"99.5", false, 3, 995};
        assignBoundValue(unitsOnly, c.type, c.value, false, ExactText::kLeftOut);
        const auto& full = std::get<oracle::BoundNumber>(written);
        const auto& bare = std::get<oracle::BoundNumber>(unitsOnly);
        EXPECT_EQ(bare.text, c.bareText);
        EXPECT_EQ(bare.exact, full.exact);
        EXPECT_EQ(bare.units, full.units);
        EXPECT_EQ(bare.scale, full.scale);
        if (bare.text.empty()) {
            EXPECT_TRUE(full.exact) << "a number that is not whole units lost its text";
        }
    }
}

// Under the Oracle-safe rules Null is NULL for every type but Yes/No; under
// the window's it is the type's empty value. The ACE types' values are exact.
TEST(Literals, PlainAndSafeForms) {
    struct Case {
        std::int16_t type;
        JetValue value;
        std::string literal;      // the window's rules
        std::string safeLiteral;  // the Oracle-safe rules
    };
    const Case cases[] = {
        {model::kJetText, JetValue(), "''", "NULL"},
        {model::kJetLong, JetValue(), "0", "NULL"},
        {model::kJetCurrency, JetValue(), "0", "NULL"},
        {model::kJetDate, JetValue(), "NULL", "NULL"},
        {jet::kJetGuidType, JetValue(), "''", "NULL"},
        {jet::kJetOleType, JetValue(), "NULL", "NULL"},
        {jet::kJetOleType, jet::JetBinary{""}, "HEXTORAW('')", "NULL"},
        {model::kJetBoolean, JetValue(), "0", "0"},
        {model::kJetBoolean, true, "-1", "-1"},
        {model::kJetText, std::string("O'Neil"), "'O''Neil'", "'O''Neil'"},
        {jet::kJetBinaryType, jet::JetBinary{"\x01\xAB"}, "HEXTORAW('01AB')", "HEXTORAW('01AB')"},
        {jet::kJetDecimalType, jet::JetDecimal{"-1.230"}, "-1.230", "-1.230"},
        {model::kJetBigInt, std::int64_t{INT64_MIN}, "-9223372036854775808",
         "-9223372036854775808"},
        {model::kJetBigInt, std::int64_t{9007199254740993}, "9007199254740993", "9007199254740993"},
        {model::kJetBigInt, JetValue(), "0", "NULL"},
        {model::kJetDateTimeExtended, jet::JetTimestamp{"0001-01-01 00:00:00.0000001"},
         "TO_TIMESTAMP('0001-01-01 00:00:00.0000001','YYYY-MM-DD HH24:MI:SS.FF7')",
         "TO_TIMESTAMP('0001-01-01 00:00:00.0000001','YYYY-MM-DD HH24:MI:SS.FF7')"},
        {model::kJetDateTimeExtended, JetValue(), "NULL", "NULL"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sqlLiteral(c.type, c.value), c.literal) << "type " << c.type;
        EXPECT_EQ(safeLiteral(c.type, c.value), c.safeLiteral) << "type " << c.type;
    }
    EXPECT_EQ(boundValue(model::kJetBigInt, std::int64_t{INT64_MAX}, true),
              oracle::BoundValue(oracle::BoundNumber{"9223372036854775807"}));
}

// A bound date holds whole seconds: a Date/Time Extended value is refused
// there rather than cut; its Null goes as NULL.
TEST(AceTypes, BoundExtendedDateIsRefusedNotCut) {
    const JetValue stamp = jet::JetTimestamp{"2021-12-30 12:34:56.7891234"};
    for (const bool safe : {false, true}) {
        EXPECT_THROW(boundValue(model::kJetDateTimeExtended, stamp, safe), LiteralError);
        EXPECT_EQ(boundValue(model::kJetDateTimeExtended, JetValue(), safe),
                  oracle::BoundValue(std::monostate{}));
    }
}

// Every column not carried is named with its table and type; under the
// Oracle-safe rules the first one fails the table.
TEST(CarriedTypes, UncarriedColumnsAreNamed) {
    model::JetTableDef table;
    table.name = "Table1";
    const std::pair<const char*, std::int16_t> fields[] = {{"id", model::kJetText},
                                                           {"multi-value-data", model::kJetComplex},
                                                           {"stamp", model::kJetDateTimeExtended},
                                                           {"odd", 99}};
    for (const auto& [name, type] : fields) {
        table.fields.emplace_back();
        table.fields.back().name = name;
        table.fields.back().typeCode = type;
    }
    const std::string complex =
        "(型 18: 複数値またはアタッチメント。行には内部のリンク番号しかありません)";
    EXPECT_EQ(uncarriedWarnings(table),
              (std::vector<std::string>{
                  "警告: テーブル Table1 の列 multi-value-data の値は書き出しません " + complex,
                  "警告: テーブル Table1 の列 odd の値は書き出しません (型 99: "
                  "この型の値は移せません)"}));
    EXPECT_THAT([&] { requireCarried(table); },
                ::testing::ThrowsMessage<LiteralError>(
                    "テーブル Table1 の列 multi-value-data は移せません " + complex));
    table.fields.erase(table.fields.begin() + 1);
    table.fields.pop_back();
    EXPECT_NO_THROW(requireCarried(table));
    EXPECT_TRUE(uncarriedWarnings(table).empty());
}

}  // namespace
}  // namespace malvorn::transfer
