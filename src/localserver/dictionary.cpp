#include "localserver/dictionary.h"

#include <utility>
#include <vector>

#include "base/sql_text.h"
#include "localserver/dictionary_schema.h"
#include "localserver/errors.h"

namespace malvorn::localserver {
namespace {

using Columns = std::vector<std::pair<const char*, const char*>>;  // name, type

// The dictionary views: name, DBA only, columns, and the SQL over the
// catalog that answers them for the connected user.
struct ViewDef {
    const char* name;
    bool dbaOnly;
    Columns columns;
};

// The ALL_ and DBA_ views are the USER_ view's columns after OWNER.
Columns withOwner(Columns columns) {
    columns.insert(columns.begin(), {"OWNER", "VARCHAR2"});
    return columns;
}

std::vector<ViewDef> withSchemaViews(std::vector<ViewDef> defs) {
    for (const auto& view : schemaViews())
        defs.push_back({view.name, false, view.columns});
    for (const auto& view : objectViews())
        defs.push_back({view.name, false, view.columns});
    return defs;
}

const std::vector<ViewDef>& viewDefs() {
    static const Columns tables = {{"TABLE_NAME", "VARCHAR2"}, {"TABLESPACE_NAME", "VARCHAR2"}};
    static const Columns tabColumns = {
        {"TABLE_NAME", "VARCHAR2"}, {"COLUMN_NAME", "VARCHAR2"},  {"DATA_TYPE", "VARCHAR2"},
        {"DATA_LENGTH", "NUMBER"},  {"DATA_PRECISION", "NUMBER"}, {"DATA_SCALE", "NUMBER"},
        {"NULLABLE", "VARCHAR2"},   {"COLUMN_ID", "NUMBER"},      {"DATA_DEFAULT", "VARCHAR2"},
        {"CHAR_LENGTH", "NUMBER"},  {"CHAR_USED", "VARCHAR2"}};
    static const Columns views = {
        {"VIEW_NAME", "VARCHAR2"}, {"TEXT_LENGTH", "NUMBER"}, {"TEXT", "VARCHAR2"}};
    static const std::vector<ViewDef> all = withSchemaViews({
        {"DUAL", false, {{"DUMMY", "VARCHAR2"}}},
        {"USER_VIEWS", false, views},
        {"ALL_VIEWS", false, withOwner(views)},
        {"USER_TABLES", false, tables},
        {"ALL_TABLES", false, withOwner(tables)},
        {"DBA_TABLES", true, withOwner(tables)},
        {"USER_TAB_COLUMNS", false, tabColumns},
        {"ALL_TAB_COLUMNS", false, withOwner(tabColumns)},
        {"DBA_USERS",
         true,
         {{"USERNAME", "VARCHAR2"},
          {"USER_ID", "NUMBER"},
          {"ACCOUNT_STATUS", "VARCHAR2"},
          {"DEFAULT_TABLESPACE", "VARCHAR2"},
          {"TEMPORARY_TABLESPACE", "VARCHAR2"},
          {"CREATED", "DATE"}}},
        {"ALL_USERS",
         false,
         {{"USERNAME", "VARCHAR2"}, {"USER_ID", "NUMBER"}, {"CREATED", "DATE"}}},
        {"USER_USERS",
         false,
         {{"USERNAME", "VARCHAR2"},
          {"USER_ID", "NUMBER"},
          {"ACCOUNT_STATUS", "VARCHAR2"},
          {"DEFAULT_TABLESPACE", "VARCHAR2"},
          {"TEMPORARY_TABLESPACE", "VARCHAR2"},
          {"CREATED", "DATE"}}},
        {"USER_ROLE_PRIVS", false, {{"USERNAME", "VARCHAR2"}, {"GRANTED_ROLE", "VARCHAR2"}}},
        {"DBA_ROLE_PRIVS", true, {{"GRANTEE", "VARCHAR2"}, {"GRANTED_ROLE", "VARCHAR2"}}},
    });
    return all;
}

std::string viewSql(const std::string& view, const std::string& me, bool dba) {
    const std::string owner = base::quoteSqlText(me);
    const std::string visible = dba ? std::string("1") : "t.owner = " + owner;
    const std::string columns =
        "c.name, c.data_type, c.data_length, c.data_precision, c.data_scale, c.nullable, "
        "c.column_id, c.default_text, c.char_length, c.char_used "
        "FROM main.mv_table t JOIN main.mv_column c ON c.table_id = t.id";
    if (view == "DUAL")
        return "SELECT 'X'";
    for (const auto& schemaView : schemaViews()) {
        if (view == schemaView.name)
            return schemaView.sql(owner);
    }
    for (const auto& objectView : objectViews()) {
        if (view == objectView.name)
            return objectView.sql(owner);
    }
    // TEXT_LENGTH counts bytes.
    if (view == "USER_VIEWS")
        return "SELECT name, length(CAST(query AS BLOB)), query FROM main.mv_view WHERE owner = " +
               owner;
    if (view == "ALL_VIEWS")
        return "SELECT owner, name, length(CAST(query AS BLOB)), query FROM main.mv_view t WHERE " +
               visible;
    if (view == "USER_TABLES")
        return "SELECT name, tablespace FROM main.mv_table WHERE owner = " + owner;
    if (view == "ALL_TABLES" || view == "DBA_TABLES")
        return "SELECT owner, name, tablespace FROM main.mv_table t WHERE " + visible;
    if (view == "USER_TAB_COLUMNS")
        return "SELECT t.name, " + columns + " WHERE t.owner = " + owner;
    if (view == "ALL_TAB_COLUMNS")
        return "SELECT t.owner, t.name, " + columns + " WHERE " + visible;
    if (view == "DBA_USERS" || view == "USER_USERS") {
        return "SELECT name, id, 'OPEN', default_ts, temp_ts, created FROM main.mv_user" +
               (view == "USER_USERS" ? " WHERE name = " + owner : std::string());
    }
    if (view == "ALL_USERS")
        return "SELECT name, id, created FROM main.mv_user";
    if (view == "USER_ROLE_PRIVS")
        return "SELECT u.name, r.role FROM main.mv_role r JOIN main.mv_user u ON u.id = r.user_id "
               "WHERE u.name = " +
               owner;
    return "SELECT u.name, r.role FROM main.mv_role r JOIN main.mv_user u ON u.id = r.user_id";
}

}  // namespace

void createDictionaryViews(SqliteDb& db, const UserInfo& me) {
    for (const ViewDef& def : viewDefs()) {
        // The catalog keeps integers; a NUMBER column of a view gives the
        // server's numbers so that it compares with numeric literals.
        std::string columns;
        std::string values;
        for (std::size_t i = 0; i < def.columns.size(); ++i) {
            const std::string c = "c" + std::to_string(i);
            columns += (i ? ", " : "") + c;
            values += (i ? ", " : "") +
                      (def.columns[i].second == std::string("NUMBER") ? "mv_num(" + c + ")" : c) +
                      " AS " + c;
        }
        const std::string name = "v_" + std::string(def.name);
        db.exec("CREATE TEMP VIEW " + name + "_raw(" + columns + ") AS " +
                viewSql(def.name, me.name, me.isDba()));
        db.exec("CREATE TEMP VIEW " + name + " AS SELECT " + values + " FROM " + name + "_raw");
    }
}

std::shared_ptr<TableInfo> dictionaryView(const std::string& name, bool dba) {
    for (const ViewDef& def : viewDefs()) {
        if (name != def.name)
            continue;
        if (def.dbaOnly && !dba)
            tableDoesNotExist();
        auto view = std::make_shared<TableInfo>();
        view->owner = "SYS";
        view->name = def.name;
        view->sqlName = "temp.v_" + std::string(def.name);
        view->view = true;
        for (const auto& [column, type] : def.columns) {
            ColumnDef c;
            c.name = column;
            c.dataType = type;
            view->columns.push_back(std::move(c));
        }
        return view;
    }
    return nullptr;
}

}  // namespace malvorn::localserver
