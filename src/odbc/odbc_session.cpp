#include "odbc/odbc_session.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "odbc/odbc_handle.h"
#include "odbc/parameter_arrays.h"

namespace malvorn::odbc {
namespace {

// Braces only where a value needs them: some drivers (SQLite's among them)
// read the connection string themselves and would take braces as part of the
// data source name.
std::string connectionValue(const std::string& text) {
    const bool plain = text.find_first_of(";{}") == std::string::npos &&
                       (text.empty() || (text.front() != ' ' && text.back() != ' '));
    if (plain)
        return text;
    std::string out = "{";
    for (char c : text) {
        out += c;
        if (c == '}')
            out += '}';
    }
    out += '}';
    return out;
}

// Drivers put their names in front of the server's text
// ("[Oracle][ODBC][Ora]ORA-00942: ..."); the report wants the server's own
// text as description and the names as source.
std::pair<std::string, std::string> splitVendorPrefix(const std::string& message) {
    std::size_t end = 0;
    while (end < message.size() && message[end] == '[') {
        const std::size_t close = message.find(']', end);
        if (close == std::string::npos)
            break;
        end = close + 1;
    }
    std::size_t textStart = end;
    while (textStart < message.size() && message[textStart] == ' ')
        ++textStart;
    return {message.substr(0, end), message.substr(textStart)};
}

// The connection's two handles; shared by the session and any result still
// being walked, so that a walk never outlives the connection under it.
class Connection {
  public:
    explicit Connection(std::string dsn) : dsn_(std::move(dsn)) {}

    ~Connection() {
        if (connected_)
            SQLDisconnect(dbc_->get());
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void open(const std::string& user, const std::string& password) {
        try {
            env_ = std::make_unique<OdbcHandle>(SQL_HANDLE_ENV, nullptr);
        } catch (const HandleRefused&) {
            throw OdbcError(kDriverManagerNumber, "ODBC ドライバーマネージャーを初期化できません。",
                            "ODBC", "", 0);
        }
        SQLSetEnvAttr(env_->get(), SQL_ATTR_ODBC_VERSION,
                      reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        // The version must be set before a connection handle exists.
        dbc_ = newHandle(SQL_HANDLE_DBC, *env_);
        std::string text = odbcConnectionString(dsn_, user, password);
        SQLSMALLINT outLength = 0;
        const SQLRETURN rc =
            SQLDriverConnect(dbc_->get(), nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
                             nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc))
            throw errorFromDiagnostics(dbc_->diagnostics(), dsn_);
        connected_ = true;
        // Each statement takes effect on its own; say so rather than rely on
        // the driver's default.
        SQLSetConnectAttr(dbc_->get(), SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    }

    // A statement handle on which `statement` has been executed.
    std::unique_ptr<OdbcHandle> executeDirect(const std::string& statement) {
        auto stmt = newHandle(SQL_HANDLE_STMT, *dbc_);
        std::string text = statement;
        const SQLRETURN rc = SQLExecDirect(stmt->get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                           static_cast<SQLINTEGER>(text.size()));
        // SQL_NO_DATA: an UPDATE or DELETE that touched no row, not a failure.
        if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc))
            throw errorFromDiagnostics(stmt->diagnostics(), dsn_);
        return stmt;
    }

    // A statement handle on which `statement` has been prepared.
    std::unique_ptr<OdbcHandle> prepare(const std::string& statement) {
        auto stmt = newHandle(SQL_HANDLE_STMT, *dbc_);
        std::string text = statement;
        check(SQLPrepare(stmt->get(), reinterpret_cast<SQLCHAR*>(text.data()),
                         static_cast<SQLINTEGER>(text.size())),
              *stmt);
        return stmt;
    }

    void setAutocommit(bool on) {
        check(SQLSetConnectAttr(
                  dbc_->get(), SQL_ATTR_AUTOCOMMIT,
                  reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0),
              *dbc_);
    }

    void endTransaction(bool commit) {
        check(SQLEndTran(SQL_HANDLE_DBC, dbc_->get(), commit ? SQL_COMMIT : SQL_ROLLBACK), *dbc_);
    }

    // The driver says the link to the server is gone (a server that ended
    // the session, a stopped server, a broken network).
    bool dead() const {
        SQLUINTEGER state = SQL_CD_FALSE;
        const SQLRETURN rc =
            SQLGetConnectAttr(dbc_->get(), SQL_ATTR_CONNECTION_DEAD, &state, 0, nullptr);
        return SQL_SUCCEEDED(rc) && state == SQL_CD_TRUE;
    }

    OdbcError failure(const OdbcHandle& handle) const {
        return errorFromDiagnostics(handle.diagnostics(), dsn_);
    }

    void check(SQLRETURN rc, const OdbcHandle& handle) const {
        if (!SQL_SUCCEEDED(rc))
            throw errorFromDiagnostics(handle.diagnostics(), dsn_);
    }

  private:
    // A handle under `parent`; a refusal is reported as the parent's failure.
    std::unique_ptr<OdbcHandle> newHandle(SQLSMALLINT type, const OdbcHandle& parent) const {
        try {
            return std::make_unique<OdbcHandle>(type, &parent);
        } catch (const HandleRefused& refused) {
            throw errorFromDiagnostics(refused.diagnostics(), dsn_);
        }
    }

    std::string dsn_;
    std::unique_ptr<OdbcHandle> env_;
    std::unique_ptr<OdbcHandle> dbc_;  // freed before env_
    bool connected_ = false;
};

std::vector<std::string> columnNamesOf(Connection& connection, const OdbcHandle& stmt) {
    SQLSMALLINT count = 0;
    connection.check(SQLNumResultCols(stmt.get(), &count), stmt);
    std::vector<std::string> names;
    for (SQLUSMALLINT column = 1; column <= count; ++column) {
        std::string name(256, '\0');
        SQLSMALLINT length = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        for (;;) {
            connection.check(
                SQLDescribeCol(stmt.get(), column, reinterpret_cast<SQLCHAR*>(name.data()),
                               static_cast<SQLSMALLINT>(name.size()), &length, &type, &size,
                               &digits, &nullable),
                stmt);
            if (static_cast<std::size_t>(length) < name.size())
                break;
            name.assign(static_cast<std::size_t>(length) + 1, '\0');
        }
        name.resize(static_cast<std::size_t>(length));
        names.push_back(std::move(name));
    }
    return names;
}

// One column of the current row as text. Long values come in pieces:
// SQLGetData is called until the driver has no more.
oracle::Value readColumn(Connection& connection, const OdbcHandle& stmt, SQLUSMALLINT column) {
    std::string text;
    char buffer[4096];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            SQLGetData(stmt.get(), column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        connection.check(rc, stmt);
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        const auto room = sizeof buffer - 1;  // the driver ends each piece with NUL
        const bool more = rc == SQL_SUCCESS_WITH_INFO &&
                          (indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > room);
        if (more) {
            text.append(buffer, room);
            continue;
        }
        // A driver that cannot tell the length still ends the text with NUL.
        const std::size_t length = indicator < 0 ? std::char_traits<char>::length(buffer)
                                                 : static_cast<std::size_t>(indicator);
        text.append(buffer, std::min(length, room));
        break;
    }
    return text;
}

class OdbcResultSet : public oracle::ResultSet {
  public:
    OdbcResultSet(std::shared_ptr<Connection> connection, std::unique_ptr<OdbcHandle> stmt)
        : connection_(std::move(connection)), stmt_(std::move(stmt)) {
        names_ = columnNamesOf(*connection_, *stmt_);
    }

    const std::vector<std::string>& columnNames() const override { return names_; }

    bool next() override {
        row_.clear();
        if (names_.empty() || done_)
            return false;
        const SQLRETURN rc = SQLFetch(stmt_->get());
        if (rc == SQL_NO_DATA) {
            done_ = true;
            return false;
        }
        connection_->check(rc, *stmt_);
        // Read every column now, in order: drivers let SQLGetData go forward only.
        for (SQLUSMALLINT column = 1; column <= names_.size(); ++column)
            row_.push_back(readColumn(*connection_, *stmt_, column));
        return true;
    }

    oracle::Value value(std::size_t column) const override {
        if (column >= row_.size()) {
            throw oracle::OracleError(
                oracle::kServerErrorNumber,
                "結果の行に列番号 " + std::to_string(column) + " がありません", "Malvorn");
        }
        return row_[column];
    }
    using oracle::ResultSet::value;

  private:
    std::shared_ptr<Connection> connection_;
    std::unique_ptr<OdbcHandle> stmt_;
    std::vector<std::string> names_;
    std::vector<oracle::Value> row_;
    bool done_ = false;
};

// Autocommit off while a batch runs. What is left uncommitted at the end is
// rolled back first: turning autocommit on would commit it.
class ManualCommit {
  public:
    ManualCommit(Connection& connection, bool autoCommit)
        : connection_(connection), autoCommit_(autoCommit) {
        connection_.setAutocommit(false);
    }
    ~ManualCommit() {
        try {
            connection_.endTransaction(false);
            connection_.setAutocommit(autoCommit_);
        } catch (const OdbcError&) {
            // The connection is gone: the next call says so.
        }
    }
    ManualCommit(const ManualCommit&) = delete;
    ManualCommit& operator=(const ManualCommit&) = delete;

  private:
    Connection& connection_;
    bool autoCommit_;
};

// The most bytes of buffers one array takes; a batch of long values is sent
// in shorter arrays.
constexpr std::size_t kArrayBudget = std::size_t{16} << 20;

// The row a run of arrays stopped at, and whether the driver said which it
// was (else the row is the first of the array that failed).
struct Refusal {
    std::size_t row;
    bool known;
    OdbcError error;
};

// One array of rows [from, to); rows of mixed kinds go one at a time.
std::optional<Refusal> runArray(Connection& connection, const OdbcHandle& stmt,
                                const std::vector<oracle::BoundRow>& rows, std::size_t from,
                                std::size_t to) {
    ParameterArrays arrays(rows, from, to, rows[from].size());
    if (!arrays.uniform()) {
        for (std::size_t i = from; i < to; ++i) {
            if (auto refusal = runArray(connection, stmt, rows, i, i + 1))
                return refusal;
        }
        return std::nullopt;
    }
    SQLRETURN rc = arrays.bind(stmt);
    if (SQL_SUCCEEDED(rc))
        rc = SQLExecute(stmt.get());
    // With arrays, a row refused among others done is only "success with info".
    const std::size_t failed = arrays.firstFailed();
    std::optional<Refusal> refusal;
    if (!SQL_SUCCEEDED(rc) || failed < arrays.size())
        refusal = Refusal{from + (failed < arrays.size() ? failed : 0),
                          failed < arrays.size() || arrays.size() == 1, connection.failure(stmt)};
    SQLFreeStmt(stmt.get(), SQL_RESET_PARAMS);
    return refusal;
}

// Rows [from, to) in arrays that keep within the budget.
std::optional<Refusal> runArrays(Connection& connection, const OdbcHandle& stmt,
                                 const std::vector<oracle::BoundRow>& rows, std::size_t from,
                                 std::size_t to) {
    while (from < to) {
        const std::size_t end = runEnd(rows, from, to - from, kArrayBudget);
        if (auto refusal = runArray(connection, stmt, rows, from, end))
            return refusal;
        from = end;
    }
    return std::nullopt;
}

class OdbcSession : public oracle::Session {
  public:
    explicit OdbcSession(std::shared_ptr<Connection> connection)
        : connection_(std::move(connection)) {}

    void execute(const std::string& statement) override { connection_->executeDirect(statement); }

    oracle::Value queryValue(const std::string& query) override {
        OdbcResultSet rows(connection_, connection_->executeDirect(query));
        if (!rows.next())
            return std::nullopt;
        return rows.value(std::size_t{0});
    }

    std::unique_ptr<oracle::ResultSet> query(const std::string& query) override {
        return std::make_unique<OdbcResultSet>(connection_, connection_->executeDirect(query));
    }

    std::unique_ptr<oracle::ResultSet> run(const std::string& statement) override {
        auto rows =
            std::make_unique<OdbcResultSet>(connection_, connection_->executeDirect(statement));
        if (rows->columnNames().empty())
            return nullptr;
        return rows;
    }

    void insertRows(const std::string& insert, const std::vector<oracle::BoundRow>& rows) override {
        if (rows.empty())
            return;
        for (const auto& row : rows) {
            if (row.size() != rows.front().size())
                throw oracle::OracleError(oracle::kServerErrorNumber, "行ごとの値の数が違います",
                                          "Malvorn");
        }
        // A batch is a transaction of its own.
        if (!autoCommit_)
            connection_->endTransaction(true);
        ManualCommit manual(*connection_, autoCommit_);
        const auto stmt = connection_->prepare(insert);
        const auto refusal = runArrays(*connection_, *stmt, rows, 0, rows.size());
        if (!refusal) {
            connection_->endTransaction(true);
            return;
        }
        // Nothing of the batch was committed and nothing can be sent again:
        // the server's own words, for the batch's first row.
        if (connection_->dead())
            throw refusal->error;
        // The rows before the refused one are sent again, as arrays when the
        // driver said which row it was, else one by one; the refused row's
        // own error is then its error when sent alone.
        connection_->endTransaction(false);
        std::size_t from = 0;
        if (refusal->known && refusal->row > 0) {
            if (runArrays(*connection_, *stmt, rows, 0, refusal->row))
                connection_->endTransaction(false);
            else
                from = refusal->row;
        }
        for (std::size_t i = from; i < rows.size(); ++i) {
            if (auto alone = runArray(*connection_, *stmt, rows, i, i + 1)) {
                connection_->endTransaction(true);
                throw oracle::BatchRowError(alone->error, i);
            }
        }
        connection_->endTransaction(true);
    }

    void setAutoCommit(bool on) override {
        connection_->setAutocommit(on);
        autoCommit_ = on;
    }
    void commit() override { connection_->endTransaction(true); }
    void rollback() override { connection_->endTransaction(false); }

  private:
    std::shared_ptr<Connection> connection_;
    bool autoCommit_ = true;
};

}  // namespace

std::string odbcConnectionString(const std::string& dsn, const std::string& user,
                                 const std::string& password) {
    return "DSN=" + connectionValue(dsn) + ";UID=" + connectionValue(user) +
           ";PWD=" + connectionValue(password) + ";";
}

OdbcError errorFromDiagnostics(const std::vector<Diagnostic>& records, const std::string& dsn) {
    if (records.empty()) {
        return OdbcError(oracle::kServerErrorNumber,
                         "ODBC ドライバーがエラーを報告しましたが、内容がありません。", "ODBC", "",
                         0);
    }
    // Warnings (class 01) may come before the error itself.
    const Diagnostic* first = &records.front();
    for (const auto& record : records) {
        if (!record.sqlState.starts_with("01")) {
            first = &record;
            break;
        }
    }
    const auto& state = first->sqlState;
    auto [vendor, text] = splitVendorPrefix(first->message);
    // The driver manager speaks for itself when it cannot reach a driver; it
    // does not always use the IM class for that (a driver library that cannot
    // be loaded comes as 01000 with "[Driver Manager]" in front).
    const bool fromDriverManager =
        state.starts_with("IM") || vendor.find("[Driver Manager]") != std::string::npos;
    if (state == "IM002") {
        return OdbcError(kDataSourceMissingNumber,
                         "ODBC データソース「" + dsn +
                             "」が見つかりません。odbc.ini にこの名前のデータソースがないか、"
                             "そのドライバーが odbcinst.ini にありません。",
                         "ODBC", state, first->nativeError);
    }
    if (state == "IM003" || (fromDriverManager && text.starts_with("Can't open lib"))) {
        return OdbcError(kDriverMissingNumber,
                         "ODBC データソース「" + dsn +
                             "」のドライバーを読み込めません。odbcinst.ini に書かれたドライバーの"
                             "ライブラリを確かめてください。(" +
                             text + ")",
                         "ODBC", state, first->nativeError);
    }
    if (fromDriverManager) {
        return OdbcError(kDriverManagerNumber,
                         "ODBC ドライバーマネージャーがデータソース「" + dsn +
                             "」への要求を受け付けません。(" + state + ") " + text,
                         "ODBC", state, first->nativeError);
    }
    return OdbcError(oracle::kServerErrorNumber, text, vendor.empty() ? "ODBC" : vendor, state,
                     first->nativeError);
}

std::unique_ptr<oracle::Session> openOdbcSession(const std::string& dsn, const std::string& user,
                                                 const std::string& password) {
    auto connection = std::make_shared<Connection>(dsn);
    connection->open(user, password);
    return std::make_unique<OdbcSession>(std::move(connection));
}

}  // namespace malvorn::odbc
