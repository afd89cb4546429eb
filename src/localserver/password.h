#pragma once

#include <string>

namespace malvorn::localserver {

// The work one password hash costs. A server keeps the cost it was created
// with: interactive (libsodium's interactive limits, the shipped default) or,
// for servers that tests create by the hundred, the least libsodium allows.
enum class PasswordCost { Interactive, Minimum };

// The cost a server created now gets: Minimum when the environment has
// MALVORN_LOCAL_SERVER_PASSWORD_COST=minimum, else Interactive.
PasswordCost passwordCostForNewServer();

// Salted, deliberately slow password hashes (Argon2id through libsodium).
// The stored text carries its own salt and cost parameters, so checking a
// password needs no cost.
std::string hashPassword(const std::string& password, PasswordCost cost);
bool verifyPassword(const std::string& storedHash, const std::string& password);

// Random bytes as lower-case hexadecimal.
std::string randomHex(std::size_t bytes);

}  // namespace malvorn::localserver
