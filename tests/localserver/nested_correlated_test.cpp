// Scalar subqueries nested far deeper than one SQLite statement holds, each
// level reading the rows around it, give what Oracle gives: the values, NULL
// where a level finds no row, ORA-01427 where a level reached finds two, and
// ORA-00036 only for runaway nesting. EXISTS and IN nest as deep.
#include <cstdint>
#include <functional>

#include "localserver/nested_query.h"
#include "localserver/sqlite_db.h"
#include "steps.h"

namespace malvorn::localserver {
namespace {

using Level = std::function<std::string(const std::string& inner, int i)>;

// `start` wrapped in `depth` scalar subqueries, level 1 outermost; `level`
// writes level i around what it holds. The outermost query is T t0.
std::string nest(const std::string& start, int depth, const Level& level) {
    std::string q = start;
    for (int i = depth; i >= 1; --i)
        q = level(q, i);
    return q;
}

std::string t(int i) {
    return "t" + std::to_string(i);
}

// Each level adds its own row's V, correlated to the outermost row.
std::string plusOwn(const std::string& q, int i) {
    return "(SELECT " + q + " + " + t(i) + ".V FROM T " + t(i) + " WHERE " + t(i) + ".K = t0.K)";
}
// Each level correlated to the level just around it only.
std::string plusParent(const std::string& q, int i) {
    return "(SELECT " + q + " + " + t(i) + ".V FROM T " + t(i) + " WHERE " + t(i) +
           ".K = " + t(i - 1) + ".K)";
}
// An aggregate at each level over the rows up to the outermost row's K.
std::string plusMax(const std::string& q, int i) {
    return "(SELECT MAX(" + t(i) + ".V) + " + q + " FROM T " + t(i) + " WHERE " + t(i) +
           ".K <= t0.K)";
}
// A correlated level holding an uncorrelated subquery: adds V - 10.
std::string plusUncorrelated(const std::string& q, int i) {
    const std::string u = "u" + std::to_string(i);
    return "(SELECT " + q + " + " + t(i) + ".V - (SELECT MIN(" + u + ".V) FROM T " + u +
           ") FROM T " + t(i) + " WHERE " + t(i) + ".K = t0.K)";
}
// Text joined with a literal at each level.
std::string joinedName(const std::string& q, int i) {
    return "(SELECT " + q + " || '-' || " + t(i) + ".NAME FROM T " + t(i) + " WHERE " + t(i) +
           ".K = t0.K)";
}
// Each level sums over the rows up to the level around it, adding what the
// level within gives for each: every row of a level passes its own value on.
std::string sumsWithin(const std::string& q, int i) {
    return "(SELECT SUM(" + t(i) + ".V + " + q + ") FROM T " + t(i) + " WHERE " + t(i) +
           ".K <= " + t(i - 1) + ".K)";
}
// What sumsWithin gives `depth` deep for the row of K `k`.
std::int64_t sumsWithinValue(int k, int depth) {
    std::int64_t within[4] = {};  // for K 1 to 3, from the level below
    for (int level = 0; level < depth; ++level) {
        std::int64_t sum = 0;
        for (int j = 1; j <= 3; ++j) {
            sum += 10 * j + within[j];
            within[j] = sum;
        }
    }
    return within[k];
}
// Each level the first of D's rows for the outermost row, passing on the
// value within: its select list names nothing of its own rows.
std::string firstOfD(const std::string& q, int i) {
    return "(SELECT " + q + " FROM D " + t(i) + " WHERE " + t(i) + ".K = t0.K AND ROWNUM < 2)";
}
// Level `at` reads D: two rows for K 2, none for K 3.
Level readingDAt(int at) {
    return [at](const std::string& q, int i) {
        return "(SELECT " + q + " + " + t(i) + ".V FROM " + (i == at ? "D " : "T ") + t(i) +
               " WHERE " + t(i) + ".K = t0.K)";
    };
}

std::string repeated(const std::string& part, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += part;
    return out;
}

class NestedCorrelatedTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        executeAll({"CREATE TABLE T (K NUMBER, V NUMBER, NAME VARCHAR2(10))",
                    "INSERT INTO T VALUES (1, 10, 'a')", "INSERT INTO T VALUES (2, 20, 'o''k')",
                    "INSERT INTO T VALUES (3, 30, 'ü')", "CREATE TABLE D (K NUMBER, V NUMBER)",
                    "INSERT INTO D VALUES (1, 1)", "INSERT INTO D VALUES (2, 2)",
                    "INSERT INTO D VALUES (2, 3)"});
    }
    // The selected expression for every row of T, in K's order.
    Rows column(const std::string& expression, const std::string& where = "") {
        return answer("SELECT " + expression + " FROM T t0" + where + " ORDER BY t0.K", true);
    }
};

struct DepthCase {
    const char* form;
    Level level;
    std::string start;
    std::function<Rows(int depth)> expected;  // Oracle's rows for T's K 1, 2, 3
    int deepest = 100;  // within the parser's 255 levels, which a call and a sum take more of
};

TEST_F(NestedCorrelatedTest, EveryFormGivesOraclesValuesAtEveryDepth) {
    const auto numbers = [](auto value) {
        return [value](int depth) {
            Rows rows;
            for (int k = 1; k <= 3; ++k)
                rows.push_back(std::to_string(value(k, depth)));
            return rows;
        };
    };
    const DepthCase cases[] = {
        {"own row", plusOwn, "t0.V", numbers([](int k, int n) { return 10 * k * (n + 1); })},
        {"parent's row", plusParent, "0", numbers([](int k, int n) { return 10 * k * n; })},
        {"aggregate", plusMax, "t0.V", numbers([](int k, int n) { return 10 * k * (n + 1); })},
        {"with an uncorrelated subquery", plusUncorrelated, "t0.V",
         numbers([](int k, int n) { return 10 * k + (10 * k - 10) * n; })},
        {"sums over each level", sumsWithin, "0", numbers(sumsWithinValue), 30},
        {"first of two rows", firstOfD, "t0.V",
         [](int) {
             return Rows{"10", "20", "<null>"};
         }},
        {"text and literals", joinedName, "t0.NAME",
         [](int n) {
             return Rows{"a" + repeated("-a", n), "o'k" + repeated("-o'k", n),
                         "ü" + repeated("-ü", n)};
         }},
    };
    for (const DepthCase& c : cases) {
        for (const int depth : {1, 4, 5, 8, 12, 30, 100}) {
            if (depth > c.deepest)
                continue;
            EXPECT_EQ(column(nest(c.start, depth, c.level)), c.expected(depth))
                << c.form << " nested " << depth;
        }
    }
}

struct ConditionCase {
    std::string condition;  // on t0, at the bottom of the EXISTS levels
    Rows expected;          // the K of T's rows it holds for
};

// Oracle's three-valued IN and NOT IN, and EXISTS, at the bottom of levels of
// EXISTS each correlated to the outermost row.
TEST_F(NestedCorrelatedTest, ExistsAndInHoldAsInOracleAtEveryDepth) {
    const std::string withNull = "(SELECT CASE WHEN d.K = 2 THEN NULL ELSE d.K END FROM D d)";
    const ConditionCase cases[] = {
        {"EXISTS (SELECT 1 FROM D d WHERE d.K = t0.K)", {"1", "2"}},
        {"NOT EXISTS (SELECT 1 FROM D d WHERE d.K = t0.K)", {"3"}},
        {"t0.K IN (SELECT d.K FROM D d)", {"1", "2"}},
        {"t0.K IN " + withNull, {"1"}},
        {"t0.K NOT IN " + withNull, {}},
        {"t0.K NOT IN (SELECT d.K FROM D d WHERE d.K > 5)", {"1", "2", "3"}},
        {"t0.NAME IN (SELECT NAME FROM T WHERE K = t0.K)", {"1", "2", "3"}},
        {"t0.K IN (SELECT d.K, d.V FROM D d)", {"ORA-00913"}},
    };
    for (const ConditionCase& c : cases) {
        for (const int depth : {1, 5, 12, 30}) {
            std::string q = "SELECT 1 FROM T " + t(depth) + " WHERE " + t(depth) +
                            ".K = t0.K AND " + c.condition;
            for (int i = depth - 1; i >= 1; --i)
                q = "SELECT 1 FROM T " + t(i) + " WHERE EXISTS (" + q + ")";
            EXPECT_EQ(answer("SELECT t0.K FROM T t0 WHERE EXISTS (" + q + ") ORDER BY 1", true),
                      c.expected)
                << c.condition << " under " << depth;
        }
    }
}

struct FailingLevelCase {
    int depth;
    int at;  // the level reading D
};

TEST_F(NestedCorrelatedTest, ALevelWithTwoRowsFailsWhereReachedAndOneWithoutIsNull) {
    const FailingLevelCase cases[] = {{1, 1}, {6, 3}, {12, 5}, {12, 12}, {30, 17}, {40, 40}};
    for (const FailingLevelCase& c : cases) {
        const std::string q = nest("t0.V", c.depth, readingDAt(c.at));
        const std::string where = " WHERE t0.K <> 2";
        // K 1: every level adds 10 but level `at`, which adds D's 1.
        const Rows reached{"ORA-01427"};
        const Rows passed{std::to_string(10 * c.depth + 1), "<null>"};
        EXPECT_EQ(column(q), reached) << c.depth << " at " << c.at;
        EXPECT_EQ(column(q, where), passed) << c.depth << " at " << c.at;
    }
}

TEST_F(NestedCorrelatedTest, StatementsThatChangeRowsReadDeepLevels) {
    const std::string levels = nest("t0.V", 30, plusOwn);
    const std::string u = "INSERT INTO U SELECT t0.K, " + levels + " FROM T t0 WHERE t0.K < 3";
    const std::string update = "UPDATE U t0 SET V = " + nest("0", 12, plusOwn) + " WHERE t0.K = 2";
    runSteps({{"CREATE TABLE U (K NUMBER, V NUMBER)", {}},
              {u.c_str(), {}},
              {"SELECT K, V FROM U ORDER BY K", {"1|310", "2|620"}},
              {update.c_str(), {}},
              {"SELECT K, V FROM U ORDER BY K", {"1|310", "2|240"}},
              // Read again by the next statement, not kept from the last.
              {"UPDATE T SET V = V * 2", {}},
              {u.c_str(), {}},
              {"SELECT K, V FROM U ORDER BY K, V", {"1|310", "1|620", "2|240", "2|1240"}}});
}

TEST_F(NestedCorrelatedTest, RunawayNestingIsRefusedAndTheSessionGoesOn) {
    for (const int depth : {255, 300, 1000}) {
        EXPECT_EQ(column(nest("t0.V", depth, plusOwn)), Rows{"ORA-00036"}) << depth;
        EXPECT_EQ(column(nest("0", depth, plusParent)), Rows{"ORA-00036"}) << depth;
    }
    EXPECT_EQ(column("V"), (Rows{"10", "20", "30"}));
}

// mv_nested called inside the query it runs, `depth` deep: the innermost adds
// one to the value passed down from the top.
std::string nestedCalls(int depth) {
    NestedQuery inner{"SELECT ?1 + 1", {SqlValue()}, {1}};
    std::string encoded = encodeNestedQuery(inner);
    for (int i = 1; i < depth; ++i)
        encoded = encodeNestedQuery(
            {"SELECT " + nestedQueryCall("?1", {"?2"}), {SqlValue(encoded), SqlValue()}, {2}});
    return encoded;
}

TEST_F(NestedCorrelatedTest, NestedStatementsStopAtTheirLimitWithOra00036) {
    SqliteDb db(dir_.path() + "/nested.db");
    defineNestedQueryFunction(db);
    const auto valueAt = [&db](int depth) {
        auto statement = db.prepare("SELECT " + nestedQueryCall("?1", {"41"}));
        statement->bind(1, nestedCalls(depth));
        EXPECT_TRUE(statement->step());
        return statement->columnInt(0);
    };
    EXPECT_EQ(valueAt(1), 42);
    EXPECT_EQ(valueAt(kMaxNestedStatements), 42);
    try {
        valueAt(kMaxNestedStatements + 1);
        ADD_FAILURE() << "ran past the limit";
    } catch (const oracle::OracleError& e) {
        EXPECT_TRUE(e.description().starts_with("ORA-00036")) << e.description();
    }
    // The connection runs the next call as the first.
    EXPECT_EQ(valueAt(3), 42);
}

struct EncodingCase {
    const char* name;
    NestedQuery query;
};

TEST(NestedQueryEncodingTest, ValuesComeBackAsTheyWent) {
    const EncodingCase cases[] = {
        {"no parameters", {"SELECT 1", {}, {}}},
        {"every kind",
         {"SELECT ?1, ?2, ?3, ?4",
          {SqlValue(), SqlValue(std::int64_t{-7}), SqlValue(*Number::parse("-12.5e3")),
           SqlValue(std::string("o'k:12:\n\0ü", 11))},
          {1, 4}}},
        {"a query within", {"SELECT mv_nested(?1)", {SqlValue(std::string("q3:abc"))}, {}}},
    };
    for (const EncodingCase& c : cases) {
        const NestedQuery back = decodeNestedQuery(encodeNestedQuery(c.query));
        EXPECT_EQ(back.sql, c.query.sql) << c.name;
        EXPECT_EQ(back.params, c.query.params) << c.name;
        EXPECT_EQ(back.captured, c.query.captured) << c.name;
    }
    for (const char* broken : {"", "x1:a", "q9:SELECT", "q1:1c1:1", "q1:1n0:c1:2", "q1:1d1:z"})
        EXPECT_THROW(decodeNestedQuery(broken), std::invalid_argument) << broken;
}

}  // namespace
}  // namespace malvorn::localserver
