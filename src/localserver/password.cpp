#include "localserver/password.h"

#include <sodium.h>

#include <cstdlib>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace malvorn::localserver {
namespace {

void ensureSodium() {
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw std::runtime_error("libsodium could not be initialised");
}

}  // namespace

PasswordCost passwordCostForNewServer() {
    const char* text = std::getenv("MALVORN_LOCAL_SERVER_PASSWORD_COST");
    return text && std::string_view(text) == "minimum" ? PasswordCost::Minimum
                                                       : PasswordCost::Interactive;
}

std::string hashPassword(const std::string& password, PasswordCost cost) {
    ensureSodium();
    const bool least = cost == PasswordCost::Minimum;
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(
            out, password.data(), password.size(),
            least ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE,
            least ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        throw std::runtime_error("out of memory while hashing a password");
    }
    return out;
}

bool verifyPassword(const std::string& storedHash, const std::string& password) {
    ensureSodium();
    return crypto_pwhash_str_verify(storedHash.c_str(), password.data(), password.size()) == 0;
}

std::string randomHex(std::size_t bytes) {
    ensureSodium();
    std::vector<unsigned char> raw(bytes);
    randombytes_buf(raw.data(), raw.size());
    std::string hex(bytes * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), raw.data(), raw.size());
    hex.pop_back();
    return hex;
}

}  // namespace malvorn::localserver
