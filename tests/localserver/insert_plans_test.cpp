#include <gtest/gtest.h>

#include "described_tokens.h"
#include "localserver/change_signal.h"
#include "localserver/lexer.h"
#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

class InsertPlansTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        s().execute(
            "CREATE TABLE T (N NUMBER(6,2), S VARCHAR2(4) NOT NULL, D DATE, R RAW(2), K NUMBER "
            "DEFAULT 7)");
    }
};

// Statements alike but for their literals each store their own values.
TEST_F(InsertPlansTest, EveryStatementStoresItsOwnLiterals) {
    const char* const head = "INSERT INTO T (N, S, D, R) VALUES ";
    const struct {
        const char* values;
        const char* row;  // N|S|D|R|K as selected
    } cases[] = {
        {"(1.5, 'ab', TO_DATE('2001-02-03 04:05:06','YYYY-MM-DD HH24:MI:SS'), HEXTORAW('0a'))",
         "1.5|ab|2001-02-03 04:05:06|0A|7"},
        {"(2, 'cd', TO_DATE('03/02/2001','DD/MM/YYYY'), HEXTORAW('FF01'))",
         "2|cd|2001-02-03 00:00:00|FF01|7"},
        {"(-3.25, 'e''f', TO_DATE('2010-12-31 23:59:59','YYYY-MM-DD HH24:MI:SS'), NULL)",
         "-3.25|e'f|2010-12-31 23:59:59|<null>|7"},
        {"(+4, 'g', '2002-03-04', '')", "4|g|2002-03-04 00:00:00|<null>|7"},
        {"(-5, 'h', '2003-04-05', '')", "-5|h|2003-04-05 00:00:00|<null>|7"},
        {"(6.006, 'i', NULL, '')", "6.01|i|<null>|<null>|7"},
        {"(7, 'j商', NULL, '0b')", "7|j商|<null>|0B|7"}};
    for (const auto& c : cases)
        s().execute(std::string(head) + c.values);
    s().execute("INSERT INTO T (S, K) VALUES ('k', 8)");
    s().execute("INSERT INTO T (S, K) VALUES ('l', -9)");
    std::vector<std::string> expected;
    for (const auto& c : cases)
        expected.push_back(c.row);
    expected.insert(expected.end(), {"<null>|k|<null>|<null>|8", "<null>|l|<null>|<null>|-9"});
    EXPECT_EQ(rows(s(), "SELECT N, S, TO_CHAR(D, 'YYYY-MM-DD HH24:MI:SS'), R, K FROM T ORDER BY S"),
              expected);
}

// The column checks and conversions run on every statement's own values, and
// the first failing column in order is the one reported.
TEST_F(InsertPlansTest, EveryStatementIsCheckedOnItsOwnValues) {
    const struct {
        const char* statement;
        const char* code;
    } cases[] = {
        {"INSERT INTO T (N, S, D) VALUES (1, 'a', '2001-01-01')", ""},
        {"INSERT INTO T (N, S, D) VALUES (1, 'abcde', '2001-01-01')", "ORA-12899"},
        {"INSERT INTO T (N, S, D) VALUES (10000, 'a', '2001-01-01')", "ORA-01438"},
        {"INSERT INTO T (N, S, D) VALUES (1, '', '2001-01-01')", "ORA-01400"},
        {"INSERT INTO T (N, S, D) VALUES (1, 'a', '2001-13-01')", "ORA-01843"},
        {"INSERT INTO T (N, S, D) VALUES ('x', 'abcde', '2001-01-01')", "ORA-01722"},
        {"INSERT INTO T (N, S, D) VALUES ('2', 'b', '2001-01-02')", ""},
        {"INSERT INTO T (N, S, D) VALUES (TO_NUMBER('x') + 1, 'abcde', '2001-01-01')", "ORA-01722"},
        {"INSERT INTO T (N, S, D) VALUES (TO_NUMBER('1') + 1, 'abcde', '2001-01-01')", "ORA-12899"},
        {"INSERT INTO T (N, S, D, R) VALUES (1, 'a', TO_DATE('x', 'YYYY'), '0g')", "ORA-01858"},
        {"INSERT INTO T (N, S, D, R) VALUES (1, 'a', TO_DATE('2001', 'YYYY'), '0g')", "ORA-01465"},
        {"INSERT INTO T (N, S, D, R) VALUES (1, 'abcde', TO_DATE('x', 'YYYY'), '01')", "ORA-12899"},
        {"INSERT INTO T (N, S, D, R) VALUES (1, 'c', TO_DATE('2001', 'YYYY'), '01')", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(oraCode([&] { s().execute(c.statement); }), c.code) << c.statement;
    EXPECT_EQ(s().queryValue("SELECT COUNT(*) FROM T"), "3");
}

// A translation that looked at a literal's value is not used for another value.
TEST_F(InsertPlansTest, ValuesTheTranslationReadAreNotTakenAsParameters) {
    const struct {
        const char* value;
        const char* stored;
    } cases[] = {
        {"CASE WHEN 1 = '1' THEN 'y' ELSE 'n' END", "y"},
        {"CASE WHEN 1 = '2' THEN 'y' ELSE 'n' END", "n"},
        {"CASE '2001-01-01' WHEN TO_CHAR(DATE '2001-01-01', 'YYYY-MM-DD') THEN 'y' END", "y"},
        {"CASE '2001-01-02' WHEN TO_CHAR(DATE '2001-01-01', 'YYYY-MM-DD') THEN 'y' END", "<null>"}};
    s().execute("CREATE TABLE V (S VARCHAR2(9))");
    for (const auto& c : cases) {
        s().execute("DELETE FROM V");
        s().execute(std::string("INSERT INTO V VALUES (") + c.value + ")");
        EXPECT_EQ(rows(s(), "SELECT S FROM V"), std::vector<std::string>{c.stored}) << c.value;
    }
}

// A statement alike to one run before follows the table as it is now, made
// anew by this session or another since this one used it.
TEST_F(InsertPlansTest, ATableMadeAnewIsWrittenByItsNewDefinition) {
    auto other = open("scott", "tiger");
    const struct {
        std::vector<const char*> changes;
        bool here;              // by this session, else by the other
        const char* statement;  // then by this one
        const char* code;
    } cases[] = {
        {{"CREATE TABLE U (A NUMBER(5))"}, true, "INSERT INTO U VALUES (12)", ""},
        {{"DROP TABLE U"}, false, "INSERT INTO U VALUES (12)", "ORA-00942"},
        {{"CREATE TABLE U (A VARCHAR2(1))"}, false, "INSERT INTO U VALUES (12)", "ORA-12899"},
        {{"DROP TABLE U"}, true, "INSERT INTO U VALUES (12)", "ORA-00942"},
        {{"CREATE TABLE U (A NUMBER(1))"}, true, "INSERT INTO U VALUES (12)", "ORA-01438"},
        {{"DROP TABLE U", "CREATE TABLE U (A VARCHAR2(3), B NUMBER)"},
         false,
         "INSERT INTO U VALUES ('x', 4)",
         ""},
        {{"DROP TABLE U", "CREATE TABLE U (B NUMBER, A VARCHAR2(1))"},
         false,
         "INSERT INTO U (A) VALUES ('zz')",
         "ORA-12899"},
        {{"INSERT INTO U VALUES (5, 'q')"}, false, "INSERT INTO U (A, B) VALUES ('w', 6)", ""},
        {{"DROP TABLE U"}, false, "INSERT INTO U (A, B) VALUES ('w', 7)", "ORA-00942"}};
    for (const auto& c : cases) {
        for (const char* change : c.changes)
            (c.here ? s() : *other).execute(change);
        EXPECT_EQ(oraCode([&] { s().execute(c.statement); }), c.code) << c.statement;
    }
    other->execute("CREATE TABLE U (A NUMBER)");
    EXPECT_EQ(s().queryValue("SELECT COUNT(*) FROM U"), "0");
}

// A batch row that a column's check refuses fails as the same row written as
// a literal INSERT does, with the same message; the rows before it stay.
TEST_F(InsertPlansTest, ABatchRowACheckRefusesFailsAsItsLiteralInsert) {
    using oracle::BoundNumber;
    const oracle::BoundRow good{BoundNumber{"1.5"}, std::string("ab"),
                                oracle::BoundDateTime{2001, 2, 3, 4, 5, 6}, std::monostate{}};
    const struct {
        oracle::BoundRow bad;
        const char* literal;  // the same values in a statement's text
    } cases[] = {{{BoundNumber{"2"}, std::string("abcde"), std::monostate{}, std::monostate{}},
                  "(2, 'abcde', NULL, NULL)"},
                 {{BoundNumber{"2"}, std::monostate{}, std::monostate{}, std::monostate{}},
                  "(2, NULL, NULL, NULL)"},
                 {{BoundNumber{"12345.6"}, std::string("a"), std::monostate{}, std::monostate{}},
                  "(12345.6, 'a', NULL, NULL)"},
                 {{BoundNumber{"2"}, std::string("a"), oracle::BoundDateTime{2001, 2, 30, 0, 0, 0},
                   std::monostate{}},
                  "(2, 'a', '2001-02-30 00:00:00', NULL)"},
                 {{BoundNumber{"2"}, std::string("a"), oracle::BoundDateTime{10000, 1, 1, 0, 0, 0},
                   std::monostate{}},
                  "(2, 'a', '10000-01-01 00:00:00', NULL)"},
                 {{BoundNumber{"2"}, std::string("a"), std::monostate{}, oracle::BoundBytes{"abc"}},
                  "(2, 'a', NULL, '616263')"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.literal);
        s().execute("DELETE FROM T");
        std::string expected;
        try {
            s().execute(std::string("INSERT INTO T (N, S, D, R) VALUES ") + c.literal);
        } catch (const oracle::OracleError& e) {
            expected = e.description();
        }
        ASSERT_FALSE(expected.empty());
        try {
            s().insertRows("INSERT INTO T (N, S, D, R) VALUES (?, ?, ?, ?)", {good, c.bad, good});
            ADD_FAILURE() << "the batch went through";
        } catch (const oracle::BatchRowError& e) {
            EXPECT_EQ(e.row(), 1u);
            EXPECT_EQ(e.description(), expected);
        }
        EXPECT_EQ(rows(s(), "SELECT N, S, D FROM T"),
                  (std::vector<std::string>{"1.5|ab|2001-02-03 04:05:06"}));
    }
}

// What the server keeps from one statement for the next: the tokens' memory
// and the plans of INSERTs alike but for their literals.

// One buffer through statements longer, shorter and failing part way gives
// each time the tokens a fresh one gives.
TEST(TokenBuffer, ReusedGivesWhatAFreshOneGives) {
    const struct {
        const char* statement;
        const char* code;  // the error, or "" when it reads
    } cases[] = {{"INSERT INTO T (A, B) VALUES ('a fairly long text value', TO_DATE('2001-02-03', "
                  "'YYYY-MM-DD'))",
                  ""},
                 {"x", ""},
                 {"SELECT \"Mixed Name\" , 12.5e3 FROM DUAL", ""},
                 {"SELECT 'never closed FROM DUAL", "ORA-01756"},
                 {"a||b /* note */ 'O''Neil'", ""},
                 {"", ""},
                 {"INSERT INTO T VALUES ('', 1)", ""}};
    std::vector<Token> buffer;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.statement);
        EXPECT_EQ(ServerTest::oraCode([&] { tokenize(c.statement, buffer); }), c.code);
        if (*c.code == '\0') {
            EXPECT_EQ(described(buffer), described(tokenize(c.statement)));
        }
    }
}

class KeptPlansTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        s().execute("CREATE TABLE AB (C NUMBER, CD VARCHAR2(9))");
        s().execute("CREATE TABLE A (BC NUMBER, D VARCHAR2(9))");
        s().execute("CREATE TABLE \"a b\" (C NUMBER, CD VARCHAR2(9))");
    }
};

// Statements that differ in a name, the order of the columns or where one
// name ends and the next begins each run their own plan, however they
// alternate.
TEST_F(KeptPlansTest, StatementsAlikeButForTheirNamesKeepTheirOwnPlans) {
    const struct {
        const char* statement;
        const char* table;
        const char* row;  // the table's rows afterwards, as "number|text" in order
    } cases[] = {{"INSERT INTO AB (C, CD) VALUES (1, 'x')", "AB", "1|x"},
                 {"INSERT INTO A (BC, D) VALUES (2, 'y')", "A", "2|y"},
                 {"INSERT INTO AB (CD, C) VALUES ('z', 3)", "AB", "1|x 3|z"},
                 {"INSERT INTO \"a b\" (C, CD) VALUES (4, 'w')", "\"a b\"", "4|w"},
                 {"INSERT INTO AB (C, CD) VALUES (5, 'v')", "AB", "1|x 3|z 5|v"},
                 {"INSERT INTO A (BC, D) VALUES (6, '')", "A", "2|y 6|<null>"},
                 {"INSERT INTO a (bc, d) VALUES (7, 'u')", "A", "2|y 6|<null> 7|u"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.statement);
        s().execute(c.statement);
        const std::string first = c.table == std::string("A") ? "BC, D" : "C, CD";
        std::string held;
        for (const std::string& row :
             rows(s(), "SELECT " + first + " FROM " + c.table + " ORDER BY 1"))
            held += (held.empty() ? "" : " ") + row;
        EXPECT_EQ(held, c.row);
    }
}

using oracle::BoundNumber;
using Strings = std::vector<std::string>;

const char* const kInsert = "INSERT INTO T (N, S, D, R) VALUES (?, ?, ?, ?)";
const char* const kTable = "CREATE TABLE T (N NUMBER(6,2), S VARCHAR2(4), D DATE, R RAW(2))";

class BatchPrepareTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        s().execute(kTable);
    }
    Strings held() { return rows(s(), "SELECT N, S, D, R FROM T ORDER BY S"); }
};

// A table changed after its rows were checked: the rows are checked as the
// table is when they are sent, as the same values in a literal INSERT then.
TEST_F(BatchPrepareTest, ATableChangedSinceTheCheckIsCheckedAgain) {
    const std::vector<oracle::BoundRow> batch{
        {BoundNumber{"1.5"}, std::string("abc"), std::monostate{}, std::monostate{}}};
    const char* const literal = "INSERT INTO T (N, S, D, R) VALUES (1.5, 'abc', NULL, NULL)";
    const struct {
        const char* name;
        const char* table;  // T as it is made again after the check; nullptr: dropped
    } cases[] = {
        {"the same", kTable},
        {"narrower text", "CREATE TABLE T (N NUMBER(6,2), S VARCHAR2(2), D DATE, R RAW(2))"},
        {"no decimals", "CREATE TABLE T (N NUMBER(6), S VARCHAR2(4), D DATE, R RAW(2))"},
        {"text for the number", "CREATE TABLE T (N VARCHAR2(9), S VARCHAR2(4), D DATE, R RAW(2))"},
        {"a date for the text", "CREATE TABLE T (N NUMBER(6,2), S DATE, D DATE, R RAW(2))"},
        {"not null", "CREATE TABLE T (N NUMBER(6,2), S VARCHAR2(4), D DATE NOT NULL, R RAW(2))"},
        {"gone", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto preparer = s().rowPreparer(kInsert);
        ASSERT_NE(preparer, nullptr);
        std::unique_ptr<oracle::PreparedRows> prepared;
        preparer->prepare(batch, prepared);
        s().execute("DROP TABLE T");
        if (c.table)
            s().execute(c.table);
        const std::string literalCode = oraCode([&] { s().execute(literal); });
        const Strings literalHeld = c.table ? held() : Strings{};
        if (c.table)
            s().execute("DELETE FROM T");
        EXPECT_EQ(oraCode([&] { s().insertPreparedRows(kInsert, batch, prepared.get()); }),
                  literalCode);
        EXPECT_EQ(c.table ? held() : Strings{}, literalHeld);
        if (c.table)
            s().execute("DROP TABLE T");
        s().execute(kTable);
    }
}

TEST(ChangeSignalTest, EverySharerSeesChangesBeginAndEnd) {
    TempDir dir;
    const std::string path = dir.path() + "/signal";
    ChangeSignal writer(path);
    ChangeSignal reader(path);
    ASSERT_EQ(reader.settled(), std::optional<std::uint64_t>(0));
    writer.begin();
    EXPECT_EQ(reader.settled(), std::nullopt);
    writer.end();
    EXPECT_EQ(reader.settled(), std::optional<std::uint64_t>(1));
    {
        const ChangeSignal::Change change(reader);
        EXPECT_EQ(writer.settled(), std::nullopt);
    }
    EXPECT_EQ(ChangeSignal(path).settled(), std::optional<std::uint64_t>(2));
    // Without its file a signal never claims that nothing changed.
    ChangeSignal missing(dir.path() + "/no/such/folder/signal");
    missing.begin();
    missing.end();
    EXPECT_EQ(missing.settled(), std::nullopt);
}

}  // namespace
}  // namespace malvorn::localserver
