#pragma once

// Passwords kept off the command line: a file, an environment variable, or
// typed at a prompt that does not echo.
#include <optional>
#include <string>

#include "cli/command.h"
#include "model/connection.h"

namespace malvorn::cli {

// Where one password may come from besides the command line's own word.
struct PasswordSource {
    const char* fileOption;  // "password-file": --password-file FILE
    const char* variable;    // "MALVORN_PASSWORD"
    const char* prompt;      // asked on a terminal
    const char* what;        // named when it is missing and required
    bool required;           // false: none anywhere means empty
};

// The password of the connection (--password).
inline constexpr PasswordSource kConnectionPassword{"password-file", "MALVORN_PASSWORD",
                                                    "パスワード: ", "接続のパスワード", false};
// The new user's password of `user create`.
inline constexpr PasswordSource kNewUserPassword{
    "new-password-file", "MALVORN_NEW_PASSWORD",
    "新しいユーザーのパスワード: ", "新しいユーザーのパスワード", true};

// The password, first found of: `given` (the word on the command line), the
// first line of the file option, the environment variable, a prompt when
// standard input is a terminal; else empty, or a UsageError when required.
// A word together with the file option is refused: one would be lost.
std::string passwordFrom(const Arguments& args, const PasswordSource& source,
                         const std::optional<std::string>& given);

// The connection's password as passwordFrom finds it from --password.
std::string connectionPassword(const Arguments& args);

// --user, the connection's password, --service.
model::ConnectionFields connectionFrom(const Arguments& args);

// The first line of `path` without its line end; a UsageError naming the
// file (and `option`) when it cannot be read.
std::string readPasswordFile(const std::string& path, const std::string& option);

// Asks on stderr and reads a line from the terminal on standard input with
// echo off; the terminal is set back on every way out, a signal included.
std::string promptHidden(const std::string& prompt);

// The lines of --help about passwords: sources and their order.
std::string passwordHelp();

}  // namespace malvorn::cli
