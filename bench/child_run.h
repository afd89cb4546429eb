#pragma once

// A benchmark's run of a program in a child process: its exit status, its
// peak memory (the maxrss wait4 reports: the largest of it and the processes
// it waited for) and the time it took.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

struct Run {
    int status = -1;
    long peakKilobytes = 0;
    double seconds = 0;
};

// Runs the program with `words`, its output to /dev/null (its progress on
// stderr too when `quiet`).
Run run(const std::vector<std::string>& words, bool quiet = false) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        if (quiet)
            ::dup2(null, 2);
        std::vector<char*> argv;
        for (const auto& word : words)
            argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Run result;
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakKilobytes = usage.ru_maxrss;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

}  // namespace
