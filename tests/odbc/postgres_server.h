#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/command.h"
#include "support/temp_dir.h"

// Stand-ins for the Oracle functions the copy's literals call, in a schema
// searched before pg_catalog, so the literal path's statements run unchanged.
inline const char* const kOracleStandIns[] = {
    "CREATE SCHEMA IF NOT EXISTS compat",
    "CREATE OR REPLACE FUNCTION compat.to_date(text, text) RETURNS timestamp "
    "LANGUAGE sql IMMUTABLE AS 'SELECT pg_catalog.to_timestamp($1, $2)::timestamp'",
    "CREATE OR REPLACE FUNCTION compat.hextoraw(text) RETURNS bytea "
    "LANGUAGE sql IMMUTABLE AS 'SELECT pg_catalog.decode($1, ''hex'')'",
    "CREATE OR REPLACE FUNCTION compat.to_clob(text) RETURNS text "
    "LANGUAGE sql IMMUTABLE AS 'SELECT $1'",
    "ALTER DATABASE postgres SET search_path = public, compat, pg_catalog",
};

// A PostgreSQL server of its own in a temporary folder, on a free loopback
// port, reached through its ODBC driver as the data source kDataSource
// (ODBCSYSINI and ODBCINI point at files in the same folder). The server runs
// as the `postgres` system user when the tests run as root (it refuses root).
// A watchdog process stops it when this process ends in any way, so a failed
// or crashed test leaves no server behind.
class PostgresServer {
  public:
    static constexpr const char* kDataSource = "MALVORN_PG";
    static constexpr const char* kUser = "scott";
    static constexpr const char* kPassword = "tiger";

    static PostgresServer& instance() {
        static PostgresServer server;
        return server;
    }

    // Empty when the server runs; else why it does not.
    const std::string& whyNot() const { return whyNot_; }

    // "pg_ctl stop" (fast: open sessions are ended) and "start" again.
    bool stop() { return pgCtl("-m fast stop"); }
    bool start() {
        return pgCtl("-o " +
                     shellQuote("-p " + std::to_string(port_) + " -k " + dir_.path() +
                                " -c listen_addresses=127.0.0.1 -c fsync=off") +
                     " -l " + dir_.path() + "/server.log start");
    }
    std::string log() const { return readWholeFile(dir_.path() + "/server.log"); }

    ~PostgresServer() {
        if (watchdogWrite_ >= 0) {
            ::close(watchdogWrite_);  // the watchdog stops the server and ends
            int status = 0;
            ::waitpid(watchdog_, &status, 0);
        }
    }
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

  private:
    PostgresServer() { whyNot_ = setUp(); }

    std::string setUp() {
        bin_ = binFolder();
        if (bin_.empty())
            return "no PostgreSQL server programs under /usr/lib/postgresql (scripts/setup.sh)";
        const std::string driver = MALVORN_PG_ODBC_DRIVER;
        if (driver.empty() || !std::filesystem::exists(driver))
            return "no PostgreSQL ODBC driver (psqlodbcw.so; scripts/setup.sh installs it)";
        if (::geteuid() == 0) {
            const passwd* user = ::getpwnam("postgres");
            if (user == nullptr)
                return "running as root and there is no postgres system user to run the server";
            if (::chown(dir_.path().c_str(), user->pw_uid, user->pw_gid) != 0)
                return "cannot hand the temporary folder to the postgres user";
            runAs_ = "runuser -u postgres -- ";
        }
        port_ = freePort();
        writeWholeFile(dir_.path() + "/pw", std::string(kPassword) + "\n");
        const std::string init = runAs_ + bin_ + "/initdb -D " + data() + " -U " + kUser +
                                 " --pwfile=" + dir_.path() + "/pw -E UTF8 --locale=C --no-sync" +
                                 " --auth-host=scram-sha-256 --auth-local=trust";
        if (const CommandRun run = runCommand(init); run.status != 0)
            return "initdb failed: " + run.out + run.err;
        watch();
        if (!start())
            return "the server did not start: " + log();
        std::ofstream(dir_.path() + "/odbcinst.ini") << "[MalvornPG]\nDriver=" << driver << "\n";
        std::ofstream(dir_.path() + "/odbc.ini")
            << "[" << kDataSource << "]\nDriver=MalvornPG\nServername=127.0.0.1\nPort=" << port_
            << "\nDatabase=postgres\n";
        ::setenv("ODBCSYSINI", dir_.path().c_str(), 1);
        ::setenv("ODBCINI", (dir_.path() + "/odbc.ini").c_str(), 1);
        return "";
    }

    std::string data() const { return dir_.path() + "/data"; }

    bool pgCtl(const std::string& words) {
        return runCommand(runAs_ + bin_ + "/pg_ctl -w -D " + data() + " " + words).status == 0;
    }

    // A child that waits for this process's end of a pipe to close (at exit,
    // a crash or a kill), then stops the server.
    void watch() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return;
        const std::string stop = runAs_ + bin_ + "/pg_ctl -D " + data() + " -m immediate stop";
        watchdog_ = ::fork();
        if (watchdog_ == 0) {
            ::dup2(ends[0], 0);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl("/bin/sh", "sh", "-c", ("cat >/dev/null; " + stop).c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ends[0]);
        watchdogWrite_ = ends[1];
    }

    static std::string binFolder() {
        std::string found;
        std::error_code ignored;
        for (const auto& entry :
             std::filesystem::directory_iterator("/usr/lib/postgresql", ignored)) {
            const std::string bin = entry.path() / "bin";
            if (std::filesystem::exists(bin + "/initdb") && bin > found)
                found = bin;
        }
        return found;
    }

    // A port the system hands out as free; the server takes it a moment later.
    static int freePort() {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
        ::close(s);
        return ntohs(address.sin_port);
    }

    TempDir dir_;
    std::string bin_;
    std::string runAs_;
    std::string whyNot_;
    int port_ = 0;
    pid_t watchdog_ = -1;
    int watchdogWrite_ = -1;
};
