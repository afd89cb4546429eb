#pragma once

// What the dictionary holds of a user's schema, as the schema tests compare
// it between runs: one line per row, sorted, each starting with the start of
// its query's column list.
#include <algorithm>
#include <string>
#include <vector>

#include "oracle/session.h"

namespace malvorn::testing {

// The identity's options are left out unless `identityOptions` (a restart
// over copied rows starts past them; scripts run on an empty schema do not).
inline std::vector<std::string> schemaDictionary(oracle::Session& session,
                                                 bool identityOptions = false) {
    const std::string identity = identityOptions ? ", IDENTITY_OPTIONS" : "";
    const std::string queries[] = {
        "SELECT TABLE_NAME FROM USER_TABLES",
        "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, NULLABLE FROM USER_TAB_COLUMNS",
        "SELECT INDEX_NAME, TABLE_NAME, UNIQUENESS FROM USER_INDEXES",
        "SELECT INDEX_NAME, COLUMN_NAME, COLUMN_POSITION, DESCEND FROM USER_IND_COLUMNS",
        "SELECT CONSTRAINT_NAME, CONSTRAINT_TYPE, TABLE_NAME, SEARCH_CONDITION, "
        "R_CONSTRAINT_NAME, DELETE_RULE, STATUS, VALIDATED FROM USER_CONSTRAINTS",
        "SELECT CONSTRAINT_NAME, TABLE_NAME, COLUMN_NAME, POSITION FROM USER_CONS_COLUMNS",
        "SELECT TABLE_NAME, COLUMN_NAME, GENERATION_TYPE" + identity +
            " FROM USER_TAB_IDENTITY_COLS",
        "SELECT TABLE_NAME, COMMENTS FROM USER_TAB_COMMENTS WHERE COMMENTS IS NOT NULL",
        "SELECT TABLE_NAME, COLUMN_NAME, COMMENTS FROM USER_COL_COMMENTS WHERE COMMENTS IS "
        "NOT NULL",
        "SELECT VIEW_NAME, TEXT FROM USER_VIEWS",
    };
    std::vector<std::string> out;
    for (const std::string& query : queries) {
        const auto rows = session.query(query);
        while (rows->next()) {
            std::string line = query.substr(7, 30) + " | ";
            for (std::size_t i = 0; i < rows->columnNames().size(); ++i)
                line += (i ? "|" : "") + rows->value(i).value_or("<null>");
            out.push_back(line);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The lines of one query's rows (named by the start of its column list),
// holding `part` when given.
inline std::size_t countedLines(const std::vector<std::string>& dictionary,
                                const std::string& prefix, const std::string& part = "") {
    return static_cast<std::size_t>(
        std::count_if(dictionary.begin(), dictionary.end(), [&](const std::string& line) {
            return line.rfind(prefix, 0) == 0 && line.find(part) != std::string::npos;
        }));
}

}  // namespace malvorn::testing
