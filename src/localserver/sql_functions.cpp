#include "localserver/sql_functions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>

#include "base/calendar.h"
#include "encoding/utf8.h"
#include "localserver/errors.h"
#include "localserver/function_registry.h"
#include "localserver/nested_query.h"
#include "localserver/timestamps.h"
#include "localserver/values.h"

namespace malvorn::localserver {

bool isNull(const SqlValue& v) {
    return std::holds_alternative<std::monostate>(v);
}

int compareSortedValues(const SqlValue& l, const SqlValue& r) {
    const auto* ls = std::get_if<std::string>(&l);
    const auto* rs = std::get_if<std::string>(&r);
    if (ls && rs)
        return ls->compare(*rs) < 0 ? -1 : ls->compare(*rs) > 0 ? 1 : 0;
    if (ls || rs)
        return ls ? 1 : -1;
    return Number::compare(*numberOf(l), *numberOf(r));
}

std::int64_t secondsOf(const DateTime& d) {
    return base::daysFromCivil({d.year, d.month, d.day}) * 86400 + d.hour * 3600 + d.minute * 60 +
           d.second;
}

bool isNullOrEmpty(const SqlValue& v) {
    const auto* s = std::get_if<std::string>(&v);
    return isNull(v) || (s && s->empty());
}

std::optional<Number> numberArg(const SqlValue& v) {
    if (isNullOrEmpty(v))
        return std::nullopt;
    return numberOf(v);
}

DateTime storedDate(const SqlValue& v) {
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (auto d = readStoredDate(*s))
            return *d;
        return parseDateLiteral(*s);
    }
    oraThrow(932, "inconsistent datatypes: expected DATE got NUMBER");
}

namespace {

using Args = FunctionArgs;

constexpr std::int64_t kSecondsPerDay = 86400;

SqlValue orNull(const std::optional<Number>& n) {
    return n ? SqlValue(*n) : SqlValue();
}

int placesArg(const Number& n) {
    const auto places = n.truncated(0).toInt();
    return static_cast<int>(
        std::clamp<std::int64_t>(places.value_or(n.negative() ? -200 : 200), -200, 200));
}

DateTime dateTimeOf(std::int64_t seconds) {
    std::int64_t days = seconds / kSecondsPerDay;
    std::int64_t rest = seconds % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    const base::CivilDate civil = base::civilFromDays(days);
    DateTime d;
    d.year = static_cast<int>(civil.year);
    d.month = civil.month;
    d.day = civil.day;
    d.hour = static_cast<int>(rest / 3600);
    d.minute = static_cast<int>(rest % 3600 / 60);
    d.second = static_cast<int>(rest % 60);
    return d;
}

SqlValue put(const TableById& tables, const Args& a) {
    const auto table = tables(std::get<std::int64_t>(a[1]));
    if (!table)
        tableDoesNotExist();
    ColumnTarget target;
    target.owner = table->owner;
    target.table = table->name;
    target.column = &table->columns.at(static_cast<std::size_t>(std::get<std::int64_t>(a[2])));
    target.update = std::get<std::int64_t>(a[3]) != 0;
    return coerceForColumn(target, a[0]);
}

SqlValue fail(const TableById&, const Args& a) {
    throw oracle::OracleError(oracle::kServerErrorNumber, std::get<std::string>(a[0]),
                              kServerSource);
}

SqlValue num(const TableById&, const Args& a) {
    return orNull(numberArg(a[0]));
}

SqlValue text(const TableById&, const Args& a) {
    return isNull(a[0]) ? SqlValue() : SqlValue(valueToText(a[0]));
}

template <typename Op>
SqlValue arithmetic(const Args& a, Op op) {
    const auto l = numberArg(a[0]);
    const auto r = numberArg(a[1]);
    if (!l || !r)
        return SqlValue();
    return op(*l, *r);
}

// Operands of a chain, left to right; NULL if any is NULL.
template <typename Op>
SqlValue chain(const Args& a, Op op) {
    std::optional<Number> result = numberArg(a[0]);
    for (std::size_t i = 1; i < a.size() && result; ++i) {
        const auto n = numberArg(a[i]);
        if (!n)
            return SqlValue();
        result = op(*result, *n);
    }
    return orNull(result);
}

SqlValue add(const TableById&, const Args& a) {
    return chain(a, [](const Number& l, const Number& r) { return l + r; });
}

SqlValue subtract(const TableById&, const Args& a) {
    return arithmetic(a, [](const Number& l, const Number& r) { return l - r; });
}

SqlValue multiply(const TableById&, const Args& a) {
    return chain(a, [](const Number& l, const Number& r) { return l * r; });
}

SqlValue divide(const TableById&, const Args& a) {
    return arithmetic(a, [](const Number& l, const Number& r) { return l / r; });
}

SqlValue mod(const TableById&, const Args& a) {
    return arithmetic(a, [](const Number& l, const Number& r) { return Number::mod(l, r); });
}

SqlValue negate(const TableById&, const Args& a) {
    const auto n = numberArg(a[0]);
    return n ? SqlValue(n->negated()) : SqlValue();
}

SqlValue absolute(const TableById&, const Args& a) {
    const auto n = numberArg(a[0]);
    return n ? SqlValue(n->abs()) : SqlValue();
}

// A whole number for SQLite's own functions (SUBSTR positions and lengths).
SqlValue whole(const TableById&, const Args& a) {
    const auto n = numberArg(a[0]);
    if (!n)
        return SqlValue();
    return n->truncated(0).toInt().value_or(n->negative() ? -(std::int64_t{1} << 62)
                                                          : (std::int64_t{1} << 62));
}

SqlValue round(const TableById&, const Args& a) {
    return arithmetic(
        a, [](const Number& n, const Number& places) { return n.rounded(placesArg(places)); });
}

SqlValue trunc(const TableById&, const Args& a) {
    return arithmetic(
        a, [](const Number& n, const Number& places) { return n.truncated(placesArg(places)); });
}

std::string joined(const Args& a) {
    std::string out;
    for (const SqlValue& v : a) {
        if (!isNull(v))
            out += valueToText(v);
    }
    return out;
}

SqlValue concat(const TableById&, const Args& a) {
    std::string out = joined(a);
    if (out.size() > 4000)
        oraThrow(1489, "result of string concatenation is too long");
    return out.empty() ? SqlValue() : SqlValue(std::move(out));
}

SqlValue concatLob(const TableById&, const Args& a) {
    std::string out = joined(a);
    return out.empty() ? SqlValue() : SqlValue(std::move(out));
}

// HEXTORAW and RAWTOHEX: RAW values are held as upper-case hexadecimal text.
SqlValue hexToRaw(const TableById&, const Args& a) {
    if (isNullOrEmpty(a[0]))
        return SqlValue();
    std::string hex = valueToText(a[0]);
    for (char& c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            oraThrow(1465, "invalid hex number");
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    // An odd count of digits reads as if a 0 led.
    if (hex.size() % 2 != 0)
        hex.insert(hex.begin(), '0');
    return hex;
}

// A scalar subquery's value: ORA-01427 from its second row on.
class SingleValue : public SqlAggregate {
  public:
    void step(const Args& a) override {
        if (++rows_ > 1)
            oraThrow(1427, "single-row subquery returns more than one row");
        value_ = a[0];
    }
    SqlValue result() override { return value_; }

  private:
    SqlValue value_;
    int rows_ = 0;
};

SqlValue length(const TableById&, const Args& a) {
    if (isNull(a[0]))
        return SqlValue();
    return Number::fromInt(static_cast<std::int64_t>(encoding::utf8Length(valueToText(a[0]))));
}

SqlValue lengthB(const TableById&, const Args& a) {
    if (isNull(a[0]))
        return SqlValue();
    return Number::fromInt(static_cast<std::int64_t>(valueToText(a[0]).size()));
}

SqlValue toDate(const TableById&, const Args& a) {
    if (isNullOrEmpty(a[0]))
        return SqlValue();
    // Texts read where they are: every date of a copy's rows comes here.
    std::string converted[2];
    const auto text = [&](std::size_t i) -> const std::string& {
        const auto* s = std::get_if<std::string>(&a[i]);
        return s ? *s : (converted[i] = valueToText(a[i]));
    };
    if (isNull(a[1]))
        return formatStoredDate(parseDateLiteral(text(0)));
    return formatStoredDate(parseDateWithFormat(text(0), text(1)));
}

SqlValue toChar(const TableById&, const Args& a) {
    if (isNull(a[0]))
        return SqlValue();
    if (std::get<std::int64_t>(a[2]) == 0)
        return valueToText(a[0]);
    const DateTime d = storedDate(a[0]);
    if (isNull(a[1]))
        return formatStoredDate(d);
    return formatDateWithFormat(d, valueToText(a[1]));
}

SqlValue truncDate(const TableById&, const Args& a) {
    if (isNull(a[0]))
        return SqlValue();
    DateTime d = storedDate(a[0]);
    d.hour = d.minute = d.second = 0;
    return formatStoredDate(d);
}

SqlValue dateAdd(const TableById&, const Args& a) {
    if (isNull(a[0]) || isNull(a[1]))
        return SqlValue();
    const double days = toDouble(a[1]);
    if (!(std::fabs(days) < 4.0e6))
        oraThrow(1841, "(full) year must be between -4713 and +9999, and not be 0");
    const DateTime d = dateTimeOf(secondsOf(storedDate(a[0])) + std::llround(days * 86400.0));
    if (d.year < 1 || d.year > 9999)
        oraThrow(1841, "(full) year must be between -4713 and +9999, and not be 0");
    return formatStoredDate(d);
}

SqlValue dateDiff(const TableById&, const Args& a) {
    if (isNull(a[0]) || isNull(a[1]))
        return SqlValue();
    const auto diff = secondsOf(storedDate(a[0])) - secondsOf(storedDate(a[1]));
    return Number::fromInt(diff) / Number::fromInt(kSecondsPerDay);
}

// SUM and AVG over exact numbers; NULLs are skipped, no rows give NULL.
class NumberSum : public SqlAggregate {
  public:
    explicit NumberSum(bool average) : average_(average) {}
    void step(const Args& a) override {
        const auto n = numberArg(a[0]);
        if (!n)
            return;
        sum_ = sum_ + *n;
        ++count_;
    }
    void inverse(const Args& a) override {
        const auto n = numberArg(a[0]);
        if (!n)
            return;
        sum_ = sum_ - *n;
        --count_;
    }
    SqlValue result() override {
        if (count_ == 0)
            return SqlValue();
        return average_ ? sum_ / Number::fromInt(count_) : sum_;
    }

  private:
    bool average_;
    Number sum_;
    std::int64_t count_ = 0;
};

using Entry = FunctionEntry;

const Entry kRegistry[] = {
    {ServerFunction::kPut, "mv_put", 4, put},
    {ServerFunction::kFail, "mv_fail", 2, fail},
    {ServerFunction::kNum, "mv_num", 1, num},
    {ServerFunction::kText, "mv_text", 1, text},
    {ServerFunction::kAdd, "mv_add", -1, add},
    {ServerFunction::kSub, "mv_sub", 2, subtract},
    {ServerFunction::kMul, "mv_mul", -1, multiply},
    {ServerFunction::kDiv, "mv_div", 2, divide},
    {ServerFunction::kNeg, "mv_neg", 1, negate},
    {ServerFunction::kAbs, "mv_abs", 1, absolute},
    {ServerFunction::kWhole, "mv_whole", 1, whole},
    {ServerFunction::kMod, "mv_mod", 2, mod},
    {ServerFunction::kRound, "mv_round", 2, round},
    {ServerFunction::kTrunc, "mv_trunc", 2, trunc},
    {ServerFunction::kConcat, "mv_concat", -1, concat},
    {ServerFunction::kConcatLob, "mv_concat_lob", -1, concatLob},
    {ServerFunction::kHexToRaw, "mv_hextoraw", 1, hexToRaw},
    {ServerFunction::kLength, "mv_length", 1, length},
    {ServerFunction::kLengthB, "mv_lengthb", 1, lengthB},
    {ServerFunction::kToDate, "mv_to_date", 2, toDate},
    {ServerFunction::kToChar, "mv_to_char", 3, toChar},
    {ServerFunction::kTruncDate, "mv_trunc_date", 1, truncDate},
    {ServerFunction::kDateAdd, "mv_date_add", 2, dateAdd},
    {ServerFunction::kDateDiff, "mv_date_diff", 2, dateDiff},
};

// Every entry: this file's, then those kept beside their implementations.
const std::vector<const Entry*>& entries() {
    static const std::vector<const Entry*> all = [] {
        std::vector<const Entry*> out;
        for (const Entry& e : kRegistry)
            out.push_back(&e);
        for (const Entry& e : scalarFunctionEntries())
            out.push_back(&e);
        for (const Entry& e : dateFunctionEntries())
            out.push_back(&e);
        for (const Entry& e : binaryFunctionEntries())
            out.push_back(&e);
        return out;
    }();
    return all;
}

}  // namespace

std::string sqlCall(ServerFunction function, const std::vector<std::string>& args) {
    for (const Entry* entry : entries()) {
        const Entry& e = *entry;
        if (e.function != function)
            continue;
        if (e.argCount >= 0 && static_cast<int>(args.size()) != e.argCount)
            throw std::logic_error(std::string("wrong argument count for ") + e.name);
        std::string sql = std::string(e.name) + "(";
        for (std::size_t i = 0; i < args.size(); ++i)
            sql += (i ? ", " : "") + args[i];
        return sql + ")";
    }
    throw std::logic_error("function missing from the registry");
}

std::optional<int> parameterIndex(const std::string& sql) {
    if (sql.size() < 2 || sql.size() > 10 || sql[0] != '?' ||
        sql.find_first_not_of("0123456789", 1) != std::string::npos)
        return std::nullopt;
    return std::stoi(sql.substr(1)) - 1;
}

std::optional<ParamCall> paramCall(const std::string& sql) {
    const std::size_t open = sql.find('(');
    if (open == std::string::npos || sql.back() != ')')
        return std::nullopt;
    const std::string name = sql.substr(0, open);
    const Entry* entry = nullptr;
    for (const Entry* e : entries()) {
        if (name == e->name)
            entry = e;
    }
    if (!entry || entry->function == ServerFunction::kPut ||
        entry->function == ServerFunction::kFail)
        return std::nullopt;
    ParamCall call{entry->function, {}};
    std::size_t at = open + 1;
    const std::size_t end = sql.size() - 1;
    while (at < end) {
        std::size_t next = sql.find(", ", at);
        if (next == std::string::npos || next > end)
            next = end;
        const std::string arg = sql.substr(at, next - at);
        const auto index = arg == "NULL" ? std::optional<int>(-1) : parameterIndex(arg);
        if (!index)
            return std::nullopt;
        call.args.push_back(*index);
        at = next == end ? end : next + 2;
    }
    if (entry->argCount >= 0 && static_cast<int>(call.args.size()) != entry->argCount)
        return std::nullopt;
    return call;
}

SqlValue runParamCall(const ParamCall& call, const std::vector<SqlValue>& params) {
    // The entries by function, the first of each as sqlCall finds them.
    static const std::vector<const Entry*> byFunction = [] {
        std::vector<const Entry*> out;
        for (const Entry* e : entries()) {
            const auto at = static_cast<std::size_t>(e->function);
            out.resize(std::max(out.size(), at + 1));
            if (!out[at])
                out[at] = e;
        }
        return out;
    }();
    const auto at = static_cast<std::size_t>(call.function);
    if (at >= byFunction.size() || !byFunction[at])
        throw std::logic_error("function missing from the registry");
    // The arguments copied into the memory of the call before: a copy runs
    // the same call for every row, with texts of about the same lengths.
    thread_local Args args;
    args.resize(call.args.size());
    for (std::size_t i = 0; i < call.args.size(); ++i) {
        const int index = call.args[i];
        if (index < 0)
            args[i] = SqlValue();
        else
            args[i] = params.at(static_cast<std::size_t>(index));
    }
    return byFunction[at]->run(TableById(), args);
}

void defineServerFunctions(SqliteDb& db, TableById tables) {
    for (const Entry* e : entries()) {
        db.defineFunction(e->name, e->argCount,
                          [run = e->run, tables](const Args& a) { return run(tables, a); });
    }
    defineListAggregate(db);
    defineDistinctAggregates(db);
    defineRangeAggregate(db);
    defineBinaryAggregates(db);
    db.defineAggregate("mv_sum", 1, [] { return std::make_unique<NumberSum>(false); });
    db.defineAggregate("mv_avg", 1, [] { return std::make_unique<NumberSum>(true); });
    db.defineAggregate("mv_single", 1, [] { return std::make_unique<SingleValue>(); });
    defineTimestampFunctions(db);
    defineNestedQueryFunction(db);
}

}  // namespace malvorn::localserver
