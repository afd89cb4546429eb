// Access SQL in, Oracle SQL out: one row per rule of the translation.
#include <gtest/gtest.h>

#include "convert/access_to_oracle.h"

namespace malvorn::convert {
namespace {

// The SELECT list and WHERE clause around one expression, so that each row
// names only what its rule changes.
std::string whereOf(const std::string& condition) {
    return "SELECT T.A\nFROM T\nWHERE " + condition;
}

struct Rule {
    std::string rule;
    std::string access;
    std::string oracle;
};

void expectTranslations(const std::vector<Rule>& rules) {
    for (const Rule& r : rules) {
        SCOPED_TRACE(r.rule);
        try {
            EXPECT_EQ(translateAccessSql(r.access).sql, r.oracle);
        } catch (const TranslationRefused& e) {
            ADD_FAILURE() << "refused: " << e.what();
        }
    }
}

TEST(AccessToOracle, EachExpressionRule) {
    expectTranslations({
        {"bracketed and blank-holding names quoted as the tables were",
         "SELECT [Order Details].[UnitPrice] FROM [Order Details]",
         "SELECT \"Order Details\".UnitPrice\nFROM \"Order Details\""},
        {"a reserved word as a name is quoted", "SELECT T.[Date] FROM T",
         "SELECT T.\"Date\"\nFROM T"},
        {"table alias without AS", "SELECT L.A FROM Products AS [Product List], T AS L",
         "SELECT L.A\nFROM Products \"Product List\", T L"},
        {"& concatenates, binding less than +", "SELECT T.A FROM T WHERE T.A & T.B + 1 = 'x'",
         "SELECT T.A\nFROM T\nWHERE T.A || (T.B + 1) = 'x'"},
        {"IIf as CASE", "SELECT IIf(T.A > 1, 'big', 'small') AS S FROM T",
         "SELECT CASE WHEN T.A > 1 THEN 'big' ELSE 'small' END AS S\nFROM T"},
        {"Nz as NVL", "SELECT Nz(T.A, 0) AS N FROM T", "SELECT NVL(T.A, 0) AS N\nFROM T"},
        {"IsNull as IS NULL", "SELECT T.A FROM T WHERE IsNull(T.B)", whereOf("T.B IS NULL")},
        {"True False Yes No as -1 and 0",
         "SELECT T.A FROM T WHERE T.B = True OR T.C = No OR T.D <> Yes AND T.E = False",
         whereOf("T.B = -1 OR T.C = 0 OR T.D <> -1 AND T.E = 0")},
        {"#date# as DATE, two-digit years as Access reads them",
         "SELECT T.A FROM T WHERE T.D Between #1/1/95# And #12/31/2029#",
         whereOf("T.D BETWEEN DATE '1995-01-01' AND DATE '2029-12-31'")},
        {"#date time# as TO_DATE", "SELECT T.A FROM T WHERE T.D > #3/4/05 1:02:03 PM#",
         whereOf("T.D > TO_DATE('2005-03-04 13:02:03', 'YYYY-MM-DD HH24:MI:SS')")},
        {"Date() and Now()", "SELECT T.A FROM T WHERE T.D < Date() AND T.E < Now()",
         whereOf("T.D < TRUNC(SYSDATE) AND T.E < SYSDATE")},
        {"Year Month Day", "SELECT Year(T.D) AS Y, Month(T.D) AS M, Day(T.D) AS D FROM T",
         "SELECT EXTRACT(YEAR FROM T.D) AS Y, EXTRACT(MONTH FROM T.D) AS M, "
         "EXTRACT(DAY FROM T.D) AS D\nFROM T"},
        {"DatePart quarter", "SELECT DatePart(\"q\", T.D) AS Q FROM T",
         "SELECT TO_NUMBER(TO_CHAR(T.D, 'Q')) AS Q\nFROM T"},
        {"DateAdd months and days",
         "SELECT DateAdd(\"m\", 2, T.D) AS M, DateAdd(\"d\", T.N, T.D) AS D FROM T",
         "SELECT ADD_MONTHS(T.D, 2) AS M, T.D + T.N AS D\nFROM T"},
        {"DateDiff days and years",
         "SELECT DateDiff(\"d\", T.A, T.B) AS D, DateDiff(\"yyyy\", T.A, T.B) AS Y FROM T",
         "SELECT TRUNC(T.B) - TRUNC(T.A) AS D, EXTRACT(YEAR FROM T.B) - EXTRACT(YEAR FROM T.A) "
         "AS Y\nFROM T"},
        {"Left Right Mid Len",
         "SELECT Left(T.S, 2) AS L, Right(T.S, 2) AS R, Mid(T.S, 2, 3) AS M, Len(T.S) AS N "
         "FROM T",
         "SELECT SUBSTR(T.S, 1, 2) AS L, SUBSTR(T.S, GREATEST(LENGTH(T.S) - 2 + 1, 1)) AS R, "
         "SUBSTR(T.S, 2, 3) AS M, LENGTH(T.S) AS N\nFROM T"},
        {"InStr both forms, UCase LCase Trim",
         "SELECT InStr(T.S, 'a') AS I, InStr(3, T.S, 'a') AS J, UCase(T.S) AS U, LCase(T.S) AS "
         "W, Trim(T.S) AS X FROM T",
         "SELECT INSTR(T.S, 'a') AS I, INSTR(T.S, 'a', 3) AS J, UPPER(T.S) AS U, LOWER(T.S) AS "
         "W, TRIM(T.S) AS X\nFROM T"},
        {"Format of a date", "SELECT Format(T.D, \"yyyy\") AS Y FROM T",
         "SELECT TO_CHAR(T.D, 'YYYY') AS Y\nFROM T"},
    });
}

TEST(AccessToOracle, EachStatementRule) {
    expectTranslations({
        {"Like wildcards, a literal % escaped",
         "SELECT T.A FROM T WHERE T.S Like \"A*b?\" AND T.S Not Like '5%*'",
         whereOf("T.S LIKE 'A%b_' AND T.S NOT LIKE '5\\%%' ESCAPE '\\'")},
        {"DISTINCTROW kept where a table shows no column",
         "SELECT DISTINCTROW C.A FROM C INNER JOIN O ON C.K = O.K",
         "SELECT DISTINCT C.A\nFROM C INNER JOIN O ON C.K = O.K"},
        {"DISTINCTROW dropped where it changes nothing", "SELECT DISTINCTROW T.A FROM T",
         "SELECT T.A\nFROM T"},
        {"TOP n keeps ties", "SELECT TOP 10 T.A FROM T ORDER BY T.A DESC",
         "SELECT T.A\nFROM T\nORDER BY T.A DESC\nFETCH FIRST 10 ROWS WITH TIES"},
        {"TOP n PERCENT", "SELECT TOP 25 PERCENT T.A FROM T ORDER BY T.A",
         "SELECT T.A\nFROM T\nORDER BY T.A\nFETCH FIRST 25 PERCENT ROWS WITH TIES"},
        {"joins nest as written",
         "SELECT E.A FROM E INNER JOIN (O LEFT JOIN S ON O.K = S.K) ON E.K = O.E",
         "SELECT E.A\nFROM E INNER JOIN (O LEFT JOIN S ON O.K = S.K) ON E.K = O.E"},
        {"RIGHT OUTER JOIN", "SELECT C.A FROM C RIGHT OUTER JOIN O ON C.K = O.K",
         "SELECT C.A\nFROM C RIGHT JOIN O ON C.K = O.K"},
        {"First and Last", "SELECT First(T.A) AS F, Last(T.A) AS L FROM T",
         "SELECT MIN(T.A) AS F, MAX(T.A) AS L\nFROM T"},
        {"\\ and Mod", "SELECT T.A \\ 2 AS Q, T.A Mod 2 AS R FROM T",
         "SELECT TRUNC(T.A / 2) AS Q, MOD(T.A, 2) AS R\nFROM T"},
        {"an expression without a name gets Access's", "SELECT T.A * 2 FROM T",
         "SELECT T.A * 2 AS Expr1000\nFROM T"},
        {"a column shown twice named by its table", "SELECT C.Name, S.Name FROM C, S",
         "SELECT C.Name AS \"C.Name\", S.Name AS \"S.Name\"\nFROM C, S"},
        {"grouping, having and a subquery",
         "SELECT T.A, Sum(T.B) AS S FROM T WHERE T.B > (SELECT Avg([B]) FROM T) GROUP BY T.A "
         "HAVING Sum(T.B) > 5;",
         "SELECT T.A, SUM(T.B) AS S\nFROM T\nWHERE T.B > (SELECT AVG(B)\nFROM T)\n"
         "GROUP BY T.A\nHAVING SUM(T.B) > 5"},
        {"UNION and UNION ALL with strings",
         "SELECT T.A, \"x\" AS K FROM T UNION SELECT U.A, \"y\" FROM U UNION ALL SELECT V.A, "
         "'it''s' FROM V ORDER BY A",
         "SELECT T.A, 'x' AS K\nFROM T\nUNION\nSELECT U.A, 'y' AS Expr1000\nFROM U\nUNION ALL\n"
         "SELECT V.A, 'it''s' AS Expr1000\nFROM V\nORDER BY A"},
    });
}

TEST(AccessToOracle, WhatIsLeftOutSaysWhy) {
    const struct {
        const char* access;
        const char* reason;
    } cases[] = {
        {"PARAMETERS [Since] DateTime;\nSELECT T.A FROM T WHERE T.D > [Since];", "パラメータ"},
        {"SELECT T.A FROM T WHERE T.K = [Forms]![Orders]![OrderID]", "フォーム"},
        {"SELECT DLookup(\"A\", \"T\") AS X FROM T", "DLookup"},
        {"TRANSFORM Sum(T.A) SELECT T.B FROM T GROUP BY T.B PIVOT T.C", "クロス集計"},
        {"SELECT T.A FROM T WHERE T.S Like \"[a-c]*\"", "Like"},
        {"SELECT DatePart(\"ww\", T.D) AS W FROM T", "DatePart"},
        {"SELECT T.A FROM T IN 'other.mdb'", "別のデータベース"},
        {"SELECT T.A FROM T WHERE", "文の終わり"},
        {"SELECT T.A FROM T WHERE T.S = \"open", "閉じていません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.access);
        try {
            const auto result = translateAccessSql(c.access);
            ADD_FAILURE() << "translated: " << result.sql;
        } catch (const TranslationRefused& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
}

TEST(AccessToOracle, NotesAndSources) {
    const auto result = translateAccessSql(
        "SELECT DISTINCTROW C.A, First(O.B) AS F FROM C INNER JOIN [Order Subtotals] AS O ON "
        "C.K = O.K WHERE C.S = \"x\" GROUP BY C.A");
    EXPECT_EQ(result.sources, (std::vector<std::string>{"C", "Order Subtotals"}));
    // First has a note, the text comparison has one; grouping makes DISTINCTROW moot.
    ASSERT_EQ(result.notes.size(), 2u);
    EXPECT_NE(result.notes[0].find("First"), std::string::npos);
    EXPECT_NE(result.notes[1].find("大文字と小文字"), std::string::npos);
    EXPECT_EQ(result.sql.find("DISTINCT"), std::string::npos);
    EXPECT_TRUE(translateAccessSql("SELECT T.A FROM T WHERE T.N = 1").notes.empty());
}

}  // namespace
}  // namespace malvorn::convert
