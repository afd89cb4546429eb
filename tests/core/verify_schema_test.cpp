// migrate --verify over the schema: what someone changes on the server
// between the schema steps and the read-back, or what the server makes of
// a statement otherwise than meant, is named and fails the table.
#include <gtest/gtest.h>

#include "core/migrate.h"
#include "core/migrate_report.h"
#include "core/migrate_report_html.h"
#include "localserver/server_fixture.h"
#include "support/local_migration.h"
#include "support/scripted_messages.h"
#include "support/shop_schema.h"

namespace malvorn::core {
namespace {

// A session through which someone acts behind the migration's back: a
// statement starting with `trigger` is sent as `instead` (when not empty),
// then `after` is sent (when not empty).
struct Meddling {
    std::string trigger = {};
    std::string instead = {};
    std::string after = {};
};

class MeddledSession : public oracle::Session {
  public:
    MeddledSession(std::unique_ptr<oracle::Session> real, Meddling meddling)
        : real_(std::move(real)), m_(std::move(meddling)) {}
    void execute(const std::string& statement) override {
        const bool hit = !m_.trigger.empty() && statement.rfind(m_.trigger, 0) == 0;
        real_->execute(hit && !m_.instead.empty() ? m_.instead : statement);
        if (hit && !m_.after.empty())
            real_->execute(m_.after);
    }
    oracle::Value queryValue(const std::string& q) override { return real_->queryValue(q); }
    std::unique_ptr<oracle::ResultSet> query(const std::string& q) override {
        return real_->query(q);
    }
    void insertRows(const std::string& insert, const std::vector<oracle::BoundRow>& rows) override {
        real_->insertRows(insert, rows);
    }
    void setAutoCommit(bool on) override { real_->setAutoCommit(on); }
    void commit() override { real_->commit(); }
    void rollback() override { real_->rollback(); }

  private:
    std::unique_ptr<oracle::Session> real_;
    Meddling m_;
};

class VerifySchemaTest : public localserver::ServerTest {
  protected:
    void SetUp() override { scott_ = appUser(); }

    Outcome migrate(const Meddling& meddling) {
        const std::string path = dir_.path() + "/shop.mdb";
        testing::writeJetFile(path, testing::shop());
        MigrateFields fields;
        fields.dbPath = path;
        fields.oracleSafe = true;
        fields.verify = true;
        fields.replace = true;
        fields.connection = {"scott", "tiger", folder()};
        Services services = localMigrationServices(messages_, front_);
        services.openJet = testing::describedOpener(testing::shopSchema());
        const SessionOpener real = services.openSession;
        services.openSession = [real, meddling](const model::ConnectionFields& c) {
            return std::make_unique<MeddledSession>(real(c), meddling);
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

    std::unique_ptr<oracle::Session> scott_;
    ScriptedMessages messages_;
    Front front_;
    MigrateReport report_;
};

TEST_F(VerifySchemaTest, WhatChangedBehindTheRunIsNamed) {
    struct Case {
        const char* what;
        Meddling meddling;
        const char* table;       // the one table that fails
        const char* difference;  // in its "schema"
    };
    const Case cases[] = {
        {.what = "an index dropped after it was made",
         .meddling = {.trigger = "CREATE INDEX Kunden_StadtName",
                      .after = "DROP INDEX Kunden_StadtName"},
         .table = "Kunden",
         .difference = "索引 Kunden_StadtName がありません"},
        {.what = "a unique index made without UNIQUE",
         .meddling = {.trigger = "CREATE UNIQUE INDEX Kunden_Name",
                      .instead = "CREATE INDEX Kunden_Name ON Kunden (Name)"},
         .table = "Kunden",
         .difference = "索引 Kunden_Name が UNIQUE ではなく NONUNIQUE です"},
        {.what = "an index over other columns",
         .meddling = {.trigger = "CREATE INDEX Kunden_StadtName",
                      .instead = "CREATE INDEX Kunden_StadtName ON Kunden (Name, Stadt)"},
         .table = "Kunden",
         .difference = "索引 Kunden_StadtName の列が (STADT, NAME) ではなく (NAME, STADT) です"},
        {.what = "a foreign key without its cascade",
         .meddling = {.trigger = "ALTER TABLE Umsätze ADD CONSTRAINT fk_Umsätze_Kunden",
                      .instead = "ALTER TABLE Umsätze ADD CONSTRAINT fk_Umsätze_Kunden "
                                 "FOREIGN KEY (KundeID) REFERENCES Kunden (ID)"},
         .table = "Umsätze",
         .difference = "の削除規則が CASCADE ではなく NO ACTION です"},
        {.what = "a NOT NULL constraint dropped",
         .meddling = {.trigger = "ALTER TABLE Kunden MODIFY Name CONSTRAINT nn_",
                      .after = "ALTER TABLE Kunden DROP CONSTRAINT nn_Kunden_Name"},
         .table = "Kunden",
         .difference = "制約 nn_Kunden_Name がありません"},
        {.what = "a comment said otherwise",
         .meddling = {.trigger = "COMMENT ON COLUMN Kunden.Stadt",
                      .instead = "COMMENT ON COLUMN Kunden.Stadt IS 'Ort'"},
         .table = "Kunden",
         .difference = "列 Stadt の説明が「Wohnort & Sitz」ではなく「Ort」です"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(migrate(c.meddling), Outcome::kFailed);
        for (const auto& t : report_.tables) {
            if (t.table != c.table) {
                EXPECT_TRUE(t.ok) << t.table << ": " << t.result;
                EXPECT_EQ(t.schema, "ok");
                continue;
            }
            EXPECT_FALSE(t.ok);
            EXPECT_EQ(t.rowsVerified, t.rowsRead);  // the rows are not what failed
            EXPECT_NE(t.schema.find(c.difference), std::string::npos) << t.schema;
            EXPECT_NE(migrateReportJson(report_).find(c.difference), std::string::npos);
        }
    }
}

TEST_F(VerifySchemaTest, AnUntouchedRunIsOkWithItsCounts) {
    ASSERT_EQ(migrate({}), Outcome::kDone);
    struct Expected {
        const char* table;
        std::size_t indexes;
        std::size_t foreignKeys;
    };
    const Expected expected[] = {
        {.table = "Kunden", .indexes = 2, .foreignKeys = 0},
        {.table = "Umsätze", .indexes = 1, .foreignKeys = 1},
        {.table = "Order Details", .indexes = 0, .foreignKeys = 1},
    };
    for (const auto& e : expected) {
        const TableOutcome& t = table(e.table);
        EXPECT_EQ(std::tie(t.indexes, t.foreignKeys, t.schema),
                  std::tie(e.indexes, e.foreignKeys, "ok"))
            << e.table;
    }
    const std::string summary = migrateSummary(report_, true);
    EXPECT_NE(summary.find("  Umsätze: 索引 1、外部キー 1、ok\n"), std::string::npos) << summary;
}

}  // namespace
}  // namespace malvorn::core

namespace malvorn::core {
namespace {

TEST_F(VerifySchemaTest, TheReportNamesWhatEachAccessNameBecame) {
    ASSERT_EQ(migrate({}), Outcome::kDone);
    struct Expected {
        const char* table;
        NameMapping name;
    };
    const Expected expected[] = {
        {.table = "Order Details",
         .name = {.kind = "table", .access = "Order Details", .oracle = "\"Order Details\""}},
        {.table = "Order Details",
         .name = {.kind = "primaryKey", .access = "PrimaryKey", .oracle = "pkOrder_Details"}},
        {.table = "Kunden", .name = {.kind = "column", .access = "Stadt", .oracle = "Stadt"}},
        {.table = "Kunden",
         .name = {.kind = "index", .access = "StadtName", .oracle = "Kunden_StadtName"}},
        {.table = "Kunden",
         .name = {.kind = "notNull", .access = "Name", .oracle = "nn_Kunden_Name"}},
        {.table = "Umsätze",
         .name = {.kind = "check", .access = "Betrag", .oracle = "ck_Umsätze_Betrag"}},
        {.table = "Umsätze",
         .name = {.kind = "foreignKey", .access = "KundenUmsätze", .oracle = "fk_Umsätze_Kunden"}},
    };
    const std::string json = migrateReportJson(report_);
    const std::string html = migrateReportHtml(report_, true);
    for (const auto& e : expected) {
        const auto& names = table(e.table).names;
        const bool there = std::any_of(names.begin(), names.end(), [&](const NameMapping& n) {
            return std::tie(n.kind, n.access, n.oracle) ==
                   std::tie(e.name.kind, e.name.access, e.name.oracle);
        });
        EXPECT_TRUE(there) << e.table << ": " << e.name.kind << " " << e.name.access;
        EXPECT_NE(json.find("{\"kind\": \"" + e.name.kind + "\", \"access\": " +
                            jsonText(e.name.access) + ", \"oracle\": " + jsonText(e.name.oracle)),
                  std::string::npos)
            << e.name.access;
        EXPECT_NE(html.find("<td>" + htmlText(e.name.access) + "</td><td>" +
                            htmlText(e.name.oracle) + "</td>"),
                  std::string::npos)
            << e.name.access;
    }
    // The duplicate of the key is no index: it has no name to list.
    for (const auto& n : table("Kunden").names)
        EXPECT_NE(n.access, "SameAsKey");
}

}  // namespace
}  // namespace malvorn::core
