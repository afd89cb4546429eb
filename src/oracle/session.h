#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "model/connection.h"

namespace malvorn::oracle {

// The general failure number every server-side error carries, whatever the
// driver: a refused statement, a refused login, an unknown table.
inline constexpr std::int32_t kServerErrorNumber = -2147467259;

// An Oracle operation failed. number/description/source are what the error
// report shows; description is the server's own text ("ORA-00942: ...") for
// server errors, a plain sentence for failures before any server is reached.
class OracleError : public std::runtime_error {
  public:
    OracleError(std::int32_t number, std::string description, std::string source)
        : std::runtime_error(description),
          number_(number),
          description_(std::move(description)),
          source_(std::move(source)) {}

    std::int32_t number() const { return number_; }
    const std::string& description() const { return description_; }
    const std::string& source() const { return source_; }

  private:
    std::int32_t number_;
    std::string description_;
    std::string source_;
};

// A row of a batch failed; the rows of the batch before it are committed,
// none after it was sent. The number, description and source are the
// server's, as for the same row sent on its own.
class BatchRowError : public OracleError {
  public:
    BatchRowError(const OracleError& cause, std::size_t row) : OracleError(cause), row_(row) {}
    // Counted from 0 within the batch.
    std::size_t row() const { return row_; }

  private:
    std::size_t row_;
};

// Kinds of values bound to a statement's "?" placeholders.
struct BoundNumber {
    // Exact decimal text, as a number literal writes it; empty for an exact
    // number written for a driver that reads only its units (see
    // RowPreparer::readsUnitsOnly).
    std::string text;
    // The same value as units x 10^-scale, when its writer had it so (an
    // integer, a currency amount), for a driver that takes numbers exactly
    // rather than reading the text again. The text decides equality, or the
    // units where there is none.
    bool exact = false;
    std::int16_t scale = 0;
    std::int64_t units = 0;
    bool operator==(const BoundNumber& other) const {
        if (text.empty() && other.text.empty() && exact && other.exact)
            return units == other.units && scale == other.scale;
        return text == other.text;
    }
};
struct BoundDateTime {
    int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    bool operator==(const BoundDateTime&) const = default;
};
struct BoundBytes {
    std::string bytes;
    bool operator==(const BoundBytes&) const = default;
};
// monostate is NULL; std::string is text (UTF-8).
using BoundValue =
    std::variant<std::monostate, std::string, BoundNumber, BoundDateTime, BoundBytes>;
using BoundRow = std::vector<BoundValue>;

// A batch's rows in a driver's own form, made ready by its RowPreparer.
class PreparedRows {
  public:
    virtual ~PreparedRows() = default;
};

// Makes a batch's rows ready for one INSERT of a session before the session
// sends them: on another thread, while the session sends the batch before.
// Only what needs no connection is done here; a row it cannot make ready is
// left to the session, so that what a batch does is insertRows's either way.
class RowPreparer {
  public:
    virtual ~RowPreparer() = default;
    // `into` is made again for each batch, keeping what memory it holds.
    virtual void prepare(const std::vector<BoundRow>& rows,
                         std::unique_ptr<PreparedRows>& into) const = 0;
    // True when the session reads an exact number's units and never its
    // text, so that the rows' writer need not write it.
    virtual bool readsUnitsOnly() const { return false; }
};

// One value of a result row; nullopt is NULL. Text is UTF-8.
using Value = std::optional<std::string>;

// A forward-only walk over the rows of a query.
class ResultSet {
  public:
    virtual ~ResultSet() = default;
    virtual const std::vector<std::string>& columnNames() const = 0;
    // Moves to the next row; false once past the last one.
    virtual bool next() = 0;
    virtual Value value(std::size_t column) const = 0;
    // Column by name, compared without case; throws OracleError when unknown.
    virtual Value value(const std::string& columnName) const;
};

// One open connection to a server. Statements go exactly as given: no
// trimming, no ";" handling, no splitting. With autocommit (the default)
// each takes effect on its own; without it they form a transaction that
// commit() or rollback() ends. The destructor closes the connection.
class Session {
  public:
    virtual ~Session() = default;
    virtual void execute(const std::string& statement) = 0;
    // First column of the first row; nullopt for NULL or no row.
    virtual Value queryValue(const std::string& query) = 0;
    virtual std::unique_ptr<ResultSet> query(const std::string& query) = 0;
    // Runs any statement and hands back its rows when it yields some, nullptr
    // when it does not. The default tells a query by its first word (SELECT,
    // WITH); a driver that can ask the server overrides it.
    virtual std::unique_ptr<ResultSet> run(const std::string& statement);
    // Runs one INSERT with a "?" per value for each row, in order, as one
    // transaction: every row is committed, or BatchRowError names the first
    // row refused after the rows before it were committed. The default
    // refuses: not every driver can.
    virtual void insertRows(const std::string& insert, const std::vector<BoundRow>& rows);
    // A preparer of rows for `insert`; nullptr (the default) when the driver
    // makes nothing ready ahead.
    virtual std::unique_ptr<RowPreparer> rowPreparer(const std::string& insert);
    // insertRows, given the rows as this session's preparer made them ready
    // (nullptr: not made ready). The default ignores `prepared`.
    virtual void insertPreparedRows(const std::string& insert, const std::vector<BoundRow>& rows,
                                    const PreparedRows* prepared);
    // Turning autocommit on commits what is pending.
    virtual void setAutoCommit(bool on) = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
};

using model::ConnectionFields;

// Opens a session on one kind of server: `target` is the driver's own address
// (a local-server folder, an ODBC data source name).
using DriverOpen = std::function<std::unique_ptr<Session>(
    const std::string& target, const std::string& user, const std::string& password)>;

struct Drivers {
    DriverOpen localServer;
    DriverOpen odbc;
};

// Where a net service name leads.
struct Route {
    enum class Kind { kLocalServer, kOdbc } kind;
    std::string target;
};

// Empty: the default local server (the user's data folder); an absolute path
// ("/..."): the local server in that folder; anything else: the ODBC data
// source of that name.
Route routeFor(const std::string& netServiceName);

// The default local server's folder: $MALVORN_LOCAL_SERVER if set, else
// $XDG_DATA_HOME/malvorn/localserver, else ~/.local/share/malvorn/localserver.
std::string defaultLocalServerFolder();

std::unique_ptr<Session> openSession(const ConnectionFields& fields, const Drivers& drivers);

}  // namespace malvorn::oracle
