#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "localserver/ast.h"
#include "localserver/binary_float.h"
#include "localserver/catalog.h"
#include "localserver/sql_functions.h"
#include "localserver/sqlite_db.h"

namespace malvorn::localserver {

class LocalSession;

// Expression types the translation tracks to make Oracle's implicit
// conversions (a text literal compared with a DATE or NUMBER column).
// kChar is blank-padded CHAR, compared with literals without trailing blanks.
enum class SqlType { kUnknown, kText, kChar, kNumber, kDate, kLob };

// The SQL that reads a translated value as a number.
inline std::string num(const std::string& sql) {
    return sqlCall(ServerFunction::kNum, {sql});
}

// Tells the caller the type of what was translated, when it asked.
inline void set(SqlType* out, SqlType value) {
    if (out)
        *out = value;
}

// Where each parameter of a translation got its value, so that a statement
// differing only in its literals can run the same SQL with its own values.
struct ParamOrigin {
    enum class Kind { kFixed, kText, kNumber, kSysdate };
    Kind kind = Kind::kFixed;  // kFixed: the value bound at translation stands
    int token = -1;            // kText, kNumber: the literal's token
    std::string sign;          // kNumber: what the tree put before the token's text
};
struct ParamOrigins {
    std::vector<ParamOrigin> params;  // one for each parameter, in order
    bool valueDependent = false;      // the SQL itself depends on a literal's value
};

// Deeper than this in one statement, a subquery becomes a statement of its
// own: SQLite's parser takes only about twenty nested queries.
inline constexpr int kShallowQueries = 4;

// Translates expressions and queries for SQLite against the tables a
// statement names.
class Translator {
  public:
    // One ORDER BY key: its SQL, then " DESC" and the NULLS placement.
    struct SortKey {
        std::string term;
        std::string direction;
    };
    struct Source {
        std::string qualifier;  // alias, or the table name
        std::shared_ptr<const TableInfo> table;
        std::string sqlAlias;
        std::string columnPrefix = "c";  // the i-th column is sqlAlias.<prefix><i>
        // Naming a column of this source fails with this error, the column's
        // name appended (MERGE's INSERT may not read the target); 0: allowed.
        int refusedCode = 0;
        std::string refusedText{};
    };

    explicit Translator(LocalSession& session) : session_(session) {}
    // A subquery's translator: binds into the parent's parameters and sees the
    // parent's tables for correlated names.
    Translator(LocalSession& session, Translator& parent)
        : session_(session),
          parent_(&parent),
          params_(parent.params_),
          origins_(parent.origins_),
          aliasPrefix_(parent.aliasPrefix_ + "s"),
          readAs_(parent.readAs_),
          viewDepth_(parent.viewDepth_),
          depth_(parent.depth_ + 1),
          statement_(parent.statement_) {}

    // Reads table names without schema as that user's (a view's owner).
    void readAs(std::string owner) { readAs_ = std::move(owner); }

    // Records, from here on, where each parameter's value comes from.
    void recordOrigins(ParamOrigins* origins) { origins_ = origins; }

    void addSource(Source source) { sources_.push_back(std::move(source)); }
    // A FROM item (a table, a view, an inline view) as the next source.
    void addFrom(const ast::FromItem& item) { sources_.push_back(fromSource(item)); }
    const std::vector<Source>& sources() const { return sources_; }
    void refuseNames(std::size_t source, int code, std::string text) {
        sources_[source].refusedCode = code;
        sources_[source].refusedText = std::move(text);
    }

    // An expression; `aggregates` says whether group functions may appear.
    std::string expr(const ast::Expr& e, SqlType* type = nullptr, bool aggregates = false);
    // A condition (WHERE, ON, HAVING, CASE WHEN): ORA-00920 for an
    // expression that compares nothing.
    std::string condition(const ast::Expr& e, bool aggregates = false);
    // A whole query, its result columns named x0, x1 ...
    std::string select(const ast::Select& s, std::vector<std::string>& names);
    std::string bind(SqlValue value);

    std::vector<SqlValue>& params() { return *params_; }
    // The types of the select list translated last.
    const std::vector<SqlType>& itemTypes() const { return itemTypes_; }
    // ... and which of them are BINARY_DOUBLE or BINARY_FLOAT.
    const std::vector<BinaryKind>& itemKinds() const { return itemKinds_; }
    // `sql`, the translation of `e`, as the text Oracle makes of it: a binary
    // value in its scientific form (1.5E+000), any other as mv_text makes it.
    std::string textOf(const ast::Expr& e, const std::string& sql) const;
    // `sql` as it is, or in that scientific form when `e` is binary.
    std::string binaryAsText(const ast::Expr& e, std::string sql) const;
    // What INSERT, UPDATE and MERGE store of `e` in column `c`: a binary value
    // goes into a character column as that text.
    std::string storedValue(const ast::Expr& e, const ColumnDef& c);
    // Lets this query's select list (not its subqueries or conditions) read
    // S.NEXTVAL and S.CURRVAL; elsewhere they are ORA-02287.
    void allowSequences() { sequences_ = true; }

  private:
    std::string column(const ast::Expr& e, SqlType* type);
    // translate_sequences.cpp: S.NEXTVAL / S.CURRVAL, when the name is one.
    std::optional<std::string> sequenceValue(const ast::Expr& e, SqlType* type);
    std::string function(const ast::Expr& e, SqlType* type, bool aggregates);
    struct Call;  // a text function's call, and its handlers
    std::optional<std::string> textFunction(const ast::Expr& e, SqlType* type, bool aggregates);
    std::optional<std::string> valueFunction(const ast::Expr& e, SqlType* type, bool aggregates);
    // translate_timestamps.cpp: TIMESTAMP literals, TO_TIMESTAMP, SYSTIMESTAMP,
    // CAST, and TO_CHAR of a TIMESTAMP; nullopt for other calls.
    std::optional<std::string> timestampFunction(const ast::Expr& e, SqlType* type,
                                                 bool aggregates);
    // The fraction's precision of an expression of type TIMESTAMP; nullopt
    // for any other (a DATE among them).
    std::optional<int> timestampPrecision(const ast::Expr& e);
    // `sql`, the translation of `e`, as a DATE where the day functions and
    // date arithmetic take one: a TIMESTAMP's fraction dropped, as the server
    // converts it; anything else as it is.
    std::string asDate(const ast::Expr& e, const std::string& sql);
    // TIMESTAMP +/- number: the TIMESTAMP term made a DATE. Between two
    // datetimes the server's result is an INTERVAL, which is not kept here:
    // those terms stay as they are and are refused.
    void timestampsInArithmetic(const ast::Expr& e, std::vector<std::string>& terms,
                                const std::vector<SqlType>& types);
    // ---- translate_scalar.cpp, translate_cast.cpp ----
    std::optional<std::string> scalarFunction(const ast::Expr& e, SqlType* type, bool aggregates);
    std::optional<std::string> dateFunction(const ast::Expr& e, SqlType* type, bool aggregates);
    std::string cast(const ast::Expr& e, SqlType* type, bool aggregates);
    // The column an expression names, if it is one of this query's columns.
    const ColumnDef* columnDefOf(const ast::Expr& e);
    // ORA-00932 for a CLOB or BLOB where values are compared.
    void refuseLob(const ast::Expr& e, SqlType type);
    // The type of an expression, its translation undone.
    SqlType typeOnly(const ast::Expr& e, bool aggregates);
    // ---- translate_binary.cpp ----
    BinaryKind binaryKind(const ast::Expr& e) const;
    BinaryKind resultsKind(const ast::Expr& e) const;
    std::string binaryCondition(const ast::Expr& e, bool aggregates);  // IS [NOT] NAN | INFINITE
    std::string binaryChoice(const ast::Expr& e, std::string sql, SqlType* type) const;
    std::string numberLiteral(const ast::Expr& e, SqlType* type);  // also 1.5d, 2e3f
    std::string binaryLiteral(const ast::Expr& e, SqlType* type);
    std::string binaryArithmetic(const std::string& op, BinaryKind kind,
                                 const std::vector<std::string>& terms);
    // TO_BINARY_DOUBLE, TO_BINARY_FLOAT, TO_CHAR(binary); nullopt for other calls.
    std::optional<std::string> binaryCall(const ast::Expr& e, SqlType* type, bool aggregates);
    // ---- translate_analytic.cpp ----
    std::string analytic(const ast::Expr& e, SqlType* type, bool aggregates);
    std::string listAggregate(const ast::Expr& e, SqlType* type, bool aggregates);
    std::string windowSql(const ast::Window& w);
    std::string windowSum(const ast::Expr& e, const std::string& value, bool distinct,
                          bool measured);
    std::string rangeAggregate(const std::string& function, const std::string& value,
                               const ast::Window& w, BinaryKind kind = BinaryKind::kNone);
    std::string binary(const ast::Expr& e, SqlType* type, bool aggregates);
    std::string inList(const ast::Expr& e, bool aggregates);
    std::string dateArithmetic(const std::string& op, const std::vector<std::string>& terms,
                               const std::vector<SqlType>& types, SqlType* type);
    std::string caseExpr(const ast::Expr& e, SqlType* type, bool aggregates);
    std::string orderBy(const ast::Select& s, const std::vector<std::string>& items,
                        const std::vector<std::size_t>& positionOf,
                        const std::set<std::string>& groups, bool grouped,
                        std::vector<SortKey>* keys = nullptr);
    std::string comparison(const std::string& op, const ast::Expr& left, const ast::Expr& right,
                           bool aggregates);
    // `otherKind`: the binary kind of the value compared with, which a text
    // literal is converted to ('NaN' and 'INF' among its values).
    std::string operand(const ast::Expr& e, SqlType other, bool aggregates, SqlType* type,
                        BinaryKind otherKind = BinaryKind::kNone);
    void checkGrouped(const ast::Expr& e, const std::set<std::string>& groups, bool hasGroupBy);
    std::string canonical(const std::string& sql) const;
    std::string bindLiteral(const ast::Expr& e, SqlValue value, ParamOrigin::Kind kind);
    void dependsOnValue(const ast::Expr& e);

    std::string subquery(const ast::Select& s, bool single);
    std::string scalarSubquery(const ast::Select& s, SqlType* type);
    // ---- subqueries run as statements of their own (translate_nested.cpp) ----
    // A scalar subquery too deep for one SQLite statement: its own statement,
    // run by the call this returns, or its value when it reads nothing of
    // the queries around it.
    std::string nestedQuery(const ast::Select& s, SqlType* type);
    // EXISTS (s), or `probe` [NOT] IN (s) when `probe` (its SQL) is given, the
    // same way; nullopt where it is shallow enough to be written in place.
    std::optional<std::string> nestedCondition(const ast::Select& s, const std::string* probe,
                                               bool negated);
    // Makes this the translator of a nested statement whose call `host` writes.
    void nestIn(Translator& host);
    // The call running `sql`, nested statement `inner`'s one-value query, or
    // its value when the statement reads nothing of the queries around it.
    std::string nestedCall(Translator& inner, const std::string& sql);
    // `sql`, valid in the statement of translator `from`, made valid in this
    // one's: passed in as a value by each nested statement between.
    std::string lifted(std::string sql, const Translator* from);
    static std::string liftInto(Translator* statement, std::string sql, const Translator* from);
    // A parameter of this nested statement filled by the call with `sql`.
    std::string capture(const std::string& sql);
    // Forgets the parameters bound from `mark` on (an expression translated
    // only to be looked at).
    void dropParams(std::size_t mark);
    std::string fromAndWhere(const ast::Select& s,
                             const std::set<const ast::Expr*>* skip = nullptr);

    // ---- whole queries (translate_set_ops.cpp) ----
    // One query block; `ordered`: its ORDER BY is its own (not a compound's);
    // `keys`: receives the sort keys, each as a result column of the block.
    std::string queryBlock(const ast::Select& s, std::vector<std::string>& names, bool ordered,
                           std::vector<SortKey>* keys);
    std::string compound(const ast::Select& s, std::vector<std::string>& names,
                         std::vector<SortKey>* keys);
    std::string branch(const ast::Select& s, std::vector<std::string>& names,
                       std::vector<SqlType>& types, std::vector<BinaryKind>& kinds, bool first);
    std::string limitRows(const ast::Select& s, std::string sql, std::size_t columns,
                          const std::vector<SortKey>& keys);
    std::string limitValue(const ast::Expr& e);
    std::vector<const ast::CommonTable*> visibleTables() const;
    Source fromSource(const ast::FromItem& item);
    std::shared_ptr<const TableInfo> resolveAsReader(const ast::TableRef& ref);
    Source storedView(const StoredView& view);
    Source inlineView(const ast::Select& q, const std::vector<std::string>& columns,
                      Translator* parent, std::vector<const ast::CommonTable*> tables);
    std::string rownumFrom(const ast::Select& s);
    std::size_t outerSource(const ast::Expr& term);
    // ---- ANSI joins (translate_joins.cpp) ----
    std::string joinedSources(const ast::Select& s);
    std::string scopedCondition(const ast::Expr& on, std::size_t begin, std::size_t end);

    LocalSession& session_;
    Translator* parent_ = nullptr;
    std::vector<Source> sources_;
    std::vector<SqlValue> ownParams_;
    std::vector<SqlValue>* params_ = &ownParams_;
    ParamOrigins* origins_ = nullptr;
    std::string aliasPrefix_ = "a";
    bool singleValue_ = false;  // translating a scalar subquery
    bool singleDone_ = false;   // ... and its SQL gives one row already
    bool allowOuterMark_ = false;
    std::vector<SqlType> itemTypes_;     // of the select list's columns
    std::vector<BinaryKind> itemKinds_;  // ... and their binary kinds
    // The binary kind of each scalar subquery's value, once translated.
    std::map<const ast::Select*, BinaryKind> subqueryKinds_;
    // GREATEST and LEAST calls translated whose first argument is not a
    // number: their result is of its type, never a binary one.
    std::set<const ast::Expr*> nonNumericFirst_;
    std::vector<const ast::CommonTable*> tables_;  // WITH queries in sight, outer ones first
    std::string rownum_;                           // the SQL of ROWNUM in this block
    std::string readAs_;       // the owner of unqualified names; empty: the session user
    int viewDepth_ = 0;        // stored views being expanded around this query
    int depth_ = 0;            // queries around this one
    int ownColumns_ = 0;       // columns named so far of this query's tables
    int outerColumns_ = 0;     // ... and of the enclosing queries' tables
    bool sequences_ = false;   // NEXTVAL and CURRVAL allowed here
    bool inAnalytic_ = false;  // translating an analytic function's arguments or window
    // The nested statement this query is part of (null: the statement run);
    // for that statement's own translator, the translator writing its call,
    // and the SQL of the values the call passes in, each with its parameter.
    Translator* statement_ = nullptr;
    Translator* host_ = nullptr;
    struct Capture {
        std::string sql;
        std::size_t param;
    };
    std::vector<Capture> captures_;
    // The sources an ON may name: sources_[scopeBegin_, scopeEnd_).
    std::size_t scopeBegin_ = 0;
    std::size_t scopeEnd_ = static_cast<std::size_t>(-1);
};

bool isAggregate(const ast::Expr& e);
// The SQL of what an INSERT stores in column i of `table`: `given` (empty
// when the column is not named), else the identity's next value or the
// column's default.
std::string insertedValue(const TableInfo& table, std::size_t i, std::string given, Translator& tr);
// The type the translation tracks for a column.
SqlType typeOf(const ColumnDef& c);
// The SQL turning `sql`, a value of binary kind `kind`, into Oracle's text of it.
std::string binaryTextSql(const std::string& sql, BinaryKind kind);
// `sql` converted to binary kind `kind` (not kNone).
std::string toBinarySql(const std::string& sql, BinaryKind kind);
// CASE, NVL, NVL2, COALESCE, DECODE, GREATEST or LEAST: an expression
// choosing among results.
bool isChoice(const ast::Expr& e);
// The SQL of a value `sql` of binary kind `kind` stored into column `c`: a
// character column takes the value's text in the binary form.
std::string storedAs(std::string sql, BinaryKind kind, const ColumnDef& c);

}  // namespace malvorn::localserver
