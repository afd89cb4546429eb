#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "localserver/ast.h"
#include "localserver/sqlite_db.h"
#include "localserver/values.h"
#include "oracle/session.h"

namespace malvorn::localserver {

// A table (or dictionary view) as statements see it.
struct TableInfo {
    struct Key {
        std::string name;
        bool primary = false;
        std::vector<int> columns;  // indexes into `columns`
    };
    std::int64_t id = 0;
    std::string owner;
    std::string name;
    std::string tablespace;
    std::string sqlName;  // where SQLite finds the rows
    std::vector<ColumnDef> columns;
    std::vector<Key> keys;
    bool view = false;

    int findColumn(const std::string& column) const;
};

// Expression types the translation tracks to make Oracle's implicit
// conversions (a text literal compared with a DATE or NUMBER column).
// kChar is blank-padded CHAR, compared with literals without trailing blanks.
enum class SqlType { kUnknown, kText, kChar, kNumber, kDate };

struct UserInfo {
    std::int64_t id = 0;
    std::string name;
    std::set<std::string> roles;
    std::string defaultTablespace;
    bool isDba() const { return roles.count("DBA") != 0; }
};

// A statement translated for SQLite: text with ?N parameters and their values.
struct Translation {
    std::string sql;
    std::vector<SqlValue> params;
    std::vector<std::string> columnNames;  // for queries
};

// One connection to a local server. The catalog database is SQLite's main
// database; each schema's file is attached as "s<user id>".
class LocalSession : public oracle::Session {
  public:
    LocalSession(const std::string& folder, const std::string& user, const std::string& password);

    void execute(const std::string& statement) override;
    oracle::Value queryValue(const std::string& query) override;
    std::unique_ptr<oracle::ResultSet> query(const std::string& query) override;

    // Used by the translation.
    std::shared_ptr<const TableInfo> resolveTable(const ast::TableRef& ref);
    std::shared_ptr<const TableInfo> tableById(std::int64_t id);
    const std::string& sysdate() const { return sysdate_; }
    const std::string& userName() const { return me_.name; }

  private:
    void login(const std::string& user, const std::string& password);
    void defineFunctions();
    void createDictionaryViews();
    std::string attachSchema(std::int64_t userId);
    std::string schemaPath(std::int64_t userId) const;
    std::optional<UserInfo> findUser(const std::string& name);
    void refreshCacheIfStale();
    void bumpGeneration();
    std::string ownerFor(const ast::TableRef& ref);

    struct Rows {
        std::vector<std::string> names;
        std::vector<std::vector<oracle::Value>> rows;
    };
    Rows perform(const std::string& statement);
    Rows runSelect(const ast::Select& select);
    void runStatement(SqliteStatement& stmt, const std::shared_ptr<const TableInfo>& table);
    void runWrite(const std::string& sql, const std::vector<SqlValue>& params,
                  const std::shared_ptr<const TableInfo>& table);
    [[noreturn]] void rethrow(const SqliteError& e, const std::shared_ptr<const TableInfo>& table);

    void createTable(const ast::CreateTable& ct);
    void dropTable(const ast::DropTable& dt);
    void truncateTable(const ast::TruncateTable& tt);
    void insert(const ast::Insert& ins);
    void update(const ast::Update& up);
    void deleteRows(const ast::Delete& del);
    void createUser(const ast::CreateUser& cu);
    void alterUser(const ast::AlterUser& au);
    void grant(const ast::Grant& g);
    void revoke(const ast::Revoke& r);
    void dropUser(const ast::DropUser& du);
    void requireDba() const;
    void checkWritable(const TableInfo& table) const;

    std::string folder_;
    SqliteDb db_;
    UserInfo me_;
    std::string sysdate_;
    std::map<std::int64_t, std::string> attached_;  // user id -> alias
    std::int64_t generation_ = -1;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<const TableInfo>> tables_;
    std::map<std::int64_t, std::shared_ptr<const TableInfo>> tablesById_;
};

// Translates expressions and queries for SQLite against the tables a
// statement names.
class Translator {
  public:
    struct Source {
        std::string qualifier;  // alias, or the table name
        std::shared_ptr<const TableInfo> table;
        std::string sqlAlias;
    };

    explicit Translator(LocalSession& session) : session_(session) {}
    // A subquery's translator: binds into the parent's parameters and sees the
    // parent's tables for correlated names.
    Translator(LocalSession& session, Translator& parent)
        : session_(session),
          parent_(&parent),
          params_(parent.params_),
          aliasPrefix_(parent.aliasPrefix_ + "s") {}

    void addSource(Source source) { sources_.push_back(std::move(source)); }
    const std::vector<Source>& sources() const { return sources_; }

    // An expression; `aggregates` says whether group functions may appear.
    std::string expr(const ast::Expr& e, SqlType* type = nullptr, bool aggregates = false);
    // A whole query, its result columns named x0, x1 ...
    std::string select(const ast::Select& s, std::vector<std::string>& names);
    std::string bind(SqlValue value);

    std::vector<SqlValue>& params() { return *params_; }

  private:
    std::string column(const ast::Expr& e, SqlType* type);
    std::string function(const ast::Expr& e, SqlType* type, bool aggregates);
    std::string comparison(const std::string& op, const ast::Expr& left, const ast::Expr& right,
                           bool aggregates);
    std::string operand(const ast::Expr& e, SqlType other, bool aggregates, SqlType* type);
    void checkGrouped(const ast::Expr& e, const std::set<std::string>& groups, bool hasGroupBy);
    std::string canonical(const std::string& sql) const;

    std::string subquery(const ast::Select& s, bool single);

    LocalSession& session_;
    Translator* parent_ = nullptr;
    std::vector<Source> sources_;
    std::vector<SqlValue> ownParams_;
    std::vector<SqlValue>* params_ = &ownParams_;
    std::string aliasPrefix_ = "a";
};

bool isAggregate(const ast::Expr& e);

}  // namespace malvorn::localserver
