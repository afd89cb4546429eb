#pragma once

// The command line's words read against the options a command declares.
#include <string>
#include <vector>

#include "cli/command.h"

namespace malvorn::cli {

// The words after the command name as `command` accepts them. "--name
// value" and "--name=value" are the same; "--" ends the options. Refused
// with a UsageError naming the word: an option the command does not
// declare, a value missing or looking like an option ("--x"; give such a
// value as --name=--x), a value given to a flag, an option given twice.
Arguments parseArguments(const Command& command, const std::vector<std::string>& words);

// True when the words ask for help (-h or --help before any "--").
bool asksForHelp(const std::vector<std::string>& words);

// `malvorn-cli <command> --help`: the forms, then one line per option.
std::string commandHelp(const Command& command);

// `malvorn-cli --help`: every command's forms and the program's own options.
std::string programHelp(const std::vector<Command>& commands);

// The server's connection: --user, --password, --password-file, --service.
Options connectionOptions();

// `first` followed by `more`.
Options operator+(Options first, const Options& more);

}  // namespace malvorn::cli
