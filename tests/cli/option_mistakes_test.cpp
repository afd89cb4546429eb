// A mistake on the command line of any command stops it with exit 2 naming
// the word at fault, before anything is read, written or sent: the real
// malvorn-cli against a local server in a temporary folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "jet_builder/jet_builder.h"
#include "localserver/server_fixture.h"
#include "support/command.h"

namespace malvorn::cli {
namespace {

using Strings = std::vector<std::string>;

// Every file under `folder` with its size and modification time.
Strings folderState(const std::string& folder) {
    Strings state;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        struct stat info {};
        ::stat(entry.path().c_str(), &info);
        state.push_back(entry.path().string() + " " + std::to_string(info.st_size) + " " +
                        std::to_string(info.st_mtim.tv_sec) + "." +
                        std::to_string(info.st_mtim.tv_nsec));
    }
    return state;
}

struct MistakeCase {
    Strings words;
    std::string named;  // the option (or file) the message must name
};

class OptionMistakes : public localserver::ServerTest {
  protected:
    void SetUp() override {
        // The Jet file's T differs from the server's: a copy or a re-creation
        // would show in the server's rows.
        testing::writeJetFile(db(), {{"T", {{"CODE", 10, 10}}, {}, {{"J1"}, {"J2"}, {"J3"}}}});
        const auto scott = appUser();
        scott->execute("CREATE TABLE T (CODE VARCHAR2(10))");
        scott->execute("INSERT INTO T VALUES ('S1')");
        scott->execute("INSERT INTO T VALUES ('S2')");
        std::filesystem::create_directory(sqlFolder());
    }
    std::string db() const { return dir_.path() + "/t.mdb"; }
    std::string sqlFolder() const { return dir_.path() + "/sql"; }
    std::string out() const { return dir_.path() + "/out.sql"; }
    std::string report() const { return dir_.path() + "/r.json"; }
    std::string absent() const { return dir_.path() + "/absent"; }

    // The user's connection to the server, then `more`.
    Strings as(const char* user, const char* password, Strings more = {}) const {
        Strings words{"--user", user, "--password", password, "--service", folder()};
        words.insert(words.end(), more.begin(), more.end());
        return words;
    }
    static Strings join(Strings first, const Strings& second) {
        first.insert(first.end(), second.begin(), second.end());
        return first;
    }
};

TEST_F(OptionMistakes, EveryCommandStopsBeforeAnyWork) {
    const MistakeCase cases[] = {
        {{"tables", db(), "--verfy"}, "不明なオプションです: --verfy"},
        {{"script", db(), "T", "--out", out(), "--date"}, "--date に値"},
        {{"inserts", db(), "T", "--accept-short-tables=yes"},
         "--accept-short-tables は値をとりません"},
        {join({"convert", db(), "T", "--sql-folder", sqlFolder(), "--create", "--replace"},
              as("scott", "tiger", {"--tablespace"})),
         "--tablespace に値"},
        {join({"copy", db(), "T"}, as("scott", "tiger", {"--clear", "--bulk", "--frob"})),
         "不明なオプションです: --frob"},
        {{"copy", db(), "T", "--clear", "--user", "--password", "tiger", "--service", folder()},
         "--user に値 (U) がありません: 次の --password"},
        {{"copy", db(), "T", "--clear", "--user", "scott", "--password-file",
          dir_.path() + "/nope.txt", "--service", folder()},
         "--password-file のファイルを読めません: " + dir_.path() + "/nope.txt"},
        {{"copy", db(), "T", "--clear", "--user", "scott", "--password", "tiger", "--password-file",
          report(), "--service", folder()},
         "接続のパスワードが2か所で指定されています (--password-file とコマンドラインの値)"},
        {join({"user", "create", "bob", "pw"}, as("system", "tarnbol", {"--new-password-file"})),
         "--new-password-file に値"},
        {join({"user", "delete", "scott", "--user", "system"}, as("system", "tarnbol")),
         "--user が2回指定されています"},
        {join({"lfidno", "create", "--replace=yes"}, as("scott", "tiger")),
         "--replace は値をとりません: --replace=yes"},
        {join({"sql"}, as("scott", "tiger", {"DROP TABLE T", "--frobnicate", "1"})),
         "不明なオプションです: --frobnicate"},
        {{"fixed-scripts", sqlFolder(), "--user", "scott", "--pasword", "tiger"},
         "不明なオプションです: --pasword"},
        {{"batch", sqlFolder(), "--user", "scott", "--password", "tiger", "--service"},
         "--service に値"},
        {join({"migrate", db(), "T"},
              as("scott", "tiger", {"--verfy", "--oracle-safe", "--replace"})),
         "不明なオプションです: --verfy"},
        {join({"migrate", db()}, as("scott", "tiger", {"--report", report(), "--journal"})),
         "--journal に値"},
        {join({"migrate", db()},
              as("scott", "tiger", {"--replace", "--report", absent() + "/r.json"})),
         "--report のフォルダがありません: " + absent()},
        {join({"migrate", db()}, as("scott", "tiger", {"--clear", "--batch", "5"})),
         "--batch は --bulk と一緒に指定してください"},
        {{"frobnicate", db()}, "不明なコマンドです: frobnicate"},
        {{"--frobnicate"}, "不明なオプションです: --frobnicate"},
    };
    const Strings before = folderState(folder());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        const CommandRun run = runProgram(MALVORN_CLI, c.words);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find("malvorn-cli: " + c.named), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");  // no summary, no status line
        EXPECT_EQ(folderState(folder()), before);
        EXPECT_TRUE(std::filesystem::is_empty(sqlFolder()));
        EXPECT_FALSE(std::filesystem::exists(out()));
        EXPECT_FALSE(std::filesystem::exists(report()));
    }
    // The table the --verfy ... --replace run would have dropped, as it was.
    const auto scott = open("scott", "tiger");
    EXPECT_EQ(rows(*scott, "SELECT CODE FROM T ORDER BY CODE"), (Strings{"S1", "S2"}));
    EXPECT_EQ(rows(system(), "SELECT USERNAME FROM DBA_USERS WHERE USERNAME = 'BOB'"), Strings{});
}

// A mistake against a server folder that does not exist yet leaves it
// absent: no server is created.
TEST_F(OptionMistakes, NoServerIsCreated) {
    const CommandRun run =
        runProgram(MALVORN_CLI, {"sql", "--user", "system", "--password", "tarnbol", "--service",
                                 absent(), "SELECT 1 FROM DUAL", "--frob"});
    EXPECT_EQ(run.status, 2);
    EXPECT_FALSE(std::filesystem::exists(absent()));
}

// The same mistakes corrected do the work: the table above was kept by the
// refusal, not by a run that could not have worked.
TEST_F(OptionMistakes, CorrectedRunsDoTheWork) {
    const CommandRun migrate = runProgram(
        MALVORN_CLI, join({"migrate", db(), "T"},
                          as("scott", "tiger",
                             {"--verify", "--oracle-safe", "--replace", "--report=" + report()})));
    EXPECT_EQ(migrate.status, 0) << migrate.out << migrate.err;
    const auto scott = open("scott", "tiger");
    EXPECT_EQ(rows(*scott, "SELECT CODE FROM T ORDER BY CODE"), (Strings{"J1", "J2", "J3"}));
    EXPECT_TRUE(std::filesystem::exists(report()));

    const CommandRun sql =
        runProgram(MALVORN_CLI, {"sql", "--user=scott", "--password=tiger", "--service=" + folder(),
                                 "SELECT COUNT(*) AS N FROM T"});
    EXPECT_EQ(sql.status, 0) << sql.err;
    EXPECT_EQ(sql.out, "N\n3\n");
}

}  // namespace
}  // namespace malvorn::cli
