#pragma once

#include <string>

namespace malvorn::localserver {

// Salted, deliberately slow password hashes (Argon2id through libsodium).
// The stored text carries its own salt and cost parameters.
std::string hashPassword(const std::string& password);
bool verifyPassword(const std::string& storedHash, const std::string& password);

// Random bytes as lower-case hexadecimal.
std::string randomHex(std::size_t bytes);

}  // namespace malvorn::localserver
