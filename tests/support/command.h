#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/temp_dir.h"

// A program run as the user runs it from a shell.
struct CommandRun {
    int status = -1;  // the exit status, -1 when it did not exit
    std::string out;
    std::string err;
};

inline std::string shellQuote(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs `command` through the shell, keeping its two outputs apart.
inline CommandRun runCommand(const std::string& command) {
    TempDir dir;
    const std::string line = "( " + command + " ) >" + dir.path() + "/out 2>" + dir.path() + "/err";
    CommandRun run;
    const int status = std::system(line.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readWholeFile(dir.path() + "/out");
    run.err = readWholeFile(dir.path() + "/err");
    return run;
}

// Runs a program with each word quoted.
inline CommandRun runProgram(const std::string& program, const std::vector<std::string>& words) {
    std::string command = shellQuote(program);
    for (const auto& word : words)
        command += " " + shellQuote(word);
    return runCommand(command);
}
