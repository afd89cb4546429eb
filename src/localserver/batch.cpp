// Rows sent in batches: one INSERT with placeholders, translated once and
// run with the values of each row bound (or of several rows at once, as one
// statement of several rows' VALUES), one transaction per batch.
#include <algorithm>
#include <memory>
#include <optional>

#include "localserver/batch_checks.h"
#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/parser.h"
#include "localserver/values.h"

namespace malvorn::localserver {
namespace {

// The marker each placeholder becomes: a non-empty text literal, which the
// translation binds as the next parameter, in the order of the values.
constexpr const char* kMarker = "'?'";

// A bound on the kept translations, as for the literal statements'.
constexpr std::size_t kMostBatchPlans = 200;

// The statement with its trailing "(?, ?, ...)" written as markers; the
// count of placeholders in `count`.
std::string withMarkers(const std::string& insert, std::size_t& count) {
    const std::size_t open = insert.rfind('(');
    if (open == std::string::npos)
        invalidStatement();
    std::string values;
    count = 0;
    for (std::size_t i = open + 1; i < insert.size(); ++i) {
        const char c = insert[i];
        if (c == '?') {
            values += kMarker;
            ++count;
        } else if (c == ',' || c == ' ' || c == ')') {
            values += c;
        } else {
            invalidStatement();  // only placeholders may follow VALUES
        }
    }
    return insert.substr(0, open + 1) + values;
}

// The plan's direct columns when each takes one of the first `markers`
// parameters and nothing else, as a batch's INSERT has them.
template <typename Plan>
DirectColumns directColumns(const Plan& plan, std::size_t markers) {
    DirectColumns direct;
    if (!plan.directOnly)
        return direct;
    for (const auto& column : plan.direct) {
        if (!column.parameter || static_cast<std::size_t>(*column.parameter) >= markers)
            return {};
        direct.targets.push_back(&column.target);
        direct.markers.push_back(static_cast<std::size_t>(*column.parameter));
        direct.kinds.push_back(column.kind);
    }
    return direct;
}

class CheckingPreparer : public oracle::RowPreparer {
  public:
    explicit CheckingPreparer(std::shared_ptr<const DirectShape> shape)
        : shape_(std::move(shape)) {}

    void prepare(const std::vector<oracle::BoundRow>& rows,
                 std::unique_ptr<oracle::PreparedRows>& into) const override {
        auto* checked = dynamic_cast<CheckedRows*>(into.get());
        if (!checked) {
            into = std::make_unique<CheckedRows>();
            checked = static_cast<CheckedRows*>(into.get());
        }
        checkRows(shape_, rows, *checked);
    }
    bool readsUnitsOnly() const override { return true; }  // see sqlValueOf

  private:
    std::shared_ptr<const DirectShape> shape_;
};

// The rows as checked ahead when they were checked for this very statement
// and table, else as checked here, into `here`; null when no column is
// written directly.
const CheckedRows* checkedRows(const oracle::PreparedRows* prepared,
                               const std::vector<oracle::BoundRow>& rows, const std::string& sql,
                               std::size_t count, const DirectColumns& direct, CheckedRows& here) {
    const auto* ahead = dynamic_cast<const CheckedRows*>(prepared);
    if (ahead && ahead->rows == rows.data() && ahead->rowCount == rows.size() &&
        fits(*ahead->shape, sql, count, direct))
        return ahead;
    if (direct.targets.empty())
        return nullptr;
    checkRows(shapeOf(sql, count, direct), rows, here);
    return &here;
}

// BEGIN and COMMIT as the server's errors.
template <typename Step>
void transactionStep(Step step) {
    try {
        step();
    } catch (const SqliteError& e) {
        if (e.kind() == SqliteError::Kind::kBusy)
            oraThrow(54, "resource busy and acquire with NOWAIT specified or timeout expired");
        oraThrow(600, "internal error code, arguments: [" + std::string(e.what()) + "]");
    }
}

// Rows written by one statement of several rows' VALUES: each statement
// run costs SQLite about as much again as the row it writes (the table's
// cursor opened and closed, the last rowid found, the program halted), so a
// statement of 20 rows takes about 40% less a row than 20 statements. 20
// divides the usual batch sizes; the bound on parameters comes first.
constexpr std::size_t kRowsPerStatement = 20;

std::size_t rowsPerStatement(std::size_t columns, int parameterLimit) {
    if (columns == 0 || parameterLimit <= 0)
        return 0;
    return std::min(kRowsPerStatement, static_cast<std::size_t>(parameterLimit) / columns);
}

// `single`, "INSERT INTO t(c0, ...) VALUES(?1, ..., ?n)" with n = `columns`,
// with the values of `rows` rows, "VALUES(?, ...), (?, ...), ...": the
// parameters in the rows' order. Empty when `single` is not of that form.
std::string severalRows(const std::string& single, std::size_t columns, std::size_t rows) {
    const std::size_t values = single.rfind(" VALUES(");
    if (values == std::string::npos)
        return {};
    std::string expected = "(";
    std::string row = "(";
    for (std::size_t i = 1; i <= columns; ++i) {
        expected += (i > 1 ? ", ?" : "?") + std::to_string(i);
        row += i > 1 ? ", ?" : "?";
    }
    expected += ")";
    row += ")";
    if (single.compare(values + 7, std::string::npos, expected) != 0)
        return {};
    std::string sql = single.substr(0, values + 7);
    for (std::size_t r = 0; r < rows; ++r)
        sql += (r ? ", " : "") + row;
    return sql;
}

// Rows 0..rows-1 as one transaction, written `together` when they can be
// (as many as `together(from)` says, from `from` on: `runTogether` false
// when SQLite refused them, which then go one by one), else `runOne` at a
// time. The first row refused ends the batch as BatchRowError with the rows
// before it committed.
template <typename Together, typename RunTogether, typename RunOne>
void runRows(std::size_t rows, Together together, RunTogether runTogether, RunOne runOne) {
    std::size_t done = 0;
    std::size_t aloneUntil = 0;  // rows of a refused statement go one by one
    while (done < rows) {
        if (done >= aloneUntil) {
            if (const std::size_t n = together(done); n > 1 && n <= rows - done) {
                if (runTogether(done, n)) {
                    done += n;
                    continue;
                }
                aloneUntil = done + n;
            }
        }
        runOne(done);
        ++done;
    }
}

template <typename Together, typename RunTogether, typename RunOne>
void runBatch(SqliteDb& db, std::size_t rows, Together together, RunTogether runTogether,
              RunOne runOne) {
    std::optional<oracle::OracleError> refused;
    std::size_t failed = 0;
    {
        std::optional<SqliteTransaction> tx;
        transactionStep([&] { tx.emplace(db); });
        // Counts the rows written before the one that throws.
        const auto counted = [&](std::size_t row) {
            failed = row;
            runOne(row);
        };
        const auto countedTogether = [&](std::size_t from, std::size_t n) {
            failed = from;
            return runTogether(from, n);
        };
        try {
            runRows(rows, together, countedTogether, counted);
        } catch (const oracle::OracleError& e) {
            refused = e;
        }
        if (!refused) {
            transactionStep([&] { tx->commit(); });
            return;
        }
    }
    // A refused statement may have ended the transaction with it: the rows
    // before it are written again in one of their own.
    std::optional<SqliteTransaction> tx;
    transactionStep([&] { tx.emplace(db); });
    runRows(failed, together, runTogether, runOne);
    transactionStep([&] { tx->commit(); });
    throw oracle::BatchRowError(*refused, failed);
}

}  // namespace

std::unique_ptr<oracle::RowPreparer> LocalSession::rowPreparer(const std::string& insert) {
    // Whatever fails here fails again, as the statement's own error, when
    // the rows are sent.
    try {
        std::size_t count = 0;
        ast::Statement parsed = parseStatement(withMarkers(insert, count));
        const auto* ins = std::get_if<ast::Insert>(&parsed);
        if (!ins || ins->select || ins->values.size() != count)
            return nullptr;
        refreshCacheIfStale();
        const InsertPlan plan = planInsert(*ins);
        const DirectColumns direct = directColumns(plan, count);
        if (direct.targets.empty())
            return nullptr;
        return std::make_unique<CheckingPreparer>(shapeOf(plan.directSql, count, direct));
    } catch (const std::exception&) {
        return nullptr;
    }
}

void LocalSession::insertRows(const std::string& insert,
                              const std::vector<oracle::BoundRow>& rows) {
    insertPreparedRows(insert, rows, nullptr);
}

void LocalSession::insertPreparedRows(const std::string& insert,
                                      const std::vector<oracle::BoundRow>& rows,
                                      const oracle::PreparedRows* prepared) {
    transactionStep([&] { commitWork(); });  // a batch is a transaction of its own
    sysdate_ = formatStoredDate(currentDateTime());
    std::size_t count = 0;
    const InsertPlan plan = batchPlan(insert, count);
    std::vector<SqlValue> params = plan.params;
    // The rows checked and written directly; a row any check refuses goes
    // the planned way, which gives the statement's own error. Rows checked
    // ahead for this very plan are written as they were checked.
    const DirectColumns direct = directColumns(plan, count);
    CheckedRows checkedHere;
    const CheckedRows* ahead =
        checkedRows(prepared, rows, plan.directSql, count, direct, checkedHere);
    const std::size_t columns = direct.targets.size();
    const std::size_t perStatement = rowsPerStatement(columns, db_.parameterLimit());
    const std::string manySql =
        ahead && perStatement > 1 ? severalRows(plan.directSql, columns, perStatement) : "";
    const auto checked = [&](std::size_t r) {
        return ahead && rows[r].size() == count && ahead->ready[r];
    };
    // Both statements are lent for the whole batch, so that no other
    // statement the planned rows prepare pushes them out of the cache.
    std::optional<CachedStatement> one;
    std::optional<CachedStatement> many;
    const auto write = [&](std::optional<CachedStatement>& lease, const std::string& sql,
                           std::size_t from, std::size_t n) {
        if (!lease)
            lease.emplace(db_.cached(sql));
        SqliteStatement& statement = *lease;
        statement.rebindKept(ahead->params.data() + from * columns, n * columns);
        while (statement.step()) {
        }
    };
    const auto together = [&](std::size_t from) -> std::size_t {
        if (manySql.empty() || from + perStatement > rows.size())
            return 0;
        for (std::size_t r = from; r < from + perStatement; ++r) {
            if (!checked(r))
                return 0;
        }
        return perStatement;
    };
    const auto runTogether = [&](std::size_t from, std::size_t n) {
        try {
            write(many, manySql, from, n);
            return true;
        } catch (const SqliteError& e) {
            // Refused: SQLite took back the statement's rows, and they go
            // one by one to find the refused one and its own error; unless
            // the refusal ended the transaction or waited for a lock.
            if (e.kind() != SqliteError::Kind::kBusy && db_.inTransaction())
                return false;
            throwServerError(e, plan.table.get());
        } catch (const oracle::OracleError&) {
            if (db_.inTransaction())
                return false;
            throw;
        }
    };
    const auto runOne = [&](std::size_t r) {
        const oracle::BoundRow& row = rows[r];
        if (checked(r)) {
            try {
                write(one, plan.directSql, r, 1);
            } catch (const SqliteError& e) {
                throwServerError(e, plan.table.get());
            }
            return;
        }
        if (row.size() != count)
            oraThrow(row.size() < count ? 947 : 913,
                     row.size() < count ? "not enough values" : "too many values");
        for (std::size_t i = 0; i < count; ++i)
            params[i] = sqlValueOf(row[i]);
        runPlan(plan, params);
    };
    runBatch(db_, rows.size(), together, runTogether, runOne);
}

LocalSession::InsertPlan LocalSession::batchPlan(const std::string& insert, std::size_t& count) {
    refreshCacheIfStale();
    // Under a key no statement's shape has (each starts with a token kind).
    const std::string key = '\x01' + insert;
    const std::string marked = withMarkers(insert, count);
    if (const auto kept = plans_.find(key); kept != plans_.end())
        return kept->second;
    ast::Statement parsed = parseStatement(marked);
    const auto* ins = std::get_if<ast::Insert>(&parsed);
    if (!ins || ins->select || ins->values.size() != count)
        invalidStatement();
    // The translation checks the statement as the server would; its SQL
    // takes each row's values in the markers' places, the first `count`
    // parameters, and the columns' checks are made as for any INSERT.
    InsertPlan plan = planInsert(*ins);
    if (plans_.size() >= kMostBatchPlans)
        plans_.clear();
    plans_.insert_or_assign(key, plan);
    return plan;
}

}  // namespace malvorn::localserver
