#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "localserver/ast.h"
#include "localserver/catalog.h"
#include "localserver/change_signal.h"
#include "localserver/constraint_sql.h"
#include "localserver/insert_template.h"
#include "localserver/lexer.h"
#include "localserver/result_stream.h"
#include "localserver/schema_catalog.h"
#include "localserver/sequence_catalog.h"
#include "localserver/sqlite_db.h"
#include "localserver/sqlite_errors.h"
#include "localserver/translator.h"
#include "oracle/session.h"

namespace malvorn::localserver {

// One connection to a local server. The catalog database is SQLite's main
// database; each schema's file is attached as "s<user id>". Members are
// defined by topic: local_session.cpp (connection, table lookup),
// tables.cpp, users.cpp, statements.cpp, transactions.cpp and batch.cpp.
//
// A transaction is the SQLite transaction of this connection: its changes
// are its own until COMMIT, and it holds the write lock of every schema file
// it wrote to (a table lock at the granularity of a schema) until it ends.
class LocalSession : public oracle::Session {
  public:
    // How long a statement waits for another session's transaction to end. A
    // server waits for a row lock as long as it takes; a bound still ends the
    // wait of two sessions that each hold what the other needs.
    static constexpr std::chrono::seconds kLockWait{60};

    LocalSession(const std::string& folder, const std::string& user, const std::string& password);
    ~LocalSession() override;  // result_stream.cpp: closes the walks still open

    void execute(const std::string& statement) override;
    oracle::Value queryValue(const std::string& query) override;
    std::unique_ptr<oracle::ResultSet> query(const std::string& query) override;
    // batch.cpp
    void insertRows(const std::string& insert, const std::vector<oracle::BoundRow>& rows) override;
    std::unique_ptr<oracle::RowPreparer> rowPreparer(const std::string& insert) override;
    void insertPreparedRows(const std::string& insert, const std::vector<oracle::BoundRow>& rows,
                            const oracle::PreparedRows* prepared) override;
    // transactions.cpp
    void setAutoCommit(bool on) override;
    void commit() override;
    void rollback() override;
    // Called whenever a statement starts to wait for another session's lock.
    void onLockWait(std::function<void()> observer);

    // Used by the translation.
    std::shared_ptr<const TableInfo> resolveTable(const ast::TableRef& ref);
    // The view a query names, if any in sight; a name without schema is
    // `defaultOwner`'s (empty: the session user's).
    std::optional<StoredView> findView(const ast::TableRef& ref, const std::string& defaultOwner);
    std::shared_ptr<const TableInfo> tableById(std::int64_t id);
    // The sequence a name such as S.NEXTVAL reads; nullopt when none in sight.
    std::optional<std::int64_t> findSequence(const ast::TableRef& ref);
    const std::string& sysdate() const { return sysdate_; }
    const std::string& userName() const { return me_.name; }
    // The one value a translated query gives, run now with those of `params`
    // it names; the server's error when it fails.
    SqlValue valueNow(const std::string& sql, const std::vector<SqlValue>& params);

  private:
    std::string attachSchema(std::int64_t userId);
    std::string schemaPath(std::int64_t userId) const;
    void refreshCacheIfStale();
    std::string ownerFor(const ast::TableRef& ref);

    // users.cpp
    void login(const std::string& user, const std::string& password);
    void createServerOnFirstLogin(const std::string& user, const std::string& password);
    std::optional<UserInfo> findUser(const std::string& name);
    void createUser(const ast::CreateUser& cu);
    void alterUser(const ast::AlterUser& au);
    void grant(const ast::Grant& g);
    void revoke(const ast::Revoke& r);
    void dropUser(const ast::DropUser& du);
    void requireDba() const;

    // tables.cpp
    void createTable(const ast::CreateTable& ct);
    UserInfo tableOwner(const std::string& owner);
    void dropTable(const ast::DropTable& dt);
    void truncateTable(const ast::TruncateTable& tt);

    // indexes.cpp
    void createIndex(const ast::CreateIndex& ci);
    void dropIndex(const ast::DropIndex& di);

    // constraints.cpp, constraint_rules.cpp
    void alterTableConstraints(const ast::AlterTableConstraints& at);
    // CREATE TABLE's foreign keys and checks; the table is dropped again when
    // one is refused.
    void addConstraintsOfNewTable(const ast::CreateTable& ct);
    void addConstraintTo(const TableInfo& table, const ast::ConstraintDef& def);
    void addKeyConstraint(const TableInfo& table, ConstraintEntry& entry,
                          const std::vector<int>& columns);
    void addForeignKey(const TableInfo& table, ConstraintEntry& entry,
                       const ast::ConstraintDef& def, const std::vector<int>& columns);
    void addCheck(const TableInfo& table, ConstraintEntry& entry, const ast::ConstraintDef& def);
    void dropConstraint(const TableInfo& table, const std::string& name, bool cascade);
    void removeConstraintObjects(const ConstraintEntry& entry);
    void makeNullable(const TableInfo& table, const std::string& column);
    // DROP TABLE: ORA-02449 while other tables reference it, unless cascading;
    // inside the drop's catalog transaction.
    void dropConstraintsOf(const TableInfo& table, bool cascade);
    void checkTruncatable(const TableInfo& table);
    // After rows were deleted and written again: ORA-02292 for a child left
    // without its parent.
    void checkChildrenAfterRewrite(const TableInfo& table);
    std::optional<ForeignKeySql> foreignKeySql(const ConstraintEntry& fk);
    void defineSchemaFunctions();
    void comment(const ast::Comment& c);  // indexes.cpp
    // identity.cpp
    void createIdentity(const ast::CreateTable& ct, const TableInfo& table,
                        const std::string& sqlName);
    void modifyIdentity(const TableInfo& table, const std::string& column,
                        const ast::IdentityOptions& how);
    SqlValue nextIdentity(std::int64_t tableId);
    // sequences.cpp
    void createSequence(const ast::CreateSequence& cs);
    void alterSequence(const ast::AlterSequence& as);
    void dropSequence(const ast::DropSequence& ds);
    void defineSequenceFunctions();
    // alter_columns.cpp, alter_columns_drop.cpp
    void alterTableColumns(const ast::AlterTableColumns& at);
    void addColumns(const TableInfo& table, const ast::AlterTableColumns& at);
    void modifyColumn(const ast::AlterTableColumns& at, std::size_t i);
    void checkTypeChange(const TableInfo& table, std::size_t index, const ColumnDef& to);
    void checkDefault(const std::string& text);
    void dropColumns(const TableInfo& table, const std::vector<std::string>& names, bool cascade);
    void renameColumn(const TableInfo& table, const std::string& from, const std::string& to);
    // RENAME and ALTER TABLE ... RENAME TO: a table, view or sequence.
    void renameObject(const std::string& owner, const std::string& from, const std::string& to);
    bool anyRow(const TableInfo& table, const std::string& where);
    void forgetTable(const TableInfo& table);  // its cached definition and the kept plans
    // table_as.cpp
    void createTableAs(const ast::CreateTable& ct);
    std::vector<ColumnDef> columnsOfQuery(const ast::Select& query, const std::string& sql,
                                          const std::vector<SqlValue>& params,
                                          const std::vector<SqlType>& types,
                                          const std::vector<BinaryKind>& kinds);
    // views.cpp
    void createView(const ast::CreateView& cv);
    void dropView(const ast::DropView& dv);

    // transactions.cpp
    // Runs a statement that changes rows: on its own with autocommit, else
    // inside the session's transaction, undone alone when it fails.
    template <typename Run>
    void changingRows(Run&& run) {
        if (autoCommit_) {
            run();
            return;
        }
        beginStatement();
        try {
            run();
        } catch (...) {
            undoStatement();
            throw;
        }
        endStatement();
    }
    void beginStatement();
    void endStatement();
    void undoStatement();
    void commitWork();  // also the implicit commit around DDL
    void transactionControl(const ast::TransactionControl& tc);
    void lockForUpdate(const ast::Select& select);
    void lockTables(const std::vector<std::string>& sqlNames, const ast::ForUpdate& how);

    // statements.cpp
    // A query's columns and its statement, bound and not yet stepped: its
    // rows are read as the caller fetches them (result_stream.cpp).
    struct Rows {
        std::vector<std::string> names;
        std::unique_ptr<SqliteStatement> cursor;
        std::vector<BinaryKind> kinds;  // of each column: shown in the binary form
    };
    Rows perform(const std::string& statement);
    void definition(const ast::Statement& parsed);
    Rows runSelect(const ast::Select& select);
    void insert(const ast::Insert& ins);
    void update(const ast::Update& up);
    // UPDATE's and MERGE's SET over the target a0 of `tr`, joined to MERGE's
    // `source` (empty for UPDATE); `where` is the WHERE clause with its word.
    void updateRows(const TableInfo& table, const std::vector<ast::Assignment>& assignments,
                    Translator& tr, const std::string& source, const std::string& where);
    void updateCheckingKeysAtEnd(const TableInfo& table, const std::string& rows,
                                 const std::vector<SqlValue>& params);
    void deleteRows(const ast::Delete& del);
    void merge(const ast::Merge& m);  // merge.cpp
    void mergeRows(const ast::Merge& m);
    void mergeUpdate(const ast::Merge& m, const std::shared_ptr<const TableInfo>& table,
                     const std::function<std::string(Translator&)>& translator,
                     const std::string& before);
    void mergeInsert(const ast::Merge& m, const std::shared_ptr<const TableInfo>& table,
                     const std::function<std::string(Translator&)>& translator);
    // `keys`, when given: each Number parameter's key, made beforehand.
    void runWrite(const std::string& sql, const std::vector<SqlValue>& params,
                  const std::shared_ptr<const TableInfo>& table, const std::string* keys = nullptr);
    // The same with the statement of `sql` as `kept` holds it (found and
    // kept there when null), reset before it is bound.
    void runWrite(SqliteStatement*& kept, const std::string& sql,
                  const std::vector<SqlValue>& params,
                  const std::shared_ptr<const TableInfo>& table, const std::string* keys);
    // The same with the parameters bound by `bind`, from memory kept alive
    // and unchanged until the statement has run.
    void runWrite(SqliteStatement*& kept, const std::string& sql,
                  const std::shared_ptr<const TableInfo>& table,
                  const std::function<void(SqliteStatement&)>& bind);
    void checkWritable(const TableInfo& table) const;

    // An INSERT ... VALUES as translated, kept by the statement's shape (its
    // tokens without the literals' values) to run again with new literals.
    struct InsertPlan {
        std::string sql;
        std::vector<SqlValue> params;
        ParamOrigins origins;
        std::shared_ptr<const TableInfo> table;
        std::vector<std::string> columnValues;  // VALUES: each column's value as translated
        // The same statement with the column checks made before SQLite runs
        // it, for the columns whose value needs no table: one parameter, a
        // call on parameters, or NULL. Empty when there are none.
        std::string directSql;
        struct DirectColumn {
            ColumnTarget target;
            ColumnKind kind;                // decided once, with the plan
            std::optional<int> parameter;   // the value is this parameter,
            std::optional<ParamCall> call;  // or this call's result; neither: NULL
        };
        std::vector<DirectColumn> direct;  // bound after `params`, in order,
        bool directOnly = false;           // or alone when every column is direct
    };
    InsertPlan planInsert(const ast::Insert& ins);
    // The plan of a batch's INSERT and its count of placeholders, kept as
    // the literal statements' plans are (until a definition changes). A
    // copy: what runs a row may read the catalog again and drop the kept.
    InsertPlan batchPlan(const std::string& insert, std::size_t& count);
    // insert_plans.cpp
    // The statement's tokens but for its literals' values, into `shape`;
    // empty when it is no INSERT whose plan can be kept.
    static void insertShape(const std::vector<Token>& tokens, std::string& shape);
    bool runKnownShape(const std::string& shape, const std::vector<Token>& tokens);
    // The kept plan run for `tokens` of `shape`, as in a transaction when
    // autocommit is off; false when no plan is kept for it.
    bool runKeptInsert(const std::string& shape, const std::vector<Token>& tokens);
    void insertKeepingPlan(const ast::Insert& ins, const std::string& shape,
                           const std::vector<Token>& tokens);
    std::vector<SqlValue> paramsFor(const InsertPlan& plan, const std::vector<Token>& tokens) const;
    // The same into `params`, whose elements' memory is used again.
    void paramsInto(const InsertPlan& plan, const std::vector<Token>& tokens,
                    std::vector<SqlValue>& params) const;
    static void addDirectForm(InsertPlan& plan);
    void runPlan(const InsertPlan& plan, const std::vector<SqlValue>& params);

    std::string folder_;
    SqliteDb db_;
    UserInfo me_;
    std::string sysdate_;
    std::map<std::int64_t, std::string> attached_;  // user id -> alias
    std::int64_t generation_ = -1;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<const TableInfo>> tables_;
    std::map<std::int64_t, std::shared_ptr<const TableInfo>> tablesById_;
    ChangeSignal signal_;
    std::optional<std::uint64_t> signalSeen_;  // the signal when the catalog was last read
    std::unordered_map<std::string, InsertPlan> plans_;  // by shape
    // The last statement's tokens and shape, kept for their memory.
    std::vector<Token> tokens_;
    std::string shape_;
    InsertTemplate lastInsert_;        // the last INSERT run through a kept plan
    std::vector<SqlValue> rowParams_;  // a kept plan's parameters, for their memory
    bool autoCommit_ = true;
    std::shared_ptr<OpenStreams> streams_ = std::make_shared<OpenStreams>();
    // Rows are deleted and written again as they were (a retried UPDATE,
    // TRUNCATE): the triggers on parent rows stand aside.
    bool rewriting_ = false;
    // Sequences: the counter's own connection, opened when first needed, and
    // each sequence's CURRVAL in this session.
    std::unique_ptr<SequenceCounter> sequenceCounter_;
    std::map<std::int64_t, Number> currentValues_;
};

}  // namespace malvorn::localserver
