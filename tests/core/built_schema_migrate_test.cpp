// migrate --oracle-safe over a file that holds its schema itself, as the
// builder writes it (AutoNumber flags, Required, AllowZeroLength, validation
// rules, descriptions, the relationship catalog), read the way the command
// line reads it: what the local server then enforces, and old rows that break
// a foreign key, with and without --allow-invalid.
#include <gtest/gtest.h>

#include "core/migrate.h"
#include "jet/jet_reader_client.h"
#include "jet_builder/jet_relations.h"
#include "localserver/server_fixture.h"
#include "support/local_migration.h"
#include "support/scripted_messages.h"

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
        {.name = "KundenAuftrag",
         .table = "Auftrag",
         .columns = {"KundeID"},
         .referencedTable = "Kunden",
         .referencedColumns = {"ID"}},
        {.name = "LeuteLeute",
         .table = "Leute",
         .columns = {"Chef"},
         .referencedTable = "Leute",
         .referencedColumns = {"ID"}},
        {.name = "AuftragVermerk",
         .table = "Vermerk",
         .columns = {"Nr", "Zeile"},
         .referencedTable = "Auftrag",
         .referencedColumns = {"Nr", "Zeile"},
         .attributes = model::kRelationCascadeDeletes},
        {.name = "KundenVermerk",
         .table = "Vermerk",
         .columns = {"Nr"},
         .referencedTable = "Kunden",
         .referencedColumns = {"ID"},
         .attributes = model::kRelationNotEnforced},
    };
    return testing::withRelationships({customers, staff, orders, notes}, relationships);
}

class BuiltSchemaMigrateTest : public localserver::ServerTest {
  protected:
    void SetUp() override {
        scott_ = appUser();
        path_ = dir_.path() + "/firm.mdb";
        testing::writeJetFile(path_, firmTables());
    }

    Outcome migrate(bool allowInvalid) {
        MigrateFields fields;
        fields.dbPath = path_;
        fields.oracleSafe = true;
        fields.replace = true;
        fields.verify = true;
        fields.allowInvalid = allowInvalid;
        fields.connection = {"scott", "tiger", folder()};
        Services services = localMigrationServices(messages_, front_);
        // Through the reader process, as the command line reads a file.
        services.openJet = [](const std::string& path) {
            jet::JetReaderOptions options;
            options.readerPath = JET_READER;
            return jet::openJetSource(path, options);
        };
        MigrateProgress quiet;
        report_ = {};
        return migrateDatabase(fields, services, quiet, report_);
    }

    const TableOutcome& table(const std::string& name) const {
        for (const auto& t : report_.tables) {
            if (t.table == name)
                return t;
        }
        throw std::runtime_error("no table " + name);
    }

    std::string allNotes(const std::string& name) const {
        std::string text;
        for (const auto& note : table(name).notes)
            text += note + "\n";
        return text;
    }

    std::unique_ptr<oracle::Session> scott_;
    std::string path_;
    ScriptedMessages messages_;
    Front front_;
    MigrateReport report_;
};

TEST_F(BuiltSchemaMigrateTest, OrphansFailTheirTableOrStayWithAllowInvalid) {
    struct Case {
        bool allowInvalid;
        Outcome outcome;
        bool ordersOk;
        const char* inOrders;  // in the result or the notes
        std::vector<std::string> validated;
    };
    const Case cases[] = {
        {.allowInvalid = false,
         .outcome = Outcome::kFailed,
         .ordersOk = false,
         .inOrders = "既存の 1 行が規則を破ります",
         .validated = {}},
        {.allowInvalid = true,
         .outcome = Outcome::kDone,
         .ordersOk = true,
         .inOrders = "ENABLE NOVALIDATE",
         .validated = {"NOT VALIDATED"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.allowInvalid ? "--allow-invalid" : "plain");
        EXPECT_EQ(migrate(c.allowInvalid), c.outcome);
        const TableOutcome& orders = table("Auftrag");
        EXPECT_EQ(orders.ok, c.ordersOk);
        EXPECT_NE((orders.result + allNotes("Auftrag")).find(c.inOrders), std::string::npos)
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

TEST_F(BuiltSchemaMigrateTest, TheServerEnforcesWhatTheFileHolds) {
    ASSERT_EQ(migrate(true), Outcome::kDone);
    struct Enforced {
        const char* what;
        const char* statement;
        const char* code;  // "" when it succeeds
    };
    const Enforced cases[] = {
        {.what = "a table referring to itself",
         .statement = "INSERT INTO Leute VALUES (3, 42)",
         .code = "ORA-02291"},
        {.what = "the same, to a row there",
         .statement = "INSERT INTO Leute VALUES (3, 2)",
         .code = ""},
        // First, so that it takes the identity's next value.
        {.what = "Required text that allows '': no NOT NULL",
         .statement = "INSERT INTO Kunden (Name, Kurz) VALUES ('Cy', '')",
         .code = ""},
        {.what = "Required text",
         .statement = "INSERT INTO Kunden (Name, Kurz) VALUES (NULL, 'x')",
         .code = "ORA-01400"},
        {.what = "the validation rule",
         .statement = "UPDATE Kunden SET Rabatt = 51 WHERE ID = 1",
         .code = "ORA-02290"},
        // Nr 2 is an order but no customer: only the enforced key is there.
        {.what = "a relationship not enforced",
         .statement = "INSERT INTO Vermerk VALUES (2, 1, 'x')",
         .code = ""},
        {.what = "the two-column key",
         .statement = "INSERT INTO Vermerk VALUES (2, 2, 'x')",
         .code = "ORA-02291"},
    };
    for (const Enforced& e : cases)
        EXPECT_EQ(oraCode([&] { scott_->execute(e.statement); }), e.code) << e.what;
    // The identity went on past the copied 7, the cascade over two columns.
    EXPECT_EQ(rows(*scott_, "SELECT ID FROM Kunden WHERE Name = 'Cy'"),
              std::vector<std::string>{"8"});
    scott_->execute("DELETE FROM Auftrag WHERE Nr = 1 AND Zeile = 1");
    EXPECT_EQ(rows(*scott_, "SELECT Nr FROM Vermerk ORDER BY Nr"),
              (std::vector<std::string>{"2", "2"}));
    EXPECT_EQ(rows(*scott_, "SELECT COMMENTS FROM USER_COL_COMMENTS WHERE COMMENTS IS NOT NULL"),
              std::vector<std::string>{"in Prozent"});
    EXPECT_NE(allNotes("Kunden").find("Kurz は値要求ですが長さ0"), std::string::npos)
        << allNotes("Kunden");
    EXPECT_NE(allNotes("Vermerk").find("KundenVermerk は参照整合性がない"), std::string::npos)
        << allNotes("Vermerk");
}

}  // namespace
}  // namespace malvorn::core
