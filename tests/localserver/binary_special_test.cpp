// Infinities and NaN of BINARY_DOUBLE and BINARY_FLOAT: IEEE arithmetic
// (1f/0 is Inf, 0f/0 NaN, while NUMBER / 0 is ORA-01476), NaN above every
// other value and equal to itself, 'INF' and 'NaN' read case-insensitively,
// IS [NOT] NAN / INFINITE, shown as Inf and Nan. No NUMBER holds them
// (ORA-01426).
#include <cmath>

#include "localserver/number.h"
#include "steps.h"

namespace malvorn::localserver {
namespace {

Number number(const char* text) {
    return *Number::parse(text);
}

// The keys SQLite compares, sorts and indexes: the extremes of what a NUMBER
// holds fall between -Inf and +Inf, and NaN above them all.
TEST(SpecialNumbers, KeysOrderAndReadBack) {
    const std::vector<Number> ascending = {
        Number::infinity(true),
        number("-9.99E125"),
        number("-1000"),
        number("-1.5"),
        number("-1"),
        number("-0.5"),
        number("-1E-130"),
        Number(),
        number("1E-130"),
        number("0.5"),
        number("1"),
        number("1.000001"),
        number("1.5"),
        number("10"),
        number("1E20"),
        number("9.99E125"),
        Number::infinity(false),
        Number::nan(),
    };
    for (std::size_t i = 0; i < ascending.size(); ++i) {
        EXPECT_EQ(Number::fromKey(ascending[i].key()), ascending[i]) << ascending[i].text();
        if (i > 0) {
            EXPECT_LT(ascending[i - 1].key(), ascending[i].key()) << ascending[i].text();
        }
    }
    EXPECT_EQ(Number::nan().key(), Number::nan().key());
}

TEST(SpecialNumbers, OperationsAreIeees) {
    const Number inf = Number::infinity(false);
    const Number nan = Number::nan();
    struct Case {
        const char* name;
        Number result;
        const char* expected;  // its text
    };
    const Case cases[] = {
        {"Inf + 1", inf + number("1"), "Inf"},
        {"Inf - Inf", inf - inf, "Nan"},
        {"-Inf * -2", inf.negated() * number("-2"), "Inf"},
        {"Inf * 0", inf * Number(), "Nan"},
        {"1 / Inf", number("1") / inf, "0"},
        {"NaN + 1", nan + number("1"), "Nan"},
        {"-NaN", nan.negated(), "Nan"},
        {"ABS(-Inf)", inf.negated().abs(), "Inf"},
        {"ROUND(-Inf, 2)", inf.negated().rounded(2), "-Inf"},
        {"TRUNC(NaN)", nan.truncated(0), "Nan"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.result.text(), c.expected) << c.name;
    EXPECT_FALSE(inf.isZero());
    EXPECT_FALSE(inf.toInt());
    EXPECT_TRUE(std::isnan(nan.toDouble()));
    EXPECT_THROW(Number::mod(inf, number("2")), oracle::OracleError);
    EXPECT_THROW(inf.requireFinite(), oracle::OracleError);
    EXPECT_EQ(number("2").requireFinite(), number("2"));
}

class BinarySpecialTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        executeAll({
            "CREATE TABLE S (ID NUMBER, D BINARY_DOUBLE, F BINARY_FLOAT, N NUMBER, T "
            "VARCHAR2(10))",
            "INSERT INTO S (ID, D, F) VALUES (1, BINARY_DOUBLE_NAN, BINARY_FLOAT_NAN)",
            "INSERT INTO S (ID, D, F) VALUES (2, BINARY_DOUBLE_INFINITY, 1e39)",
            "INSERT INTO S (ID, D, F) VALUES (3, -BINARY_DOUBLE_INFINITY, '-INF')",
            "INSERT INTO S (ID, D, F) VALUES (4, 1.5, 1.5)",
            "INSERT INTO S (ID, D, F) VALUES (5, 'nan', 'NaN')",
            "INSERT INTO S (ID, D, F) VALUES (6, -1e125, 0)",
            "INSERT INTO S (ID, D, F) VALUES (7, NULL, NULL)",
        });
    }
};

TEST_F(BinarySpecialTest, ExpressionsGiveOraclesValues) {
    const std::vector<ValueCase> cases = {
        {"1d / 0", "Inf"},
        {"-1d / 0", "-Inf"},
        {"0d / 0", "Nan"},
        {"1f / 0", "Inf"},
        {"1 / 0d", "Inf"},
        {"1 / 0", "ORA-01476"},
        {"BINARY_DOUBLE_INFINITY", "Inf"},
        {"-BINARY_DOUBLE_INFINITY", "-Inf"},
        {"BINARY_DOUBLE_NAN", "Nan"},
        {"BINARY_FLOAT_INFINITY", "Inf"},
        {"-BINARY_FLOAT_INFINITY", "-Inf"},
        {"BINARY_FLOAT_NAN", "Nan"},
        {"TO_CHAR(BINARY_DOUBLE_INFINITY)", "Inf"},
        {"TO_CHAR(-BINARY_FLOAT_INFINITY)", "-Inf"},
        {"TO_CHAR(BINARY_DOUBLE_NAN)", "Nan"},
        {"'x' || BINARY_DOUBLE_NAN", "xNan"},
        {"TO_BINARY_DOUBLE('INF')", "Inf"},
        {"TO_BINARY_DOUBLE('-inf')", "-Inf"},
        {"TO_BINARY_DOUBLE('NaN')", "Nan"},
        {"TO_BINARY_FLOAT('nan')", "Nan"},
        {"TO_BINARY_FLOAT(' Inf ')", "Inf"},
        {"TO_BINARY_DOUBLE('Infinity')", "ORA-01722"},
        {"TO_NUMBER('INF')", "ORA-01722"},
        // A NUMBER past BINARY_FLOAT's range becomes infinity; so does an overflow.
        {"TO_BINARY_FLOAT(1e39)", "Inf"},
        {"TO_BINARY_FLOAT(-1e39)", "-Inf"},
        {"1e38f * 10", "Inf"},
        {"BINARY_DOUBLE_INFINITY + 1", "Inf"},
        {"BINARY_DOUBLE_INFINITY - BINARY_DOUBLE_INFINITY", "Nan"},
        {"BINARY_DOUBLE_INFINITY * 0", "Nan"},
        {"1 / BINARY_DOUBLE_INFINITY", "0"},
        {"BINARY_DOUBLE_NAN + 1", "Nan"},
        {"CAST('NaN' AS BINARY_DOUBLE)", "Nan"},
        {"CAST(BINARY_DOUBLE_INFINITY AS NUMBER)", "ORA-01426"},
        {"CAST(BINARY_DOUBLE_NAN AS NUMBER(5, 2))", "ORA-01426"},
        {"TO_NUMBER(-1d / 0)", "ORA-01426"},
        {"TO_NUMBER(1.5d)", "1.5"},
        {"NVL(BINARY_DOUBLE_NAN, 1)", "Nan"},
    };
    checkValues(cases);
}

TEST_F(BinarySpecialTest, StoredAndReadBack) {
    runSteps({
        {"SELECT ID, D, F FROM S WHERE ID < 7 ORDER BY ID",
         {"1|Nan|Nan", "2|Inf|Inf", "3|-Inf|-Inf", "4|1.5E+000|1.5E+000", "5|Nan|Nan",
          "6|-1.0E+125|0"}},
        // Into a NUMBER column Oracle refuses them; nothing is stored.
        {"INSERT INTO S (ID, N) VALUES (8, BINARY_DOUBLE_INFINITY)", {"ORA-01426"}},
        {"INSERT INTO S (ID, N) VALUES (8, 0d / 0)", {"ORA-01426"}},
        {"UPDATE S SET N = D WHERE ID = 1", {"ORA-01426"}},
        {"INSERT INTO S (ID, N) SELECT ID, D FROM S WHERE ID = 2", {"ORA-01426"}},
        {"SELECT COUNT(*) FROM S WHERE N IS NOT NULL OR ID = 8", {"0"}},
        // Into a character column, their text.
        {"UPDATE S SET T = D WHERE ID <= 3", {}},
        {"SELECT T FROM S WHERE ID <= 3 ORDER BY ID", {"Nan", "Inf", "-Inf"}},
        // A copy keeps them.
        {"CREATE TABLE C AS SELECT ID, D, F FROM S", {}},
        {"SELECT COUNT(*) FROM C, S WHERE C.ID = S.ID AND C.D = S.D AND C.F = S.F", {"6"}},
    });
}

TEST_F(BinarySpecialTest, OrderedWithNanAboveInfinity) {
    runSteps({
        // -Inf < numbers < +Inf < NaN; NaN equals NaN; NULL sorts last.
        {"SELECT ID FROM S ORDER BY D, ID", {"3", "6", "4", "2", "1", "5", "7"}},
        {"SELECT ID FROM S ORDER BY F DESC, ID", {"7", "1", "5", "2", "4", "6", "3"}},
        {"SELECT MIN(D), MAX(D), MIN(F), MAX(F) FROM S", {"-Inf|Nan|-Inf|Nan"}},
        {"SELECT D, COUNT(*) FROM S WHERE D IS NOT NULL GROUP BY D ORDER BY D",
         {"-Inf|1", "-1.0E+125|1", "1.5E+000|1", "Inf|1", "Nan|2"}},
        {"SELECT COUNT(DISTINCT D), COUNT(DISTINCT F) FROM S", {"5|5"}},
        {"SELECT ID FROM S WHERE D = BINARY_DOUBLE_NAN ORDER BY ID", {"1", "5"}},
        // A text compared with a binary value is converted to its type.
        {"SELECT ID FROM S WHERE D = 'NaN' OR 'inf' = F ORDER BY ID", {"1", "2", "5"}},
        {"SELECT ID FROM S WHERE F < '-1E38' ORDER BY ID", {"3"}},
        {"SELECT ID FROM S WHERE D = 'Infinity'", {"ORA-01722"}},
        {"SELECT ID FROM S WHERE D > BINARY_DOUBLE_INFINITY ORDER BY ID", {"1", "5"}},
        {"SELECT ID FROM S WHERE D < -1e125 ORDER BY ID", {"3"}},
        {"SELECT ID FROM S WHERE F BETWEEN 1 AND BINARY_FLOAT_INFINITY ORDER BY ID", {"2", "4"}},
        // A unique index sees the two NaNs as one value.
        {"CREATE UNIQUE INDEX S_D ON S (D)", {"ORA-01452"}},
        {"DELETE FROM S WHERE ID = 5", {}},
        {"CREATE UNIQUE INDEX S_D ON S (D)", {}},
        {"INSERT INTO S (ID, D) VALUES (9, 0d / 0)", {"ORA-00001"}},
        {"INSERT INTO S (ID, D) VALUES (9, -1d / 0)", {"ORA-00001"}},
    });
}

TEST_F(BinarySpecialTest, Conditions) {
    runSteps({
        {"SELECT ID FROM S WHERE D IS NAN ORDER BY ID", {"1", "5"}},
        {"SELECT ID FROM S WHERE D IS NOT NAN ORDER BY ID", {"2", "3", "4", "6"}},
        {"SELECT ID FROM S WHERE F IS INFINITE ORDER BY ID", {"2", "3"}},
        {"SELECT ID FROM S WHERE F IS NOT INFINITE ORDER BY ID", {"1", "4", "5", "6"}},
        {"SELECT COUNT(*) FROM S WHERE ID IS NAN OR ID IS INFINITE", {"0"}},
        {"SELECT COUNT(*) FROM DUAL WHERE 'x' IS NAN", {"ORA-01722"}},
        {"SELECT CASE WHEN 0d / 0 IS NAN THEN 'y' ELSE 'n' END FROM DUAL", {"y"}},
    });
}

TEST_F(BinarySpecialTest, SumsInIeeeArithmetic) {
    runSteps({
        {"SELECT SUM(D) FROM S WHERE ID IN (2, 4)", {"Inf"}},
        {"SELECT SUM(D), AVG(F) FROM S WHERE ID IN (2, 3)", {"Nan|Nan"}},
        {"SELECT SUM(D) FROM S WHERE ID IN (1, 4)", {"Nan"}},
        {"SELECT ID, SUM(D) OVER (ORDER BY ID ROWS BETWEEN 1 PRECEDING AND CURRENT ROW) FROM S "
         "WHERE ID IN (2, 4, 6) ORDER BY ID",
         {"2|Inf", "4|Inf", "6|-1.0E+125"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
