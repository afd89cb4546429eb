#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "odbc/odbc_handle.h"
#include "oracle/session.h"

namespace malvorn::odbc {

// Column-wise buffers of a run of rows for ODBC's parameter arrays, with the
// status of each row the driver fills in. Text and numbers go as characters
// (numbers as exact decimal text), dates as timestamps, bytes as binary.
class ParameterArrays {
  public:
    // The rows [from, to) of `rows`; every row holds `columns` values.
    ParameterArrays(const std::vector<oracle::BoundRow>& rows, std::size_t from, std::size_t to,
                    std::size_t columns);

    // False when a column holds values of more than one kind (NULL goes with
    // any): such rows go one at a time.
    bool uniform() const { return uniform_; }
    std::size_t size() const { return count_; }

    // Binds the buffers and sets the array size and status array on `stmt`;
    // returns the first return code that failed, else SQL_SUCCESS.
    SQLRETURN bind(const OdbcHandle& stmt);

    // The first row the driver marked as failed, when every row before it is
    // marked done: a status the driver really filled in. Else `size()`, also
    // when every row of several is marked failed.
    std::size_t firstFailed() const;

  private:
    struct Column {
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLSMALLINT sqlType = SQL_VARCHAR;
        SQLULEN size = 1;
        SQLSMALLINT digits = 0;
        SQLLEN stride = 1;
        std::vector<char> data;
        std::vector<SQLLEN> lengths;
    };
    void fill(Column& column, const std::vector<oracle::BoundRow>& rows, std::size_t from,
              std::size_t index);

    std::size_t count_;
    bool uniform_ = true;
    std::vector<Column> columns_;
    std::vector<SQLUSMALLINT> status_;
};

// The largest run of rows from `from` on (at most `limit`) whose buffers stay
// within `budget` bytes: a long memo shortens the run instead of widening
// every row of it.
std::size_t runEnd(const std::vector<oracle::BoundRow>& rows, std::size_t from, std::size_t limit,
                   std::size_t budget);

}  // namespace malvorn::odbc
