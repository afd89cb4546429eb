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
#include "support/scoped_environment.h"
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

// The password's sources in their order, read directly; no case lets it
// reach the prompt (each finds one before the terminal is asked).
TEST(PasswordFrom, FirstFoundWins) {
    TempDir dir;
    const std::string file = dir.path() + "/pw";
    writeWholeFile(file, "from file\r\n");
    struct Case {
        const char* what;
        std::optional<std::string> word = std::nullopt;
        bool withFile = false;
        const char* expected;
    };
    const Case cases[] = {
        {.what = "the word", .word = "word", .expected = "word"},
        {.what = "the file", .withFile = true, .expected = "from file"},
        {.what = "the environment", .expected = "env"},
    };
    const ScopedEnvironment environment("MALVORN_PASSWORD", "env");
    for (const auto& c : cases) {
        Arguments args;
        if (c.withFile)
            args.options["password-file"] = file;
        EXPECT_EQ(passwordFrom(args, kConnectionPassword, c.word), c.expected) << c.what;
    }
    // The word and the file together: one would be lost.
    Arguments both;
    both.options["password-file"] = file;
    EXPECT_THROW(passwordFrom(both, kConnectionPassword, "word"), UsageError);
}

class PasswordSources : public localserver::ServerTest {};

// With no password anywhere and standard input not a terminal, the program
// logs in with an empty password rather than waiting for one.
TEST_F(PasswordSources, NoneAndNoTerminalIsEmpty) {
    system();  // the server, with SYSTEM's password tarnbol
    const CommandRun run = runCommand("env -u MALVORN_PASSWORD " + shellQuote(MALVORN_CLI) +
                                      " sql --user system --service " + shellQuote(folder()) +
                                      " 'SELECT 1 AS N FROM DUAL' </dev/null");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "");
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
