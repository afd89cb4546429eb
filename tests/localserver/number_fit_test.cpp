// A number key made straight from whole units and a scale against the same
// number made, fitted and keyed the general way, at the ends of the integers
// and of the columns' scales and precisions.
#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "localserver/number_fit.h"
#include "oracle/session.h"

namespace malvorn::localserver {
namespace {

ColumnDef numberColumn(const char* type, std::optional<int> precision, std::optional<int> scale) {
    ColumnDef column;
    column.name = "N";
    column.dataType = type;
    column.precision = precision;
    column.scale = scale;
    return column;
}

const ColumnDef kColumns[] = {
    numberColumn("NUMBER", std::nullopt, std::nullopt),
    numberColumn("FLOAT", 126, std::nullopt),
    numberColumn("NUMBER", 10, 0),
    numberColumn("NUMBER", 19, 4),
    numberColumn("NUMBER", 14, 4),
    numberColumn("NUMBER", 5, 2),
    numberColumn("NUMBER", 5, -2),
    numberColumn("NUMBER", 38, 0),
    numberColumn("NUMBER", 3, 7),
    numberColumn("NUMBER", 1, 0),
    numberColumn("NUMBER", std::nullopt, 1),
    numberColumn("NUMBER", 20, 0),
    numberColumn("NUMBER", 38, -30),
};

const std::int64_t kUnits[] = {0,
                               1,
                               -1,
                               4,
                               5,
                               -5,
                               9,
                               10,
                               15,
                               -15,
                               49,
                               50,
                               -50,
                               99,
                               149,
                               150,
                               995,
                               9995,
                               -9995,
                               12345,
                               99999,
                               100000,
                               -100000,
                               9999999999,
                               10000000000,
                               99999999995,
                               123456789012345,
                               922337203685477,
                               INT64_MAX,
                               INT64_MAX - 1,
                               INT64_MIN,
                               INT64_MIN + 1,
                               5000000000000000000,
                               -5000000000000000000};

// The general way's key, or nullopt where it refuses the number.
std::optional<std::string> generalKey(std::int64_t units, int scale, const ColumnDef& column) {
    try {
        Number number = Number::fromScaled(units, scale);
        fitNumberToColumn(number, column);
        return number.key();
    } catch (const oracle::OracleError&) {
        return std::nullopt;
    }
}

TEST(NumberFit, ScaledKeyIsTheGeneralWaysKey) {
    std::string key = "left over from the value before";
    int taken = 0;
    for (const ColumnDef& column : kColumns) {
        const NumberFit fit = NumberFit::of(column);
        for (const std::int64_t units : kUnits) {
            for (int scale = -1; scale <= 19; ++scale) {
                SCOPED_TRACE(column.dataType + "(" + std::to_string(column.precision.value_or(-1)) +
                             "," + std::to_string(column.scale.value_or(-1)) + ") " +
                             std::to_string(units) + "E-" + std::to_string(scale));
                const std::optional<std::string> general = generalKey(units, scale, column);
                if (fittedScaledKeyInto(units, scale, fit, key)) {
                    ++taken;
                    ASSERT_TRUE(general.has_value()) << "kept a number the column refuses";
                    EXPECT_EQ(key, *general);
                }
            }
        }
    }
    // Most cases go the short way; the few it leaves are asserted below.
    EXPECT_GT(taken, 5000);
}

TEST(NumberFit, RefusesAsTheColumnDoes) {
    Number number = Number::fromScaled(100000, 0);
    try {
        fitNumber(number, NumberFit::of(numberColumn("NUMBER", 5, 2)));
        ADD_FAILURE() << "no error";
    } catch (const oracle::OracleError& e) {
        EXPECT_NE(std::string(e.what()).find("ORA-01438"), std::string::npos) << e.what();
    }
    Number infinite = Number::infinity(false);
    EXPECT_THROW(fitNumber(infinite, NumberFit::of(numberColumn("FLOAT", 126, std::nullopt))),
                 oracle::OracleError);
}

// The general way's key of a text, or nullopt where it is no number or refused.
std::optional<std::string> generalTextKey(std::string_view text, const ColumnDef& column) {
    try {
        std::optional<Number> number = Number::parse(text);
        if (!number)
            return std::nullopt;
        fitNumberToColumn(*number, column);
        return number->key();
    } catch (const oracle::OracleError&) {
        return std::nullopt;
    }
}

// Texts to_chars writes for doubles across their range, by a fixed sequence of
// bit patterns, and the ends.
std::vector<std::string> doubleTexts() {
    std::vector<std::string> texts;
    const auto add = [&texts](double value) {
        char text[64];
        texts.emplace_back(text, std::to_chars(text, text + sizeof text, value).ptr);
    };
    for (const double value :
         {0.0, -0.0, 1.0, -1.0, 0.1, 1.0 / 3, 1e21, 1e22, 123456789012.0, 1e-130, 9.9e-131, 1e125,
          9.99e125, 1e126, DBL_MAX, -DBL_MAX, DBL_MIN, std::numeric_limits<double>::denorm_min()})
        add(value);
    std::uint64_t bits = 0x9E3779B97F4A7C15ULL;
    for (int i = 0; i < 4000; ++i) {
        bits = bits * 6364136223846793005ULL + 1442695040888963407ULL;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value))
            add(value);
        add(static_cast<double>(static_cast<std::int64_t>(bits >> 40)) / 7.0);
    }
    return texts;
}

TEST(NumberFit, PlainTextKeyIsTheGeneralWaysKey) {
    std::vector<std::string> texts = doubleTexts();
    for (const char* text :
         {"0", "-0", "00012.3400", "0.05", "-0.000", ".5", "-.5", "1.", "100", "1e5", "1E5",
          "1e-05", "1e+05", "0e500", "1.5e-3", "10.01", "12345678901234567890123456789012345678",
          "123456789012345678901234567890123456789", "1e121", "1e-121", "1e120", "1e-119",
          // What the short way must leave to the general one.
          "+1", " 1", ".", "", "1e", "1e-", "1.2.3", "12x", "inf", "1e126", "1e-131", "1e00001"})
        texts.emplace_back(text);
    const ColumnDef columns[] = {numberColumn("FLOAT", 126, std::nullopt),
                                 numberColumn("NUMBER", std::nullopt, std::nullopt),
                                 numberColumn("NUMBER", 10, 0)};
    std::string key;
    int taken = 0;
    for (const ColumnDef& column : columns) {
        for (const std::string& text : texts) {
            SCOPED_TRACE(column.dataType + " " + text);
            const std::optional<std::string> general = generalTextKey(text, column);
            if (plainTextKeyInto(text, NumberFit::of(column), key)) {
                ++taken;
                ASSERT_TRUE(general.has_value()) << "read what the general way refuses";
                EXPECT_EQ(key, *general);
            }
        }
    }
    EXPECT_GT(taken, static_cast<int>(texts.size()));  // most, in the unbounded columns
}

}  // namespace
}  // namespace malvorn::localserver
