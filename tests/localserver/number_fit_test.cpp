// A number key made straight from whole units and a scale against the same
// number made, fitted and keyed the general way, at the ends of the integers
// and of the columns' scales and precisions.
#include <gtest/gtest.h>

#include <climits>
#include <optional>

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

TEST(NumberFit, ScaledKeyLeavesOnlyWhatItCannotMake) {
    const struct {
        const char* name;
        std::int64_t units;
        int scale;
        ColumnDef column;
        bool taken;
    } cases[] = {
        {"integer into NUMBER(10)", 9999999999, 0, numberColumn("NUMBER", 10, 0), true},
        {"one digit too many", 10000000000, 0, numberColumn("NUMBER", 10, 0), false},
        {"rounded up past the precision", 99995, 4, numberColumn("NUMBER", 1, 0), false},
        {"rounded to the precision", 94999, 4, numberColumn("NUMBER", 1, 0), true},
        {"currency into NUMBER(19,4)", INT64_MIN, 4, numberColumn("NUMBER", 19, 4), true},
        {"currency into NUMBER(14,4)", INT64_MIN, 4, numberColumn("NUMBER", 14, 4), false},
        {"negative scale", 1, -1, numberColumn("NUMBER", std::nullopt, std::nullopt), false},
        {"scale past the table", 1, 19, numberColumn("NUMBER", std::nullopt, std::nullopt), false},
        {"Yes into FLOAT", -1, 0, numberColumn("FLOAT", 126, std::nullopt), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string key;
        EXPECT_EQ(fittedScaledKeyInto(c.units, c.scale, NumberFit::of(c.column), key), c.taken);
        if (!c.taken)
            continue;
        Number number = Number::fromScaled(c.units, c.scale);
        fitNumberToColumn(number, c.column);
        EXPECT_EQ(key, number.key());
    }
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

}  // namespace
}  // namespace malvorn::localserver
