// Names, blanks and the smaller limits, each with Oracle's documented answer.
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

class NamesTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        s().execute("CREATE TABLE Umsätze (Straße VARCHAR2(10), Menge NUMBER)");
        s().execute("INSERT INTO UMSÄTZE (straße, MENGE) VALUES ('a', 2)");
    }
};

std::string inList(int count) {
    std::string out;
    for (int i = 1; i <= count; ++i)
        out += (i > 1 ? "," : "") + std::to_string(i);
    return out;
}

TEST_F(NamesTest, OracleAnswersTheseAsDocumented) {
    const std::pair<std::string, Rows> cases[] = {
        // ß has no simple upper-case form: it stays, as in Oracle's names.
        {"SELECT COUNT(*) FROM UMSÄTZE", {"1"}},
        {"SELECT TABLE_NAME FROM USER_TABLES", {"UMSÄTZE"}},
        {"SELECT COLUMN_NAME FROM USER_TAB_COLUMNS ORDER BY COLUMN_ID", {"STRAßE", "MENGE"}},
        {"SELECT straße FROM umsätze", {"a"}},
        {"SELECT COUNT(*)\u3000FROM UMSÄTZE", {"ORA-00911: invalid character"}},
        {"SELECT\u3000MENGE FROM UMSÄTZE", {"ORA-00911: invalid character"}},
        {"SELECT '\u3000' FROM DUAL", {"\u3000"}},
        {"SELECT COUNT(*) FROM UMSÄTZE WHERE MENGE IN (" + inList(1000) + ")", {"1"}},
        {"SELECT COUNT(*) FROM UMSÄTZE WHERE MENGE IN (" + inList(1001) + ")",
         {"ORA-01795: maximum number of expressions in a list is 1000"}},
        {"SELECT DISTINCT STRAßE FROM UMSÄTZE ORDER BY MENGE",
         {"ORA-01791: not a SELECTed expression"}},
        {"SELECT DISTINCT STRAßE, MENGE FROM UMSÄTZE ORDER BY MENGE", {"a|2"}},
        {"SELECT DISTINCT MENGE + 1 FROM UMSÄTZE ORDER BY MENGE + 1", {"3"}},
        {"SELECT TO_DATE('2001-02-30', 'YYYY-MM-DD') FROM DUAL",
         {"ORA-01839: date not valid for month specified"}},
        {"SELECT TO_DATE('2001-02-32', 'YYYY-MM-DD') FROM DUAL",
         {"ORA-01847: day of month must be between 1 and last day of month"}},
        {"SELECT TO_DATE('2000-02-29', 'YYYY-MM-DD') FROM DUAL", {"2000-02-29 00:00:00"}},
    };
    for (const auto& [statement, expected] : cases)
        EXPECT_EQ(answer(statement), expected) << statement.substr(0, 80);
    // Headings of unnamed expressions: names upper-cased, quoted text kept.
    EXPECT_EQ(s().query("SELECT menge + 1, 'ä' || umsätze.straße FROM umsätze")->columnNames(),
              (std::vector<std::string>{"MENGE+1", "'ä'||UMSÄTZE.STRAßE"}));
}

}  // namespace
}  // namespace malvorn::localserver
