#include "jet/query_catalog.h"

#include <algorithm>
#include <map>

#include "jet/jet_decode.h"
#include "jet/jet_error.h"
#include "jet/jet_protocol.h"

namespace malvorn::jet {
namespace {

constexpr std::int64_t kCatalogQueryType = 5;

// The position of each wanted column among `columns`; a column the table
// lacks is refused: the catalog is not what the engine writes.
std::vector<std::size_t> columnPositions(const std::vector<JetColumn>& columns,
                                         const std::vector<std::string>& wanted,
                                         const std::string& table) {
    std::vector<std::size_t> positions;
    for (const auto& name : wanted) {
        const auto it = std::find_if(columns.begin(), columns.end(), [&](const JetColumn& column) {
            return sameNameIgnoringCase(column.name, name);
        });
        if (it == columns.end())
            throw JetError(JetErrorKind::kDamaged,
                           "クエリのカタログ " + table + " に列 " + name + " がありません");
        positions.push_back(static_cast<std::size_t>(it - columns.begin()));
    }
    return positions;
}

std::optional<std::size_t> optionalColumn(const std::vector<JetColumn>& columns,
                                          const std::string& name) {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (sameNameIgnoringCase(columns[i].name, name))
            return i;
    return std::nullopt;
}

std::optional<std::int64_t> numberOf(const JetValue& value) {
    if (const auto* number = std::get_if<std::int64_t>(&value))
        return *number;
    if (const auto* flag = std::get_if<bool>(&value))
        return *flag ? 1 : 0;
    return std::nullopt;
}

std::string textOf(const JetValue& value) {
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    if (const auto* bytes = std::get_if<JetBinary>(&value))
        return bytes->bytes;
    return std::string();
}

struct CatalogEntry {
    std::string name;
    std::uint32_t flags = 0;
};

std::map<std::int64_t, CatalogEntry> queryEntries(JetSource& source) {
    std::map<std::int64_t, CatalogEntry> entries;
    const auto rows = source.openRows("MSysObjects");
    const auto at =
        columnPositions(rows->columns(), {"Id", "Name", "Type", "Flags"}, "MSysObjects");
    JetRow row;
    while (rows->next(row)) {
        const auto id = numberOf(row[at[0]]);
        if (!id || numberOf(row[at[2]]) != kCatalogQueryType)
            continue;
        entries[*id] = {textOf(row[at[1]]),
                        static_cast<std::uint32_t>(numberOf(row[at[3]]).value_or(0))};
    }
    return entries;
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return static_cast<unsigned char>(lower(x)) < static_cast<unsigned char>(lower(y));
    });
}

// A row with the bytes of its Order column, which sort the rows of one
// attribute in the engine's own order (empty in older files: stored order).
struct OrderedRow {
    model::QueryCatalogRow row;
    std::string order;
};

}  // namespace

std::vector<model::StoredQueryRows> readQueryCatalog(JetSource& source) {
    const auto tables = source.tableNames();
    const bool hasCatalog = std::any_of(tables.begin(), tables.end(), [](const std::string& name) {
        return sameNameIgnoringCase(name, "MSysQueries");
    });
    if (!hasCatalog)
        return {};
    const auto entries = queryEntries(source);
    std::map<std::int64_t, std::vector<OrderedRow>> rowsById;
    {
        const auto rows = source.openRows("MSysQueries");
        const auto at = columnPositions(
            rows->columns(), {"ObjectId", "Attribute", "Expression", "Flag", "Name1", "Name2"},
            "MSysQueries");
        const std::optional<std::size_t> orderAt = optionalColumn(rows->columns(), "Order");
        JetRow row;
        while (rows->next(row)) {
            const auto id = numberOf(row[at[0]]);
            const auto attribute = numberOf(row[at[1]]);
            if (!id || !attribute)
                throw JetError(JetErrorKind::kDamaged,
                               "クエリのカタログに番号か属性のない行があります");
            rowsById[*id].push_back({{static_cast<int>(*attribute), textOf(row[at[2]]),
                                      numberOf(row[at[3]]), textOf(row[at[4]]), textOf(row[at[5]])},
                                     orderAt ? textOf(row[*orderAt]) : std::string()});
        }
    }
    std::vector<model::StoredQueryRows> queries;
    for (const auto& [id, entry] : entries) {
        model::StoredQueryRows query{entry.name, entry.flags, {}};
        auto& rows = rowsById[id];
        std::stable_sort(rows.begin(), rows.end(), [](const OrderedRow& a, const OrderedRow& b) {
            return a.row.attribute != b.row.attribute ? a.row.attribute < b.row.attribute
                                                      : a.order < b.order;
        });
        for (auto& row : rows)
            query.rows.push_back(std::move(row.row));
        queries.push_back(std::move(query));
    }
    std::stable_sort(queries.begin(), queries.end(),
                     [](const auto& a, const auto& b) { return lessIgnoringCase(a.name, b.name); });
    return queries;
}

std::vector<model::StoredQueryRows> JetSource::queryCatalog() {
    return readQueryCatalog(*this);
}

namespace {

// The flags row and the kind row: one value each.
void decodeHead(const model::QueryCatalogRow& row, model::StoredQuery& query) {
    if (row.attribute == model::kQueryKindRow) {
        query.kindNumber = row.flag.value_or(0);
        query.kind = query.kindNumber >= 1 && query.kindNumber <= 9
                         ? static_cast<model::QueryKind>(query.kindNumber)
                         : model::QueryKind::kUnknown;
        query.target = row.name1;
    } else {
        query.flags = row.flag.value_or(0);
        query.topCount = row.name1;
    }
}

}  // namespace

model::StoredQuery decodeStoredQuery(const model::StoredQueryRows& rows) {
    using namespace model;
    StoredQuery query;
    query.name = rows.name;
    query.catalogFlags = rows.catalogFlags;
    for (const auto& row : rows.rows) {
        switch (row.attribute) {
            case 0:
            case kQueryEnd:
                break;  // the start and end markers
            case kQueryKindRow:
            case kQueryFlags:
                decodeHead(row, query);
                break;
            case kQueryParameter:
                query.parameters.push_back({row.name1, row.flag.value_or(0)});
                break;
            case kQueryDatabase:
                query.externalDatabase = row.name1;
                break;
            case kQueryInput:
                query.inputs.push_back({row.name1, row.name2, row.expression});
                break;
            case kQueryOutput:
                query.outputs.push_back({row.expression, row.name1, row.flag.value_or(0)});
                break;
            case kQueryJoin: {
                const std::int64_t kind = row.flag.value_or(1);
                if (kind < 1 || kind > 3)
                    query.unknownAttributes.push_back(row.attribute);
                else
                    query.joins.push_back(
                        {row.name1, row.name2, static_cast<JoinKind>(kind), row.expression});
                break;
            }
            case kQueryWhere:
                query.where = row.expression;
                break;
            case kQueryGroupBy:
                query.groupBy.push_back({row.expression, row.flag.value_or(0)});
                break;
            case kQueryHaving:
                query.having = row.expression;
                break;
            case kQueryOrderBy:
                query.orderBy.push_back({row.expression, row.name1 == "D" || row.name1 == "d"});
                break;
            default:
                query.unknownAttributes.push_back(row.attribute);
        }
    }
    return query;
}

namespace protocol {

std::string encodeQueryCatalog(const std::vector<model::StoredQueryRows>& queries) {
    PayloadWriter out;
    out.u32(static_cast<std::uint32_t>(queries.size()));
    for (const auto& query : queries) {
        out.text(query.name)
            .u32(query.catalogFlags)
            .u32(static_cast<std::uint32_t>(query.rows.size()));
        for (const auto& row : query.rows) {
            out.u32(static_cast<std::uint32_t>(row.attribute))
                .text(row.expression)
                .u8(row.flag ? 1 : 0)
                .i64(row.flag.value_or(0))
                .text(row.name1)
                .text(row.name2);
        }
    }
    return out.take();
}

std::vector<model::StoredQueryRows> decodeQueryCatalog(const std::string& payload) {
    PayloadReader again(payload);
    std::vector<model::StoredQueryRows> queries;
    const std::uint32_t count = again.u32();
    for (std::uint32_t q = 0; q < count; ++q) {
        model::StoredQueryRows query;
        query.name = again.text();
        query.catalogFlags = again.u32();
        const std::uint32_t rowCount = again.u32();
        for (std::uint32_t r = 0; r < rowCount; ++r) {
            model::QueryCatalogRow row;
            row.attribute = static_cast<int>(again.u32());
            row.expression = again.text();
            const bool hasFlag = again.u8() != 0;
            const std::int64_t flag = again.i64();
            if (hasFlag)
                row.flag = flag;
            row.name1 = again.text();
            row.name2 = again.text();
            query.rows.push_back(std::move(row));
        }
        queries.push_back(std::move(query));
    }
    if (!again.atEnd())
        throw ProtocolError("trailing bytes after the query catalog");
    return queries;
}

}  // namespace protocol
}  // namespace malvorn::jet
