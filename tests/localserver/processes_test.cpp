#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

// One byte at a time between parent and child: the only synchronisation the
// tests use, so they do not depend on how fast either side runs.
class Pipe {
  public:
    Pipe() {
        if (::pipe(fds_) != 0)
            throw std::runtime_error("pipe failed");
    }
    ~Pipe() {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    void signal() { (void)!::write(fds_[1], "x", 1); }
    // False when every writer has gone without signalling.
    bool wait() {
        ::close(fds_[1]);
        fds_[1] = -1;
        char c;
        return ::read(fds_[0], &c, 1) == 1;
    }

  private:
    int fds_[2];
};

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
    Pipe go;
    auto writer = [this, &go](const std::string& who, bool child) {
        return [this, &go, who, child] {
            auto s = open();
            if (child && !go.wait())
                throw std::runtime_error("no start");
            for (int i = 0; i < 300; ++i)
                s->execute("INSERT INTO T VALUES ('" + who + "', " + std::to_string(i) + ")");
        };
    };
    const pid_t a = spawn(writer("a", true));
    const pid_t b = spawn(writer("b", true));
    // Both children are released together and write while the parent does.
    go.signal();
    go.signal();
    writer("parent", false)();
    EXPECT_EQ(waitFor(a), 0);
    EXPECT_EQ(waitFor(b), 0);
    EXPECT_EQ(rows(system(), "SELECT WHO, COUNT(*) FROM T GROUP BY WHO ORDER BY WHO"),
              (std::vector<std::string>{"a|300", "b|300", "parent|300"}));
}

TEST_F(ServerTest, AKilledProgramLeavesEveryCommittedStatementAndNoHalfOne) {
    system().execute("CREATE TABLE T (N NUMBER PRIMARY KEY, PAD VARCHAR2(200))");
    Pipe committed;
    const pid_t child = spawn([this, &committed] {
        auto s = open();
        for (int i = 1;; ++i) {
            s->execute("INSERT INTO T (N, PAD) VALUES (" + std::to_string(i) + ", '" +
                       std::string(150, 'x') + "')");
            if (i == 20)
                committed.signal();
        }
    });
    // Killed while it goes on writing, at whatever point it has reached.
    ASSERT_TRUE(committed.wait());
    ::kill(child, SIGKILL);
    EXPECT_EQ(waitFor(child), -1);
    auto s = open();
    const auto count = s->queryValue("SELECT COUNT(*) FROM T");
    const auto max = s->queryValue("SELECT NVL(MAX(N), 0) FROM T");
    ASSERT_TRUE(count && max);
    // Rows 1..k, each committed statement whole: no gap, no torn row.
    EXPECT_EQ(*count, *max);
    EXPECT_GE(std::stoi(*count), 20);
    EXPECT_EQ(s->queryValue("SELECT COUNT(*) FROM T WHERE LENGTH(PAD) <> 150"), "0");
    s->execute("INSERT INTO T (N) VALUES (" + std::to_string(std::stoi(*max) + 1) + ")");
}

}  // namespace
}  // namespace malvorn::localserver
