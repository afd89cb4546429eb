// Rows sent in batches: one INSERT with placeholders, translated once and
// run for each row with its values bound, one transaction per batch.
#include <functional>
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
    // The direct statement, looked up once: nothing but a planned row's
    // run prepares another statement (which may empty the cache).
    SqliteStatement* directStatement = nullptr;
    const auto runRowAsPlanned = [&](const oracle::BoundRow& row) {
        directStatement = nullptr;
        if (row.size() != count)
            oraThrow(row.size() < count ? 947 : 913,
                     row.size() < count ? "not enough values" : "too many values");
        for (std::size_t i = 0; i < count; ++i)
            params[i] = sqlValueOf(row[i]);
        runPlan(plan, params);
    };
    // The rows checked and written directly; a row any check refuses goes
    // the planned way, which gives the statement's own error. Rows checked
    // ahead for this very plan are written as they were checked.
    const DirectColumns direct = directColumns(plan, count);
    const auto* ahead = dynamic_cast<const CheckedRows*>(prepared);
    if (ahead && (ahead->rows != rows.data() || ahead->rowCount != rows.size() ||
                  !fits(*ahead->shape, plan.directSql, count, direct)))
        ahead = nullptr;
    CheckedRows checkedHere;
    if (!ahead && !direct.targets.empty()) {
        checkRows(shapeOf(plan.directSql, count, direct), rows, checkedHere);
        ahead = &checkedHere;
    }
    const std::size_t columns = direct.targets.size();
    const KeptParam* rowParams = nullptr;
    const std::function<void(SqliteStatement&)> bind = [&](SqliteStatement& statement) {
        statement.bindKept(rowParams, columns);
    };
    const auto runRow = [&](std::size_t r) {
        const oracle::BoundRow& row = rows[r];
        if (!ahead || row.size() != count || !ahead->ready[r])
            return runRowAsPlanned(row);
        rowParams = ahead->params.data() + r * columns;
        runWrite(directStatement, plan.directSql, plan.table, bind);
    };
    runBatch(rows.size(), runRow);
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

void LocalSession::runBatch(std::size_t rows, const std::function<void(std::size_t)>& runRow) {
    std::optional<oracle::OracleError> refused;
    std::size_t failed = 0;
    {
        std::optional<SqliteTransaction> tx;
        transactionStep([&] { tx.emplace(db_); });
        for (; failed < rows; ++failed) {
            try {
                runRow(failed);
            } catch (const oracle::OracleError& e) {
                refused = e;
                break;
            }
        }
        if (!refused) {
            transactionStep([&] { tx->commit(); });
            return;
        }
    }
    // A refused statement may have ended the transaction with it: the rows
    // before it are written again in one of their own.
    std::optional<SqliteTransaction> tx;
    transactionStep([&] { tx.emplace(db_); });
    for (std::size_t i = 0; i < failed; ++i)
        runRow(i);
    transactionStep([&] { tx->commit(); });
    throw oracle::BatchRowError(*refused, failed);
}

}  // namespace malvorn::localserver
