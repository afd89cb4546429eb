// The test Jet builder against mdbtools' command-line tools; the program's
// reader is checked against the builder in tests/jet.
#include "jet_builder/jet_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/command.h"
#include "support/temp_dir.h"

namespace malvorn::testing {
namespace {

// Both versions: the catalog in the given order, every type's value, the
// properties and the index shapes.
TEST(JetBuilderWithMdbTools, TablesExportAndPropertiesMatch) {
    if (!std::filesystem::exists("/usr/bin/mdb-export"))
        GTEST_SKIP() << "mdbtools' command-line tools are not installed";
    std::string memo;
    for (int i = 0; i < 3000; ++i)
        memo += "長文";
    const JetBuildValue null;
    JetBuildTable t{"SHOHIN",
                    {},
                    {{.name = "pkkey", .columns = {"CODE"}, .primary = true},
                     {.name = "byName", .columns = {"NAME", "QTY"}, .unique = true},
                     {.name = "byUpd", .columns = {"UPD"}}},
                    {{"A1", "りんご", std::int64_t{3}, true, std::int64_t{255},
                      std::int64_t{-32768}, std::int64_t{123400}, 0.5, -1.25, 36925.4375, memo},
                     {"B'2", "\"x\"", null, false, null, null, null, null, null, null, ""}}};
    const std::pair<const char*, int> columns[] = {
        {"CODE", 10}, {"NAME", 10}, {"QTY", 4}, {"OK", 1},  {"B", 2},    {"I", 3},
        {"PRICE", 5}, {"R", 6},     {"D", 7},   {"UPD", 8}, {"MEMO", 12}};
    for (const auto& [name, type] : columns)
        t.fields.push_back({.name = name, .type = type});
    t.fields[0].size = 10;
    t.fields[1].allowZeroLength = true;
    t.fields[2].defaultValue = "0";
    t.fields[2].required = true;
    const JetBuildTable empty{"空", {{.name = "X", .type = 7}}, {}, {}};
    TempDir dir;
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kJet3}) {
        SCOPED_TRACE(version == JetVersion::kJet4 ? "Jet 4" : "Jet 3");
        const std::string path = dir.path() + "/s.mdb", tool = "MDB_JET3_CHARSET=CP932 mdb-";
        writeJetFile(path, {t, empty}, version, 932);
        EXPECT_EQ(runCommand(tool + "tables -1 " + path).out, "SHOHIN\n空\n");
        const CommandRun exported = runCommand(tool + "export " + path + " SHOHIN");
        EXPECT_EQ(exported.out,
                  "CODE,NAME,QTY,OK,B,I,PRICE,R,D,UPD,MEMO\n\"A1\",\"りんご\",3,1,255,"
                  "-32768,12.3400,0.5,-1.25,\"02/03/01 10:30:00\",\"" +
                      memo + "\"\n\"B'2\",\"\"\"x\"\"\",,0,,,,,,,\n")
            << exported.err;
        EXPECT_EQ(runCommand(tool + "export " + path + " 空").out, "X\n");
        const std::string props = runCommand(tool + "prop " + path + " SHOHIN").out;
        const std::string schema = runCommand(tool + "schema " + path + " postgres").out;
        for (const auto& [text, part] : std::initializer_list<std::pair<std::string, const char*>>{
                 {props, "name: NAME\n\tAllowZeroLength: yes"},
                 {props, "name: QTY\n\tDefaultValue: 0\n\tRequired: yes"},
                 {schema, "PRIMARY KEY (\"code\")"},
                 {schema, "UNIQUE INDEX \"shohin_byname_idx\" ON \"shohin\" (\"name\", \"qty\")"},
                 {schema, "CREATE INDEX \"shohin_byupd_idx\" ON \"shohin\" (\"upd\")"}})
            EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    }
}

}  // namespace
}  // namespace malvorn::testing
