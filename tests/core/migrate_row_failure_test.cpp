// A migration whose table stops at a row, one statement per row and in
// batches: rows 1..k-1 stay on the server and nothing after, the report
// counts the rows read up to the one it stopped at, and both paths tell the
// same.
#include <gtest/gtest.h>

#include "core/migrate.h"
#include "jet_builder/jet_builder.h"
#include "support/local_migrate_test.h"

namespace malvorn::core {
namespace {

using testing::JetBuildTable;

// Rows 1..rows; row `failing` repeats row 1's code, or with `badDate` has a
// date no statement can carry.
JetBuildTable tableFailingAt(int rows, int failing, bool badDate) {
    JetBuildTable table{"T",
                        {{.name = "CODE", .type = 4},
                         {.name = "NAME", .type = 10, .size = 20},
                         {.name = "UPD", .type = 8}},
                        {},
                        {}};
    for (int i = 1; i <= rows; ++i) {
        const bool bad = i == failing;
        table.rows.push_back({std::int64_t{bad && !badDate ? 1 : i}, "n" + std::to_string(i),
                              bad && badDate ? 1.0e7 : 36925.5});
    }
    return table;
}

class MigrateRowFailureTest : public LocalMigrateTest {
  protected:
    // What a run over the file leaves: the report's count and result, and
    // the codes on the server as "count/highest".
    struct Ended {
        std::int64_t rowsRead;
        std::string result;
        std::string held;
    };
    Ended migrate(const std::string& path, std::size_t batch) {
        scott_->execute("DELETE FROM T");
        MigrateFields fields;
        fields.clear = true;  // into the table made below, with its key
        fields.bulkBatch = batch;
        EXPECT_EQ(migrateFile(path, fields), Outcome::kFailed);
        const TableOutcome& t = report_.tables.at(0);
        EXPECT_FALSE(t.ok);
        return {t.rowsRead, t.result,
                scott_->queryValue("SELECT COUNT(*) || '/' || NVL(MAX(CODE), 0) FROM T")
                    .value_or("none")};
    }
};

TEST_F(MigrateRowFailureTest, RowByRowAndBatchesKeepExactlyTheRowsBeforeTheFailure) {
    struct Case {
        const char* name;
        int rows;
        int failing;   // the row the copy stops at, from 1
        bool badDate;  // the row has no statement; otherwise the server refuses it
        const char* resultStart;
    };
    const Case cases[] = {
        {"the server refuses the third row", 7, 3, false, "ORA-00001"},
        {"the first row has no statement", 7, 1, true, ""},
        {"the server refuses a row past the rows read ahead", 300, 290, false, "ORA-00001"},
        {"a row past the rows read ahead has no statement", 300, 257, true, ""},
    };
    scott_->execute("CREATE TABLE T (CODE NUMBER(10) PRIMARY KEY, NAME VARCHAR2(20), UPD DATE)");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir_.path() + "/" + std::to_string(c.failing) + ".mdb";
        testing::writeJetFile(path, {tableFailingAt(c.rows, c.failing, c.badDate)});
        const Ended byRow = migrate(path, 0);
        EXPECT_EQ(byRow.rowsRead, c.failing);
        EXPECT_EQ(byRow.held, std::to_string(c.failing - 1) + "/" + std::to_string(c.failing - 1));
        EXPECT_EQ(byRow.result.rfind(c.resultStart, 0), 0u) << byRow.result;
        EXPECT_FALSE(byRow.result.empty());
        for (const std::size_t batch : {std::size_t{1}, std::size_t{100}}) {
            const Ended batched = migrate(path, batch);
            EXPECT_EQ(batched.rowsRead, byRow.rowsRead) << batch;
            EXPECT_EQ(batched.result, byRow.result) << batch;
            EXPECT_EQ(batched.held, byRow.held) << batch;
        }
    }
}

}  // namespace
}  // namespace malvorn::core
