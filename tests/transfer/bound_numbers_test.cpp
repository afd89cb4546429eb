// Numbers bound from what the reader decoded, against the general rule they
// short-cut: the number's text, checked, and 0 for what is no number.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "base/numeric.h"
#include "transfer/row_values.h"

namespace malvorn::transfer {
namespace {

using jet::JetValue;

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

TEST(BoundNumbers, InfinitiesAndNaNAreRefused) {
    const JetValue cases[] = {std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<float>::infinity(), std::nan("")};
    for (const JetValue& value : cases)
        EXPECT_THROW(boundValue(model::kJetDouble, value, false), LiteralError);
}

}  // namespace
}  // namespace malvorn::transfer
