#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>
#include <vector>

namespace malvorn::odbc {

// One diagnostic record as SQLGetDiagRec gives it.
struct Diagnostic {
    std::string sqlState;
    std::int32_t nativeError = 0;
    std::string message;
};

// Owns one ODBC handle (environment, connection or statement) and frees it.
// The only place in the program that holds a raw ODBC handle; a child handle
// must be destroyed before its parent, which the owners ensure by member order.
class OdbcHandle {
  public:
    // Allocates a handle of `type` under `parent` (nullptr for an environment).
    // Returns an empty handle when the driver manager refuses; the caller
    // reports that with the parent's diagnostics.
    OdbcHandle(SQLSMALLINT type, const OdbcHandle* parent);
    ~OdbcHandle();
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    bool valid() const { return handle_ != SQL_NULL_HANDLE; }
    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }

    // Every diagnostic record the last call on this handle left behind.
    std::vector<Diagnostic> diagnostics() const;

  private:
    SQLSMALLINT type_;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

}  // namespace malvorn::odbc
