#include "localserver/nested_query.h"

#include <charconv>
#include <stdexcept>

#include "encoding/ascii.h"
#include "localserver/errors.h"
#include "localserver/parser.h"

namespace malvorn::localserver {
namespace {

// Fields are a tag, the payload's length in decimal, ':' and the payload:
// 'q' the SQL, then per parameter 'n' NULL, 'i' an integer, 'd' a NUMBER's
// key in hexadecimal (the text stays free of control bytes), 's' a text;
// then 'c' each captured parameter's number.
void putField(std::string& out, char tag, std::string_view payload) {
    out += tag;
    out += std::to_string(payload.size());
    out += ':';
    out += payload;
}

int nibbleOf(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    throw std::invalid_argument("nested query: bad hexadecimal digit");
}

std::string bytesOf(std::string_view hex) {
    if (hex.size() % 2 != 0)
        throw std::invalid_argument("nested query: odd hexadecimal length");
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2)
        out += static_cast<char>(nibbleOf(hex[i]) * 16 + nibbleOf(hex[i + 1]));
    return out;
}

template <typename Int>
Int integerOf(std::string_view text) {
    Int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw std::invalid_argument("nested query: bad number");
    return value;
}

struct Field {
    char tag;
    std::string_view payload;
};

// The field at `at`, moving `at` past it.
Field nextField(std::string_view text, std::size_t& at) {
    const std::size_t colon = text.find(':', at);
    if (colon == std::string_view::npos || colon == at)
        throw std::invalid_argument("nested query: field without length");
    const char tag = text[at];
    const auto size = integerOf<std::size_t>(text.substr(at + 1, colon - at - 1));
    if (size > text.size() - colon - 1)
        throw std::invalid_argument("nested query: field past the end");
    at = colon + 1 + size;
    return {tag, text.substr(colon + 1, size)};
}

// One nested statement running, and the values its own nested calls gave.
// The rows it reads stay as they are while it runs (it only reads, and the
// statement that changes rows computes a row's values before writing it), so
// a call repeated with the same values in that time gives the same value:
// levels that read nothing of their own rows are run once per run of the
// level around them, not once per row.
struct NestedFrame {
    const std::string* sql;
    std::vector<std::pair<std::vector<SqlValue>, SqlValue>> given;
};

// The calls kept per run: enough for the repeats, small enough to search.
constexpr std::size_t kKeptCalls = 16;

// The nested statements running now on this thread, innermost last: their
// depth is bounded, and a statement already running is never handed out of
// the cache again (that would reset it under its caller).
thread_local std::vector<NestedFrame> nestedRunning;

class NestedRun {
  public:
    explicit NestedRun(const std::string& sql) {
        if (nestedRunning.size() >= static_cast<std::size_t>(kMaxNestedStatements))
            tooComplex();
        for (const NestedFrame& running : nestedRunning)
            reentered_ = reentered_ || *running.sql == sql;
        nestedRunning.push_back({&sql, {}});
    }
    NestedRun(const NestedRun&) = delete;
    NestedRun& operator=(const NestedRun&) = delete;
    ~NestedRun() { nestedRunning.pop_back(); }
    bool reentered() const { return reentered_; }

  private:
    bool reentered_ = false;
};

// Whether two calls pass the same values; the query, first, compared last,
// as it is the longest and most often the same.
bool sameCall(const std::vector<SqlValue>& a, const std::vector<SqlValue>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = a.size(); i > 0; --i) {
        if (a[i - 1] != b[i - 1])
            return false;
    }
    return true;
}

// The one value a scalar subquery's statement gives.
SqlValue singleValueOf(SqliteStatement& statement, const std::vector<SqlValue>& params) {
    const auto count = static_cast<std::size_t>(statement.parameterCount());
    for (std::size_t i = 0; i < count && i < params.size(); ++i)
        statement.bind(static_cast<int>(i + 1), params[i]);
    if (!statement.step())
        return SqlValue();
    SqlValue value = statement.column(0);
    if (statement.step())
        oraThrow(1427, "single-row subquery returns more than one row");
    return value;
}

SqlValue runQuery(SqliteDb& db, const std::vector<SqlValue>& args) {
    const auto* text = args.empty() ? nullptr : std::get_if<std::string>(&args[0]);
    if (!text)
        throw std::logic_error("mv_nested without its query");
    NestedQuery query = decodeNestedQuery(*text);
    if (query.captured.size() != args.size() - 1)
        throw std::logic_error("mv_nested given the wrong number of values");
    for (std::size_t i = 0; i < query.captured.size(); ++i)
        query.params.at(query.captured[i] - 1) = args[i + 1];
    const NestedRun run(query.sql);
    if (run.reentered())
        return singleValueOf(*db.prepare(query.sql), query.params);
    CachedStatement statement = db.cached(query.sql);
    return singleValueOf(statement, query.params);
}

SqlValue runNested(SqliteDb& db, const std::vector<SqlValue>& args) {
    if (nestedRunning.empty())
        return runQuery(db, args);
    for (const auto& [values, value] : nestedRunning.back().given) {
        if (sameCall(values, args))
            return value;
    }
    SqlValue value = runQuery(db, args);
    auto& given = nestedRunning.back().given;
    if (given.size() < kKeptCalls)
        given.emplace_back(args, value);
    return value;
}

}  // namespace

std::string encodeNestedQuery(const NestedQuery& query) {
    std::string out;
    putField(out, 'q', query.sql);
    for (const SqlValue& v : query.params) {
        if (std::holds_alternative<std::monostate>(v))
            putField(out, 'n', {});
        else if (const auto* i = std::get_if<std::int64_t>(&v))
            putField(out, 'i', std::to_string(*i));
        else if (const auto* n = std::get_if<Number>(&v))
            putField(out, 'd', encoding::hexText(n->key()));
        else
            putField(out, 's', std::get<std::string>(v));
    }
    for (const std::size_t param : query.captured)
        putField(out, 'c', std::to_string(param));
    return out;
}

NestedQuery decodeNestedQuery(std::string_view text) {
    NestedQuery query;
    std::size_t at = 0;
    const Field first = nextField(text, at);
    if (first.tag != 'q')
        throw std::invalid_argument("nested query: no SQL");
    query.sql = first.payload;
    while (at < text.size()) {
        const Field f = nextField(text, at);
        if (f.tag == 'c') {
            const auto param = integerOf<std::size_t>(f.payload);
            if (param < 1 || param > query.params.size())
                throw std::invalid_argument("nested query: captured parameter out of range");
            query.captured.push_back(param);
            continue;
        }
        if (!query.captured.empty())
            throw std::invalid_argument("nested query: parameter after the captured ones");
        if (f.tag == 'n')
            query.params.emplace_back();
        else if (f.tag == 'i')
            query.params.emplace_back(integerOf<std::int64_t>(f.payload));
        else if (f.tag == 'd')
            query.params.emplace_back(Number::fromKey(bytesOf(f.payload)));
        else if (f.tag == 's')
            query.params.emplace_back(std::string(f.payload));
        else
            throw std::invalid_argument("nested query: unknown field");
    }
    return query;
}

std::string nestedQueryCall(const std::string& query, const std::vector<std::string>& values) {
    std::string sql = "mv_nested(" + query;
    for (const std::string& v : values)
        sql += ", " + v;
    return sql + ")";
}

void defineNestedQueryFunction(SqliteDb& db) {
    // It reads tables: SQLite must call it for each row, never once for all.
    db.defineFunction(
        "mv_nested", -1, [&db](const std::vector<SqlValue>& args) { return runNested(db, args); },
        false);
}

}  // namespace malvorn::localserver
