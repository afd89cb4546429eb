#include "core/migrate_report.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace malvorn::core
