#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace malvorn::cli {

// The words after the command name: positional ones in order, "--name value"
// options by name.
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;

    std::string option(const std::string& name) const {
        const auto it = options.find(name);
        return it == options.end() ? std::string() : it->second;
    }
    bool has(const std::string& name) const { return options.count(name) != 0; }
};

// Wrong use of the command line; the message is printed with the usage.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One subcommand. Each lives in a file of its own and registers itself with
// a static CommandRegistration, so adding a command touches no other file.
struct Command {
    std::string name;
    std::string usage;  // one or more lines, shown by --help
    int (*run)(const Arguments&);
    // Options that take no value ("--no-not-null"); they appear in
    // Arguments::options with an empty value.
    std::vector<std::string> flags = {};
};

std::vector<Command>& commandRegistry();

struct CommandRegistration {
    explicit CommandRegistration(Command command) {
        commandRegistry().push_back(std::move(command));
    }
};

}  // namespace malvorn::cli
