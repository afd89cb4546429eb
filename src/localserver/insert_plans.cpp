// INSERT ... VALUES statements kept by shape: a copy sends the same statement
// with new literals for every row, and translating it once is enough.
#include <optional>

#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/values.h"

namespace malvorn::localserver {
namespace {

// A bound on the kept translations; a guard, not a policy.
constexpr std::size_t kMostPlans = 200;

}  // namespace

void LocalSession::insertShape(const std::vector<Token>& tokens, std::string& shape) {
    shape.clear();
    if (tokens.empty() || !tokens.front().isWord("INSERT"))
        return;
    for (const Token& t : tokens) {
        char kind = 0;
        switch (t.kind) {
            case Token::Kind::kString:
                // '' is NULL to the translation, any other text a value.
                shape += t.text.empty() ? 'E' : 'S';
                continue;
            case Token::Kind::kNumber:
                shape += 'N';
                continue;
            case Token::Kind::kWord:
                // A query's translation may depend on its literals' values.
                if (t.text == "SELECT") {
                    shape.clear();
                    return;
                }
                kind = 'W';
                break;
            case Token::Kind::kQuoted:
                kind = 'Q';
                break;
            case Token::Kind::kSymbol:
                kind = 'Y';
                break;
            case Token::Kind::kEnd:
                continue;
        }
        // The kind, then the text's length seven bits a byte, the last byte
        // below 128: no two token lists give one key. One append for the
        // three, one for the text.
        char head[1 + 10];
        std::size_t used = 0;
        head[used++] = kind;
        for (std::size_t n = t.text.size();; n >>= 7) {
            if (n < 128) {
                head[used++] = static_cast<char>(n);
                break;
            }
            head[used++] = static_cast<char>(0x80 | (n & 0x7f));
        }
        shape.append(head, used);
        shape += t.text;
    }
}

std::vector<SqlValue> LocalSession::paramsFor(const InsertPlan& plan,
                                              const std::vector<Token>& tokens) const {
    std::vector<SqlValue> params;
    paramsInto(plan, tokens, params);
    return params;
}

namespace {

// A text into a value, in the memory of the text it held before.
void assignText(SqlValue& value, const std::string& text) {
    if (auto* held = std::get_if<std::string>(&value))
        held->assign(text);
    else
        value.emplace<std::string>(text);
}

}  // namespace

void LocalSession::paramsInto(const InsertPlan& plan, const std::vector<Token>& tokens,
                              std::vector<SqlValue>& params) const {
    params.resize(plan.params.size());
    for (std::size_t i = 0; i < plan.params.size(); ++i) {
        const ParamOrigin& origin = plan.origins.params[i];
        switch (origin.kind) {
            case ParamOrigin::Kind::kFixed:
                params[i] = plan.params[i];
                break;
            case ParamOrigin::Kind::kText:
                assignText(params[i], tokens[static_cast<std::size_t>(origin.token)].text);
                break;
            case ParamOrigin::Kind::kNumber: {
                const std::string& digits = tokens[static_cast<std::size_t>(origin.token)].text;
                // An unsigned literal is read in place, without a signed copy.
                if (origin.sign.empty()) {
                    if (auto plain = Number::parse(digits)) {
                        params[i] = std::move(*plain);
                        break;
                    }
                }
                auto number = parseNumber(origin.sign + digits);
                if (!number)
                    oraThrow(1722, "invalid number");
                params[i] = std::move(*number);
                break;
            }
            case ParamOrigin::Kind::kSysdate:
                assignText(params[i], sysdate_);
                break;
        }
    }
}

void LocalSession::addDirectForm(InsertPlan& plan) {
    const TableInfo& table = *plan.table;
    std::vector<bool> isDirect;
    for (std::size_t i = 0; i < plan.columnValues.size(); ++i) {
        const std::string& value = plan.columnValues[i];
        InsertPlan::DirectColumn direct{{table.owner, table.name, &table.columns[i], false},
                                        columnKind(table.columns[i]),
                                        parameterIndex(value),
                                        paramCall(value)};
        isDirect.push_back(value == "NULL" || direct.parameter || direct.call);
        if (isDirect.back())
            plan.direct.push_back(std::move(direct));
    }
    if (plan.direct.empty())
        return;
    // The checked values are numbered after the statement's own parameters,
    // which are left out when no column needs them any more.
    plan.directOnly = plan.direct.size() == plan.columnValues.size();
    std::size_t next = plan.directOnly ? 0 : plan.params.size();
    const std::string id = std::to_string(table.id);
    std::string columns;
    std::string list;
    for (std::size_t i = 0; i < plan.columnValues.size(); ++i) {
        columns += (i ? ", c" : "c") + std::to_string(i);
        list += (i ? ", " : "") +
                (isDirect[i] ? "?" + std::to_string(++next)
                             : sqlCall(ServerFunction::kPut,
                                       {plan.columnValues[i], id, std::to_string(i), "0"}));
    }
    plan.directSql = "INSERT INTO " + table.sqlName + "(" + columns + ") VALUES(" + list + ")";
}

void LocalSession::runPlan(const InsertPlan& plan, const std::vector<SqlValue>& params) {
    if (plan.directSql.empty()) {
        runWrite(plan.sql, params, plan.table);
        return;
    }
    std::vector<SqlValue> checked;
    if (!plan.directOnly)
        checked = params;
    checked.reserve(checked.size() + plan.direct.size());
    try {
        for (const auto& direct : plan.direct) {
            SqlValue value = direct.parameter ? params[static_cast<std::size_t>(*direct.parameter)]
                             : direct.call    ? runParamCall(*direct.call, params)
                                              : SqlValue();
            checked.push_back(coerceForKind(direct.kind, direct.target, std::move(value)));
        }
    } catch (const oracle::OracleError&) {
        // Run as written, the statement fails on the first column in order
        // that fails, as it would have without the checks made here.
        runWrite(plan.sql, params, plan.table);
        return;
    }
    runWrite(plan.directSql, checked, plan.table);
}

bool LocalSession::runKnownShape(const std::string& shape, const std::vector<Token>& tokens) {
    const auto it = plans_.find(shape);
    if (it == plans_.end())
        return false;
    paramsInto(it->second, tokens, rowParams_);
    runPlan(it->second, rowParams_);
    return true;
}

bool LocalSession::runKeptInsert(const std::string& shape, const std::vector<Token>& tokens) {
    // With autocommit, nothing is added around the statement: SQLite's own
    // transaction commits it or undoes it whole.
    if (autoCommit_)
        return runKnownShape(shape, tokens);
    if (!plans_.count(shape))
        return false;
    changingRows([&] { runKnownShape(shape, tokens); });
    return true;
}

void LocalSession::insertKeepingPlan(const ast::Insert& ins, const std::string& shape,
                                     const std::vector<Token>& tokens) {
    InsertPlan plan = planInsert(ins);
    // Kept only when the literals alone give back this statement's values.
    const bool keep = !plan.origins.valueDependent &&
                      plan.origins.params.size() == plan.params.size() &&
                      paramsFor(plan, tokens) == plan.params;
    if (!keep) {
        runPlan(plan, plan.params);
        return;
    }
    if (plans_.size() >= kMostPlans)
        plans_.clear();
    const InsertPlan& kept = plans_.insert_or_assign(shape, std::move(plan)).first->second;
    runPlan(kept, kept.params);
}

}  // namespace malvorn::localserver
