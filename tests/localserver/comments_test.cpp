// COMMENT ON TABLE / COLUMN and the views that show them.
// References: COMMENT in the SQL Language Reference 19c
// (https://docs.oracle.com/en/database/oracle/oracle-database/19/sqlrf/COMMENT.html),
// USER_TAB_COMMENTS and USER_COL_COMMENTS in the Database Reference 19c.
#include <gtest/gtest.h>

#include "steps.h"

namespace malvorn::localserver {
namespace {

using CommentTest = StepTest;

TEST_F(CommentTest, CommentsAreKeptReplacedAndRemoved) {
    runSteps({
        {"CREATE TABLE T (A NUMBER, B VARCHAR2(5))", {}},
        {"COMMENT ON TABLE T IS '得意先の一覧'", {}},
        {"COMMENT ON COLUMN T.A IS 'It''s the key'", {}},
        {"COMMENT ON COLUMN SCOTT.T.B IS 'first'", {}},
        {"COMMENT ON COLUMN T.B IS 'second'", {}},
        {"COMMENT ON COLUMN T.C IS 'x'", {"ORA-00904"}},
        {"COMMENT ON TABLE NOPE IS 'x'", {"ORA-00942"}},
        {"COMMENT ON COLUMN T IS 'x'", {"ORA-00904"}},
        {"COMMENT ON TABLE T IS 5", {"ORA-01780"}},
        {"COMMENT ON INDEX T IS 'x'", {"ORA-00905"}},
        {"SELECT TABLE_NAME, TABLE_TYPE, COMMENTS FROM USER_TAB_COMMENTS",
         {"T|TABLE|得意先の一覧"}},
        {"SELECT COLUMN_NAME, COMMENTS FROM USER_COL_COMMENTS WHERE TABLE_NAME = 'T' ORDER BY 1",
         {"A|It's the key", "B|second"}},
        // An empty comment removes it: the row stays, its comment Null.
        {"COMMENT ON TABLE T IS ''", {}},
        {"SELECT COUNT(*), COUNT(COMMENTS) FROM USER_TAB_COMMENTS", {"1|0"}},
        {"DROP TABLE T", {}},
        {"CREATE TABLE T (A NUMBER)", {}},
        {"SELECT COUNT(COMMENTS) FROM USER_COL_COMMENTS", {"0"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
