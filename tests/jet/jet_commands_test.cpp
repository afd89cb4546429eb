// malvorn-cli's Jet commands, run as the user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/command.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace {

CommandRun cli(const std::vector<std::string>& words) {
    return runProgram(MALVORN_CLI, words);
}

std::string nwind() {
    return malvorn::jet::realFile("nwind.mdb");
}

TEST(JetCommands, FailuresExitNonZeroWithOneLine) {
    TempDir dir;
    const std::string notJet = dir.path() + "/x.mdb";
    std::ofstream(notJet) << std::string(5000, 'x');
    const std::tuple<std::vector<std::string>, const char*> cases[] = {
        {{"tables", dir.path() + "/missing.mdb"}, "見つかりません"},
        {{"tables", notJet}, "Jetデータベースファイルではありません"},
        {{"script", notJet, "T"}, "Jetデータベースファイルではありません"},
        {{"inserts", dir.path() + "/missing.mdb", "T"}, "見つかりません"},
    };
    for (const auto& [words, message] : cases) {
        const CommandRun run = cli(words);
        EXPECT_NE(run.status, 0) << words[0];
        EXPECT_TRUE(run.out.empty()) << words[0];
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

TEST(JetCommands, HelpOnEachCommand) {
    for (const char* command : {"tables", "script", "inserts"}) {
        const CommandRun run = cli({command, "--help"});
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_NE(run.out.find(command), std::string::npos) << run.out;
    }
}

TEST(JetCommands, TablesScriptAndInsertsOfARealFile) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");

    // Output form: one name a line; the script in CP932 with the options
    // honoured; inserts ended by NUL under -z.
    const CommandRun tables = cli({"tables", nwind()});
    EXPECT_EQ(tables.status, 0);
    EXPECT_TRUE(tables.out.starts_with("Categories\nCustomers\n")) << tables.out;
    EXPECT_TRUE(tables.out.ends_with("\nUmsätze\n")) << tables.out;

    const CommandRun script = cli({"script", nwind(), "Shippers", "--index-tablespace", "IX",
                                   "--no-not-null", "--date", "2026/01/02"});
    EXPECT_EQ(script.status, 0) << script.err;
    EXPECT_NE(script.out.find("/* Create Date : 2026/01/02"), std::string::npos);
    EXPECT_NE(script.out.find("USING INDEX TABLESPACE IX\r\n"), std::string::npos);
    EXPECT_EQ(script.out.find("NOT NULL"), std::string::npos);
    // "ﾃｰﾌﾞﾙ作成SQL" in CP932: half-width kana are single bytes.
    EXPECT_NE(script.out.find("\xC3\xB0\xCC\xDE\xD9\x8D\xEC\x90\xAC"
                              "SQL"),
              std::string::npos);

    const CommandRun inserts = cli({"inserts", "-z", nwind(), "Shippers"});
    EXPECT_EQ(inserts.status, 0) << inserts.err;
    EXPECT_EQ(std::count(inserts.out.begin(), inserts.out.end(), '\0'), 3);
    EXPECT_TRUE(inserts.out.ends_with("'(503) 555-9931')" + std::string(1, '\0')));
    EXPECT_EQ(inserts.out.find('\n'), std::string::npos);
}

}  // namespace
