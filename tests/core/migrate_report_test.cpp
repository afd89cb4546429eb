// The run's report in its three forms: the summary lined up for a terminal,
// the JSON with every field escaped, and the HTML page taken apart by an XML
// reader (every table's row holds its figures, every text comes back as it
// was, the bars' shares add up, nothing is fetched from outside the page).
#include "core/migrate_report.h"

#include <gtest/gtest.h>

#include <QXmlStreamReader>
#include <map>

#include "core/migrate_report_html.h"

namespace malvorn::core {
namespace {

MigrateReport sample() {
    MigrateReport report;
    report.database = "C:\\db\\\"n\".mdb";
    report.seconds = 1.5;
    TableOutcome ok{"Order Details", 5, 2155, 2155, 2155, true, "ok", {}, 0.25};
    ok.verifiedBy = "key order";
    TableOutcome refused{"商品",
                         3,
                         0,
                         std::nullopt,
                         0,
                         false,
                         "ORA-00902: invalid datatype\nsecond line",
                         {"A の既定値 x は省きました"},
                         0};
    report.tables = {ok, refused};
    return report;
}

TEST(MigrateReport, SummaryLinesUpWideNamesAndCutsLongResults) {
    EXPECT_EQ(migrateSummary(sample(), true, 20),
              "テーブル         列    読んだ行    サーバー    検証済み  照合          結果\n"
              "Order Details     5       2,155       2,155       2,155  キー順        ok\n"
              "商品              3           0           -           0  -             "
              "ORA-00902: invali...\n"
              "商品: A の既定値 x は省きました\n"
              "2 表中 1 表 ok、2,155 行、1.50 秒\n");
    const std::string plain = migrateSummary(sample(), false);
    EXPECT_EQ(plain.substr(0, plain.find('\n')),
              "テーブル         列    読んだ行    サーバー  結果");
}

TEST(MigrateReport, TheTotalsNameTheServerRead) {
    struct Case {
        const char* release;
        const char* characterSet;
        const char* totals;
    };
    const Case cases[] = {
        {.release = "19.0.0.0.0",
         .characterSet = "AL32UTF8",
         .totals = "2 表中 1 表 ok、2,155 行、1.50 秒、サーバー Oracle 19.0.0.0.0 (AL32UTF8)\n"},
        {.release = "",
         .characterSet = "WE8ISO8859P1",
         .totals = "2 表中 1 表 ok、2,155 行、1.50 秒、サーバー Oracle (版不明) (WE8ISO8859P1)\n"},
        {.release = "12.2.0.1.0",
         .characterSet = "",
         .totals = "2 表中 1 表 ok、2,155 行、1.50 秒、サーバー Oracle 12.2.0.1.0\n"},
        // No server read (the scripts alone): the line ends at the seconds.
        {.release = "", .characterSet = "", .totals = "2 表中 1 表 ok、2,155 行、1.50 秒\n"},
    };
    for (const Case& c : cases) {
        MigrateReport report = sample();
        report.serverRelease = c.release;
        report.serverCharacterSet = c.characterSet;
        const std::string summary = migrateSummary(report, true);
        EXPECT_EQ(summary.substr(summary.rfind("2 表中")), c.totals);
    }
}

TEST(MigrateReport, JsonCarriesEveryFieldEscaped) {
    EXPECT_EQ(migrateReportJson(sample()),
              "{\"database\": \"C:\\\\db\\\\\\\"n\\\".mdb\", \"seconds\": 1.50, "
              "\"interrupted\": false, \"tables\": [\n"
              "  {\"table\": \"Order Details\", \"columns\": 5, \"rowsRead\": 2155, "
              "\"rowsOnServer\": 2155, \"rowsVerified\": 2155, \"verifiedBy\": \"key order\", "
              "\"result\": \"ok\", \"notes\": [], "
              "\"seconds\": 0.25},\n"
              "  {\"table\": \"商品\", \"columns\": 3, \"rowsRead\": 0, \"rowsOnServer\": null, "
              "\"rowsVerified\": 0, \"result\": \"ORA-00902: invalid datatype\\nsecond line\", "
              "\"notes\": [\"A の既定値 x は省きました\"], \"seconds\": 0.00}\n"
              "]}\n");
    EXPECT_EQ(migrateReportJson({"d", {}, 0, true}),
              "{\"database\": \"d\", \"seconds\": 0.00, \"interrupted\": true, \"tables\": []}\n");
}

struct Page {
    std::vector<std::vector<std::string>> rows;  // every <tr>: its cells' text
    std::vector<std::string> bars;               // the style of each bar's inner div
    std::map<std::string, std::string> byClass;  // the text of <p class=...>
    std::vector<std::string> notes;              // every <li>
    std::vector<std::string> outside;            // src/href attributes, <script> elements
    std::string title;
};

Page parse(const std::string& html) {
    QXmlStreamReader xml(QByteArray::fromStdString(html));
    Page page;
    std::string text;
    while (!xml.atEnd()) {
        xml.readNext();
        const std::string name = xml.name().toString().toStdString();
        if (xml.isStartElement()) {
            text.clear();
            const auto attributes = xml.attributes();
            for (const char* link : {"src", "href"}) {
                if (attributes.hasAttribute(link))
                    page.outside.push_back(attributes.value(link).toString().toStdString());
            }
            if (name == "script" || name == "link" || name == "img")
                page.outside.push_back(name);
            if (name == "tr")
                page.rows.emplace_back();
            if (name == "div" && attributes.hasAttribute("style"))
                page.bars.push_back(attributes.value("style").toString().toStdString());
            if (name == "p")
                page.byClass[attributes.value("class").toString().toStdString()];
        } else if (xml.isCharacters()) {
            text += xml.text().toString().toStdString();
        } else if (xml.isEndElement()) {
            if (name == "td" || name == "th")
                page.rows.back().push_back(text);
            if (name == "li")
                page.notes.push_back(text);
            if (name == "title")
                page.title = text;
            if (name == "p")
                page.byClass.rbegin()->second = text;  // one p of each class
            text.clear();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " at line "
                                 << xml.lineNumber();
    return page;
}

MigrateReport htmlSample() {
    MigrateReport report;
    report.database = "/db/<a&b>\"'.mdb";
    report.seconds = 4.5;
    report.tables = {
        {"Order Details", 5, 2155, 2155, 2155, true, "ok", {}, 3.0, false},
        {"商品<script>",
         3,
         10,
         std::nullopt,
         0,
         false,
         "ORA-00902: invalid \"type\"\nline 2",
         {"A の既定値 x は省きました", "B & <C>"},
         1.0,
         false},
        {"T3", 1, 1234567, 1234000, 0, false, "中断 (1,234,000 行目まで)", {}, 0.0, true},
    };
    report.tables[0].verifiedBy = "key order";
    report.tables[1].verifiedBy = "checksum";
    return report;
}

TEST(MigrateReportHtml, EveryTableAndFigureComesBackFromThePage) {
    struct Case {
        const char* name;
        bool verified;
        std::vector<std::vector<std::string>> rows;
    };
    const std::vector<std::string> head = {"テーブル", "列", "読んだ行", "サーバー",  "検証済み",
                                           "照合",     "秒", "結果",     "時間の割合"};
    const Case cases[] = {
        {"verified",
         true,
         {head,
          {"Order Details", "5", "2,155", "2,155", "2,155", "キー順", "3.00", "ok", "75.0%"},
          {"商品<script>", "3", "10", "-", "0", "チェックサム", "1.00",
           "ORA-00902: invalid \"type\"\nline 2", "25.0%"},
          {"T3", "1", "1,234,567", "1,234,000", "0", "-", "0.00", "中断 (1,234,000 行目まで)",
           "0.0%"}}},
        {"not verified", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Page page = parse(migrateReportHtml(htmlSample(), c.verified));
        std::vector<std::vector<std::string>> rows = cases[0].rows;
        if (!c.verified) {
            for (auto& row : rows)
                row.erase(row.begin() + 4, row.begin() + 6);
        }
        EXPECT_EQ(page.rows, rows);
        EXPECT_EQ(page.bars,
                  (std::vector<std::string>{"width:75.0%", "width:25.0%", "width:0.0%"}));
        EXPECT_EQ(page.title, "Malvorn 移行レポート: /db/<a&b>\"'.mdb");
        EXPECT_EQ(page.byClass.at("database"), "/db/<a&b>\"'.mdb");
        EXPECT_EQ(page.byClass.at("totals"), "3 表中 1 表 ok、1,236,732 行、4.50 秒");
        EXPECT_EQ(page.notes, (std::vector<std::string>{"A の既定値 x は省きました", "B & <C>"}));
        EXPECT_EQ(page.outside, std::vector<std::string>{});
    }
}

TEST(MigrateReportHtml, FormatFollowsTheFileName) {
    const MigrateReport report = htmlSample();
    struct Case {
        const char* path;
        bool html;
    };
    for (const Case& c :
         {Case{"/r/report.html", true}, Case{"/r/REPORT.HTM", true}, Case{"/r/report.json", false},
          Case{"/r/html", false}, Case{"/r/report.html.txt", false}}) {
        EXPECT_EQ(migrateReportFor(c.path, report, true),
                  c.html ? migrateReportHtml(report, true) : migrateReportJson(report))
            << c.path;
    }
    MigrateReport stopped = {"d", {}, 0, true};
    EXPECT_EQ(parse(migrateReportHtml(stopped, false)).byClass.at("totals"),
              "0 表中 0 表 ok、0 行、0.00 秒（途中で中断しました）");
    EXPECT_EQ(htmlText(std::string("a\x01<\tb", 5)), "a\xEF\xBF\xBD&lt;\tb");
}

}  // namespace
}  // namespace malvorn::core
