// Saved queries as views: which are made, in what order, what is left out
// and why, and what a refusal does to the views built on it.
#include "core/migrate_views.h"

#include <gtest/gtest.h>

#include <set>

#include "support/quiet_session.h"

namespace malvorn::core {
namespace {

using model::QueryKind;
using model::StoredQuery;

StoredQuery selectFrom(const std::string& name, const std::string& source,
                       const std::string& where = "") {
    StoredQuery q;
    q.name = name;
    q.kind = QueryKind::kSelect;
    q.inputs.push_back({source, "", ""});
    q.outputs.push_back({"[" + source + "].A", "", 0});
    q.where = where;
    return q;
}

// Records what it is sent; refuses the statements holding a marker.
class FakeSession : public testing::QuietSession {
  public:
    std::vector<std::string> sent;
    std::set<std::string> refuse;  // a statement containing one is refused
    void execute(const std::string& s) override { check(s); }
    oracle::Value queryValue(const std::string& q) override {
        check(q);
        return "7";
    }
    std::unique_ptr<oracle::ResultSet> query(const std::string& q) override {
        check(q);
        return nullptr;
    }

  private:
    void check(const std::string& s) {
        sent.push_back(s);
        for (const auto& marker : refuse)
            if (s.find(marker) != std::string::npos)
                throw oracle::OracleError(942, "ORA-00942: table or view does not exist", "x");
    }
};

std::vector<StoredQuery> queries() {
    StoredQuery asked = selectFrom("Asked", "T");
    asked.parameters.push_back({"Since", 8});
    StoredQuery make = selectFrom("Make", "T");
    make.kind = QueryKind::kMakeTable;
    return {selectFrom("Totals", "Base Q"),
            selectFrom("Base Q", "T", "T.A > 1"),
            asked,
            selectFrom("Uses Asked", "Asked"),
            make,
            selectFrom("Form Filter", "T", "T.A = [Forms]![F]![A]")};
}

TEST(MigrateViews, PlannedInDependencyOrderTheRestLeftOutWithTheReason) {
    const auto views = planViews(queries(), false);
    ASSERT_EQ(views.size(), 6u);
    // A view after the one it reads; the left-out ones last, each with its reason.
    const struct {
        const char* query;
        ViewStatus status;
        const char* reason;
    } expected[] = {
        {"Base Q", ViewStatus::kPlanned, ""},
        {"Totals", ViewStatus::kPlanned, ""},
        {"Asked", ViewStatus::kLeftOut, "パラメータ"},
        {"Uses Asked", ViewStatus::kLeftOut, "元にするクエリ Asked"},
        {"Make", ViewStatus::kLeftOut, "テーブル作成クエリ"},
        {"Form Filter", ViewStatus::kLeftOut, "フォーム"},
    };
    for (std::size_t i = 0; i < views.size(); ++i) {
        SCOPED_TRACE(expected[i].query);
        EXPECT_EQ(views[i].query, expected[i].query);
        EXPECT_EQ(views[i].status, expected[i].status);
        EXPECT_NE(views[i].reason.find(expected[i].reason), std::string::npos) << views[i].reason;
    }
    EXPECT_EQ(views[0].sql, "CREATE VIEW \"Base Q\" AS\nSELECT T.A\nFROM T\nWHERE T.A > 1");
    EXPECT_EQ(views[1].dependsOn, std::vector<std::string>{"Base Q"});
    EXPECT_TRUE(planViews(queries(), true)[1].sql.starts_with("CREATE OR REPLACE VIEW Totals"));
}

TEST(MigrateViews, QueriesReadingEachOtherAreACircle) {
    const auto views = planViews({selectFrom("A", "B"), selectFrom("B", "A")}, false);
    ASSERT_EQ(views.size(), 2u);
    for (const auto& view : views)
        EXPECT_NE(view.reason.find("循環"), std::string::npos) << view.query;
}

TEST(MigrateViews, ARefusalLeavesOutTheViewsBuiltOnIt) {
    auto views = planViews(queries(), false);
    FakeSession session;
    session.refuse.insert("CREATE VIEW \"Base Q\"");
    createViews(views, session, true);
    EXPECT_EQ(views[0].status, ViewStatus::kRefused);
    EXPECT_NE(views[0].reason.find("ORA-00942"), std::string::npos);
    EXPECT_EQ(views[1].status, ViewStatus::kLeftOut);
    EXPECT_NE(views[1].reason.find("Base Q"), std::string::npos);
    EXPECT_FALSE(viewsOk(views));
    // Nothing is sent for a view that was left out.
    EXPECT_EQ(session.sent.size(), 1u);
}

TEST(MigrateViews, VerifyCountsEachViewAndAFailedSelectIsAFailedCheck) {
    auto views = planViews(queries(), false);
    FakeSession session;
    session.refuse.insert("SELECT COUNT(*) FROM Totals");
    createViews(views, session, true);
    EXPECT_EQ(views[0].status, ViewStatus::kCreated);
    EXPECT_EQ(views[0].rows, std::optional<std::int64_t>(7));
    EXPECT_EQ(views[1].status, ViewStatus::kFailedCheck);
    EXPECT_FALSE(viewsOk(views));

    auto unchecked = planViews(queries(), false);
    FakeSession quiet;
    createViews(unchecked, quiet, false);
    EXPECT_TRUE(viewsOk(unchecked));
    EXPECT_EQ(quiet.sent.size(), 2u);  // the two CREATE VIEWs, no count
}

TEST(MigrateViews, ScriptSummaryAndJsonNameEveryQuery) {
    auto views = planViews(queries(), false);
    const std::string script = viewsScript(views);
    EXPECT_NE(script.find("CREATE VIEW Totals AS\nSELECT \"Base Q\".A\nFROM \"Base Q\";\n\n"),
              std::string::npos)
        << script;
    EXPECT_NE(script.find("-- Make: "), std::string::npos);
    const std::string json = viewsJson(views);
    EXPECT_NE(json.find("\"query\": \"Uses Asked\""), std::string::npos);
    EXPECT_NE(json.find("\"status\": \"left out\""), std::string::npos);
    const std::string summary = viewsSummary(views);
    for (const auto& view : views)
        EXPECT_NE(summary.find(view.query + ": "), std::string::npos) << view.query;
}

}  // namespace
}  // namespace malvorn::core
