#pragma once

// A saved query of a Jet database: the rows the engine keeps for it in its
// query catalog (MSysQueries), and what they say once decoded.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace malvorn::model {

// One row of the query catalog as stored. `attribute` says what the row
// holds (see QueryAttribute); the other columns' meaning follows it.
struct QueryCatalogRow {
    int attribute = 0;
    std::string expression;
    std::optional<std::int64_t> flag;
    std::string name1;
    std::string name2;
};

// A query's catalog entry (its name, the Flags of its MSysObjects row) and
// its rows in stored order.
struct StoredQueryRows {
    std::string name;
    std::uint32_t catalogFlags = 0;
    std::vector<QueryCatalogRow> rows;
};

enum QueryAttribute : int {
    kQueryKindRow = 1,    // flag: the kind (QueryKind's numbers)
    kQueryParameter = 2,  // name1: the parameter, flag: its type
    kQueryFlags = 3,      // flag: DISTINCT, DISTINCTROW, TOP...; name1: TOP's count
    kQueryDatabase = 4,   // name1: an external database the query reads
    kQueryInput = 5,      // name1: table or query, name2: alias; expression: a UNION part
    kQueryOutput = 6,     // expression, name1: alias; flag: crosstab role
    kQueryJoin = 7,       // name1, name2: the two sides; expression; flag: JoinKind
    kQueryWhere = 8,
    kQueryGroupBy = 9,  // flag: crosstab role
    kQueryHaving = 10,
    kQueryOrderBy = 11,  // name1 "D": descending
    kQueryEnd = 255,
};

// The numbers the engine stores in the query's kind row.
enum class QueryKind : int {
    kUnknown = 0,
    kSelect = 1,
    kMakeTable = 2,
    kAppend = 3,
    kUpdate = 4,
    kDelete = 5,
    kCrosstab = 6,
    kDataDefinition = 7,
    kPassThrough = 8,
    kUnion = 9,
};

// Bits of the flags row.
enum QueryFlagBits : std::int64_t {
    kQuerySelectStar = 0x01,  // all output columns (SELECT *)
    kQueryDistinct = 0x02,    // on a UNION: UNION rather than UNION ALL
    kQueryOwnerAccess = 0x04,
    kQueryDistinctRow = 0x08,
    kQueryTop = 0x10,
    kQueryTopPercent = 0x20,
};

enum class JoinKind : int { kInner = 1, kLeft = 2, kRight = 3 };

// A crosstab's role of an output column or grouping.
enum class CrosstabRole : int { kValue = 0, kColumnHeading = 1, kRowHeading = 2 };

struct QueryParameter {
    std::string name;
    std::int64_t type = 0;  // a Jet type number
};

struct QueryInput {
    std::string table;      // a table or another query
    std::string alias;      // empty when none
    std::string unionPart;  // a UNION's part: its SELECT text
};

struct QueryOutput {
    std::string expression;
    std::string alias;
    std::int64_t flag = 0;
};

struct QueryJoin {
    std::string left;
    std::string right;
    JoinKind kind = JoinKind::kInner;
    std::string condition;
};

struct QueryOrder {
    std::string expression;
    bool descending = false;
};

struct QueryGrouping {
    std::string expression;
    std::int64_t flag = 0;
};

struct StoredQuery {
    std::string name;
    std::uint32_t catalogFlags = 0;
    QueryKind kind = QueryKind::kUnknown;
    std::int64_t kindNumber = 0;  // as stored, also when unknown
    std::int64_t flags = 0;       // QueryFlagBits
    std::string topCount;         // with kQueryTop
    std::string target;           // make-table and append: the table written
    std::string externalDatabase;
    std::vector<QueryParameter> parameters;
    std::vector<QueryInput> inputs;
    std::vector<QueryOutput> outputs;
    std::vector<QueryJoin> joins;
    std::string where;
    std::vector<QueryGrouping> groupBy;
    std::string having;
    std::vector<QueryOrder> orderBy;
    // Rows of attributes this program does not know, by number: named, not dropped.
    std::vector<int> unknownAttributes;
};

}  // namespace malvorn::model
