// Subqueries (scalar, EXISTS and IN) translated as statements of their own,
// for nesting deeper than one SQLite statement holds.
#include <algorithm>
#include <stdexcept>

#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/nested_query.h"
#include "localserver/translator.h"

namespace malvorn::localserver {

void Translator::nestIn(Translator& host) {
    params_ = &ownParams_;
    origins_ = nullptr;
    statement_ = this;
    host_ = &host;
    depth_ = 0;
}

std::string Translator::nestedQuery(const ast::Select& s, SqlType* type) {
    Translator inner(session_, *this);
    inner.nestIn(*this);
    std::vector<std::string> names;
    const std::string sql = inner.select(s, names);
    if (names.size() > 1)
        oraThrow(913, "too many values");
    if (type)
        *type = inner.itemTypes_.empty() ? SqlType::kUnknown : inner.itemTypes_[0];
    if (!inner.itemKinds_.empty())
        subqueryKinds_[&s] = inner.itemKinds_[0];
    return nestedCall(inner, sql);
}

std::optional<std::string> Translator::nestedCondition(const ast::Select& s,
                                                       const std::string* probe, bool negated) {
    if (depth_ < kShallowQueries)
        return std::nullopt;
    Translator inner(session_, *this);
    inner.nestIn(*this);
    std::vector<std::string> names;
    const std::string sql = inner.select(s, names);
    if (probe && names.size() > 1)
        oraThrow(913, "too many values");
    // The statement gives one row: 1, 0, or NULL as IN gives it.
    const std::string test =
        probe ? inner.capture(*probe) + (negated ? " NOT IN (" : " IN (") : std::string("EXISTS (");
    return "(" + nestedCall(inner, "SELECT " + test + sql + ") AS x0") + ")";
}

std::string Translator::nestedCall(Translator& inner, const std::string& sql) {
    // Its literals are its own parameters, not the statement's.
    if (origins_)
        origins_->valueDependent = true;
    if (inner.captures_.empty()) {
        // It reads nothing of the queries around it: worked out now, its
        // value bound, or its error kept for the row that reaches it.
        SqlValue value;
        try {
            value = session_.valueNow("SELECT mv_single(x0) FROM (" + sql + ")", inner.ownParams_);
        } catch (const oracle::OracleError& e) {
            // random() keeps SQLite from taking the call for a constant to
            // work out before any row.
            return sqlCall(ServerFunction::kFail, {bind(e.description()), "random()"});
        }
        return "(" + bind(std::move(value)) + ")";
    }
    NestedQuery query{sql, std::move(inner.ownParams_), {}};
    std::vector<std::string> values;
    for (const Capture& c : inner.captures_) {
        query.captured.push_back(c.param);
        values.push_back(c.sql);
    }
    return nestedQueryCall(bind(encodeNestedQuery(query)), values);
}

std::string Translator::lifted(std::string sql, const Translator* from) {
    return liftInto(statement_, std::move(sql), from);
}

std::string Translator::liftInto(Translator* statement, std::string sql, const Translator* from) {
    if (statement == from)
        return sql;
    // A query sees names of the queries around it only, whose statements
    // enclose its own.
    if (!statement)
        throw std::logic_error("a name from outside the enclosing statements");
    return statement->capture(liftInto(statement->host_->statement_, std::move(sql), from));
}

std::string Translator::capture(const std::string& sql) {
    for (const Capture& c : captures_) {
        if (c.sql == sql)
            return "?" + std::to_string(c.param);
    }
    params_->emplace_back();
    captures_.push_back({sql, params_->size()});
    return "?" + std::to_string(params_->size());
}

void Translator::dropParams(std::size_t mark) {
    params_->resize(mark);
    if (statement_)
        std::erase_if(statement_->captures_, [&](const Capture& c) { return c.param > mark; });
}

}  // namespace malvorn::localserver
