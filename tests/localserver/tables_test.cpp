#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

// The query that counts the user's tables named `name`.
std::string existsQuery(std::string_view name) {
    std::string query = "SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = '";
    query.append(name).append("'");
    return query;
}

TEST_F(ServerTest, CreateTableChecksTypesNamesAndTablespaces) {
    auto scott = appUser();
    const std::pair<const char*, const char*> cases[] = {
        {"CREATE TABLE T1 (A VARCHAR2(10 CHAR), B NVARCHAR2(5), C CHAR(3), D NUMBER, E INTEGER, F "
         "FLOAT, G DATE, H TIMESTAMP, I CLOB, J BLOB, K RAW(16), L NUMBER(5), M NUMBER(7,2))",
         ""},
        {"CREATE TABLE T2 (A NUMBER) TABLESPACE users", ""},
        {"create table t3 (a number primary key, b varchar2(5) unique, c number, constraint uq3 "
         "unique (c) using index tablespace INDX)",
         ""},
        {"CREATE TABLE \"MixedCase\" (\"col\" NUMBER)", ""},
        {"CREATE TABLE T4 (A NUMBER) TABLESPACE nowhere", "ORA-00959"},
        {"CREATE TABLE T4 (A NUMBER, CONSTRAINT P PRIMARY KEY (A) USING INDEX TABLESPACE x)",
         "ORA-00959"},
        {"CREATE TABLE T4 (A NUMBER) TABLESPACE temp", "ORA-02195"},
        {"CREATE TABLE T4 (A VARCHAR2)", "ORA-00906"},
        {"CREATE TABLE T4 (A VARCHAR2(4001))", "ORA-00910"},
        {"CREATE TABLE T4 (A VARCHAR2(0))", "ORA-01723"},
        {"CREATE TABLE T4 (A NUMBER(39))", "ORA-01727"},
        {"CREATE TABLE T4 (A LONG)", "ORA-00902"},
        {"CREATE TABLE T4 (A NUMBER, A DATE)", "ORA-00957"},
        {"CREATE TABLE T4 (A NUMBER PRIMARY KEY, B NUMBER PRIMARY KEY)", "ORA-02260"},
        {"CREATE TABLE T4 (A NUMBER, CONSTRAINT P PRIMARY KEY (B))", "ORA-00904"},
        {"CREATE TABLE T4 (A NUMBER, CONSTRAINT UQ3 UNIQUE (A))", "ORA-02264"},
        {"CREATE TABLE T4 (A NUMBER DEFAULT Date())", "ORA-00904"},
        {"CREATE TABLE T4 (A NUMBER DEFAULT B)", "ORA-00984"},
        // Jet field and table names that are the server's reserved words.
        {"CREATE TABLE T4 (LEVEL NUMBER)", "ORA-00904"},
        {"CREATE TABLE T4 (CODE VARCHAR2(5), DATE DATE)", "ORA-00904"},
        {"CREATE TABLE ORDER (A NUMBER)", "ORA-00903"},
        {"CREATE TABLE T5 (\"LEVEL\" NUMBER, LEFT NUMBER, 日付 DATE)", ""}};
    for (const auto& [statement, code] : cases)
        EXPECT_EQ(oraCode([&] { scott->execute(statement); }), code) << statement;
    EXPECT_EQ(scott->queryValue("SELECT COUNT(*) FROM USER_TABLES"), "5");
    // A refused row names the key it breaks, among several.
    scott->execute("INSERT INTO T3 VALUES (1, 'x', 7)");
    EXPECT_EQ(errorText([&] { scott->execute("INSERT INTO T3 VALUES (2, 'y', 7)"); }),
              "ORA-00001: unique constraint (SCOTT.UQ3) violated");
    scott->execute("INSERT INTO T5 (\"LEVEL\", LEFT, 日付) VALUES (1, 2, '2001-02-03')");
    EXPECT_EQ(rows(*scott, "SELECT T5.\"LEVEL\", LEFT, USER FROM T5"), Rows{"1|2|SCOTT"});
    EXPECT_EQ(
        rows(*scott,
             "SELECT DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, CHAR_USED FROM "
             "USER_TAB_COLUMNS WHERE TABLE_NAME = 'T1' ORDER BY COLUMN_ID"),
        (Rows{"VARCHAR2|40|<null>|<null>|C", "NVARCHAR2|10|<null>|<null>|C",
              "CHAR|3|<null>|<null>|B", "NUMBER|22|<null>|<null>|<null>",
              "NUMBER|22|<null>|0|<null>", "FLOAT|22|126|<null>|<null>",
              "DATE|7|<null>|<null>|<null>", "TIMESTAMP(6)|11|<null>|6|<null>",
              "CLOB|4000|<null>|<null>|<null>", "BLOB|4000|<null>|<null>|<null>",
              "RAW|16|<null>|<null>|<null>", "NUMBER|22|5|0|<null>", "NUMBER|22|7|2|<null>"}));
    EXPECT_EQ(scott->queryValue(existsQuery("MixedCase")), "1");
    EXPECT_EQ(scott->queryValue(existsQuery("t1")), "0");  // the check is exact
    scott->execute("INSERT INTO \"MixedCase\" (\"col\") VALUES (1)");
    EXPECT_EQ(oraCode([&] { scott->execute("INSERT INTO MixedCase (col) VALUES (1)"); }),
              "ORA-00942");
}

TEST_F(ServerTest, DropAndTruncateRemoveTablesAndRows) {
    auto scott = appUser();
    const std::pair<const char*, const char*> cases[] = {
        {"CREATE TABLE A (X NUMBER)", ""},
        {"INSERT INTO A VALUES (1)", ""},
        {"TRUNCATE TABLE A", ""},
        {"DROP TABLE A CASCADE CONSTRAINTS PURGE", ""},
        {"DROP TABLE A", "ORA-00942"},
        {"TRUNCATE TABLE A", "ORA-00942"},
        {"DROP TABLE USER_TABLES", "ORA-01031"},
        {"CREATE TABLE A (X VARCHAR2(5))", ""},
        {"INSERT INTO A VALUES ('abc')", ""}};
    for (const auto& [statement, code] : cases)
        EXPECT_EQ(oraCode([&] { scott->execute(statement); }), code) << statement;
    // The table made anew has the new definition and only the new row.
    EXPECT_EQ(rows(*scott, "SELECT X FROM A"), Rows{"abc"});
}

TEST_F(ServerTest, TablesLiveInTheirOwnersSchema) {
    auto scott = appUser("scott", "tiger");
    system().execute("CREATE USER clerk IDENTIFIED BY pw");
    system().execute("GRANT CONNECT, RESOURCE TO clerk");
    auto clerk = open("clerk", "pw");
    scott->execute("CREATE TABLE T (A VARCHAR2(10))");
    scott->execute("INSERT INTO T VALUES ('scott')");
    clerk->execute("CREATE TABLE T (A VARCHAR2(10))");
    clerk->execute("INSERT INTO T VALUES ('clerk')");
    EXPECT_EQ(rows(*scott, "SELECT A FROM T"), Rows{"scott"});
    EXPECT_EQ(rows(*clerk, "SELECT A FROM T"), Rows{"clerk"});
    // A DBA reaches other schemas by name; others do not even see them.
    EXPECT_EQ(rows(*scott, "SELECT A FROM CLERK.T"), Rows{"clerk"});
    scott->execute("INSERT INTO clerk.T VALUES ('from scott')");
    EXPECT_EQ(clerk->queryValue("SELECT COUNT(*) FROM T"), "2");
    EXPECT_EQ(oraCode([&] { clerk->query("SELECT A FROM SCOTT.T"); }), "ORA-00942");
    EXPECT_EQ(oraCode([&] { clerk->execute("CREATE TABLE SCOTT.X (A NUMBER)"); }), "ORA-01031");
    system().execute("CREATE TABLE SCOTT.X (A NUMBER)");
    EXPECT_EQ(scott->queryValue(existsQuery("X")), "1");
    // The existence check sees the connected user's tables only.
    EXPECT_EQ(system().queryValue(existsQuery("T")), "0");
    // A user without RESOURCE creates nothing.
    system().execute("CREATE USER viewer IDENTIFIED BY pw");
    system().execute("GRANT CONNECT TO viewer");
    auto viewer = open("viewer", "pw");
    EXPECT_EQ(oraCode([&] { viewer->execute("CREATE TABLE V (A NUMBER)"); }), "ORA-01031");
}

}  // namespace
}  // namespace malvorn::localserver
