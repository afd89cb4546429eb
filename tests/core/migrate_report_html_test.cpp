// The HTML report taken apart by an XML reader: every table's row holds its
// figures, every text comes back as it was (escaped on the way), the bars'
// shares add up, and nothing is fetched from outside the page.
#include "core/migrate_report_html.h"

#include <gtest/gtest.h>

#include "core/migrate_report.h"

#include <QXmlStreamReader>
#include <map>

namespace malvorn::core {
namespace {

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

MigrateReport sample() {
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
        const Page page = parse(migrateReportHtml(sample(), c.verified));
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
    const MigrateReport report = sample();
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
