#include "localserver/oracle_types.h"

#include <algorithm>

#include "localserver/errors.h"
#include "localserver/values.h"

namespace malvorn::localserver {
namespace {

const char* const kTablespaces[] = {"SYSTEM", "SYSAUX", "USERS", "INDX", "TEMP"};

[[noreturn]] void missingRightParenthesis() {
    oraThrow(907, "missing right parenthesis");
}

// A length the type requires, within 1..maximum.
int requiredLength(const ast::ColumnClause& def, int maximum) {
    if (!def.length)
        oraThrow(906, "missing left parenthesis");
    if (*def.length == 0)
        oraThrow(1723, "zero-length columns are not allowed");
    if (*def.length > maximum)
        oraThrow(910, "specified length too long for its datatype");
    if (def.scale || def.precisionStar)
        missingRightParenthesis();
    return *def.length;
}

void declareCharacter(const ast::ColumnClause& def, ColumnDef& c) {
    const std::string& t = def.typeName;
    const bool national = t == "NVARCHAR2" || t == "NCHAR";
    const bool fixed = t == "CHAR" || t == "NCHAR";
    const int maximum = fixed ? 2000 : 4000;
    c.charLength = fixed && !def.length ? 1 : requiredLength(def, maximum);
    if (national && def.charSemantics)
        missingRightParenthesis();
    c.dataType = t == "VARCHAR" ? "VARCHAR2" : t;
    c.charSemantics = national || def.charSemantics.value_or(false);
    // AL32UTF8 takes up to 4 bytes a character, AL16UTF16 2.
    c.dataLength =
        national ? c.charLength * 2 : (c.charSemantics ? c.charLength * 4 : c.charLength);
    c.dataLength = std::min(c.dataLength, maximum);
}

void declareNumber(const ast::ColumnClause& def, ColumnDef& c) {
    const std::string& t = def.typeName;
    c.dataType = "NUMBER";
    c.dataLength = 22;
    if (t == "INTEGER" || t == "INT" || t == "SMALLINT") {
        if (def.length || def.scale || def.precisionStar)
            missingRightParenthesis();
        c.scale = 0;
        return;
    }
    if (def.charSemantics)
        missingRightParenthesis();
    if (def.length) {
        if (*def.length < 1 || *def.length > 38)
            oraThrow(1727, "numeric precision specifier is out of range (1 to 38)");
        c.precision = *def.length;
        c.scale = 0;
    }
    if (def.scale) {
        if (*def.scale < -84 || *def.scale > 127)
            oraThrow(1728, "numeric scale specifier is out of range (-84 to 127)");
        c.scale = *def.scale;
    }
    if (t != "NUMBER" && !def.length && !def.precisionStar)
        c.scale = 0;
}

// FLOAT, BINARY_DOUBLE, BINARY_FLOAT, DATE, TIMESTAMP, CLOB, BLOB and RAW;
// false for any other type.
bool declareOther(const ast::ColumnClause& def, ColumnDef& c) {
    const std::string& t = def.typeName;
    if (t == "FLOAT") {
        c.dataType = "FLOAT";
        c.dataLength = 22;
        c.precision = def.length.value_or(126);
        if (*c.precision < 1 || *c.precision > 126)
            oraThrow(1724, "floating point precision is out of range (1 to 126)");
    } else if (t == "BINARY_DOUBLE" || t == "BINARY_FLOAT") {
        if (def.length)
            missingRightParenthesis();
        c.dataType = t;
        c.dataLength = t == "BINARY_DOUBLE" ? 8 : 4;
    } else if (t == "TIMESTAMP") {
        const int fraction = def.length.value_or(6);
        if (fraction > 9)
            oraThrow(30088, "datetime/interval precision is out of range");
        c.dataType = "TIMESTAMP(" + std::to_string(fraction) + ")";
        c.dataLength = 11;
        c.scale = fraction;
    } else if (t == "DATE" || t == "CLOB" || t == "BLOB") {
        if (def.length)
            missingRightParenthesis();
        c.dataType = t;
        c.dataLength = t == "DATE" ? 7 : 4000;
    } else if (t == "RAW") {
        c.dataType = "RAW";
        c.dataLength = requiredLength(def, 2000);
    } else {
        return false;
    }
    return true;
}

bool isOneOf(const std::string& name, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

int columnIndex(const std::vector<ColumnDef>& columns, const std::string& name) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == name)
            return static_cast<int>(i);
    }
    return -1;
}

void checkKeyColumns(const KeyDef& k, std::vector<ColumnDef>& columns) {
    for (std::size_t i = 0; i < k.columns.size(); ++i) {
        const int index = columnIndex(columns, k.columns[i]);
        if (index < 0)
            invalidIdentifier(k.columns[i]);
        for (std::size_t j = 0; j < i; ++j) {
            if (k.columns[j] == k.columns[i])
                oraThrow(957, "duplicate column name");
        }
        if (k.primary)
            columns[static_cast<std::size_t>(index)].nullable = false;
    }
}

}  // namespace

void checkTablespace(const std::string& name) {
    for (const char* t : kTablespaces) {
        if (name == t)
            return;
    }
    oraThrow(959, "tablespace '" + name + "' does not exist");
}

void checkPermanentTablespace(const std::string& name) {
    checkTablespace(name);
    if (name == "TEMP")
        oraThrow(2195, "Attempt to create PERMANENT object in a TEMPORARY tablespace");
}

ColumnDef declareColumn(const ast::ColumnClause& def, const std::vector<ColumnDef>& earlier) {
    ColumnDef c;
    c.name = def.name;
    for (const auto& other : earlier) {
        if (other.name == c.name)
            oraThrow(957, "duplicate column name");
    }
    const std::string& t = def.typeName;
    if (isOneOf(t, {"VARCHAR2", "VARCHAR", "NVARCHAR2", "CHAR", "NCHAR"}))
        declareCharacter(def, c);
    else if (isOneOf(t, {"NUMBER", "NUMERIC", "DECIMAL", "DEC", "INTEGER", "INT", "SMALLINT"}))
        declareNumber(def, c);
    else if (!declareOther(def, c))
        oraThrow(902, "invalid datatype");
    c.nullable = !def.notNull;
    c.defaultText = def.defaultText;
    return c;
}

std::vector<KeyDef> declareKeys(const std::vector<ast::ConstraintClause>& clauses,
                                std::vector<ColumnDef>& columns, const std::string& tablespace) {
    std::vector<KeyDef> keys;
    bool havePrimary = false;
    for (const auto& def : clauses) {
        KeyDef k{def.name, def.primaryKey, def.columns, def.indexTablespace};
        if (k.primary) {
            if (havePrimary)
                oraThrow(2260, "table can have only one primary key");
            havePrimary = true;
        }
        checkKeyColumns(k, columns);
        for (const auto& other : keys) {
            if (other.columns == k.columns)
                oraThrow(2261, "such unique or primary key already exists in the table");
            if (!k.name.empty() && other.name == k.name)
                oraThrow(2264, "name already used by an existing constraint");
        }
        if (k.indexTablespace.empty())
            k.indexTablespace = tablespace;
        else
            checkPermanentTablespace(k.indexTablespace);
        keys.push_back(std::move(k));
    }
    return keys;
}

std::string rowTableSql(const std::string& sqlName, const std::vector<ColumnDef>& columns,
                        const std::vector<KeyDef>& keys) {
    std::string ddl = "CREATE TABLE " + sqlName + "(";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const bool numeric = columnKind(columns[i]) == ColumnKind::kNumber;
        ddl += (i ? ", c" : "c") + std::to_string(i) + (numeric ? " NUMERIC" : " TEXT");
    }
    for (const auto& k : keys) {
        ddl += k.primary ? ", PRIMARY KEY(" : ", UNIQUE(";
        for (std::size_t i = 0; i < k.columns.size(); ++i) {
            ddl += (i ? ", c" : "c") + std::to_string(columnIndex(columns, k.columns[i]));
        }
        ddl += ")";
    }
    return ddl + ")";
}

}  // namespace malvorn::localserver
