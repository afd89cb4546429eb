#include "transfer/safe_literals.h"

#include <gtest/gtest.h>

namespace malvorn::transfer {
namespace {

using jet::JetValue;

TEST(SafeLiterals, NullIsNullForEveryTypeButYesNo) {
    const struct {
        std::int16_t type;
        JetValue value;
        const char* literal;
    } cases[] = {
        {model::kJetText, JetValue(), "NULL"},
        {model::kJetLong, JetValue(), "NULL"},
        {model::kJetCurrency, JetValue(), "NULL"},
        {model::kJetDate, JetValue(), "NULL"},
        {jet::kJetGuidType, JetValue(), "NULL"},
        {jet::kJetOleType, JetValue(), "NULL"},
        {jet::kJetOleType, jet::JetBinary{""}, "NULL"},
        {model::kJetBoolean, JetValue(), "0"},
        {model::kJetBoolean, true, "-1"},
        {model::kJetText, std::string("O'Neil"), "'O''Neil'"},
        {jet::kJetBinaryType, jet::JetBinary{"\x01\xAB"}, "HEXTORAW('01AB')"},
        {jet::kJetDecimalType, jet::JetDecimal{"-1.230"}, "-1.230"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(safeLiteral(c.type, c.value), c.literal) << c.literal;
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
