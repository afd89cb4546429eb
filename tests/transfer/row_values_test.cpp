#include "transfer/row_values.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace malvorn::transfer
