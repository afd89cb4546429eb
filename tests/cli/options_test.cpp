// The option table each command declares, read against the words given. A
// mistake on the command line stops it with exit 2 naming the word at fault,
// before anything is read, written or sent: the real malvorn-cli against a
// local server in a temporary folder. Every command's words are read before
// it runs; each check a command makes of its own before its work has a case.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "cli/options.h"
#include "jet_builder/jet_builder.h"
#include "localserver/server_fixture.h"
#include "support/command.h"

namespace malvorn::cli {
namespace {

int ignore(const Arguments&) {
    return 0;
}

const Command kCommand{"cmd",
                       "cmd <x>",
                       ignore,
                       {{"user", "U", "user"},
                        {"replace", "", "flag"},
                        {"nul", "", "short", 'z'},
                        {"sql-folder", "DIR", "folder"}}};

struct ParseCase {
    const char* what;
    std::vector<std::string> words;
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
};

TEST(ParseArguments, ReadsWhatTheCommandDeclares) {
    const ParseCase cases[] = {
        {"value after the name", {"a", "--user", "nw", "b"}, {"a", "b"}, {{"user", "nw"}}},
        {"value after =", {"--user=nw", "a"}, {"a"}, {{"user", "nw"}}},
        {"= keeps everything after the first =", {"--user=a=b"}, {}, {{"user", "a=b"}}},
        {"= takes a value that looks like an option", {"--user=--x"}, {}, {{"user", "--x"}}},
        {"= with nothing after is an empty value", {"--user="}, {}, {{"user", ""}}},
        {"a flag, and a short form", {"-z", "--replace"}, {}, {{"nul", ""}, {"replace", ""}}},
        {"a single dash is a word", {"-", "a"}, {"-", "a"}, {}},
        {"-- ends the options",
         {"--replace", "--", "--user", "-z"},
         {"--user", "-z"},
         {{"replace", ""}}},
        {"a value may start with one dash", {"--user", "-1"}, {}, {{"user", "-1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Arguments args = parseArguments(kCommand, c.words);
        EXPECT_EQ(args.positional, c.positional);
        EXPECT_EQ(args.options, c.options);
    }
}

struct MistakeCase {
    std::vector<std::string> words;
    std::string message;  // the whole message: it names the word at fault
};

TEST(ParseArguments, RefusesMistakesNamingTheWord) {
    const MistakeCase cases[] = {
        {{"a", "--verfy", "--replace"}, "不明なオプションです: --verfy"},
        {{"a", "--verfy"}, "不明なオプションです: --verfy"},  // at the end: not "has no value"
        {{"--verfy=1"}, "不明なオプションです: --verfy"},
        {{"-x"}, "不明なオプションです: -x"},
        {{"-zz"}, "不明なオプションです: -zz"},
        {{"--user"}, "--user に値 (U) がありません"},
        {{"--sql-folder", "--replace"},
         "--sql-folder に値 (DIR) がありません: 次の --replace はオプションです "
         "(-- で始まる値は --sql-folder=値 の形で指定してください)"},
        {{"--replace=x"}, "--replace は値をとりません: --replace=x"},
        {{"--replace="}, "--replace は値をとりません: --replace="},
        {{"--user", "a", "--user=b"}, "--user が2回指定されています"},
        {{"-z", "--nul"}, "--nul が2回指定されています"},
    };
    for (const auto& c : cases) {
        try {
            parseArguments(kCommand, c.words);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const UsageError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
    }
}

TEST(ParseArguments, HelpIsAskedBeforeTheEndOfOptions) {
    EXPECT_TRUE(asksForHelp({"a", "-h"}));
    EXPECT_TRUE(asksForHelp({"--verfy", "--help"}));
    EXPECT_FALSE(asksForHelp({"--", "--help"}));
    EXPECT_FALSE(asksForHelp({"--helper"}));
}

TEST(CommandHelp, ListsEveryDeclaredOption) {
    const std::string help = commandHelp(kCommand);
    EXPECT_TRUE(help.starts_with("使い方: malvorn-cli cmd <x>\n")) << help;
    for (const char* line : {"  --user U          user\n", "  --replace         flag\n",
                             "  -z, --nul         short\n", "  --sql-folder DIR  folder\n"})
        EXPECT_NE(help.find(line), std::string::npos) << line << "\n" << help;
}

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

struct RefusedRun {
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
    }
    std::string db() const { return dir_.path() + "/t.mdb"; }
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
    const RefusedRun cases[] = {
        // Against a server folder not made yet: no server is made.
        {{"copy", db(), "T", "--clear", "--user", "scott", "--password-file",
          dir_.path() + "/nope.txt", "--service", absent()},
         "--password-file のファイルを読めません: " + dir_.path() + "/nope.txt"},
        {{"copy", db(), "T", "--clear", "--user", "scott", "--password", "tiger", "--password-file",
          report(), "--service", folder()},
         "接続のパスワードが2か所で指定されています (--password-file とコマンドラインの値)"},
        {join({"user", "delete", "scott", "--user", "system"}, as("system", "tarnbol")),
         "--user が2回指定されています"},
        {join({"sql"}, as("scott", "tiger", {"DROP TABLE T", "--frobnicate", "1"})),
         "不明なオプションです: --frobnicate"},
        {join({"migrate", db(), "T"},
              as("scott", "tiger", {"--verfy", "--oracle-safe", "--replace"})),
         "不明なオプションです: --verfy"},
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
        EXPECT_FALSE(std::filesystem::exists(report()));
        EXPECT_FALSE(std::filesystem::exists(absent()));
    }
    // The table the sql and --replace runs would have dropped, as it was.
    const auto scott = open("scott", "tiger");
    EXPECT_EQ(rows(*scott, "SELECT CODE FROM T ORDER BY CODE"), (Strings{"S1", "S2"}));
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
}

}  // namespace
}  // namespace malvorn::cli
