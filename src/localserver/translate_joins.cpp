// FROM clauses of ANSI joins, joins in parentheses nested as written.
#include <vector>

#include "localserver/translator.h"

namespace malvorn::localserver {
namespace {

using Join = ast::FromItem::Join;

const char* joinWord(Join join) {
    switch (join) {
        case Join::kFirst:
            return "";
        case Join::kComma:
            return ", ";
        case Join::kInner:
            return " JOIN ";
        case Join::kLeft:
            return " LEFT JOIN ";
        case Join::kRight:
            return " RIGHT JOIN ";
        case Join::kFull:
            return " FULL JOIN ";
        case Join::kCross:
            return " CROSS JOIN ";
    }
    return ", ";
}

}  // namespace

// An ON sees the sources of its own join alone: from the first of its group
// (outside any group, from the last comma) to its right operand. SQLite
// would take a table joined later in a plain ON; the server does not.
std::string Translator::scopedCondition(const ast::Expr& on, std::size_t begin, std::size_t end) {
    struct Restore {
        Translator& t;
        std::size_t begin, end;
        ~Restore() {
            t.scopeBegin_ = begin;
            t.scopeEnd_ = end;
        }
    } restore{*this, scopeBegin_, scopeEnd_};
    scopeBegin_ = begin;
    scopeEnd_ = end;
    return condition(on);
}

// The sources of `s` are the last s.from.size() of sources_. SQLite reads a
// parenthesized join as a nested FROM with the same meaning, outer joins too.
std::string Translator::joinedSources(const ast::Select& s) {
    const std::size_t base = sources_.size() - s.from.size();
    struct Group {
        std::size_t enclosingStart;  // where the group's own level began
        const ast::Expr* on;         // the ON after its closing parenthesis
    };
    std::vector<Group> open;
    std::size_t levelStart = 0;
    std::string sql;
    for (std::size_t i = 0; i < s.from.size(); ++i) {
        const ast::FromItem& item = s.from[i];
        if (item.join == Join::kFirst || item.join == Join::kComma)
            levelStart = i;
        sql += joinWord(item.join);
        for (int k = 0; k < item.opens; ++k) {
            open.push_back({levelStart, k == 0 ? item.on.get() : nullptr});
            levelStart = i;
            sql += "(";
        }
        const Source& src = sources_[base + i];
        sql += src.table->sqlName + " AS " + src.sqlAlias;
        if (item.opens == 0 && item.on)
            sql += " ON " + scopedCondition(*item.on, base + levelStart, base + i + 1);
        for (int k = 0; k < item.closes && !open.empty(); ++k) {
            const Group group = open.back();
            open.pop_back();
            levelStart = group.enclosingStart;
            sql += ")";
            if (group.on)
                sql += " ON " + scopedCondition(*group.on, base + levelStart, base + i + 1);
        }
    }
    return sql;
}

}  // namespace malvorn::localserver
