#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

class InsertPlansTest : public ServerTest {
  protected:
    void SetUp() override {
        scott_ = appUser();
        scott_->execute(
            "CREATE TABLE T (N NUMBER(6,2), S VARCHAR2(4) NOT NULL, D DATE, R RAW(2), "
            "K NUMBER DEFAULT 7)");
    }
    std::unique_ptr<oracle::Session> scott_;
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
        {"(7, 'j', NULL, '0b')", "7|j|<null>|0B|7"},
    };
    for (const auto& c : cases)
        scott_->execute(std::string(head) + c.values);
    scott_->execute("INSERT INTO T (S, K) VALUES ('k', 8)");
    scott_->execute("INSERT INTO T (S, K) VALUES ('l', -9)");
    std::vector<std::string> expected;
    for (const auto& c : cases)
        expected.push_back(c.row);
    expected.insert(expected.end(), {"<null>|k|<null>|<null>|8", "<null>|l|<null>|<null>|-9"});
    EXPECT_EQ(rows(*scott_,
                   "SELECT N, S, TO_CHAR(D, 'YYYY-MM-DD HH24:MI:SS'), R, K FROM T "
                   "ORDER BY S"),
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
        {"INSERT INTO T (N, S, D, R) VALUES (1, 'c', TO_DATE('2001', 'YYYY'), '01')", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(oraCode([&] { scott_->execute(c.statement); }), c.code) << c.statement;
    EXPECT_EQ(scott_->queryValue("SELECT COUNT(*) FROM T"), "3");
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
        {"CASE '2001-01-02' WHEN TO_CHAR(DATE '2001-01-01', 'YYYY-MM-DD') THEN 'y' END", "<null>"},
    };
    scott_->execute("CREATE TABLE V (S VARCHAR2(9))");
    for (const auto& c : cases) {
        scott_->execute("DELETE FROM V");
        scott_->execute(std::string("INSERT INTO V VALUES (") + c.value + ")");
        EXPECT_EQ(rows(*scott_, "SELECT S FROM V"), std::vector<std::string>{c.stored}) << c.value;
    }
}

// A statement alike to one run before follows the table as it is now.
TEST_F(InsertPlansTest, ATableMadeAnewIsWrittenByItsNewDefinition) {
    auto other = open("scott", "tiger");
    const struct {
        const char* change;  // by this session or another
        bool here;
        const char* code;  // of INSERT INTO U VALUES (12)
    } cases[] = {
        {"CREATE TABLE U (A NUMBER(5))", true, ""},
        {"DROP TABLE U", false, "ORA-00942"},
        {"CREATE TABLE U (A VARCHAR2(1))", false, "ORA-12899"},
        {"DROP TABLE U", true, "ORA-00942"},
        {"CREATE TABLE U (A NUMBER(1))", true, "ORA-01438"},
    };
    for (const auto& c : cases) {
        (c.here ? *scott_ : *other).execute(c.change);
        EXPECT_EQ(oraCode([&] { scott_->execute("INSERT INTO U VALUES (12)"); }), c.code)
            << c.change;
    }
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
    } cases[] = {
        {{BoundNumber{"2"}, std::string("abcde"), std::monostate{}, std::monostate{}},
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
         "(2, 'a', NULL, '616263')"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.literal);
        scott_->execute("DELETE FROM T");
        std::string expected;
        try {
            scott_->execute(std::string("INSERT INTO T (N, S, D, R) VALUES ") + c.literal);
        } catch (const oracle::OracleError& e) {
            expected = e.description();
        }
        ASSERT_FALSE(expected.empty());
        try {
            scott_->insertRows("INSERT INTO T (N, S, D, R) VALUES (?, ?, ?, ?)",
                               {good, c.bad, good});
            ADD_FAILURE() << "the batch went through";
        } catch (const oracle::BatchRowError& e) {
            EXPECT_EQ(e.row(), 1u);
            EXPECT_EQ(e.description(), expected);
        }
        EXPECT_EQ(rows(*scott_, "SELECT N, S, D FROM T"),
                  (std::vector<std::string>{"1.5|ab|2001-02-03 04:05:06"}));
    }
}

}  // namespace
}  // namespace malvorn::localserver
