#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace malvorn::localserver::ast {

struct Select;
struct Window;

struct Expr {
    enum class Kind {
        kNull,
        kString,
        kNumber,
        kColumn,    // path: [schema.]table.column or column
        kStar,      // COUNT(*)
        kUnary,     // op: "-", "+", "NOT"
        kBinary,    // op: arithmetic, comparison, "||", "AND", "OR"; AND, OR, ||, + and *
                    // may have more than two operands
        kFunction,  // name, args, distinct
        kIsNull,    // negated
        kInList,    // args[0] IN (args[1..]), negated
        kBetween,   // args[0] BETWEEN args[1] AND args[2], negated
        kLike,      // args[0] LIKE args[1], negated
        kSysdate,
        kCase,      // distinct: has an operand (args[0]), then WHEN/THEN pairs;
                    // negated: has ELSE (the last argument)
        kSubquery,  // (SELECT ...) giving one value
        kExists,    // EXISTS (SELECT ...)
    };
    Kind kind = Kind::kNull;
    std::string text;  // literal text, operator, function name
    std::vector<std::string> path;
    std::vector<std::unique_ptr<Expr>> args;
    bool negated = false;
    bool distinct = false;
    bool outerMark = false;            // kColumn written with (+)
    bool parenthesized = false;        // written in parentheses: not merged into a chain
    std::string source;                // the expression as written, for result column names
    std::shared_ptr<Select> subquery;  // kSubquery, kExists, kInList over a query
    int token = -1;                    // kString, kNumber: the literal's token in the statement
    // kFunction: an analytic call's OVER (...), LISTAGG's WITHIN GROUP (ORDER BY ...).
    std::shared_ptr<Window> over;
    std::shared_ptr<Window> withinGroup;
    // kFunction: the keywords of the calls written with them: CAST's type
    // (name, then length or precision and scale), EXTRACT's field, TRIM's
    // LEADING/TRAILING/BOTH.
    std::vector<std::string> keywords;
};
using ExprPtr = std::unique_ptr<Expr>;

// DEFAULT as a value of INSERT ... VALUES or UPDATE ... SET: a Null whose
// text says DEFAULT.
inline bool isDefaultValue(const Expr& e) {
    return e.kind == Expr::Kind::kNull && e.text == "DEFAULT";
}

struct SelectItem {
    ExprPtr expr;               // null for * and t.*
    std::string starQualifier;  // "T" for T.*, empty for *
    bool star = false;
    std::optional<std::string> alias;
};

struct TableRef {
    std::string schema;  // empty: the connected user's
    std::string name;
};

struct FromItem {
    TableRef table;
    std::optional<std::string> alias;
    enum class Join { kFirst, kComma, kInner, kLeft, kRight, kFull, kCross } join = Join::kFirst;
    ExprPtr on;
    std::shared_ptr<Select> subquery;  // an inline view FROM (SELECT ...): `table` is empty
    // Joins in parentheses stay in the one list: the first item of a group
    // counts the groups opened before it, the last the groups closed after
    // it. A group's join word and ON are its first item's `join` and `on`.
    int opens = 0;
    int closes = 0;
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
    std::optional<bool> nullsFirst;  // NULLS FIRST / NULLS LAST as written
};

// ROWS | RANGE BETWEEN start AND end of an analytic function's window.
struct FrameBound {
    enum class Kind {
        kUnboundedPreceding,
        kPreceding,
        kCurrentRow,
        kFollowing,
        kUnboundedFollowing
    };
    Kind kind = Kind::kCurrentRow;
    long long offset = 0;  // kPreceding, kFollowing
};
struct Frame {
    bool rows = true;  // ROWS, else RANGE
    FrameBound start;
    FrameBound end;
};

// OVER (PARTITION BY ... ORDER BY ... [frame]).
struct Window {
    std::vector<ExprPtr> partitionBy;
    std::vector<OrderItem> orderBy;
    std::optional<Frame> frame;
};

// UNION [ALL], MINUS, INTERSECT and the query block that follows.
struct SetOperation {
    enum class Kind { kUnion, kUnionAll, kMinus, kIntersect } kind = Kind::kUnion;
    std::shared_ptr<Select> right;
};

// WITH name [(columns)] AS (query).
struct CommonTable {
    std::string name;
    std::vector<std::string> columns;
    std::shared_ptr<Select> query;
};

// OFFSET n ROWS and FETCH FIRST n [PERCENT] ROWS ONLY | WITH TIES.
struct RowLimit {
    ExprPtr offset;
    ExprPtr count;  // null: every row after the offset
    bool percent = false;
    bool withTies = false;
};

// FOR UPDATE [OF ...] [NOWAIT | WAIT n]: the rows read are locked against
// other sessions' writes until the transaction ends.
struct ForUpdate {
    bool nowait = false;
    std::optional<int> waitSeconds;
};

struct Select {
    bool distinct = false;
    std::vector<SelectItem> items;
    std::vector<FromItem> from;
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    std::vector<OrderItem> orderBy;
    std::optional<ForUpdate> forUpdate;
    // A compound query: this block, then each operation's; ORDER BY and the
    // row limit then apply to the whole.
    std::vector<SetOperation> setOps;
    std::vector<CommonTable> with;
    std::optional<RowLimit> limit;
};

// GENERATED ALWAYS | BY DEFAULT [ON NULL] AS IDENTITY [(START WITH n | LIMIT
// VALUE, INCREMENT BY n)].
struct IdentityOptions {
    bool always = false;
    bool onNull = false;
    long long startWith = 1;
    bool startGiven = false;
    bool startLimitValue = false;
    long long incrementBy = 1;
};

struct ColumnClause {
    std::string name;
    std::string typeName;  // VARCHAR2, NUMBER, ...
    std::optional<int> length;
    std::optional<int> precision;
    std::optional<int> scale;
    bool precisionStar = false;  // NUMBER(*,s)
    std::optional<bool> charSemantics;
    std::string defaultText;
    bool notNull = false;
    std::optional<IdentityOptions> identity;
};

struct ConstraintClause {
    std::string name;  // empty: the server names it
    bool primaryKey = false;
    std::vector<std::string> columns;
    std::string indexTablespace;
};

// A constraint added to a table: P primary key, U unique, R foreign key,
// C check, N not null (a check the server shows as "COL" IS NOT NULL).
struct ConstraintDef {
    std::string name;  // empty: the server names it
    char kind = 'P';
    std::vector<std::string> columns;
    TableRef parent;                         // R
    std::vector<std::string> parentColumns;  // R; empty: the parent's primary key
    std::string deleteRule = "NO ACTION";    // R: NO ACTION, CASCADE, SET NULL
    std::shared_ptr<Expr> condition;         // C
    std::string conditionText;               // C: as written
    bool validate = true;                    // NOVALIDATE: rows already there are not checked
    std::string indexTablespace;
};

struct CreateTable {
    TableRef table;
    std::vector<ColumnClause> columns;
    std::vector<ConstraintClause> constraints;
    std::vector<ConstraintDef> references;  // foreign keys and checks, added once it exists
    std::string tablespace;
    // CREATE TABLE ... [(names)] AS query: the query as written, from after AS.
    std::string asQuery;
    std::vector<std::string> asNames;
};

struct DropTable {
    TableRef table;
    bool cascadeConstraints = false;
};

struct TruncateTable {
    TableRef table;
};

struct Insert {
    TableRef table;
    std::vector<std::string> columns;  // empty: every column in order
    std::vector<ExprPtr> values;
    std::unique_ptr<Select> select;  // INSERT ... SELECT
};

struct Assignment {
    std::string column;
    ExprPtr value;
};

struct Update {
    TableRef table;
    std::optional<std::string> alias;
    std::vector<Assignment> assignments;
    ExprPtr where;
};

struct Delete {
    TableRef table;
    std::optional<std::string> alias;
    ExprPtr where;
};

// MERGE INTO target USING source ON (condition) WHEN MATCHED THEN UPDATE
// ... WHEN NOT MATCHED THEN INSERT ...
struct Merge {
    TableRef table;
    std::optional<std::string> alias;
    FromItem source;  // a table or an inline view, with its alias
    ExprPtr on;
    bool matched = false;  // WHEN MATCHED THEN UPDATE SET
    std::vector<Assignment> assignments;
    ExprPtr updateWhere;
    ExprPtr deleteWhere;
    bool notMatched = false;  // WHEN NOT MATCHED THEN INSERT
    std::vector<std::string> columns;
    std::vector<ExprPtr> values;
    ExprPtr insertWhere;
};

struct CreateUser {
    std::string name;
    std::string password;
    std::string defaultTablespace;
    std::string temporaryTablespace;
};

struct AlterUser {
    std::string name;
    std::string password;
};

struct Grant {
    std::vector<std::string> roles;
    std::vector<std::string> grantees;
};

struct Revoke {
    std::vector<std::string> roles;
    std::vector<std::string> grantees;
};

struct DropUser {
    std::string name;
    bool cascade = false;
};

// COMMIT, ROLLBACK, SAVEPOINT name and ROLLBACK TO [SAVEPOINT] name.
struct TransactionControl {
    enum class Kind { kCommit, kRollback, kSavepoint, kRollbackTo } kind = Kind::kCommit;
    std::string savepoint;
};

// CREATE [UNIQUE] INDEX name ON table (column [ASC | DESC], ...).
struct IndexColumn {
    std::string name;
    bool descending = false;
};
struct CreateIndex {
    TableRef index;
    TableRef table;
    bool unique = false;
    std::vector<IndexColumn> columns;
    std::string tablespace;
};

struct DropIndex {
    TableRef index;
};

// ALTER TABLE forms on constraints: ADD constraint, MODIFY column [NOT] NULL,
// DROP CONSTRAINT name [CASCADE].
struct AlterTableConstraints {
    TableRef table;
    std::vector<ConstraintDef> add;
    std::string nullColumn;      // MODIFY column NULL
    std::string identityColumn;  // MODIFY column GENERATED ... AS IDENTITY
    IdentityOptions identity;
    std::string dropName;
    bool cascade = false;
};

// ALTER TABLE forms on columns: ADD (column, ...), MODIFY (column, ...),
// DROP (column, ...) [CASCADE CONSTRAINTS], RENAME COLUMN a TO b, RENAME TO t.
struct AlterTableColumns {
    enum class Action { kAdd, kModify, kDrop, kRenameColumn, kRenameTable };
    TableRef table;
    Action action = Action::kAdd;
    std::vector<ColumnClause> columns;          // ADD, MODIFY
    std::vector<std::optional<bool>> nullable;  // MODIFY: NULL / NOT NULL as written
    std::vector<bool> typeGiven;                // MODIFY
    std::vector<bool> defaultGiven;             // MODIFY
    std::vector<ConstraintClause> keys;         // ADD: a new column's PRIMARY KEY / UNIQUE
    std::vector<ConstraintDef> references;      // ADD: its REFERENCES / CHECK
    std::vector<std::string> names;  // DROP: the columns; RENAME: the old name, then the new
    bool cascadeConstraints = false;
};

// RENAME old TO new.
struct Rename {
    TableRef from;
    std::string to;
};

// COMMENT ON TABLE t IS 'text' / COMMENT ON COLUMN t.c IS 'text'.
struct Comment {
    TableRef table;
    std::string column;  // empty: the table's comment
    std::string text;    // empty: none
};

struct CreateView {
    TableRef view;
    std::vector<std::string> columns;
    std::string query;  // as written, from after AS
    bool orReplace = false;
    bool force = false;
};

struct DropView {
    TableRef view;
};

// CREATE / ALTER SEQUENCE options as written (integers kept as their text);
// what is left out takes the server's default or stays as it was.
struct SequenceOptions {
    std::optional<std::string> startWith;
    std::optional<std::string> incrementBy;
    std::optional<std::string> minValue;  // empty text: NOMINVALUE
    std::optional<std::string> maxValue;  // empty text: NOMAXVALUE
    std::optional<bool> cycle;
    std::optional<std::string> cache;  // "0": NOCACHE
    bool restart = false;              // ALTER ... RESTART [START WITH n]
};

struct CreateSequence {
    TableRef sequence;
    SequenceOptions options;
};

struct AlterSequence {
    TableRef sequence;
    SequenceOptions options;
};

struct DropSequence {
    TableRef sequence;
};

using Statement =
    std::variant<Select, CreateTable, DropTable, TruncateTable, Insert, Update, Delete, CreateUser,
                 AlterUser, Grant, Revoke, DropUser, TransactionControl, CreateIndex, DropIndex,
                 AlterTableConstraints, Comment, CreateView, DropView, CreateSequence,
                 AlterSequence, DropSequence, AlterTableColumns, Rename, Merge>;

}  // namespace malvorn::localserver::ast
