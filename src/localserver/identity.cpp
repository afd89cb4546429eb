// Identity columns. The catalog keeps how a column is generated
// (mv_identity_col); the next value lives beside the rows, in the schema
// file's mv_identity, so that taking one is part of the inserting
// transaction and takes no lock on the catalog. Unlike the server's
// sequence, the counter rolls back with the rows: a value is given again
// only when no committed row holds it.
#include "localserver/errors.h"
#include "localserver/local_session.h"

namespace malvorn::localserver {
namespace {

std::string schemaOf(const std::string& sqlName) {
    return sqlName.substr(0, sqlName.find('.'));
}

std::string physicalOf(const std::string& sqlName) {
    return sqlName.substr(sqlName.find('.') + 1);
}

}  // namespace

void LocalSession::createIdentity(const ast::CreateTable& ct, const TableInfo& table,
                                  const std::string& sqlName) {
    const ast::ColumnClause* column = nullptr;
    for (const auto& clause : ct.columns) {
        if (!clause.identity)
            continue;
        if (column)
            oraThrow(30669, "table can have only one identity column");
        column = &clause;
    }
    if (!column)
        return;
    const ColumnDef& def = table.columns[static_cast<std::size_t>(table.findColumn(column->name))];
    if (def.dataType != "NUMBER")
        oraThrow(30675, "identity column must be a numeric type");
    if (!def.defaultText.empty())
        oraThrow(30674, "identity column cannot have a default value");
    const ast::IdentityOptions& how = *column->identity;
    auto id = db_.cached("SELECT id FROM mv_table WHERE owner = ?1 AND name = ?2");
    id.bindAll({table.owner, table.name});
    id.step();
    const std::int64_t tableId = id.columnInt(0);
    id.reset();
    auto add = db_.cached("INSERT INTO mv_identity_col VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    add.bindAll({tableId, column->name, std::string(how.always ? "ALWAYS" : "BY DEFAULT"),
                 std::int64_t{how.onNull ? 1 : 0}, std::int64_t{how.startWith},
                 std::int64_t{how.incrementBy}});
    add.step();
    const std::string schema = schemaOf(sqlName);
    db_.exec("CREATE TABLE IF NOT EXISTS " + schema +
             ".mv_identity(tab TEXT PRIMARY KEY, next INTEGER, increment INTEGER)");
    auto counter =
        db_.prepare("INSERT OR REPLACE INTO " + schema + ".mv_identity VALUES(?1, ?2, ?3)");
    counter->bindAll(
        {physicalOf(sqlName), std::int64_t{how.startWith}, std::int64_t{how.incrementBy}});
    counter->step();
}

SqlValue LocalSession::nextIdentity(std::int64_t tableId) {
    const auto table = tableById(tableId);
    if (!table)
        tableDoesNotExist();
    const std::string schema = schemaOf(table->sqlName);
    auto take = db_.cached("UPDATE " + schema +
                           ".mv_identity SET next = next + increment WHERE tab = ?1 RETURNING "
                           "next - increment");
    take.bind(1, physicalOf(table->sqlName));
    if (!take.step())
        oraThrow(600, "internal error code, arguments: [identity counter missing]");
    const std::int64_t value = take.columnInt(0);
    while (take.step()) {
    }
    return Number::parse(std::to_string(value)).value_or(Number());
}

void LocalSession::modifyIdentity(const TableInfo& table, const std::string& column,
                                  const ast::IdentityOptions& how) {
    const int index = table.findColumn(column);
    if (index < 0)
        invalidIdentifier(column);
    if (table.identityOf(static_cast<std::size_t>(index)).empty())
        oraThrow(30673, "column to be modified is not an identity column");
    const ChangeSignal::Change change(signal_);
    CatalogTransaction tx(db_);
    auto set = db_.cached(
        "UPDATE mv_identity_col SET generation = ?2, on_null = ?3, increment = ?4 WHERE "
        "table_id = ?1");
    set.bindAll({table.id, std::string(how.always ? "ALWAYS" : "BY DEFAULT"),
                 std::int64_t{how.onNull ? 1 : 0}, std::int64_t{how.incrementBy}});
    set.step();
    std::optional<std::int64_t> next;
    if (how.startGiven)
        next = how.startWith;
    if (how.startLimitValue) {
        // Past the highest value the column holds (for a descending
        // identity, below the lowest).
        auto highest = db_.prepare("SELECT c" + std::to_string(index) + " FROM " + table.sqlName +
                                   " WHERE c" + std::to_string(index) + " IS NOT NULL ORDER BY 1 " +
                                   (how.incrementBy > 0 ? "DESC" : "ASC") + " LIMIT 1");
        // On an empty table the counter stays where it is.
        if (highest->step())
            next = std::stoll(formatNumber(highest->column(0))) + how.incrementBy;
    }
    if (next) {
        auto start = db_.cached("UPDATE mv_identity_col SET start_with = ?2 WHERE table_id = ?1");
        start.bindAll({table.id, *next});
        start.step();
    }
    const std::string schema = schemaOf(table.sqlName);
    auto counter = db_.prepare("UPDATE " + schema +
                               ".mv_identity SET increment = ?2, next = coalesce(?3, next) WHERE "
                               "tab = ?1");
    counter->bindAll({physicalOf(table.sqlName), std::int64_t{how.incrementBy},
                      next ? SqlValue(*next) : SqlValue()});
    counter->step();
    bumpGeneration(db_);
    tx.commit();
}

}  // namespace malvorn::localserver
