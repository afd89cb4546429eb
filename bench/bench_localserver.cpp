// Single-statement INSERTs per second into the local server through the
// session interface, each row its own statement and its own commit, the way
// the data copy sends them; and what a login costs next to one password hash.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "localserver/local_server.h"
#include "localserver/password.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Logins of a known user, each in a fresh session as every window command
// opens one, against the cost of checking one password hash.
void measureLogins(const std::string& folder) {
    const std::string hash = malvorn::localserver::hashPassword(
        "bench", malvorn::localserver::PasswordCost::Interactive);
    auto start = std::chrono::steady_clock::now();
    malvorn::localserver::verifyPassword(hash, "bench");
    const double oneHash = secondsSince(start);
    constexpr int kLogins = 5;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kLogins; ++i)
        malvorn::localserver::openLocalServer(folder, "bench", "bench");
    const double login = secondsSince(start) / kLogins;
    std::printf("local server: login of a known user %.3f s (mean of %d); one hash check %.3f s\n",
                login, kLogins, oneHash);
}

}  // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 20000;
    std::string pattern = (std::filesystem::temp_directory_path() / "malvorn-bench-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = pattern + "/server";
    int status = 0;
    try {
        auto system = malvorn::localserver::openLocalServer(folder, "system", "tarnbol");
        system->execute(
            "CREATE USER bench IDENTIFIED BY bench DEFAULT TABLESPACE users TEMPORARY TABLESPACE "
            "temp");
        system->execute("GRANT DBA, RESOURCE, CONNECT TO bench");
        auto session = malvorn::localserver::openLocalServer(folder, "bench", "bench");
        session->execute(
            "CREATE TABLE SHOHIN\r(CODE VARCHAR2(10) NOT NULL\r,NAME VARCHAR2(50)\r,PRICE "
            "NUMBER(19,4) DEFAULT 0\r,QTY NUMBER(10)\r,UPD DATE\r,CONSTRAINT pkSHOHIN PRIMARY "
            "KEY(CODE) USING INDEX TABLESPACE indx\r)\rTABLESPACE users");
        const std::string head = "INSERT INTO SHOHIN (CODE, NAME, PRICE, QTY, UPD) VALUES";
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < rows; ++i) {
            const std::string n = std::to_string(i);
            session->execute(head + " ('C" + n + "', '商品 O''Neil " + n + "', " + n + ".25, " +
                             std::to_string(i % 1000) + ", '2001-02-" + std::to_string(1 + i % 28) +
                             "')");
        }
        const double seconds = secondsSince(start);
        const auto count = session->queryValue("SELECT COUNT(*) FROM SHOHIN");
        std::printf(
            "local server: %d single-statement INSERTs (5 columns) in %.3f s = %.0f rows/s "
            "(table holds %s rows)\n",
            rows, seconds, rows / seconds, count ? count->c_str() : "?");
        const auto total = session->queryValue("SELECT SUM(PRICE) FROM SHOHIN");
        std::printf("local server: SUM(PRICE) = %s (exact)\n", total ? total->c_str() : "?");
        measureLogins(folder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return status;
}
