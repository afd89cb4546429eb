#pragma once

// Typed text that becomes part of a statement's words rather than a literal:
// user and owner names, table names under the window's rules, passwords.
// Literals go through base::quoteSqlText; these are checked or quoted here.
#include <optional>
#include <string>
#include <string_view>

namespace malvorn::convert {

// What a typed name names, for the message that refuses it.
enum class NameKind { kUser, kOwner, kTable, kConnectionUser, kTablespace };

// Why `name` cannot stand unquoted in a statement (a quote, ";", a blank, a
// control character, a leading digit, a reserved word, over 128 bytes), as
// the message that refuses it; nullopt when it can. An empty name passes:
// the server refuses it the way it always has.
std::optional<std::string> nameProblem(std::string_view name, NameKind kind);

// Why Oracle cannot take `password` at all (a double quote, a control
// character), or nullopt. Blanks at either end do not count: they are trimmed.
std::optional<std::string> passwordProblem(std::string_view password);

// The password as "IDENTIFIED BY" takes it: as typed when Oracle takes it
// unquoted (or when it is blank), else trimmed and quoted. Throws InputError
// with passwordProblem's message when it cannot be written.
std::string passwordText(std::string_view password);

// A name read from the server's dictionary as a statement writes it:
// unquoted when plain and in capitals (as an unquoted name is kept), quoted
// otherwise, so that it names that object and nothing else.
std::string dictionaryNameText(std::string_view name);

}  // namespace malvorn::convert
