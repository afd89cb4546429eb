// malvorn-cli: the program's commands for scripted work, over the same core
// as the window.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/console.h"
#include "cli/options.h"
#include "core/command.h"

namespace malvorn::cli {

std::vector<Command>& commandRegistry() {
    static std::vector<Command> commands;
    return commands;
}

namespace {

const Command* findCommand(const std::string& name) {
    for (const auto& command : commandRegistry()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

// A usage error of `command` (none: of the program's own words).
int usageFailed(const UsageError& error, const Command* command) {
    std::fprintf(stderr, "malvorn-cli: %s\n", error.what());
    std::fprintf(stderr, "詳しくは malvorn-cli %s--help\n",
                 command ? (command->name + " ").c_str() : "");
    return 2;
}

int run(const std::vector<std::string>& words) {
    if (words.empty()) {
        std::fputs(programHelp(commandRegistry()).c_str(), stderr);
        return 2;
    }
    const std::string& name = words[0];
    if (name == "--help" || name == "-h" || name == "help") {
        std::fputs(programHelp(commandRegistry()).c_str(), stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("malvorn-cli %s\n", MALVORN_VERSION);
        return 0;
    }
    const Command* command = findCommand(name);
    if (command == nullptr)
        return usageFailed(UsageError(name.starts_with("-") ? "不明なオプションです: " + name
                                                            : "不明なコマンドです: " + name),
                           nullptr);
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    if (asksForHelp(rest)) {
        std::fputs(commandHelp(*command).c_str(), stdout);
        return 0;
    }
    try {
        return command->run(parseArguments(*command, rest));
    } catch (const UsageError& error) {
        return usageFailed(error, command);
    }
}

}  // namespace
}  // namespace malvorn::cli

int main(int argc, char** argv) {
    using namespace malvorn;
    try {
        return cli::run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (...) {
        // Every other failure through the mapping the window's error report
        // uses, on one line.
        const oracle::OracleError error = core::reportedError(std::current_exception());
        std::fprintf(stderr, "malvorn-cli: %s (ｴﾗｰNo:%d, ｴﾗｰｿｰｽ:%s)\n", error.description().c_str(),
                     static_cast<int>(error.number()), error.source().c_str());
        return 1;
    }
}
