// Passwords kept off the command line: a file, the environment, a prompt.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/passwords.h"
#include "localserver/server_fixture.h"
#include "support/command.h"

extern char** environ;

namespace malvorn::cli {
namespace {

TEST(PasswordFile, FirstLineWithoutItsEnd) {
    TempDir dir;
    const std::string path = dir.path() + "/pw";
    struct Case {
        std::string bytes;
        std::string password;
    };
    const Case cases[] = {
        {"tarnbol\n", "tarnbol"},       {"tarnbol\r\n", "tarnbol"},     {"tarnbol", "tarnbol"},
        {"first\nsecond\n", "first"},   {"with space\r", "with space"}, {"", ""},
        {"'quoted;\"\n", "'quoted;\""},
    };
    for (const auto& c : cases) {
        writeWholeFile(path, c.bytes);
        EXPECT_EQ(readPasswordFile(path, "password-file"), c.password);
    }
    for (const std::string& unreadable : {dir.path() + "/missing", dir.path()}) {
        try {
            readPasswordFile(unreadable, "password-file");
            ADD_FAILURE() << unreadable;
        } catch (const UsageError& error) {
            EXPECT_TRUE(std::string(error.what())
                            .starts_with("--password-file のファイルを読めません: " + unreadable))
                << error.what();
        }
    }
}

class PasswordSources : public localserver::ServerTest {
  protected:
    // `sql` as SYSTEM with `words` for the password, `environment` set, and
    // standard input not a terminal.
    CommandRun login(const std::string& environment, const std::vector<std::string>& words) {
        std::string command = "env -u MALVORN_PASSWORD " + environment + " " +
                              shellQuote(MALVORN_CLI) + " sql --user system --service " +
                              shellQuote(folder());
        for (const auto& word : words)
            command += " " + shellQuote(word);
        return runCommand(command + " 'SELECT 1 AS N FROM DUAL' </dev/null");
    }
};

TEST_F(PasswordSources, FirstFoundWins) {
    system();  // the server, with SYSTEM's password tarnbol
    const std::string right = dir_.path() + "/right";
    const std::string wrong = dir_.path() + "/wrong";
    writeWholeFile(right, "tarnbol\r\n");
    writeWholeFile(wrong, "nope\n");
    struct Case {
        const char* what;
        std::string environment;
        std::vector<std::string> words;
        int status;  // 0 logged in, 1 refused by the server, 2 refused before
    };
    const Case cases[] = {
        {"the word", "", {"--password", "tarnbol"}, 0},
        {"the file", "", {"--password-file", right}, 0},
        {"the file, as --name=value", "", {"--password-file=" + right}, 0},
        {"the environment", "MALVORN_PASSWORD=tarnbol", {}, 0},
        {"the word before the environment", "MALVORN_PASSWORD=tarnbol", {"--password", "x"}, 1},
        {"the file before the environment",
         "MALVORN_PASSWORD=tarnbol",
         {"--password-file", wrong},
         1},
        {"none, not a terminal: empty", "", {}, 1},
        {"the word and the file", "", {"--password", "tarnbol", "--password-file", right}, 2},
    };
    for (const auto& c : cases) {
        const CommandRun run = login(c.environment, c.words);
        EXPECT_EQ(run.status, c.status) << c.what << "\n" << run.err;
        if (c.status == 0) {
            EXPECT_EQ(run.out, "N\n1\n") << c.what;
        }
    }
}

// While malvorn-cli waits for its password file (a pipe), its command line
// as every user of the machine sees it holds the file's name and no password;
// the password written to the pipe then logs it in.
TEST_F(PasswordSources, NeverInTheProcessCommandLine) {
    system();
    const std::string pipe = dir_.path() + "/pw";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string outPath = dir_.path() + "/out";
    std::vector<std::string> words{MALVORN_CLI,       "sql",       "--user",
                                   "system",          "--service", folder(),
                                   "--password-file", pipe,        "SELECT 1 AS N FROM DUAL"};
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, MALVORN_CLI, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    // Opening the pipe for writing waits until the program opens it to read.
    const int writer = ::open(pipe.c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    std::string cmdline = readWholeFile("/proc/" + std::to_string(pid) + "/cmdline");
    std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
    EXPECT_NE(cmdline.find("--password-file " + pipe), std::string::npos) << cmdline;
    EXPECT_EQ(cmdline.find("tarnbol"), std::string::npos) << cmdline;
    ASSERT_EQ(::write(writer, "tarnbol\n", 8), 8);
    ::close(writer);

    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readWholeFile(outPath), "N\n1\n");
}

}  // namespace
}  // namespace malvorn::cli
