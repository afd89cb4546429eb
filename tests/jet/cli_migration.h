#pragma once

// malvorn-cli against a local server in a folder of the test's own, with a
// user "mover" made for it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/command.h"
#include "support/temp_dir.h"

namespace malvorn::jet {

class CliMigration : public ::testing::Test {
  protected:
    void SetUp() override {
        server_ = dir_.path() + "/server";
        const CommandRun user = cli({"user", "create", "mover", "pw", "--user", "system",
                                     "--password", "tarnbol", "--service", server_});
        ASSERT_EQ(user.status, 0) << user.err;
    }
    // A command as "mover" on the test's server.
    CommandRun cli(std::vector<std::string> words) {
        if (words[0] != "user")
            words.insert(words.end(),
                         {"--user", "mover", "--password", "pw", "--service", server_});
        return runProgram(MALVORN_CLI, words);
    }
    // A statement's output, which must succeed.
    std::string sql(const std::string& statement) {
        const CommandRun run = cli({"sql", statement});
        EXPECT_EQ(run.status, 0) << statement << ": " << run.err;
        return run.out;
    }
    TempDir dir_;
    std::string server_;
};

}  // namespace malvorn::jet
