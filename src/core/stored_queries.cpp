#include "core/stored_queries.h"

#include <algorithm>

#include "convert/access_sql_text.h"
#include "jet/jet_decode.h"
#include "jet/query_catalog.h"

namespace malvorn::core {

std::vector<model::StoredQuery> storedQueries(jet::JetSource& source) {
    std::vector<model::StoredQuery> queries;
    for (const auto& rows : source.queryCatalog())
        queries.push_back(jet::decodeStoredQuery(rows));
    return queries;
}

namespace {

const model::StoredQuery* findQuery(const std::vector<model::StoredQuery>& queries,
                                    const std::string& name) {
    for (const auto& query : queries)
        if (query.name == name)
            return &query;
    for (const auto& query : queries)
        if (jet::sameNameIgnoringCase(query.name, name))
            return &query;
    return nullptr;
}

void noteUnknownRows(const model::StoredQuery& query, std::vector<std::string>& problems) {
    for (const int attribute : query.unknownAttributes)
        problems.push_back("クエリ " + query.name + ": 意味の分からない行 (属性 " +
                           std::to_string(attribute) + ") は文に含まれていません");
}

}  // namespace

QueryListing listStoredQueries(jet::JetSource& source, const std::optional<std::string>& name) {
    const auto queries = storedQueries(source);
    QueryListing listing;
    if (name) {
        const model::StoredQuery* query = findQuery(queries, *name);
        if (query == nullptr) {
            listing.found = false;
            return listing;
        }
        noteUnknownRows(*query, listing.problems);
        if (const auto text = convert::accessSqlText(*query))
            listing.text = *text + "\n";
        else
            listing.problems.push_back("クエリ " + query->name + " は" +
                                       convert::queryKindName(*query) +
                                       "です。この種類の文は組み立てません");
        return listing;
    }
    for (const auto& query : queries) {
        noteUnknownRows(query, listing.problems);
        listing.text += "-- " + query.name + " (" + convert::queryKindName(query) + ")\n";
        if (const auto text = convert::accessSqlText(query))
            listing.text += *text + "\n\n";
        else {
            listing.text += "-- この種類の文は組み立てません\n\n";
            listing.problems.push_back("クエリ " + query.name + " は" +
                                       convert::queryKindName(query) +
                                       "です。この種類の文は組み立てません");
        }
    }
    return listing;
}

}  // namespace malvorn::core
