// migrate's views step over a built file with saved queries and the local
// server: when it runs, what it reports, and what the server made of it.
#include <gtest/gtest.h>

#include "base/file_system.h"
#include "core/migrate.h"
#include "jet/mdb_database.h"
#include "jet_builder/jet_builder.h"
#include "support/local_migrate_test.h"

namespace malvorn::core {
namespace {

using testing::JetBuildQuery;
using testing::JetBuildTable;

JetBuildTable codes() {
    JetBuildTable table{"T", {{.name = "CODE", .type = 4}}, {{"pkkey", {"CODE"}, true}}, {}};
    for (std::int64_t i = 1; i <= 3; ++i)
        table.rows.push_back({i});
    return table;
}

std::vector<JetBuildQuery> savedQueries() {
    return {{.name = "Big",
             .rows = {{.attribute = 1, .flag = 1},
                      {.attribute = 5, .name1 = "T"},
                      {.attribute = 6, .expression = "T.CODE", .flag = 0},
                      {.attribute = 8, .expression = "T.CODE>1"}}},
            {.name = "Asked",
             .rows = {{.attribute = 1, .flag = 1},
                      {.attribute = 2, .flag = 4, .name1 = "Least"},
                      {.attribute = 5, .name1 = "T"},
                      {.attribute = 6, .expression = "T.CODE", .flag = 0},
                      {.attribute = 8, .expression = "T.CODE>[Least]"}}}};
}

class MigrateViewsServer : public LocalMigrateTest {
  protected:
    Outcome migrate(MigrateFields fields) {
        const std::string path = dir_.path() + "/q" + std::to_string(++files_) + ".mdb";
        testing::writeJetFile(path, {codes()}, savedQueries());
        fields.replace = true;
        return migrateFile(path, fields);
    }

    int files_ = 0;
};

TEST_F(MigrateViewsServer, ViewsAfterTheTablesOnlyUnderTheSafeRulesForTheWholeFile) {
    MigrateFields fields;
    fields.oracleSafe = true;
    fields.verify = true;
    const Outcome outcome = migrate(fields);
    ASSERT_EQ(report_.views.size(), 2u);
    EXPECT_EQ(report_.views[0].query, "Big");
    EXPECT_EQ(report_.views[1].status, ViewStatus::kLeftOut);
    EXPECT_NE(report_.views[1].reason.find("パラメータ"), std::string::npos);
    EXPECT_EQ(outcome, Outcome::kDone);
    EXPECT_EQ(report_.views[0].status, ViewStatus::kCreated);
    EXPECT_EQ(report_.views[0].rows, std::optional<std::int64_t>(2));
    EXPECT_EQ(rows(*scott_, "SELECT CODE FROM Big ORDER BY 1"),
              (std::vector<std::string>{"2", "3"}));
    EXPECT_EQ(report_.tables.at(0).result, "ok");

    fields.views = false;
    EXPECT_EQ(migrate(fields), Outcome::kDone);
    EXPECT_TRUE(report_.views.empty());
    fields.views = true;
    fields.tables = {"T"};
    EXPECT_EQ(migrate(fields), Outcome::kDone);
    EXPECT_TRUE(report_.views.empty());
    MigrateFields windowRules;
    EXPECT_EQ(migrate(windowRules), Outcome::kDone);
    EXPECT_TRUE(report_.views.empty());
}

}  // namespace
}  // namespace malvorn::core
