#pragma once

#include <memory>
#include <string>

#include "localserver/catalog.h"
#include "localserver/sqlite_db.h"

namespace malvorn::localserver {

// The dictionary views (USER_TABLES, ALL_TAB_COLUMNS, DBA_USERS ...) are
// temporary views over the catalog, made per connection for its user.
void createDictionaryViews(SqliteDb& db, const UserInfo& me);

// The view of that name as statements see it, or null for no such view;
// ORA-00942 for a DBA view asked for without DBA.
std::shared_ptr<TableInfo> dictionaryView(const std::string& name, bool dba);

}  // namespace malvorn::localserver
