#pragma once

// Access SQL (a saved SELECT or UNION query's text) as Oracle SQL.
#include <string>
#include <vector>

#include "convert/access_sql_lexer.h"

namespace malvorn::convert {

struct OracleTranslation {
    std::string sql;                   // the query, Oracle form, without a ';'
    std::vector<std::string> notes;    // where the result may differ from Access, one line each
    std::vector<std::string> sources;  // the tables and queries its FROM clauses name, as written
};

// Names are written as the tables got them (convert::oracleName); the rules
// are listed in README ("Saved queries"). Throws TranslationRefused naming
// what has no translation: a parameter list, a form's control, a function,
// a construct Oracle has no form for.
OracleTranslation translateAccessSql(const std::string& accessSql);

}  // namespace malvorn::convert
