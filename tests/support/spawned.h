#pragma once

// A program started without a shell, so that the test holds its pid: its
// standard input from `input`, its output (and, when `bothOutputs`, its
// errors) to `output`, and, when `ownGroup`, in a process group of its own
// as a shell's job.
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

struct SpawnOptions {
    std::string input = "/dev/null";
    std::string output = "/dev/null";
    bool bothOutputs = false;
    bool ownGroup = false;
};

inline pid_t spawnProgram(std::vector<std::string> words, const SpawnOptions& options) {
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, options.input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, options.output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (options.bothOutputs)
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (options.ownGroup) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
    }
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw std::runtime_error("posix_spawn failed: " + words[0]);
    return pid;
}
