#pragma once
// The registry of sql_functions.cpp as the files adding entries to it see it.

#include <optional>
#include <span>
#include <vector>

#include "localserver/sql_functions.h"
#include "localserver/values.h"

namespace malvorn::localserver {

using FunctionArgs = std::vector<SqlValue>;

struct FunctionEntry {
    ServerFunction function;
    const char* name;
    int argCount;  // -1: any number
    SqlValue (*run)(const TableById&, const FunctionArgs&);
};

// Entries kept beside their implementations: text and number functions
// (scalar_functions.cpp), dates (date_functions.cpp).
std::span<const FunctionEntry> scalarFunctionEntries();
std::span<const FunctionEntry> dateFunctionEntries();
std::span<const FunctionEntry> binaryFunctionEntries();  // binary_float.cpp
// SUM and AVG over BINARY_DOUBLE and BINARY_FLOAT values (binary_float.cpp).
void defineBinaryAggregates(SqliteDb& db);
// The aggregates defined beside those functions (LISTAGG).
void defineListAggregate(SqliteDb& db);
// COUNT, SUM and AVG (DISTINCT x) over a whole partition (distinct_aggregate.cpp).
void defineDistinctAggregates(SqliteDb& db);
// SUM, AVG, COUNT, MIN, MAX over a RANGE frame with an offset (range_frame.cpp).
void defineRangeAggregate(SqliteDb& db);

// Argument readers shared by the implementations.
bool isNull(const SqlValue& v);
bool isNullOrEmpty(const SqlValue& v);  // NULL or '', which the server takes as NULL
std::optional<Number> numberArg(const SqlValue& v);
DateTime storedDate(const SqlValue& v);  // ORA-00932 for a number
// Numbers before text, as SQLite orders the two (LISTAGG's and MIN/MAX's keys).
int compareSortedValues(const SqlValue& l, const SqlValue& r);
// A date's whole seconds since 0001-01-01 (the fraction left out).
std::int64_t secondsOf(const DateTime& d);

}  // namespace malvorn::localserver
