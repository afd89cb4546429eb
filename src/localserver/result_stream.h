#pragma once

// Query results handed out as the caller fetches them: each row is stepped
// from SQLite when asked for, so a query of any size holds one row at a time.
#include <deque>
#include <exception>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "localserver/binary_float.h"
#include "localserver/sqlite_db.h"
#include "oracle/session.h"

namespace malvorn::localserver {

class ResultStream;

// The streams of one session still open; the session closes them when it
// ends, before its connection goes.
struct OpenStreams {
    std::set<ResultStream*> open;
    // Each open walk reads the rest of its rows now and lets its statement
    // go: SQLite changes no table definition while a statement of the same
    // connection is running, and a walk must outlive such a change.
    void holdAll();
};

class ResultStream : public oracle::ResultSet {
  public:
    // Steps the first row at once, so that what fails on it (and everything
    // SQLite computes before its first row: sorting, grouping) fails here,
    // as the query itself.
    // `kinds`: the columns holding BINARY_DOUBLE or BINARY_FLOAT values,
    // handed out as Oracle writes them (1.5E+000); missing ones are kNone.
    ResultStream(std::vector<std::string> names, std::unique_ptr<SqliteStatement> statement,
                 std::shared_ptr<OpenStreams> streams, std::vector<BinaryKind> kinds = {});
    ~ResultStream() override;
    ResultStream(const ResultStream&) = delete;
    ResultStream& operator=(const ResultStream&) = delete;

    const std::vector<std::string>& columnNames() const override { return names_; }
    bool next() override;
    oracle::Value value(std::size_t column) const override;
    using oracle::ResultSet::value;

    // Ends the walk and lets the statement go; a later next() fails as a
    // walk whose session has ended.
    void close();
    // See OpenStreams::holdAll.
    void hold();

  private:
    bool fetch(std::vector<oracle::Value>& row);
    bool step();
    void release();

    std::vector<std::string> names_;
    std::vector<BinaryKind> kinds_;
    std::unique_ptr<SqliteStatement> statement_;
    std::shared_ptr<OpenStreams> streams_;
    std::vector<oracle::Value> row_;
    std::deque<std::vector<oracle::Value>> held_;  // read ahead by hold()
    std::exception_ptr heldError_;                 // what failed after them
    bool ahead_ = false;                           // row_ holds a row stepped before next() asked
    bool onRow_ = false;                           // value() may be read
    bool closed_ = false;                          // by the session's end
};

// Steps a statement to its end, as a SELECT given to execute() runs.
void runToEnd(SqliteStatement& statement);

}  // namespace malvorn::localserver
