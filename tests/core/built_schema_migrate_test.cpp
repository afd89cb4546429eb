// migrate --oracle-safe over a file that holds its schema itself, as the
// builder writes it (AutoNumber flags, Required, AllowZeroLength, validation
// rules, descriptions, the relationship catalog), read the way the command
// line reads it: old rows that break a foreign key, with and without
// --allow-invalid. The statements each rule becomes: schema_ddl_test
// (convert); the file's schema as read: jet_reader_built_test.
#include <gtest/gtest.h>

#include "jet/jet_reader_client.h"
#include "jet_builder/jet_relations.h"
#include "migrate_fixture.h"

namespace malvorn::core {
namespace {

using testing::JetBuildRelationship;
using testing::JetBuildTable;

std::vector<JetBuildTable> firmTables() {
    JetBuildTable customers{
        "Kunden",
        {{.name = "ID", .type = 4, .autoNumber = true},
         {.name = "Name", .type = 10, .size = 30, .required = true},
         {.name = "Kurz", .type = 10, .size = 10, .allowZeroLength = true, .required = true},
         {.name = "Rabatt",
          .type = 4,
          .description = "in Prozent",
          .validationRule = "Between 0 And 50"}},
        {{.name = "PrimaryKey", .columns = {"ID"}, .primary = true}},
        {{std::int64_t{1}, "Ada", "", std::int64_t{5}},
         {std::int64_t{7}, "Bo", "B", std::int64_t{0}}}};
    JetBuildTable staff{"Leute",
                        {{.name = "ID", .type = 4}, {.name = "Chef", .type = 4}},
                        {{.name = "PrimaryKey", .columns = {"ID"}, .primary = true}},
                        {{std::int64_t{1}, std::monostate{}}, {std::int64_t{2}, std::int64_t{1}}}};
    JetBuildTable orders{
        "Auftrag",
        {{.name = "Nr", .type = 4}, {.name = "Zeile", .type = 3}, {.name = "KundeID", .type = 4}},
        {{.name = "PrimaryKey", .columns = {"Nr", "Zeile"}, .primary = true}},
        // Customer 99 is an orphan the file kept.
        {{std::int64_t{1}, std::int64_t{1}, std::int64_t{1}},
         {std::int64_t{1}, std::int64_t{2}, std::int64_t{99}},
         {std::int64_t{2}, std::int64_t{1}, std::int64_t{7}}}};
    JetBuildTable notes{
        "Vermerk",
        {{.name = "Nr", .type = 4}, {.name = "Zeile", .type = 3}, {.name = "Text", .type = 10}},
        {},
        {{std::int64_t{1}, std::int64_t{1}, "eilt"}, {std::int64_t{2}, std::int64_t{1}, "bar"}}};
    const std::vector<JetBuildRelationship> relationships = {
        {"KundenAuftrag", "Auftrag", {"KundeID"}, "Kunden", {"ID"}},
        {"LeuteLeute", "Leute", {"Chef"}, "Leute", {"ID"}},
        {"AuftragVermerk",
         "Vermerk",
         {"Nr", "Zeile"},
         "Auftrag",
         {"Nr", "Zeile"},
         model::kRelationCascadeDeletes},
        {"KundenVermerk", "Vermerk", {"Nr"}, "Kunden", {"ID"}, model::kRelationNotEnforced},
    };
    return testing::withRelationships({customers, staff, orders, notes}, relationships);
}

class BuiltSchemaMigrateTest : public MigrateFixture {
  protected:
    void SetUp() override {
        MigrateFixture::SetUp();
        path_ = write(firmTables(), "firm.mdb");
        // Through the reader process, as the command line reads a file.
        openJet_ = [](const std::string& path) {
            jet::JetReaderOptions options;
            options.readerPath = JET_READER;
            return jet::openJetSource(path, options);
        };
    }

    Outcome migrate(bool allowInvalid) {
        return MigrateFixture::migrate(
            path_,
            Ask{.replace = true, .oracleSafe = true, .verify = true, .allowInvalid = allowInvalid});
    }

    std::string path_;
};

TEST_F(BuiltSchemaMigrateTest, OrphansFailTheirTableOrStayWithAllowInvalid) {
    struct Case {
        bool allowInvalid;
        Outcome outcome;
        bool ordersOk;
        const char* inOrders;  // in the result or the notes
        Strings validated;
    };
    const Case cases[] = {
        {false, Outcome::kFailed, false, "既存の 1 行が規則を破ります", {}},
        {true, Outcome::kDone, true, "ENABLE NOVALIDATE", {"NOT VALIDATED"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.allowInvalid ? "--allow-invalid" : "plain");
        EXPECT_EQ(migrate(c.allowInvalid), c.outcome);
        const TableOutcome& orders = table("Auftrag");
        EXPECT_EQ(orders.ok, c.ordersOk);
        EXPECT_NE((orders.result + notes("Auftrag")).find(c.inOrders), std::string::npos)
            << orders.result;
        EXPECT_EQ(rows(*scott_,
                       "SELECT VALIDATED FROM USER_CONSTRAINTS WHERE CONSTRAINT_NAME = "
                       "'FK_AUFTRAG_KUNDEN'"),
                  c.validated);
        for (const char* other : {"Kunden", "Leute", "Vermerk"})
            EXPECT_TRUE(table(other).ok) << other << ": " << table(other).result;
    }
    // New rows are checked all the same.
    EXPECT_EQ(oraCode([&] { scott_->execute("INSERT INTO Auftrag VALUES (3, 1, 98)"); }),
              "ORA-02291");
}

}  // namespace
}  // namespace malvorn::core
