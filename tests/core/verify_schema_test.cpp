// migrate --verify over the schema: what someone changes on the server
// between the schema steps and the read-back, or what the server makes of
// a statement otherwise than meant, is named and fails the table. The target
// server read before any work: a release before 12.2 refuses the Oracle-safe
// rules before a table is made; the character set and what the server does
// not say go to the report's notes.
#include <gtest/gtest.h>

#include "core/migrate_report.h"
#include "core/migrate_report_html.h"
#include "core/server_check.h"
#include "migrate_fixture.h"
#include "support/shop_schema.h"
#include "support/tapped_session.h"

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

class VerifySchemaTest : public MigrateFixture {
  protected:
    Outcome migrate(const Meddling& meddling) {
        openJet_ = testing::describedOpener(testing::shopSchema());
        wrap_ = [meddling](std::unique_ptr<oracle::Session> real) {
            return std::make_unique<MeddledSession>(std::move(real), meddling);
        };
        return MigrateFixture::migrate(write(testing::shop(), "shop.mdb"),
                                       Ask{.replace = true, .oracleSafe = true, .verify = true});
    }
};

TEST_F(VerifySchemaTest, WhatChangedBehindTheRunIsNamed) {
    struct Case {
        const char* what;
        Meddling meddling;
        const char* table;       // the one table that fails
        const char* difference;  // in its "schema"
    };
    const std::string stadtName = "CREATE INDEX Kunden_StadtName";
    const std::string fk = "ALTER TABLE Umsätze ADD CONSTRAINT fk_Umsätze_Kunden";
    const std::string comment = "COMMENT ON COLUMN Kunden.Stadt";
    const Case cases[] = {
        {"an index dropped after it was made",
         {stadtName, "", "DROP INDEX Kunden_StadtName"},
         "Kunden",
         "索引 Kunden_StadtName がありません"},
        {"a unique index made without UNIQUE",
         {"CREATE UNIQUE INDEX Kunden_Name", "CREATE INDEX Kunden_Name ON Kunden (Name)"},
         "Kunden",
         "索引 Kunden_Name が UNIQUE ではなく NONUNIQUE です"},
        {"an index over other columns",
         {stadtName, stadtName + " ON Kunden (Name, Stadt)"},
         "Kunden",
         "索引 Kunden_StadtName の列が (STADT, NAME) ではなく (NAME, STADT) です"},
        {"a foreign key without its cascade",
         {fk, fk + " FOREIGN KEY (KundeID) REFERENCES Kunden (ID)"},
         "Umsätze",
         "の削除規則が CASCADE ではなく NO ACTION です"},
        {"a NOT NULL constraint dropped",
         {"ALTER TABLE Kunden MODIFY Name CONSTRAINT nn_", "",
          "ALTER TABLE Kunden DROP CONSTRAINT nn_Kunden_Name"},
         "Kunden",
         "制約 nn_Kunden_Name がありません"},
        {"a comment said otherwise",
         {comment, comment + " IS 'Ort'"},
         "Kunden",
         "列 Stadt の説明が「Wohnort & Sitz」ではなく「Ort」です"},
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

// Untouched, every table is ok with its counts, and the report names what
// each Access name became.
TEST_F(VerifySchemaTest, AnUntouchedRunIsOkAndNamesWhatEachAccessNameBecame) {
    ASSERT_EQ(migrate({}), Outcome::kDone);
    struct Counts {
        const char* table;
        std::size_t indexes;
        std::size_t foreignKeys;
    };
    for (const Counts& e :
         {Counts{"Kunden", 2, 0}, Counts{"Umsätze", 1, 1}, Counts{"Order Details", 0, 1}}) {
        const TableOutcome& t = table(e.table);
        EXPECT_EQ(std::tie(t.indexes, t.foreignKeys, t.schema),
                  std::tie(e.indexes, e.foreignKeys, "ok"))
            << e.table;
    }
    const std::string summary = migrateSummary(report_, true);
    EXPECT_NE(summary.find("  Umsätze: 索引 1、外部キー 1、ok\n"), std::string::npos) << summary;
    EXPECT_NE(
        migrateReportJson(report_).find("\"indexes\": 2, \"foreignKeys\": 0, \"schema\": \"ok\""),
        std::string::npos);
    struct Expected {
        const char* table;
        NameMapping name;
    };
    const Expected expected[] = {
        {"Order Details", {"table", "Order Details", "\"Order Details\""}},
        {"Order Details", {"primaryKey", "PrimaryKey", "pkOrder_Details"}},
        {"Kunden", {"column", "Stadt", "Stadt"}},
        {"Kunden", {"index", "StadtName", "Kunden_StadtName"}},
        {"Kunden", {"notNull", "Name", "nn_Kunden_Name"}},
        {"Umsätze", {"check", "Betrag", "ck_Umsätze_Betrag"}},
        {"Umsätze", {"foreignKey", "KundenUmsätze", "fk_Umsätze_Kunden"}},
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

const char* const kRelease =
    "SELECT VALUE FROM NLS_DATABASE_PARAMETERS WHERE PARAMETER = 'NLS_RDBMS_VERSION'";
const char* const kCharacterSet =
    "SELECT VALUE FROM NLS_DATABASE_PARAMETERS WHERE PARAMETER = 'NLS_CHARACTERSET'";

TEST(TargetServer, ReleasesBefore12Point2RefuseTheSafeRules) {
    struct Case {
        const char* release;
        bool oracleSafe;
        bool refused;
    };
    const Case cases[] = {
        {"11.2.0.4.0", true, true},   {"12.1.0.2.0", true, true},  {"9.2.0.1.0", true, true},
        {"12.2.0.1.0", true, false},  {"19.0.0.0.0", true, false}, {"23.4.0.24.05", true, false},
        {"11.2.0.4.0", false, false}, {"", true, false},           {"unknown", true, false},
    };
    for (const Case& c : cases) {
        const auto problem = releaseProblem({c.release, "AL32UTF8"}, c.oracleSafe);
        EXPECT_EQ(problem.has_value(), c.refused) << c.release << " " << c.oracleSafe;
        if (problem) {
            EXPECT_NE(problem->find(c.release), std::string::npos) << *problem;
        }
    }
}

TEST(TargetServer, NotesNameWhatTheServerDidNotSayOrCannotHold) {
    struct Case {
        TargetServer server;
        Strings words;  // one per note
    };
    const Case cases[] = {
        {.server = {"19.0.0.0.0", "AL32UTF8"}, .words = {}},
        {.server = {"19.0.0.0.0", "UTF8"}, .words = {}},
        {.server = {"19.0.0.0.0", "JA16SJIS"}, .words = {"JA16SJIS"}},
        {.server = {"", ""}, .words = {"版", "文字セット"}},
    };
    for (const Case& c : cases) {
        const auto notes = serverNotes(c.server);
        ASSERT_EQ(notes.size(), c.words.size()) << c.server.characterSet;
        for (std::size_t i = 0; i < notes.size(); ++i)
            EXPECT_NE(notes[i].find(c.words[i]), std::string::npos) << notes[i];
    }
}

class TargetServerTest : public MigrateFixture {
  protected:
    Outcome migrate(bool oracleSafe) {
        wrap_ = [this](std::unique_ptr<oracle::Session> real) {
            return std::make_unique<TappedSession>(std::move(real), tap_);
        };
        const std::string path = write({{"KUNDEN",
                                         {{.name = "ID", .type = 4}, {.name = "NAME", .type = 10}},
                                         {},
                                         {{std::int64_t{1}, "Ada"}}}});
        return MigrateFixture::migrate(path, Ask{.replace = true, .oracleSafe = oracleSafe});
    }

    Tap tap_;
};

TEST_F(TargetServerTest, AnOlderServerIsRefusedBeforeATableIsMade) {
    tap_.canned[kRelease] = "11.2.0.4.0";
    EXPECT_EQ(migrate(true), Outcome::kRefused);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_NE(messages_.shown[0].text.find("11.2.0.4.0"), std::string::npos);
    EXPECT_TRUE(report_.tables.empty());
    EXPECT_EQ(rows(*scott_, "SELECT COUNT(*) FROM USER_TABLES"), Strings{"0"});
    // The window's rules write no identity and no long names.
    EXPECT_EQ(migrate(false), Outcome::kDone);
}

TEST_F(TargetServerTest, TheReportSaysWhatTheServerIs) {
    EXPECT_EQ(migrate(true), Outcome::kDone);
    EXPECT_EQ(std::tie(report_.serverRelease, report_.serverCharacterSet),
              std::tie("19.0.0.0.0", "AL32UTF8"));
    EXPECT_TRUE(report_.notes.empty());
    tap_.canned[kCharacterSet] = "WE8ISO8859P1";
    tap_.failures.emplace(kRelease, oracle::OracleError(942, "ORA-00942", "test"));
    EXPECT_EQ(migrate(true), Outcome::kDone);
    const std::string json = migrateReportJson(report_);
    EXPECT_NE(json.find("\"server\": {\"release\": \"\", \"characterSet\": \"WE8ISO8859P1\"}"),
              std::string::npos)
        << json;
    EXPECT_EQ(report_.notes.size(), 2u);
    EXPECT_NE(migrateSummary(report_, false).find("WE8ISO8859P1"), std::string::npos);
}

}  // namespace
}  // namespace malvorn::core
