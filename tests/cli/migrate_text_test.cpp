// What migrate prints besides the summary, and the console's words for the
// core's checks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cli/command.h"
#include "cli/console.h"
#include "cli/migrate_text.h"
#include "support/temp_dir.h"

namespace malvorn::cli {
namespace {

core::TableOutcome outcome(const std::string& table, const std::string& result) {
    core::TableOutcome t;
    t.table = table;
    t.ok = result == "ok";
    t.result = result;
    return t;
}

struct HintCase {
    const char* what;
    std::vector<core::TableOutcome> tables;
    std::string hint;  // empty: no hint line
};

TEST(MigrateText, OracleSafeHintOnlyForRefusalsItsRulesAvoid) {
    const std::string head =
        "--oracle-safe (どの Access ファイルでも通る規則) なら避けられる失敗の表: ";
    const HintCase cases[] = {
        {"all ok", {outcome("A", "ok")}, ""},
        {"a refusal the rules do not touch",
         {outcome("A", "ORA-00001: unique constraint (NW.PK) violated"),
          outcome("B", "表が既にあります (--replace で作り直し、--clear で行を入れ替え)")},
         ""},
        {"type, name, constraint and NOT NULL",
         {outcome("Categories", "ORA-00902: invalid datatype"), outcome("Shippers", "ok"),
          outcome("Order Details", "ORA-00903: invalid table name"),
          outcome("Umsätze", "ORA-02264: name already used by an existing constraint"),
          outcome("Customers", "ORA-01400: cannot insert NULL into (\"NW\".\"CUSTOMERS\")")},
         head + "Categories (型), Order Details (名前), Umsätze (制約名), Customers (NOT NULL)\n"},
        {"the code must lead the message",
         {outcome("A", "行 3: ORA-00902 のような文字を含む値")},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        core::MigrateReport report;
        report.tables = c.tables;
        EXPECT_EQ(oracleSafeHint(report), c.hint);
    }
}

TEST(MigrateText, FailedTablesKeepTheirWholeMessage) {
    core::MigrateReport report;
    const std::string whole =
        "ORA-01400: cannot insert NULL into (\"NW\".\"CUSTOMERS\".\"REGION\")" +
        std::string(80, 'x');
    report.tables = {outcome("Shippers", "ok"), outcome("Customers", whole)};
    EXPECT_EQ(failedTablesText(report), "失敗した表:\n  Customers: " + whole + "\n");
    report.tables.pop_back();
    EXPECT_EQ(failedTablesText(report), "");
}

TEST(MigrateText, ReportPathCheckedBeforeAnyWork) {
    TempDir dir;
    const std::string locked = dir.path() + "/locked";
    ASSERT_EQ(::mkdir(locked.c_str(), 0500), 0);
    struct Case {
        std::string path;
        std::string message;  // empty: accepted
    };
    const Case cases[] = {
        {dir.path() + "/r.json", ""},
        {dir.path() + "/missing/r.json", "--report のフォルダがありません: " + dir.path() +
                                             "/missing (" + dir.path() + "/missing/r.json)"},
        {dir.path(), "--report はフォルダです: " + dir.path()},
        {locked + "/r.json",
         "--report のフォルダに書けません: " + locked + " (" + locked + "/r.json)"},
    };
    for (const auto& c : cases) {
        if (c.message.find("書けません") != std::string::npos && ::geteuid() == 0)
            continue;  // root writes anywhere
        try {
            checkReportPath(c.path);
            EXPECT_EQ(c.message, "") << c.path;
        } catch (const UsageError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
    }
}

// Every check the core names has the command line's own words, naming what
// it checked; an unnamed check keeps its own message.
TEST(ConsoleRefusal, NamesWhatTheCheckIsAbout) {
    using core::Rule;
    struct Case {
        Rule rule;
        const char* subject;
    };
    const Case cases[] = {
        {Rule::kDbPathBlank, ""},
        {Rule::kDbPathExtension, "/d/x.txt"},
        {Rule::kDbPathMissing, "/d/x.mdb"},
        {Rule::kTableBlank, ""},
        {Rule::kOwnerIsSystem, "system"},
        {Rule::kConnectionNotSystem, "scott"},
        {Rule::kTablespaceBlank, ""},
        {Rule::kIndexTablespaceBlank, ""},
        {Rule::kSqlFolderBlank, ""},
        {Rule::kSqlFolderMissing, "/d/sql"},
        {Rule::kSqlFolderWithoutScripts, "/d/sql"},
        {Rule::kScriptMissing, "/d/a.sql"},
        {Rule::kSqlBlank, ""},
    };
    for (const auto& c : cases) {
        const core::Check check{true,
                                "画面の文言。 再入力してください。",
                                base::MessageIcon::kExclamation,
                                core::Field::kNone,
                                c.rule,
                                c.subject};
        const std::string text = consoleRefusalText(check);
        EXPECT_EQ(text.find("再入力"), std::string::npos) << text;
        EXPECT_NE(text.find(c.subject), std::string::npos) << text;
    }
    const core::Check unnamed{true, "そのまま", base::MessageIcon::kExclamation,
                              core::Field::kNone};
    EXPECT_EQ(consoleRefusalText(unnamed), "そのまま");
}

}  // namespace
}  // namespace malvorn::cli
