#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "localserver/catalog.h"
#include "localserver/sqlite_db.h"

namespace malvorn::localserver {

// The SQL functions the translation calls where SQLite's own do not behave
// as the server's. One registry holds each one's SQL name, argument count
// and implementation: the translation writes calls through sqlCall, the
// connection defines every entry, so the two cannot disagree.
enum class ServerFunction {
    kPut,   // (value, table id, column index, is update): the column's checks
    kFail,  // (error's text, any value): fails with that error where a row reaches it
    kNum,   // text or integer to NUMBER (ORA-01722)
    kText,  // value to text
    kAdd,   // exact arithmetic on NUMBER
    kSub,
    kMul,
    kDiv,  // division, ORA-01476 for zero
    kNeg,
    kAbs,
    kWhole,      // NUMBER to a SQLite integer, for SQLite's own functions
    kMod,        // MOD
    kRound,      // ROUND(n, places)
    kTrunc,      // TRUNC(n, places)
    kConcat,     // ||, where NULL is ''; any number of operands
    kConcatLob,  // the same with a CLOB or BLOB among them: no 4000-byte limit
    kHexToRaw,   // HEXTORAW and RAWTOHEX: checked upper-case hexadecimal''
    kLength,     // LENGTH in characters
    kLengthB,    // LENGTHB in bytes
    kToDate,     // (text, format or NULL)
    kToChar,     // (value, format or NULL, is date)
    kTruncDate,  // TRUNC of a date
    kDateAdd,    // (date, days)
    kDateDiff,   // (date, date): days between
    // scalar_functions.cpp
    kInstr,        // (text, sought, position, occurrence)
    kPad,          // (text, length, padding or NULL, 1 for LPAD)
    kInitCap,      // (text)
    kTrimSide,     // (text, character or NULL, 'LEADING' | 'TRAILING' | 'BOTH')
    kToNumberFmt,  // (text, format)
    kToCharNum,    // (number, format)
    kCastText,     // (value, length, 1 for CHAR): cut to the length, CHAR padded
    kCastNumber,   // (value, precision or NULL, scale or NULL)
    kRawLength,    // (hex text): the bytes a RAW or BLOB holds
    kLobSubstr,    // (value, amount, offset, 1 for bytes)
    // date_functions.cpp
    kAddMonths,      // (date, months)
    kMonthsBetween,  // (date, date)
    kLastDay,        // (date)
    kDateTruncTo,    // (date, format)
    kDateRound,      // (date, format)
    kExtract,        // (date, field)
    // binary_functions: BINARY_DOUBLE (single 0) and BINARY_FLOAT (single 1)
    kBinaryOp,    // (op, number, number, single): + - * / in binary arithmetic
    kToBinary,    // (number, single): rounded to the type
    kBinaryText,  // (number, single): TO_CHAR without a format
    kIsNan,       // (number): 1 for NaN, 0 for any other value
    kIsInfinite,  // (number): 1 for -Inf and +Inf, 0 for any other value
};

// The SQL text of a call with the given argument texts; a wrong argument
// count is a fault of the translation and throws std::logic_error.
std::string sqlCall(ServerFunction function, const std::vector<std::string>& args);

// The index from 0 of a parameter written "?n"; nullopt for other SQL.
std::optional<int> parameterIndex(const std::string& sql);

// A call of the registry whose arguments are all parameters or NULL, as the
// translation writes it, run without SQLite.
struct ParamCall {
    ServerFunction function;
    std::vector<int> args;  // parameter indexes from 0; -1 for NULL
};
// The call `sql` is, when it is such a call of a function that needs no table.
std::optional<ParamCall> paramCall(const std::string& sql);
// What SQLite would get from the call with these parameters; throws as the
// function does.
SqlValue runParamCall(const ParamCall& call, const std::vector<SqlValue>& params);

// How mv_put finds the table a value is stored into.
using TableById = std::function<std::shared_ptr<const TableInfo>(std::int64_t)>;

// Defines every function of the registry on the connection, and the
// aggregates mv_sum and mv_avg over exact numbers and mv_single, a scalar
// subquery's one value.
void defineServerFunctions(SqliteDb& db, TableById tables);

}  // namespace malvorn::localserver
