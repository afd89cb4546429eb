// The dictionary views of indexes (and, with them, of the keys' indexes).
#include "localserver/dictionary_schema.h"

namespace malvorn::localserver {
namespace {

// Each key's columns, one row each: the catalog keeps them as one text.
constexpr const char* kKeyColumns =
    "WITH RECURSIVE kc(id, pos, name, rest) AS (SELECT id, 0, '', columns || char(31) FROM "
    "main.mv_constraint UNION ALL SELECT id, pos + 1, substr(rest, 1, instr(rest, char(31)) - "
    "1), substr(rest, instr(rest, char(31)) + 1) FROM kc WHERE rest <> '') ";

std::string userIndexes(const std::string& owner) {
    return "SELECT i.name, CASE WHEN EXISTS (SELECT 1 FROM main.mv_index_column d WHERE "
           "d.index_id = i.id AND d.descend = 'DESC') THEN 'FUNCTION-BASED NORMAL' ELSE "
           "'NORMAL' END, t.owner, t.name, 'TABLE', CASE i.uniq WHEN 1 THEN 'UNIQUE' ELSE "
           "'NONUNIQUE' END, i.tablespace, 'VALID', 'NO' FROM main.mv_index i JOIN main.mv_table "
           "t ON t.id = i.table_id WHERE i.owner = " +
           owner +
           " UNION ALL SELECT k.name, 'NORMAL', t.owner, t.name, 'TABLE', 'UNIQUE', "
           "k.index_tablespace, 'VALID', 'YES' FROM main.mv_constraint k JOIN main.mv_table t ON "
           "t.id = k.table_id WHERE k.kind IN ('P', 'U') AND k.owner = " +
           owner;
}

std::string userIndColumns(const std::string& owner) {
    return std::string(kKeyColumns) +
           "SELECT i.name, t.name, ifnull(c.hidden, c.name), c.position, col.data_length, "
           "col.char_length, c.descend FROM main.mv_index i JOIN main.mv_table t ON t.id = "
           "i.table_id JOIN main.mv_index_column c ON c.index_id = i.id JOIN main.mv_column col "
           "ON col.table_id = t.id AND col.name = c.name WHERE i.owner = " +
           owner +
           " UNION ALL SELECT k.name, t.name, kc.name, kc.pos, col.data_length, col.char_length, "
           "'ASC' FROM main.mv_constraint k JOIN kc ON kc.id = k.id AND kc.pos > 0 JOIN "
           "main.mv_table t ON t.id = k.table_id JOIN main.mv_column col ON col.table_id = t.id "
           "AND col.name = kc.name WHERE k.kind IN ('P', 'U') AND k.owner = " +
           owner;
}

// A descending column is an expression of the index: its column quoted.
std::string userIndExpressions(const std::string& owner) {
    return "SELECT i.name, t.name, '\"' || c.name || '\"', c.position FROM main.mv_index i JOIN "
           "main.mv_table t ON t.id = i.table_id JOIN main.mv_index_column c ON c.index_id = "
           "i.id WHERE c.hidden IS NOT NULL AND i.owner = " +
           owner;
}

std::string userConstraints(const std::string& owner) {
    return "SELECT k.owner, k.name, k.kind, t.name, r.search_condition, p.owner, p.name, "
           "r.delete_rule, 'ENABLED', 'NOT DEFERRABLE', 'IMMEDIATE', ifnull(r.validated, "
           "'VALIDATED'), ifnull(r.generated, CASE WHEN substr(k.name, 1, 5) = 'SYS_C' THEN "
           "'GENERATED NAME' ELSE 'USER NAME' END), CASE WHEN k.kind IN ('P', 'U') THEN k.name "
           "END FROM main.mv_constraint k JOIN main.mv_table t ON t.id = k.table_id LEFT JOIN "
           "main.mv_constraint_rule r ON r.id = k.id LEFT JOIN main.mv_constraint p ON p.id = "
           "r.r_id WHERE k.owner = " +
           owner;
}

// A check's columns have no position.
std::string userConsColumns(const std::string& owner) {
    return std::string(kKeyColumns) +
           "SELECT k.owner, k.name, t.name, kc.name, CASE WHEN k.kind = 'C' THEN NULL ELSE "
           "kc.pos END FROM main.mv_constraint k JOIN kc ON kc.id = k.id AND kc.pos > 0 AND "
           "kc.name <> '' JOIN main.mv_table t ON t.id = k.table_id WHERE k.owner = " +
           owner;
}

// The options as the server words their start: START WITH is the value the
// next row gets once the column was restarted.
std::string userTabIdentityCols(const std::string& owner) {
    return "SELECT t.name, i.name, i.generation, 'START WITH: ' || i.start_with || ', INCREMENT "
           "BY: ' || i.increment FROM main.mv_identity_col i JOIN main.mv_table t ON t.id = "
           "i.table_id WHERE t.owner = " +
           owner;
}

// Every table and column has a row; its comment is Null when none was made.
std::string userTabComments(const std::string& owner) {
    return "SELECT t.name, 'TABLE', nullif(m.comments, '') FROM main.mv_table t LEFT JOIN "
           "main.mv_comment m ON m.table_id = t.id AND m.column_name = '' WHERE t.owner = " +
           owner;
}

std::string userColComments(const std::string& owner) {
    return "SELECT t.name, c.name, nullif(m.comments, '') FROM main.mv_table t JOIN "
           "main.mv_column c ON c.table_id = t.id LEFT JOIN main.mv_comment m ON m.table_id = "
           "t.id AND m.column_name = c.name WHERE t.owner = " +
           owner;
}

// What a client reads before it relies on a release's features: the
// release the statements follow (identity columns, 128-byte names: 12.2
// and later) and the character set the text is kept in (UTF-8 throughout).
std::string nlsDatabaseParameters(const std::string&) {
    return "SELECT 'NLS_CHARACTERSET', 'AL32UTF8' UNION ALL SELECT 'NLS_NCHAR_CHARACTERSET', "
           "'AL16UTF16' UNION ALL SELECT 'NLS_LENGTH_SEMANTICS', 'BYTE' UNION ALL SELECT "
           "'NLS_RDBMS_VERSION', '19.0.0.0.0'";
}

}  // namespace

const std::vector<SchemaView>& schemaViews() {
    static const std::vector<SchemaView> views = {
        {"USER_INDEXES",
         {{"INDEX_NAME", "VARCHAR2"},
          {"INDEX_TYPE", "VARCHAR2"},
          {"TABLE_OWNER", "VARCHAR2"},
          {"TABLE_NAME", "VARCHAR2"},
          {"TABLE_TYPE", "VARCHAR2"},
          {"UNIQUENESS", "VARCHAR2"},
          {"TABLESPACE_NAME", "VARCHAR2"},
          {"STATUS", "VARCHAR2"},
          {"CONSTRAINT_INDEX", "VARCHAR2"}},
         userIndexes},
        {"USER_IND_COLUMNS",
         {{"INDEX_NAME", "VARCHAR2"},
          {"TABLE_NAME", "VARCHAR2"},
          {"COLUMN_NAME", "VARCHAR2"},
          {"COLUMN_POSITION", "NUMBER"},
          {"COLUMN_LENGTH", "NUMBER"},
          {"CHAR_LENGTH", "NUMBER"},
          {"DESCEND", "VARCHAR2"}},
         userIndColumns},
        {"USER_IND_EXPRESSIONS",
         {{"INDEX_NAME", "VARCHAR2"},
          {"TABLE_NAME", "VARCHAR2"},
          {"COLUMN_EXPRESSION", "VARCHAR2"},
          {"COLUMN_POSITION", "NUMBER"}},
         userIndExpressions},
        {"USER_CONSTRAINTS",
         {{"OWNER", "VARCHAR2"},
          {"CONSTRAINT_NAME", "VARCHAR2"},
          {"CONSTRAINT_TYPE", "VARCHAR2"},
          {"TABLE_NAME", "VARCHAR2"},
          {"SEARCH_CONDITION", "VARCHAR2"},
          {"R_OWNER", "VARCHAR2"},
          {"R_CONSTRAINT_NAME", "VARCHAR2"},
          {"DELETE_RULE", "VARCHAR2"},
          {"STATUS", "VARCHAR2"},
          {"DEFERRABLE", "VARCHAR2"},
          {"DEFERRED", "VARCHAR2"},
          {"VALIDATED", "VARCHAR2"},
          {"GENERATED", "VARCHAR2"},
          {"INDEX_NAME", "VARCHAR2"}},
         userConstraints},
        {"USER_CONS_COLUMNS",
         {{"OWNER", "VARCHAR2"},
          {"CONSTRAINT_NAME", "VARCHAR2"},
          {"TABLE_NAME", "VARCHAR2"},
          {"COLUMN_NAME", "VARCHAR2"},
          {"POSITION", "NUMBER"}},
         userConsColumns},
        {"USER_TAB_IDENTITY_COLS",
         {{"TABLE_NAME", "VARCHAR2"},
          {"COLUMN_NAME", "VARCHAR2"},
          {"GENERATION_TYPE", "VARCHAR2"},
          {"IDENTITY_OPTIONS", "VARCHAR2"}},
         userTabIdentityCols},
        {"USER_TAB_COMMENTS",
         {{"TABLE_NAME", "VARCHAR2"}, {"TABLE_TYPE", "VARCHAR2"}, {"COMMENTS", "VARCHAR2"}},
         userTabComments},
        {"USER_COL_COMMENTS",
         {{"TABLE_NAME", "VARCHAR2"}, {"COLUMN_NAME", "VARCHAR2"}, {"COMMENTS", "VARCHAR2"}},
         userColComments},
        {"NLS_DATABASE_PARAMETERS",
         {{"PARAMETER", "VARCHAR2"}, {"VALUE", "VARCHAR2"}},
         nlsDatabaseParameters},
    };
    return views;
}

}  // namespace malvorn::localserver
