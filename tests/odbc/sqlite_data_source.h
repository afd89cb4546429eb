#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

#include "support/temp_dir.h"

// A SQLite data source named kDataSource, registered for this process only in
// a temporary odbcinst.ini and odbc.ini (ODBCSYSINI, ODBCINI). Its database
// file lives in the same folder. The driver manager reads its files once per
// process, so one registration serves every test of the process.
class SqliteDataSource {
  public:
    static constexpr const char* kDataSource = "MALVORN_TEST";
    static constexpr const char* kBrokenDriver = "MALVORN_BROKEN";

    static SqliteDataSource& instance() {
        static SqliteDataSource source;
        return source;
    }

    const std::string& folder() const { return dir_.path(); }
    std::string database() const { return dir_.path() + "/test.db"; }

    // Starts from an empty database.
    void reset() const { std::remove(database().c_str()); }

  private:
    SqliteDataSource() {
        std::ofstream(dir_.path() + "/odbcinst.ini")
            << "[MalvornSQLite]\nDriver=" << MALVORN_SQLITE_ODBC_DRIVER << "\n";
        std::ofstream(dir_.path() + "/odbc.ini")
            << "[" << kDataSource << "]\nDriver=MalvornSQLite\nDatabase=" << database() << "\n\n["
            << kBrokenDriver << "]\nDriver=" << dir_.path()
            << "/no-such-driver.so\nDatabase=" << database() << "\n";
        ::setenv("ODBCSYSINI", dir_.path().c_str(), 1);
        ::setenv("ODBCINI", (dir_.path() + "/odbc.ini").c_str(), 1);
    }

    TempDir dir_;
};
