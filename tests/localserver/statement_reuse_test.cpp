// What the server keeps from one statement for the next: the tokens' memory
// and the plans of INSERTs alike but for their literals.
#include <gtest/gtest.h>

#include "localserver/lexer.h"
#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

std::string described(const std::vector<Token>& tokens) {
    std::string out;
    for (const Token& t : tokens) {
        out += std::to_string(static_cast<int>(t.kind)) + "[" + std::to_string(t.begin) + "," +
               std::to_string(t.end) + "]" + t.text + " ";
    }
    return out;
}

// One buffer through statements longer, shorter and failing part way gives
// each time the tokens a fresh one gives.
TEST(TokenBuffer, ReusedGivesWhatAFreshOneGives) {
    const struct {
        const char* statement;
        const char* code;  // the error, or "" when it reads
    } cases[] = {
        {"INSERT INTO T (A, B) VALUES ('a fairly long text value', TO_DATE('2001-02-03', "
         "'YYYY-MM-DD'))",
         ""},
        {"x", ""},
        {"SELECT \"Mixed Name\" , 12.5e3 FROM DUAL", ""},
        {"SELECT 'never closed FROM DUAL", "ORA-01756"},
        {"a||b /* note */ 'O''Neil'", ""},
        {"", ""},
        {"INSERT INTO T VALUES ('', 1)", ""},
    };
    std::vector<Token> buffer;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.statement);
        EXPECT_EQ(ServerTest::oraCode([&] { tokenize(c.statement, buffer); }), c.code);
        if (*c.code == '\0') {
            EXPECT_EQ(described(buffer), described(tokenize(c.statement)));
        }
    }
}

class KeptPlansTest : public ServerTest {
  protected:
    void SetUp() override {
        scott_ = appUser();
        scott_->execute("CREATE TABLE AB (C NUMBER, CD VARCHAR2(9))");
        scott_->execute("CREATE TABLE A (BC NUMBER, D VARCHAR2(9))");
        scott_->execute("CREATE TABLE \"a b\" (C NUMBER, CD VARCHAR2(9))");
    }
    std::unique_ptr<oracle::Session> scott_;
};

// Statements that differ in a name, the order of the columns or where one
// name ends and the next begins each run their own plan, however they
// alternate.
TEST_F(KeptPlansTest, StatementsAlikeButForTheirNamesKeepTheirOwnPlans) {
    const struct {
        const char* statement;
        const char* table;
        const char* row;  // the table's rows afterwards, as "number|text" in order
    } cases[] = {
        {"INSERT INTO AB (C, CD) VALUES (1, 'x')", "AB", "1|x"},
        {"INSERT INTO A (BC, D) VALUES (2, 'y')", "A", "2|y"},
        {"INSERT INTO AB (CD, C) VALUES ('z', 3)", "AB", "1|x 3|z"},
        {"INSERT INTO \"a b\" (C, CD) VALUES (4, 'w')", "\"a b\"", "4|w"},
        {"INSERT INTO AB (C, CD) VALUES (5, 'v')", "AB", "1|x 3|z 5|v"},
        {"INSERT INTO A (BC, D) VALUES (6, '')", "A", "2|y 6|<null>"},
        {"INSERT INTO a (bc, d) VALUES (7, 'u')", "A", "2|y 6|<null> 7|u"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.statement);
        scott_->execute(c.statement);
        const std::string first = c.table == std::string("A") ? "BC, D" : "C, CD";
        std::string held;
        for (const std::string& row :
             rows(*scott_, "SELECT " + first + " FROM " + c.table + " ORDER BY 1"))
            held += (held.empty() ? "" : " ") + row;
        EXPECT_EQ(held, c.row);
    }
}

}  // namespace
}  // namespace malvorn::localserver
