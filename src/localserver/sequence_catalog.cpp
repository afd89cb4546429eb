// Sequences: their catalog entries, the server's rules for their options,
// and the counter.
#include "localserver/sequence_catalog.h"

#include "localserver/errors.h"

namespace malvorn::localserver {
namespace {

Number number(const std::string& text) {
    return Number::parse(text).value_or(Number());
}

Number numberColumn(const SqliteStatement& stmt, int index) {
    return number(stmt.columnText(index));
}

int compare(const Number& a, const Number& b) {
    return Number::compare(a, b);
}

// The bounds a sequence has when none is given: up to 28 nines ascending,
// down to minus 27 nines descending.
Number nines(int count) {
    return number(std::string(static_cast<std::size_t>(count), '9'));
}

// A parameter as written: at most 28 digits (ORA-04003).
Number parameter(const std::string& text, const char* name) {
    const std::size_t digits = text.size() - (text.starts_with('-') ? 1 : 0);
    if (digits > 28) {
        oraThrow(4003, std::string("sequence parameter ") + name +
                           " exceeds maximum size allowed (28 digits)");
    }
    return number(text);
}

// The checks every definition passes, new or altered.
void checkBounds(const SequenceState& s) {
    if (s.increment.isZero())
        oraThrow(4002, "INCREMENT must be a non-zero integer");
    if (compare(s.minValue, s.maxValue) >= 0)
        oraThrow(4004, "MINVALUE must be less than MAXVALUE");
    if (compare(s.increment.abs(), s.maxValue - s.minValue) >= 0)
        oraThrow(4005, "INCREMENT must be less than MAXVALUE minus MINVALUE");
    if (s.cache < 0 || s.cache == 1)
        oraThrow(4010, "the number of values to CACHE must be greater than 1");
    if (s.cycle && s.cache > 0) {
        // A cycling sequence cannot cache a whole cycle.
        const Number span = (s.maxValue - s.minValue) / s.increment.abs();
        Number values = span.truncated(0);
        if (!(values == span))
            values = values + Number::fromInt(1);
        if (compare(Number::fromInt(s.cache), values) >= 0)
            oraThrow(4013, "number to CACHE must be less than one cycle");
    }
}

void applyLimits(SequenceState& s, const ast::SequenceOptions& o) {
    const bool ascending = !s.increment.negative();
    if (o.maxValue) {
        s.maxValue = o.maxValue->empty() ? (ascending ? nines(28) : Number::fromInt(-1))
                                         : parameter(*o.maxValue, "MAXVALUE");
    }
    if (o.minValue) {
        s.minValue = o.minValue->empty() ? (ascending ? Number::fromInt(1) : nines(27).negated())
                                         : parameter(*o.minValue, "MINVALUE");
    }
    if (o.cycle)
        s.cycle = *o.cycle;
    if (o.cache)
        s.cache = parameter(*o.cache, "CACHE").toInt().value_or(-1);
}

}  // namespace

void createSequenceTables(SqliteDb& db) {
    db.exec(
        "CREATE TABLE IF NOT EXISTS mv_sequence(id INTEGER PRIMARY KEY AUTOINCREMENT, owner TEXT, "
        "name TEXT, min_value TEXT, max_value TEXT, increment_by TEXT, cycle_flag TEXT, "
        "cache_size INTEGER, next_value TEXT, high_value TEXT, used INTEGER, UNIQUE(owner, "
        "name))");
}

bool objectNameTaken(SqliteDb& db, const std::string& owner, const std::string& name) {
    auto taken = db.cached(
        "SELECT 1 FROM mv_table WHERE owner = ?1 AND name = ?2 UNION ALL SELECT 1 FROM mv_view "
        "WHERE owner = ?1 AND name = ?2 UNION ALL SELECT 1 FROM mv_sequence WHERE owner = ?1 AND "
        "name = ?2");
    taken.bindAll({owner, name});
    const bool found = taken.step();
    taken.reset();
    return found;
}

namespace {

constexpr const char* kColumns =
    "id, owner, name, min_value, max_value, increment_by, cycle_flag, cache_size, next_value, "
    "high_value, used";

SequenceState readRow(const SqliteStatement& row) {
    SequenceState s;
    s.id = row.columnInt(0);
    s.owner = row.columnText(1);
    s.name = row.columnText(2);
    s.minValue = numberColumn(row, 3);
    s.maxValue = numberColumn(row, 4);
    s.increment = numberColumn(row, 5);
    s.cycle = row.columnText(6) == "Y";
    s.cache = row.columnInt(7);
    s.next = numberColumn(row, 8);
    s.high = numberColumn(row, 9);
    s.used = row.columnInt(10) != 0;
    return s;
}

}  // namespace

std::optional<SequenceState> readSequence(SqliteDb& db, const std::string& owner,
                                          const std::string& name) {
    auto read = db.cached(std::string("SELECT ") + kColumns +
                          " FROM mv_sequence WHERE owner = ?1 AND name = ?2");
    read.bindAll({owner, name});
    std::optional<SequenceState> found;
    if (read.step())
        found = readRow(read);
    read.reset();
    return found;
}

void writeSequence(SqliteDb& db, const SequenceState& s) {
    auto write = db.cached(std::string("INSERT OR REPLACE INTO mv_sequence(") + kColumns +
                           ") VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    write.bindAll({s.id ? SqlValue(s.id) : SqlValue(), s.owner, s.name, s.minValue.text(),
                   s.maxValue.text(), s.increment.text(), std::string(s.cycle ? "Y" : "N"), s.cache,
                   s.next.text(), s.high.text(), std::int64_t{s.used ? 1 : 0}});
    write.step();
}

bool removeSequence(SqliteDb& db, const std::string& owner, const std::string& name) {
    auto remove = db.cached("DELETE FROM mv_sequence WHERE owner = ?1 AND name = ?2");
    remove.bindAll({owner, name});
    remove.step();
    return db.changes() > 0;
}

void removeSequencesOf(SqliteDb& db, const std::string& owner) {
    auto remove = db.cached("DELETE FROM mv_sequence WHERE owner = ?1");
    remove.bind(1, owner);
    remove.step();
}

SequenceState defineSequence(const ast::SequenceOptions& o) {
    SequenceState s;
    s.increment = parameter(o.incrementBy.value_or("1"), "INCREMENT");
    if (s.increment.isZero())
        oraThrow(4002, "INCREMENT must be a non-zero integer");
    const bool ascending = !s.increment.negative();
    ast::SequenceOptions limits = o;
    limits.maxValue = o.maxValue.value_or("");
    limits.minValue = o.minValue.value_or("");
    applyLimits(s, limits);
    if (s.cycle && ascending && o.maxValue.value_or("").empty())
        oraThrow(4015, "ascending sequences that CYCLE must specify MAXVALUE");
    if (s.cycle && !ascending && o.minValue.value_or("").empty())
        oraThrow(4014, "descending sequences that CYCLE must specify MINVALUE");
    checkBounds(s);
    s.next =
        o.startWith ? parameter(*o.startWith, "START WITH") : (ascending ? s.minValue : s.maxValue);
    if (compare(s.next, s.minValue) < 0)
        oraThrow(4006, "START WITH cannot be less than MINVALUE");
    if (compare(s.next, s.maxValue) > 0)
        oraThrow(4008, "START WITH cannot be more than MAXVALUE");
    s.high = s.next;
    return s;
}

void alterSequenceState(SequenceState& s, const ast::SequenceOptions& o) {
    if (o.incrementBy) {
        const Number increment = parameter(*o.incrementBy, "INCREMENT");
        // The next value follows the last one given by the new step.
        if (s.used)
            s.next = s.next - s.increment + increment;
        s.increment = increment;
    }
    applyLimits(s, o);
    checkBounds(s);
    if (o.restart) {
        const bool ascending = !s.increment.negative();
        s.next = o.startWith ? parameter(*o.startWith, "START WITH")
                             : (ascending ? s.minValue : s.maxValue);
        s.used = false;
        s.high = s.next;
    }
    if (s.used) {
        const Number current = s.next - s.increment;
        if (compare(current, s.maxValue) > 0)
            oraThrow(4009, "MAXVALUE cannot be made to be less than the current value");
        if (compare(current, s.minValue) < 0)
            oraThrow(4007, "MINVALUE cannot be made to exceed the current value");
    } else if (compare(s.next, s.minValue) < 0) {
        oraThrow(4006, "START WITH cannot be less than MINVALUE");
    } else if (compare(s.next, s.maxValue) > 0) {
        oraThrow(4008, "START WITH cannot be more than MAXVALUE");
    }
}

SequenceCounter::SequenceCounter(const std::string& catalogPath) : db_(catalogPath) {}

Number SequenceCounter::next(std::int64_t id) {
    db_.exec("BEGIN IMMEDIATE");
    try {
        auto read =
            db_.cached(std::string("SELECT ") + kColumns + " FROM mv_sequence WHERE id = ?1");
        read.bind(1, id);
        if (!read.step())
            oraThrow(2289, "sequence does not exist");
        SequenceState s = readRow(read);
        read.reset();
        const bool ascending = !s.increment.negative();
        Number value = s.next;
        bool wrapped = false;
        if (ascending ? compare(value, s.maxValue) > 0 : compare(value, s.minValue) < 0) {
            if (!s.cycle) {
                oraThrow(8004, "sequence " + s.name + ".NEXTVAL " +
                                   (ascending ? "exceeds MAXVALUE" : "goes below MINVALUE") +
                                   " and cannot be instantiated");
            }
            value = ascending ? s.minValue : s.maxValue;
            wrapped = true;
        }
        // LAST_NUMBER moves a block of CACHE values at a time, as the
        // server's cache would take them.
        if (wrapped || !s.used ||
            (ascending ? compare(value, s.high) >= 0 : compare(value, s.high) <= 0)) {
            s.high = value + s.increment * Number::fromInt(std::max<std::int64_t>(s.cache, 1));
        }
        auto write = db_.cached(
            "UPDATE mv_sequence SET next_value = ?2, high_value = ?3, used = 1 WHERE id = ?1");
        write.bindAll({id, (value + s.increment).text(), s.high.text()});
        write.step();
        db_.exec("COMMIT");
        return value;
    } catch (...) {
        db_.exec("ROLLBACK");
        throw;
    }
}

}  // namespace malvorn::localserver
