// MERGE's INSERT reads the source alone, also inside a subquery of its VALUES
// or WHERE (Database Error Messages: ORA-38101 "Invalid column in the INSERT
// VALUES Clause", ORA-38102 "Invalid column in the INSERT WHERE Clause": the
// clause refers to the destination table's columns). A subquery reading the
// target table through its own FROM is another source and may.
#include "steps.h"

namespace malvorn::localserver {
namespace {

class MergeNamesTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        executeAll({
            "CREATE TABLE T (ID NUMBER, SAL NUMBER)",
            "CREATE TABLE S (ID NUMBER, SAL NUMBER)",
            "INSERT INTO T VALUES (1, 100)",
            "INSERT INTO S VALUES (1, 10)",
            "INSERT INTO S VALUES (2, 20)",
        });
    }
};

TEST_F(MergeNamesTest, TheTargetIsRefusedInsideTheInsertsSubqueries) {
    runSteps({
        {"MERGE INTO T USING S ON (T.ID = S.ID) WHEN NOT MATCHED THEN INSERT VALUES (S.ID, "
         "(SELECT T.SAL FROM DUAL))",
         {"ORA-38101"}},
        {"MERGE INTO T X USING S ON (X.ID = S.ID) WHEN NOT MATCHED THEN INSERT VALUES (S.ID, "
         "(SELECT (SELECT X.SAL FROM DUAL) FROM DUAL))",
         {"ORA-38101"}},
        {"MERGE INTO T USING S ON (T.ID = S.ID) WHEN NOT MATCHED THEN INSERT VALUES (S.ID, "
         "S.SAL) WHERE S.SAL IN (SELECT T.SAL FROM DUAL)",
         {"ORA-38102"}},
        // An unknown name in a subquery stays ORA-00904.
        {"MERGE INTO T USING S ON (T.ID = S.ID) WHEN NOT MATCHED THEN INSERT VALUES (S.ID, "
         "(SELECT NOPE FROM DUAL))",
         {"ORA-00904"}},
        {"SELECT ID, SAL FROM T ORDER BY ID", {"1|100"}},
        // The target read through the subquery's own FROM, the source correlated.
        {"MERGE INTO T USING S ON (T.ID = S.ID) WHEN NOT MATCHED THEN INSERT VALUES (S.ID, "
         "(SELECT MAX(T2.SAL) FROM T T2) + S.SAL) WHERE EXISTS (SELECT 1 FROM T WHERE T.SAL > "
         "S.SAL)",
         {}},
        {"SELECT ID, SAL FROM T ORDER BY ID", {"1|100", "2|120"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
