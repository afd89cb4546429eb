#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

// Runs `work` in a child process; its exit status is 0 when work returns.
pid_t spawn(const std::function<void()>& work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        int status = 0;
        try {
            work();
        } catch (...) {
            status = 1;
        }
        ::_exit(status);
    }
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ServerTest, SeveralProcessesWriteToOneServerAtOnce) {
    system().execute(
        "CREATE TABLE T (WHO VARCHAR2(10), N NUMBER, CONSTRAINT PK PRIMARY KEY (WHO, N))");
    auto writer = [this](const std::string& who) {
        return [this, who] {
            auto s = open();
            for (int i = 0; i < 300; ++i)
                s->execute("INSERT INTO T VALUES ('" + who + "', " + std::to_string(i) + ")");
        };
    };
    const pid_t a = spawn(writer("a"));
    const pid_t b = spawn(writer("b"));
    writer("parent")();
    EXPECT_EQ(waitFor(a), 0);
    EXPECT_EQ(waitFor(b), 0);
    EXPECT_EQ(rows(system(), "SELECT WHO, COUNT(*) FROM T GROUP BY WHO ORDER BY WHO"),
              (std::vector<std::string>{"a|300", "b|300", "parent|300"}));
}

TEST_F(ServerTest, AKilledProgramLeavesEveryCommittedStatementAndNoHalfOne) {
    system().execute("CREATE TABLE T (N NUMBER PRIMARY KEY, PAD VARCHAR2(200))");
    const pid_t child = spawn([this] {
        auto s = open();
        for (int i = 1;; ++i) {
            s->execute("INSERT INTO T (N, PAD) VALUES (" + std::to_string(i) + ", '" +
                       std::string(150, 'x') + "')");
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    ::kill(child, SIGKILL);
    EXPECT_EQ(waitFor(child), -1);
    auto s = open();
    const auto count = s->queryValue("SELECT COUNT(*) FROM T");
    const auto max = s->queryValue("SELECT NVL(MAX(N), 0) FROM T");
    ASSERT_TRUE(count && max);
    // Rows 1..k, each committed statement whole: no gap, no torn row.
    EXPECT_EQ(*count, *max);
    EXPECT_GT(std::stoi(*count), 0);
    EXPECT_EQ(s->queryValue("SELECT COUNT(*) FROM T WHERE LENGTH(PAD) <> 150"), "0");
    s->execute("INSERT INTO T (N) VALUES (" + std::to_string(std::stoi(*max) + 1) + ")");
}

}  // namespace
}  // namespace malvorn::localserver
