// Random and mangled statements: every failure is one of the server's errors,
// never an internal one or a crash, and the server answers normally afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

class Generator {
  public:
    explicit Generator(std::uint32_t seed) : random_(seed) {}

    std::size_t below(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }
    template <typename T, std::size_t N>
    const T& pick(const T (&items)[N]) {
        return items[below(N)];
    }

    std::string literal() {
        static const char* const fixed[] = {
            "0",          "-1",     "12.25",  "1E300",        "1E-200",  "9.99E125", "''",
            "'abc'",      "'01'",   "'商品'", "'2001-02-30'", "NULL",    "SYSDATE",  "USER",
            "'\xff\xfe'", "'a''b'", ".5",     "-7",           "'\u3000'"};
        const std::size_t kind = below(4);
        if (kind == 0)
            return "'" + std::string(below(5000), 'x') + "'";
        return kind == 1 ? std::to_string(below(1000000)) + "." + std::to_string(below(1000))
                         : pick(fixed);
    }

    // Mostly the columns of the table being read, now and then another's.
    std::string column() {
        static const std::vector<std::vector<const char*>> names = {
            {"CODE", "NAME", "PRICE", "QTY", "UPD"},
            {"X", "V", "N", "D", "R"},
            {"DUMMY"},
            {"TABLE_NAME"}};
        if (!columns_)
            return literal();
        if (below(40) == 0)
            return below(2) ? "T.CODE" : "NOSUCH";
        const auto& own = names[table_];
        return own[below(own.size())];
    }

    // A value: literal, column, function, scalar subquery, CASE, arithmetic.
    std::string expression(int depth) {
        if (depth <= 0 || below(3) == 0)
            return below(2) ? literal() : column();
        static const char* const binary[] = {" + ", " - ", " * ", " / ", " || "};
        static const std::pair<const char*, int> functions[] = {
            {"NVL", 2},       {"SUBSTR", 2},   {"ROUND", 1},   {"TO_CHAR", 1}, {"TO_DATE", 1},
            {"HEXTORAW", 1},  {"RAWTOHEX", 1}, {"LENGTH", 1},  {"MOD", 2},     {"DECODE", 3},
            {"COUNT", 1},     {"SUM", 1},      {"UPPER", 1},   {"TRUNC", 1},   {"ABS", 1},
            {"TO_NUMBER", 1}, {"ROUND", 2},    {"TO_CHAR", 2}, {"NVL", 3}};
        switch (below(6)) {
            case 0:
                return "(" + expression(depth - 1) + ")";
            case 1: {
                const auto& [name, arity] = pick(functions);
                std::string call = std::string(name) + "(" + expression(depth - 1);
                for (int i = 1; i < arity; ++i)
                    call += ", " + expression(depth - 1);
                return call + ")";
            }
            case 2: {
                // The subquery's own columns inside it, the outer ones after it.
                const int outer = table_;
                const std::string from = table();
                std::string sub = "(SELECT " + expression(depth - 1) + " FROM " + from +
                                  (below(2) ? "" : " WHERE " + condition(depth - 1)) + ")";
                table_ = outer;
                return sub;
            }
            case 3:
                return "CASE WHEN " + condition(depth - 1) + " THEN " + expression(depth - 1) +
                       " ELSE " + literal() + " END";
            default:
                return expression(depth - 1) + pick(binary) + expression(depth - 1);
        }
    }

    // A condition: comparisons, IS NULL, IN, EXISTS, NOT, AND, OR.
    std::string condition(int depth) {
        static const char* const compare[] = {" = ", " <> ", " < ", " >= ", " LIKE "};
        switch (below(8)) {
            case 0:
                return expression(depth) + (below(2) ? " IS NULL" : " IS NOT NULL");
            case 1:
            case 2:
                return depth > 0 ? condition(depth - 1) + (below(2) ? " AND " : " OR ") +
                                       condition(depth - 1)
                                 : "1 = 1";
            case 3:
                return expression(depth) + " IN (" + literal() + ", " + expression(depth) + ")";
            case 4:
                return "NOT " + (depth > 0 ? condition(depth - 1) : "1 = 1");
            case 5: {
                const int outer = table_;
                std::string sub = "EXISTS (SELECT 1 FROM " + table() + " WHERE ";
                sub += (depth > 0 ? condition(depth - 1) : "1 = 1") + ")";
                table_ = outer;
                return sub;
            }
            default:
                return expression(depth) + pick(compare) + expression(depth);
        }
    }

    std::string table() {
        static const char* const tables[] = {"SHOHIN", "SHOHIN T", "F", "F", "DUAL", "USER_TABLES"};
        static const int kinds[] = {0, 0, 1, 1, 2, 3};
        const std::size_t chosen = below(std::size(tables));
        table_ = kinds[chosen];
        columns_ = true;
        return tables[chosen];
    }

    std::string statement() {
        const int depth = static_cast<int>(below(8));
        switch (below(6)) {
            case 0: {
                // VALUES take no columns.
                columns_ = false;
                const std::string values = expression(depth) + ", " + expression(depth);
                return "INSERT INTO F (X, V, N, D, R) VALUES (" + values + ", " + literal() + ", " +
                       literal() + ", " + literal() + ")";
            }
            case 1:
            case 2:
                table_ = 1;
                columns_ = true;
                return (below(2) ? "UPDATE F SET V = " + expression(depth) : "DELETE FROM F") +
                       " WHERE " + condition(depth);
            default: {
                const std::string from = table();
                return "SELECT " + (below(4) ? std::string() : "DISTINCT ") + expression(depth) +
                       " FROM " + from + (below(4) ? "" : ", F") + " WHERE " +
                       (below(8) ? condition(depth) : expression(depth)) +
                       (below(3) ? "" : " GROUP BY " + column()) +
                       (below(3) ? "" : " ORDER BY " + expression(1));
            }
        }
    }

    // Bytes cut, repeated, swapped or inserted, odd ones included.
    std::string mutate(std::string s) {
        using namespace std::string_literals;
        static const std::string odd[] = {"\0"s, "\xc3", "\xff", "\u3000", "(",   ")",
                                          "'",   "\"",   "--",   "/*",     "(+)", ","};
        const std::size_t edits = 1 + below(4);
        for (std::size_t i = 0; i < edits && !s.empty(); ++i) {
            const std::size_t at = below(s.size()), kind = below(4);
            if (kind == 0)
                s.erase(at, below(8) + 1);
            else if (kind == 3)
                s[at] = static_cast<char>(below(256));
            else
                s.insert(at, kind == 1 ? s.substr(at, below(20)) : pick(odd));
        }
        return s;
    }

  private:
    std::mt19937 random_;
    int table_ = 1;  // whose columns column() names: SHOHIN, F, DUAL, USER_TABLES
    bool columns_ = true;
};

using FuzzTest = ServerTest;

TEST_F(FuzzTest, RandomAndMutatedStatementsFailOnlyWithTheServersErrors) {
    auto scott = appUser();
    scott->execute(shohinStatement());
    scott->execute("CREATE TABLE F (X NUMBER(10,2), V VARCHAR2(20), N NUMBER, D DATE, R RAW(8))");
    const std::string own[] = {
        shohinStatement(),
        "INSERT INTO SHOHIN (CODE, NAME, PRICE, QTY, UPD) VALUES ('A1', 'O''Neil', "
        "922337203685477.5807, 3, TO_DATE('2001/02/03 10:30', 'YYYY/MM/DD HH24:MI'))",
        "INSERT INTO F (X, V, N, D, R) VALUES (1.5, '01', 0.14285714285714285, '2001-02-03', "
        "HEXTORAW('0A0B'))",
        "SELECT COLUMN_NAME, DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'SHOHIN' ORDER "
        "BY COLUMN_ID",
        "SELECT T.CODE, F.V FROM SHOHIN T, F WHERE T.QTY = F.X(+) AND T.CODE IN ('A1', 'B2')",
        "UPDATE SHOHIN SET PRICE = PRICE * 1.1 WHERE CODE = 'A1'",
    };
    // A fixed seed so that a failure repeats; MALVORN_FUZZ_SEED explores others.
    const char* seed = std::getenv("MALVORN_FUZZ_SEED");
    Generator g(seed ? static_cast<std::uint32_t>(std::strtoul(seed, nullptr, 10)) : 20260601);
    int refused = 0;
    for (int i = 0; i < 120000; ++i) {
        const std::string statement =
            i % 2 ? g.statement() : g.mutate(own[g.below(std::size(own))]);
        try {
            scott->query(statement);
        } catch (const oracle::OracleError& e) {
            ++refused;
            const std::string text = e.description();
            ASSERT_EQ(text.rfind("ORA-", 0), 0U) << statement;
            ASSERT_NE(text.rfind("ORA-00600", 0), 0U) << text << "\n" << statement;
        } catch (const std::exception& e) {
            FAIL() << e.what() << "\n" << statement;
        }
    }
    // Both outcomes occur (the generator reaches past the parser); the server is still usable.
    EXPECT_GT(refused, 12000);
    EXPECT_LT(refused, 108000);
    scott->execute("INSERT INTO F (X, V) VALUES (2, 'after')");
    EXPECT_EQ(scott->queryValue("SELECT COUNT(*) FROM F WHERE V = 'after'"), "1");
    EXPECT_EQ(open("scott", "tiger")->queryValue("SELECT COUNT(*) FROM F WHERE X = 2"), "1");
}

}  // namespace
}  // namespace malvorn::localserver
