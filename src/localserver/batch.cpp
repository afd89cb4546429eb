// Rows sent in batches: one INSERT with placeholders, translated once and
// run for each row with its values bound, one transaction per batch.
#include <functional>
#include <memory>
#include <optional>

#include "encoding/ascii.h"
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

// A bound value as the translation binds the literal that writes it.
SqlValue sqlValueOf(const oracle::BoundValue& value) {
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    if (const auto* number = std::get_if<oracle::BoundNumber>(&value)) {
        // Read in place; only a text with blanks around needs parseNumber's copy.
        if (auto plain = Number::parse(number->text))
            return std::move(*plain);
        auto parsed = parseNumber(number->text);
        if (!parsed)
            oraThrow(1722, "invalid number");
        return *parsed;
    }
    if (const auto* d = std::get_if<oracle::BoundDateTime>(&value))
        return formatStoredDate({d->year, d->month, d->day, d->hour, d->minute, d->second});
    if (const auto* bytes = std::get_if<oracle::BoundBytes>(&value))
        return encoding::hexText(bytes->bytes);
    return std::monostate{};
}

// The plan's checked statement when it takes every column straight from one
// marker, with each column's kind: the batch's rows go to it without the
// plan's per-row steps. Empty otherwise.
struct DirectColumns {
    std::vector<const ColumnTarget*> targets;
    std::vector<std::size_t> markers;
    std::vector<ColumnKind> kinds;
};

// One row's value for a column, checked as the literal's would be.
SqlValue checkedValue(const oracle::BoundValue& value, ColumnKind kind,
                      const ColumnTarget& target) {
    if (const auto* d = std::get_if<oracle::BoundDateTime>(&value)) {
        if (auto stored =
                storedDateFor(kind, {d->year, d->month, d->day, d->hour, d->minute, d->second}))
            return std::move(*stored);
    }
    return coerceForKind(kind, target, sqlValueOf(value));
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

// The direct columns a preparer makes rows ready for, copied, so that the
// thread it runs on needs nothing of the session. Made once and shared, as
// the targets point into `columns`.
struct DirectShape {
    std::string sql;
    std::size_t count = 0;
    std::vector<ColumnDef> columns;
    std::vector<ColumnTarget> targets;
    std::vector<std::size_t> markers;
    std::vector<ColumnKind> kinds;
};

std::shared_ptr<const DirectShape> shapeOf(const std::string& sql, std::size_t count,
                                           const DirectColumns& direct) {
    auto shape = std::make_shared<DirectShape>();
    shape->sql = sql;
    shape->count = count;
    shape->markers = direct.markers;
    shape->kinds = direct.kinds;
    for (const ColumnTarget* target : direct.targets)
        shape->columns.push_back(*target->column);
    for (std::size_t i = 0; i < direct.targets.size(); ++i) {
        shape->targets.push_back(*direct.targets[i]);
        shape->targets.back().column = &shape->columns[i];
    }
    return shape;
}

// Whether rows made ready for `shape` fit the plan the batch runs now: the
// table or its columns may have changed since.
bool fits(const DirectShape& shape, const std::string& sql, std::size_t count,
          const DirectColumns& direct) {
    if (shape.sql != sql || shape.count != count || shape.markers != direct.markers ||
        shape.kinds != direct.kinds)
        return false;
    for (std::size_t i = 0; i < shape.targets.size(); ++i) {
        const ColumnTarget& now = *direct.targets[i];
        const ColumnTarget& then = shape.targets[i];
        if (then.owner != now.owner || then.table != now.table || then.update != now.update ||
            *then.column != *now.column)
            return false;
    }
    return true;
}

// A batch's rows checked ahead, each row's values in the direct columns'
// order, and the keys its numbers are bound as (row r's from
// keys[r * columns]); a row not `ready` goes the session's way.
struct CheckedRows : oracle::PreparedRows {
    std::shared_ptr<const DirectShape> shape;
    std::vector<std::vector<SqlValue>> values;
    std::vector<std::string> keys;
    std::vector<char> ready;
};

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
        const DirectShape& shape = *shape_;
        checked->shape = shape_;
        checked->values.resize(rows.size());
        checked->keys.resize(rows.size() * shape.targets.size());
        checked->ready.assign(rows.size(), 0);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (rows[r].size() != shape.count)
                continue;
            auto& values = checked->values[r];
            values.resize(shape.targets.size());
            try {
                for (std::size_t i = 0; i < values.size(); ++i) {
                    values[i] =
                        checkedValue(rows[r][shape.markers[i]], shape.kinds[i], shape.targets[i]);
                    if (const auto* number = std::get_if<Number>(&values[i]))
                        number->keyInto(checked->keys[r * values.size() + i]);
                }
                checked->ready[r] = 1;
            } catch (...) {
                // The session's own run of the row gives its error.
            }
        }
    }

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
    // The same row checked and written directly; a row any check refuses
    // goes the planned way, which gives the statement's own error. Rows
    // checked ahead for this very plan are written as they are.
    const DirectColumns direct = directColumns(plan, count);
    const auto* ahead = dynamic_cast<const CheckedRows*>(prepared);
    if (ahead && (ahead->values.size() != rows.size() ||
                  !fits(*ahead->shape, plan.directSql, count, direct)))
        ahead = nullptr;
    std::vector<SqlValue> checked(direct.targets.size());
    const auto runRow = [&](std::size_t r) {
        const oracle::BoundRow& row = rows[r];
        if (direct.targets.empty() || row.size() != count)
            return runRowAsPlanned(row);
        if (ahead && ahead->ready[r])
            return runWrite(directStatement, plan.directSql, ahead->values[r], plan.table,
                            ahead->keys.data() + r * direct.targets.size());
        try {
            for (std::size_t i = 0; i < checked.size(); ++i)
                checked[i] =
                    checkedValue(row[direct.markers[i]], direct.kinds[i], *direct.targets[i]);
        } catch (const oracle::OracleError&) {
            return runRowAsPlanned(row);
        }
        runWrite(plan.directSql, checked, plan.table);
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
