// Passwords kept off the command line: a file, the environment, a prompt.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "cli/passwords.h"
#include "localserver/server_fixture.h"
#include "support/command.h"
#include "support/spawned.h"

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
    const pid_t pid = spawnProgram({MALVORN_CLI, "sql", "--user", "system", "--service", folder(),
                                    "--password-file", pipe, "SELECT 1 AS N FROM DUAL"},
                                   {.output = outPath});

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

// Reads the terminal's output until `until` has appeared, or to its end
// (empty `until`).
std::string readTerminal(int master, const std::string& until, std::string seen = {}) {
    char buffer[256];
    while (until.empty() || seen.find(until) == std::string::npos) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;  // EIO: the program's side has closed
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    return seen;
}

bool echoes(int master) {
    struct termios settings {};
    return ::tcgetattr(master, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

// On a terminal with no password given, the program asks without echo; what
// is typed logs in, and Ctrl-C at the prompt ends it with echo back on.
TEST_F(PasswordSources, PromptWithoutEchoOnATerminal) {
    system();
    struct Case {
        const char* what;
        std::string typed;
        bool loggedIn;  // else ended by SIGINT
    };
    const Case cases[] = {{"typed", "tarnbol\n", true}, {"Ctrl-C", "\x03", false}};
    const std::string service = folder();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        int master = -1;
        const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::unsetenv("MALVORN_PASSWORD");
            ::execl(MALVORN_CLI, MALVORN_CLI, "sql", "--user", "system", "--service",
                    service.c_str(), "SELECT 1 AS N FROM DUAL", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const std::string prompt = readTerminal(master, "パスワード: ");
        EXPECT_NE(prompt.find("パスワード: "), std::string::npos) << prompt;
        EXPECT_FALSE(echoes(master));
        ASSERT_EQ(::write(master, c.typed.data(), c.typed.size()),
                  static_cast<ssize_t>(c.typed.size()));
        const std::string rest = readTerminal(master, "");
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        if (c.loggedIn) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << rest;
            EXPECT_NE(rest.find("N\r\n1\r\n"), std::string::npos) << rest;
            EXPECT_EQ(rest.find("tarnbol"), std::string::npos) << rest;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
        }
        EXPECT_TRUE(echoes(master));
        ::close(master);
    }
}

}  // namespace
}  // namespace malvorn::cli
