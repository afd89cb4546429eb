// malvorn-cli: the program's commands for scripted work, over the same core
// as the window.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "cli/command.h"
#include "cli/console.h"
#include "convert/script_files.h"
#include "oracle/operation.h"

namespace malvorn::cli {

std::vector<Command>& commandRegistry() {
    static std::vector<Command> commands;
    return commands;
}

void printUsage(std::FILE* out) {
    std::fputs("使い方: malvorn-cli <コマンド> [オプション]\n\nコマンド:\n", out);
    for (const auto& command : commandRegistry())
        std::fprintf(out, "  %s\n", command.usage.c_str());
}

namespace {

Arguments parse(int argc, char** argv, int first, const std::vector<std::string>& flags = {}) {
    Arguments args;
    for (int i = first; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.starts_with("--") &&
            std::find(flags.begin(), flags.end(), word.substr(2)) != flags.end()) {
            args.options[word.substr(2)] = std::string();
        } else if (word.starts_with("--") && word.size() > 2) {
            if (i + 1 >= argc)
                throw UsageError(word + " に値がありません");
            args.options[word.substr(2)] = argv[++i];
        } else {
            args.positional.push_back(word);
        }
    }
    return args;
}

int run(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "help") {
        printUsage(stdout);
        return 0;
    }
    for (const auto& command : commandRegistry()) {
        if (command.name != name)
            continue;
        for (int i = 2; i < argc; ++i) {
            if (std::string(argv[i]) == "--help") {
                std::printf("使い方: malvorn-cli %s\n", command.usage.c_str());
                return 0;
            }
        }
        return command.run(parse(argc, argv, 2, command.flags));
    }
    throw UsageError("不明なコマンドです: " + name);
}

}  // namespace
}  // namespace malvorn::cli

int main(int argc, char** argv) {
    using namespace malvorn;
    try {
        return cli::run(argc, argv);
    } catch (const cli::UsageError& e) {
        std::fprintf(stderr, "malvorn-cli: %s\n\n", e.what());
        cli::printUsage(stderr);
        return 2;
    } catch (const convert::InputError& e) {
        std::fprintf(stderr, "malvorn-cli: %s\n", e.what());
        return 2;
    } catch (const oracle::OracleError& e) {
        // The commands that talk to the server directly (sql) report as the
        // window's SQL tab does.
        std::fputs(cli::consoleLines(oracle::errorReportText("SQL実行ｴﾗｰ", argv[1], e)).c_str(),
                   stderr);
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "malvorn-cli: %s\n", e.what());
        return 1;
    }
}
