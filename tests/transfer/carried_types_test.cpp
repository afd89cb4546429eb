// The types only ACE files hold, through the literals, the bound values and
// the Oracle-safe rule that a column is carried or its table fails.
#include "transfer/carried_types.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "transfer/row_statements.h"
#include "transfer/row_values.h"
#include "transfer/safe_literals.h"

namespace malvorn::transfer {
namespace {

using jet::JetValue;

TEST(AceTypes, LiteralsAreExactAndNullStaysNull) {
    struct Case {
        std::int16_t type;
        JetValue value;
        std::string literal;      // the window's rules
        std::string safeLiteral;  // the Oracle-safe rules
    };
    const Case cases[] = {
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
        EXPECT_EQ(sqlLiteral(c.type, c.value), c.literal);
        EXPECT_EQ(safeLiteral(c.type, c.value), c.safeLiteral);
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
