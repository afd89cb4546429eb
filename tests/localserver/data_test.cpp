#include <gtest/gtest.h>

#include "localserver/values.h"
#include "steps.h"

namespace malvorn::localserver {
namespace {

class DataTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        s().execute(shohinStatement());
    }
};

TEST_F(DataTest, OmittedColumnsTakeTheirDefault) {
    s().execute("INSERT INTO SHOHIN (CODE) VALUES ('D1')");
    s().execute("CREATE TABLE STAMP (ID NUMBER, AT DATE DEFAULT SYSDATE, N NUMBER(3) DEFAULT 7)");
    s().execute("INSERT INTO STAMP (ID) VALUES (1)");
    EXPECT_EQ(rows(s(), "SELECT PRICE, QTY FROM SHOHIN"), Rows{"0|<null>"});
    const auto at = s().queryValue("SELECT AT FROM STAMP");
    ASSERT_TRUE(at.has_value());
    EXPECT_TRUE(readStoredDate(*at).has_value()) << *at;
    EXPECT_EQ(s().queryValue("SELECT N FROM STAMP"), "7");
}

TEST_F(DataTest, RowsThatBreakARuleAreRefusedWithTheServersCode) {
    s().execute("INSERT INTO SHOHIN (CODE, NAME) VALUES ('K1', 'first')");
    const std::pair<const char*, const char*> cases[] = {
        {"INSERT INTO SHOHIN (CODE, NAME) VALUES ('K1', 'again')", "ORA-00001"},
        {"INSERT INTO SHOHIN (CODE) VALUES ('')", "ORA-01400"},
        {"INSERT INTO SHOHIN (CODE) VALUES ('十文字の商品コード')", "ORA-12899"},
        {"INSERT INTO SHOHIN (CODE) VALUES ('一二三')", ""},
        {"INSERT INTO SHOHIN (CODE, PRICE) VALUES ('K2', '12.5')", ""},
        {"INSERT INTO SHOHIN (CODE, UPD) VALUES ('K3', 20010203)", "ORA-00932"},
        {"INSERT INTO SHOHIN (CODE) VALUES ('K3', 1)", "ORA-00913"},
        {"INSERT INTO SHOHIN (CODE, NAME) VALUES ('K3')", "ORA-00947"},
        {"INSERT INTO NOTHERE (A) VALUES (1)", "ORA-00942"},
        {"UPDATE SHOHIN SET CODE = '' WHERE CODE = 'K1'", "ORA-01407"}};
    for (const auto& [statement, code] : cases)
        EXPECT_EQ(oraCode([&] { s().execute(statement); }), code) << statement;
    EXPECT_EQ(answer("INSERT INTO SHOHIN (CODE, NAME) VALUES ('K1', 'again')"),
              Rows{"ORA-00001: unique constraint (SCOTT.PKSHOHIN) violated"});
    // Refused statements left nothing behind: the three rows that passed are all.
    EXPECT_EQ(rows(s(), "SELECT CODE, NAME, PRICE FROM SHOHIN ORDER BY CODE"),
              (Rows{"K1|first|0", "K2|<null>|12.5", "一二三|<null>|0"}));
}

TEST_F(DataTest, UpdateAndDeleteWorkOnTheRowsTheirWhereNames) {
    for (const char* values :
         {"('U1', 'a', 1, 10, '2001-01-01')", "('U2', 'b', 2, 20, '2002-01-01')",
          "('U3', 'c', 3, NULL, '2003-01-01')"})
        s().execute(std::string("INSERT INTO SHOHIN VALUES ") + values);
    s().execute(
        "UPDATE SHOHIN SET PRICE = PRICE * 2, NAME = NAME || '!' WHERE QTY >= 20 OR QTY IS NULL");
    EXPECT_EQ(rows(s(), "SELECT CODE, NAME, PRICE FROM SHOHIN ORDER BY CODE"),
              (Rows{"U1|a|1", "U2|b!|4", "U3|c!|6"}));
    s().execute(
        "DELETE FROM SHOHIN WHERE UPD BETWEEN '2002-01-01' AND TO_DATE('20021231', 'YYYYMMDD')");
    s().execute("DELETE SHOHIN WHERE CODE IN ('U9', 'U1')");
    EXPECT_EQ(rows(s(), "SELECT CODE FROM SHOHIN"), Rows{"U3"});
}

TEST_F(DataTest, QueriesCoverTheSubset) {
    s().execute("CREATE TABLE KIND (CODE VARCHAR2(10), LABEL VARCHAR2(20))");
    for (const char* values :
         {"('Q1', 'apple', 100, 5, '2001-02-03')", "('Q2', 'pear', 150, 5, '2001-02-04')",
          "('Q3', 'plum', NULL, 7, '2001-02-05')", "('Q4', NULL, 80, NULL, NULL)"})
        s().execute(std::string("INSERT INTO SHOHIN VALUES ") + values);
    s().execute("INSERT INTO KIND VALUES ('Q1', 'fruit')");
    s().execute("INSERT INTO KIND VALUES ('Q2', 'fruit')");
    runSteps({
        {"SELECT DISTINCT QTY FROM SHOHIN ORDER BY QTY", {"5", "7", "<null>"}},
        {"SELECT QTY, COUNT(*) FROM SHOHIN GROUP BY QTY ORDER BY 2 DESC, 1",
         {"5|2", "7|1", "<null>|1"}},
        {"SELECT MAX(PRICE), MIN(PRICE), SUM(PRICE), COUNT(PRICE), COUNT(*) FROM SHOHIN",
         {"150|80|330|3|4"}},
        {"SELECT CODE FROM SHOHIN WHERE NAME LIKE 'p%' ORDER BY CODE DESC", {"Q3", "Q2"}},
        {"SELECT CODE FROM SHOHIN WHERE UPD = '2001-02-04'", {"Q2"}},
        {"SELECT CODE FROM SHOHIN WHERE PRICE > '90' AND QTY <> 7", {"Q1", "Q2"}},
        {"SELECT S.CODE, K.LABEL FROM SHOHIN S LEFT JOIN KIND K ON K.CODE = S.CODE WHERE S.QTY IS "
         "NOT NULL ORDER BY 1",
         {"Q1|fruit", "Q2|fruit", "Q3|<null>"}},
        {"SELECT 1 + 2 * 3, 7 / 2, 'a' || 'b' || NULL, NVL('', 'empty') FROM DUAL",
         {"7|3.5|ab|empty"}},
        {"SELECT CODE, CASE WHEN QTY > 5 THEN 'many' WHEN QTY IS NULL THEN 'none' ELSE 'few' END, "
         "CASE NAME WHEN 'apple' THEN 1 END, DECODE(QTY, 5, 'five', NULL, 'null', 'other') FROM "
         "SHOHIN ORDER BY CODE",
         {"Q1|few|1|five", "Q2|few|<null>|five", "Q3|many|<null>|other", "Q4|none|<null>|null"}},
        {"SELECT CODE, (SELECT LABEL FROM KIND WHERE KIND.CODE = SHOHIN.CODE) FROM SHOHIN WHERE "
         "PRICE = (SELECT MAX(PRICE) FROM SHOHIN)",
         {"Q2|fruit"}},
    });
    auto result = s().query("SELECT CODE, MAX(QTY) AS TOP, COUNT(*) FROM SHOHIN GROUP BY CODE");
    EXPECT_EQ(result->columnNames(), (Rows{"CODE", "TOP", "COUNT(*)"}));
}

TEST_F(DataTest, MalformedQueriesGetTheServersCodes) {
    runSteps({
        {"SELECT CODE, COUNT(*) FROM SHOHIN", {"ORA-00937"}},
        {"SELECT CODE, COUNT(*) FROM SHOHIN GROUP BY NAME", {"ORA-00979"}},
        {"SELECT CODE FROM SHOHIN WHERE COUNT(*) > 1", {"ORA-00934"}},
        {"SELECT FOO(CODE) FROM SHOHIN", {"ORA-00904"}},
        {"SELECT CODE FROM SHOHIN WHERE CODE IN (SELECT CODE, NAME FROM SHOHIN)", {"ORA-00913"}},
    });
    // The dictionary by its owner's name is hidden from a user without DBA.
    system().execute("CREATE USER clerk IDENTIFIED BY pw");
    system().execute("GRANT CONNECT TO clerk");
    EXPECT_EQ(oraCode([&] { open("clerk", "pw")->query("SELECT * FROM SYS.DBA_USERS"); }),
              "ORA-00942");
}

TEST_F(DataTest, OtherColumnTypesKeepTheirValues) {
    s().execute(
        "CREATE TABLE MISC (R RAW(2), B BLOB, C CLOB, TS TIMESTAMP, NV NVARCHAR2(3), CH CHAR(4 "
        "CHAR), I INTEGER, F FLOAT)");
    const std::pair<const char*, const char*> cases[] = {
        {"('0aFF', '00', 'long text', '2001-02-03 10:30:15', '表名三', 'ab', 2.5, 2.5)", ""},
        {"('XYZ0', NULL, NULL, NULL, NULL, NULL, NULL, NULL)", "ORA-01465"}};
    for (const auto& [values, code] : cases)
        EXPECT_EQ(oraCode([&] { s().execute(std::string("INSERT INTO MISC VALUES ") + values); }),
                  code)
            << values;
    EXPECT_EQ(rows(s(), "SELECT * FROM MISC"),
              Rows{"0AFF|00|long text|2001-02-03 10:30:15|表名三|ab  |3|2.5"});
    // CHAR compares with literals blank-padded.
    EXPECT_EQ(s().queryValue("SELECT COUNT(*) FROM MISC WHERE CH = 'ab'"), "1");
    EXPECT_EQ(s().queryValue("SELECT LENGTH(CH) FROM MISC"), "4");
}

}  // namespace
}  // namespace malvorn::localserver
