// What the console prints. The lines of several tables at once: in a log each
// table's own lines and its end; on a terminal the block drawn again in place,
// a finished table's line left above the ones still running. A query's rows.
// What migrate prints besides the summary, and the console's words for the
// core's checks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <sstream>

#include "cli/command.h"
#include "cli/console.h"
#include "cli/migrate_text.h"
#include "cli/progress_board.h"
#include "cli/result_text.h"
#include "support/temp_dir.h"

namespace malvorn::cli {
namespace {

struct Capture {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{std::tmpfile(), &std::fclose};
    std::string text() const {
        std::fflush(file.get());
        std::rewind(file.get());
        std::string out;
        for (int c; (c = std::fgetc(file.get())) != EOF;)
            out += static_cast<char>(c);
        return out;
    }
};

// The screen a terminal shows for `output`: "\033[nA" moves up n lines, "\r"
// to the line's start, "\033[J" clears from there down, "\033[K" the rest of
// the line (nothing is drawn past a line's end here, so it is left as is).
std::vector<std::string> screen(const std::string& output) {
    std::vector<std::string> lines(1);
    std::size_t row = 0;
    for (std::size_t i = 0; i < output.size(); ++i) {
        if (output.compare(i, 2, "\033[") == 0) {
            std::size_t end = i + 2;
            while (std::isdigit(static_cast<unsigned char>(output[end])))
                ++end;
            const int n = end > i + 2 ? std::stoi(output.substr(i + 2, end - i - 2)) : 1;
            if (output[end] == 'A')
                row -= static_cast<std::size_t>(n);
            else if (output[end] == 'J')
                lines.resize(row + 1, std::string());
            i = end;
        } else if (output[i] == '\r') {
            lines[row].clear();  // every line drawn is drawn whole
        } else if (output[i] == '\n') {
            if (++row == lines.size())
                lines.emplace_back();
        } else {
            lines[row] += output[i];
        }
    }
    if (lines.back().empty())
        lines.pop_back();
    return lines;
}

TEST(ProgressBoard, EachTableHasItsLineAndLeavesItsEnd) {
    struct Case {
        const char* name;
        bool terminal;
        std::vector<std::string> shown;  // a prefix of each line, in order
    };
    const Case cases[] = {
        {"log",
         false,
         {"[1/3] A 0 / 100 行", "[2/3] B 0 / 50 行", "[2/3] B 50 / 50 行", "[2/3] B: ok",
          "[1/3] A 100 / 100 行", "[1/3] A: ok"}},
        {"terminal", true, {"[2/3] B: ok", "[1/3] A: ok", "[3/3] C [####"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Capture out;
        ProgressBoard board(out.file.get(), c.terminal);
        board.started("[1/3] A");
        board.update("[1/3] A", 0, 100);
        board.started("[2/3] B");
        board.update("[2/3] B", 0, 50);
        board.update("[2/3] B", 50, 50);
        board.finished("[2/3] B", "[2/3] B: ok");
        board.update("[1/3] A", 100, 100);
        board.finished("[1/3] A", "[1/3] A: ok");
        board.started("[3/3] C");
        board.update("[3/3] C", 10, 10);
        board.update("[9/9] unknown", 1, 1);  // a table never started shows nothing
        const std::vector<std::string> lines = screen(out.text());
        std::vector<std::string> heads;
        for (std::size_t i = 0; i < lines.size() && i < c.shown.size(); ++i)
            heads.push_back(lines[i].substr(0, c.shown[i].size()));
        EXPECT_EQ(heads, c.shown);
        EXPECT_EQ(lines.size(), c.shown.size() + (c.terminal ? 0 : 1));  // a log: and C's line
    }
}

class ListRows : public oracle::ResultSet {
  public:
    ListRows(std::vector<std::string> names, std::vector<std::vector<oracle::Value>> rows)
        : names_(std::move(names)), rows_(std::move(rows)) {}
    const std::vector<std::string>& columnNames() const override { return names_; }
    bool next() override { return ++at_ < rows_.size(); }
    oracle::Value value(std::size_t i) const override { return rows_.at(at_).at(i); }

  private:
    std::vector<std::string> names_;
    std::vector<std::vector<oracle::Value>> rows_;
    std::size_t at_ = static_cast<std::size_t>(-1);
};

TEST(TabSeparated, HeaderRowsNullsAndEscapes) {
    ListRows rows(
        {"ID", "氏名", "備考"},
        {{"1", "山田", std::nullopt}, {"2", "a\tb", "x\r\ny\\z"}, {std::nullopt, "", ""}});
    std::ostringstream out;
    writeTabSeparated(rows, out);
    EXPECT_EQ(out.str(), "ID\t氏名\t備考\n1\t山田\t\n2\ta\\tb\tx\\r\\ny\\\\z\n\t\t\n");

    ListRows empty({"A"}, {});
    std::ostringstream none;
    writeTabSeparated(empty, none);
    EXPECT_EQ(none.str(), "A\n");
}

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
