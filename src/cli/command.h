#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace malvorn::cli {

// The words after the command name: positional ones in order, options by
// name (a flag with an empty value).
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;

    std::string option(const std::string& name) const {
        const auto it = options.find(name);
        return it == options.end() ? std::string() : it->second;
    }
    bool has(const std::string& name) const { return options.count(name) != 0; }
};

// Wrong use of the command line: exit 2, before anything is read, written
// or sent.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One option a command accepts, as --help lists it.
struct Option {
    std::string name;    // without the dashes: "sql-folder" is --sql-folder
    std::string value;   // what it takes, as --help shows it ("DIR"); empty for a flag
    std::string help;    // one line
    char shortName = 0;  // 'z' for -z, when it has a one-letter form

    bool takesValue() const { return !value.empty(); }
};

using Options = std::vector<Option>;

// One subcommand. Each lives in a file of its own and registers itself with
// a static CommandRegistration, so adding a command touches no other file.
struct Command {
    std::string name;
    std::string usage;  // the forms of the command, then what it does
    int (*run)(const Arguments&);
    Options options = {};  // every option it accepts; any other is refused
};

std::vector<Command>& commandRegistry();

struct CommandRegistration {
    explicit CommandRegistration(Command command) {
        commandRegistry().push_back(std::move(command));
    }
};

}  // namespace malvorn::cli
