#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "oracle/session.h"

namespace malvorn::odbc {

struct Diagnostic;

// Numbers of the failures that happen before any server is reached. Every
// error a driver or server reports carries oracle::kServerErrorNumber instead.
inline constexpr std::int32_t kDataSourceMissingNumber = 3001;
inline constexpr std::int32_t kDriverMissingNumber = 3002;
inline constexpr std::int32_t kDriverManagerNumber = 3003;

// An OracleError that also keeps what ODBC said, for logs and tests.
class OdbcError : public oracle::OracleError {
  public:
    OdbcError(std::int32_t number, std::string description, std::string source,
              std::string sqlState, std::int32_t nativeError)
        : OracleError(number, std::move(description), std::move(source)),
          sqlState_(std::move(sqlState)),
          nativeError_(nativeError) {}

    const std::string& sqlState() const { return sqlState_; }
    std::int32_t nativeError() const { return nativeError_; }

  private:
    std::string sqlState_;
    std::int32_t nativeError_;
};

// Opens a session on the ODBC data source `dsn`; a DriverOpen. Throws
// OdbcError when the data source, its driver or the server refuses.
std::unique_ptr<oracle::Session> openOdbcSession(const std::string& dsn, const std::string& user,
                                                 const std::string& password);

// "DSN=...;UID=...;PWD=...;" where a value holding ";", "{" or "}" or a
// leading or trailing blank is put in braces with every "}" doubled, so that
// any text reaches the driver whole.
std::string odbcConnectionString(const std::string& dsn, const std::string& user,
                                 const std::string& password);

// The error for the diagnostic records of a failed call on data source `dsn`.
OdbcError errorFromDiagnostics(const std::vector<Diagnostic>& records, const std::string& dsn);

}  // namespace malvorn::odbc
