#pragma once
// Subqueries nested deeper than one SQLite statement can hold (its parser
// stops at about twenty nested queries) run as statements of their own: the
// enclosing statement calls mv_nested with the query and the values it reads
// of the queries around it, once for each row that reaches it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "localserver/sqlite_db.h"

namespace malvorn::localserver {

// One nested statement as its call carries it.
struct NestedQuery {
    std::string sql;
    std::vector<SqlValue> params;       // its parameters; those the call fills are NULL here
    std::vector<std::size_t> captured;  // the parameters (from 1) the call's values fill, in order
};

// The query as one text, bound as a parameter of the enclosing statement: a
// nested statement's own nested queries are among its parameters, so the
// text grows with their sum, never with their depth.
std::string encodeNestedQuery(const NestedQuery& query);
// Throws std::invalid_argument for a text encodeNestedQuery did not write.
NestedQuery decodeNestedQuery(std::string_view text);

// The SQL of the call running the query held by parameter `query`, passed
// `values`, the SQL of each captured parameter's value in order.
std::string nestedQueryCall(const std::string& query, const std::vector<std::string>& values);

// How many nested statements may run inside one another: far past what the
// parser's 255 levels of subqueries give, near enough to keep the stack safe.
inline constexpr int kMaxNestedStatements = 128;

// Defines mv_nested on the connection. It runs the query and gives its one
// value: NULL without a row, ORA-01427 at a second, ORA-00036 past
// kMaxNestedStatements.
void defineNestedQueryFunction(SqliteDb& db);

}  // namespace malvorn::localserver
