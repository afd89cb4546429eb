// CREATE VIEW and DROP VIEW, and the views' catalog entries. A view keeps its
// query as written; each query that names it reads it again as an inline view.
#include <set>

#include "localserver/catalog.h"
#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/parser.h"
#include "localserver/translator.h"

namespace malvorn::localserver {

std::optional<StoredView> readView(SqliteDb& db, const std::string& owner,
                                   const std::string& name) {
    auto stmt = db.cached("SELECT query, columns FROM mv_view WHERE owner = ?1 AND name = ?2");
    stmt.bindAll({owner, name});
    if (!stmt.step())
        return std::nullopt;
    StoredView view{owner, name, stmt.columnText(0), {}};
    const std::string columns = stmt.columnText(1);
    stmt.reset();
    if (!columns.empty())
        view.columns = splitNames(columns);
    return view;
}

void writeView(SqliteDb& db, const StoredView& view) {
    auto stmt = db.cached("INSERT OR REPLACE INTO mv_view VALUES(?1, ?2, ?3, ?4)");
    stmt.bindAll({view.owner, view.name, view.query, joinNames(view.columns)});
    stmt.step();
}

bool removeView(SqliteDb& db, const std::string& owner, const std::string& name) {
    auto stmt = db.cached("DELETE FROM mv_view WHERE owner = ?1 AND name = ?2");
    stmt.bindAll({owner, name});
    stmt.step();
    return db.changes() > 0;
}

ast::Select parseViewQuery(const std::string& query) {
    ast::Statement parsed = parseStatement(query);
    auto* select = std::get_if<ast::Select>(&parsed);
    if (!select)
        oraThrow(928, "missing SELECT keyword");
    return std::move(*select);
}

std::optional<StoredView> LocalSession::findView(const ast::TableRef& ref,
                                                 const std::string& defaultOwner) {
    const std::string owner = !ref.schema.empty()    ? ref.schema
                              : defaultOwner.empty() ? me_.name
                                                     : defaultOwner;
    // The same sight as tables': another schema's views take DBA.
    if (owner != me_.name && !me_.isDba())
        return std::nullopt;
    return readView(db_, owner, ref.name);
}

void LocalSession::createView(const ast::CreateView& cv) {
    // RESOURCE grants no CREATE VIEW; of the server's roles only DBA does.
    if (!me_.isDba())
        insufficientPrivileges();
    const UserInfo owner = tableOwner(ownerFor(cv.view));
    StoredView view{owner.name, cv.view.name, cv.query, cv.columns};
    if (!cv.force) {
        // The query must stand now, read as its owner reads it.
        const ast::Select query = parseViewQuery(cv.query);
        Translator check(*this);
        check.readAs(owner.name == me_.name ? std::string() : owner.name);
        std::vector<std::string> names;
        check.select(query, names);
        if (!cv.columns.empty() && cv.columns.size() != names.size())
            oraThrow(1730, "invalid number of column names specified");
        std::set<std::string> seen;
        for (const auto& name : cv.columns.empty() ? names : cv.columns) {
            if (!seen.insert(name).second)
                oraThrow(957, "duplicate column name");
        }
    }
    const ChangeSignal::Change change(signal_);
    CatalogTransaction tx(db_);
    const bool viewNamed = readView(db_, view.owner, view.name).has_value();
    const bool otherNamed = !viewNamed && objectNameTaken(db_, view.owner, view.name);
    if (otherNamed || (!cv.orReplace && viewNamed))
        oraThrow(955, "name is already used by an existing object");
    writeView(db_, view);
    bumpGeneration(db_);
    tx.commit();
}

void LocalSession::dropView(const ast::DropView& dv) {
    const std::string owner = ownerFor(dv.view);
    if (owner != me_.name)
        requireDba();
    const ChangeSignal::Change change(signal_);
    CatalogTransaction tx(db_);
    if (!removeView(db_, owner, dv.view.name))
        tableDoesNotExist();
    bumpGeneration(db_);
    tx.commit();
}

}  // namespace malvorn::localserver
