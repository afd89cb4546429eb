// NUMBER values through SQL: kept, printed, compared and refused as Oracle documents.
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

class NumbersTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        s().execute("CREATE TABLE N (ID NUMBER(3), X NUMBER, M NUMBER(19,4), V VARCHAR2(10))");
    }
};

TEST_F(NumbersTest, ValuesAreKeptAndPrintedExactly) {
    // As written in INSERT INTO N (ID, X) VALUES (1, value), and as printed.
    const std::pair<const char*, const char*> cases[] = {
        {"0.14285714285714285", "0.14285714285714285"},
        {"12345678901234567890123456789012345678", "12345678901234567890123456789012345678"},
        {"7.50", "7.5"},
        {"1E-130", "1E-130"},
        {"9.99E125", "9.99E+125"},
        {"1E-200", "0"},
        {"1.234567890123456789012345678901234567891", "1.23456789012345678901234567890123456789"},
    };
    for (const auto& [value, printed] : cases) {
        s().execute("DELETE FROM N");
        s().execute(std::string("INSERT INTO N (ID, X) VALUES (1, ") + value + ")");
        EXPECT_EQ(answer("SELECT X FROM N"), Rows{printed}) << value;
    }
}

TEST_F(NumbersTest, DeclaredScaleRoundsAndPrecisionLimits) {
    const std::pair<const char*, Rows> cases[] = {
        {"INSERT INTO N (ID, M) VALUES (1, 922337203685477.5807)", {}},
        {"SELECT M FROM N", {"922337203685477.5807"}},
        {"UPDATE N SET M = M + 0.00005", {}},
        {"SELECT M, M * 2 FROM N", {"922337203685477.5808|1844674407370955.1616"}},
        {"INSERT INTO N (ID, X) VALUES (1E300, 1)", {"ORA-01426: numeric overflow"}},
        {"INSERT INTO N (ID) VALUES (1000)",
         {"ORA-01438: value larger than specified precision allowed for this column"}},
    };
    for (const auto& [statement, expected] : cases)
        EXPECT_EQ(answer(statement), expected) << statement;
}

TEST_F(NumbersTest, ComparisonSortingAndAggregatesUseTheExactValues) {
    const char* values[] = {"0.30000000000000001", "0.3", "-1", "-1.5", "10",
                            "9.99999999999999999"};
    int id = 0;
    for (const char* v : values)
        s().execute("INSERT INTO N (ID, X) VALUES (" + std::to_string(++id) + ", " + v + ")");
    const std::pair<const char*, Rows> cases[] = {
        {"SELECT X FROM N ORDER BY X",
         {"-1.5", "-1", "0.3", "0.30000000000000001", "9.99999999999999999", "10"}},
        {"SELECT COUNT(*) FROM N WHERE X > 0.3", {"3"}},
        {"SELECT SUM(X), MIN(X), MAX(X) FROM N", {"18.1|-1.5|10"}},
        {"SELECT LTRIM(X, '-'), TO_CHAR(X) || '|' FROM N WHERE ID = 4", {"1.5|-1.5|"}},
    };
    for (const auto& [query, expected] : cases)
        EXPECT_EQ(answer(query), expected) << query;
}

TEST_F(NumbersTest, TextComparedWithANumberIsConvertedToANumber) {
    for (const char* row : {"(1, '01')", "(2, ' 1.0 ')", "(3, '2')"})
        s().execute(std::string("INSERT INTO N (ID, V) VALUES ") + row);
    const std::pair<const char*, Rows> cases[] = {
        {"SELECT ID FROM N WHERE V = 1 ORDER BY ID", {"1", "2"}},
        {"SELECT ID FROM N WHERE V = '1'", {}},
    };
    for (const auto& [query, expected] : cases)
        EXPECT_EQ(answer(query), expected) << query;
    s().execute("INSERT INTO N (ID, V) VALUES (4, 'abc')");
    EXPECT_EQ(answer("SELECT ID FROM N WHERE V = 1"), Rows{"ORA-01722: invalid number"});
}

}  // namespace
}  // namespace malvorn::localserver
