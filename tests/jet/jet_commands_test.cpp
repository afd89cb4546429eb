// malvorn-cli's Jet commands, run as the user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/command.h"
#include "support/temp_dir.h"

namespace {

CommandRun cli(const std::vector<std::string>& words) {
    return runProgram(MALVORN_CLI, words);
}

std::string nwind() {
    return std::string(MALVORN_REAL_FIXTURES) + "/nwind.mdb";
}

TEST(JetCommands, FailuresExitNonZeroWithOneLine) {
    TempDir dir;
    const std::string notJet = dir.path() + "/x.mdb";
    std::ofstream(notJet) << std::string(5000, 'x');
    struct Case {
        std::vector<std::string> words;
        const char* message;
    };
    const Case cases[] = {
        {{"tables", dir.path() + "/missing.mdb"}, "見つかりません"},
        {{"tables", notJet}, "Jetデータベースファイルではありません"},
        {{"script", notJet, "T"}, "Jetデータベースファイルではありません"},
        {{"inserts", dir.path() + "/missing.mdb", "T"}, "見つかりません"},
    };
    for (const auto& c : cases) {
        const CommandRun run = cli(c.words);
        EXPECT_NE(run.status, 0) << c.words[0];
        EXPECT_TRUE(run.out.empty()) << c.words[0];
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
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
    if (!std::filesystem::exists(nwind()))
        GTEST_SKIP() << "no engine-written Jet files at " << MALVORN_REAL_FIXTURES;

    const CommandRun tables = cli({"tables", nwind()});
    EXPECT_EQ(tables.status, 0);
    EXPECT_EQ(tables.out,
              "Categories\nCustomers\nEmployees\nOrder Details\nOrders\nProducts\nShippers\n"
              "Suppliers\nUmsätze\n");

    const CommandRun script = cli({"script", nwind(), "Shippers", "--index-tablespace", "IX",
                                   "--no-not-null", "--date", "2026/01/02"});
    EXPECT_EQ(script.status, 0) << script.err;
    EXPECT_NE(script.out.find("/* Create Date : 2026/01/02"), std::string::npos);
    EXPECT_NE(script.out.find(",CONSTRAINT PrimaryKey PRIMARY KEY(ShipperID) USING INDEX "
                              "TABLESPACE IX\r\n)\r\nTABLESPACE users;\r\n"),
              std::string::npos)
        << script.out;
    EXPECT_EQ(script.out.find("NOT NULL"), std::string::npos);
    // "ﾃｰﾌﾞﾙ作成SQL" in CP932: half-width kana are single bytes.
    EXPECT_NE(script.out.find("\xC3\xB0\xCC\xDE\xD9\x8D\xEC\x90\xAC"
                              "SQL"),
              std::string::npos);

    const CommandRun inserts = cli({"inserts", "-z", nwind(), "Shippers"});
    EXPECT_EQ(inserts.status, 0) << inserts.err;
    const std::string head = "INSERT INTO Shippers (ShipperID, CompanyName, Phone) VALUES ";
    const std::string nul(1, '\0');
    EXPECT_EQ(inserts.out, head + "(1, 'Speedy Express', '(503) 555-9831')" + nul + head +
                               "(2, 'United Package', '(503) 555-3199')" + nul + head +
                               "(3, 'Federal Shipping', '(503) 555-9931')" + nul);
    const CommandRun lines = cli({"inserts", nwind(), "Order Details"});
    EXPECT_EQ(std::count(lines.out.begin(), lines.out.end(), '\n'), 2155);
}

}  // namespace
