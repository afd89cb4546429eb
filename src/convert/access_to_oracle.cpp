#include "convert/access_to_oracle.h"

#include <algorithm>
#include <map>
#include <set>

#include "convert/access_translator.h"
#include "convert/safe_names.h"

namespace malvorn::convert {
namespace access {

std::string operand(const Expr& e, int level) {
    return e.level < level ? "(" + e.text + ")" : e.text;
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string stringLiteral(const std::string& value) {
    std::string out = "'";
    for (const char c : value)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

std::string Parser::statement(bool top) {
    if (isWord("parameters"))
        throw TranslationRefused("パラメータを取るクエリです (ビューはパラメータを取れません)");
    if (isWord("transform"))
        throw TranslationRefused("クロス集計クエリです");
    std::string sql = select(top);
    while (acceptWord("union")) {
        sql += acceptWord("all") ? "\nUNION ALL\n" : "\nUNION\n";
        sql += select(top);
    }
    if (top) {
        if (acceptWord("with")) {
            expectWord("owneraccess");
            expectWord("option");
            notes_.push_back(
                "WITH OWNERACCESS OPTION は Oracle にありません (権限はビューの"
                "所有者のものになります)");
        }
        acceptSymbol(";");
        if (peek().kind != K::kEnd)
            unexpected("文の終わり");
    }
    return sql;
}

std::string Parser::select(bool top) {
    expectWord("select");
    bool distinct = acceptWord("distinct");
    const bool distinctRow = !distinct && acceptWord("distinctrow");
    if (!distinct && !distinctRow)
        acceptWord("all");
    std::string topCount;
    bool percent = false;
    if (acceptWord("top")) {
        if (peek().kind != K::kNumber)
            unexpected("TOP の数");
        topCount = tokens_[pos_++].text;
        percent = acceptWord("percent");
    }
    SelectInfo info;
    const std::string list = selectList(top, info);
    if (acceptWord("into"))
        throw TranslationRefused("SELECT ... INTO (テーブル作成) です");
    std::string from = "DUAL";
    if (acceptWord("from")) {
        from = fromItem(info);
        while (acceptSymbol(","))
            from += ", " + fromItem(info);
    }
    std::string orderBy;
    const std::string tail = tailClauses(orderBy);
    const bool grouped = info.aggregate || tail.find("\nGROUP BY ") != std::string::npos;
    // DISTINCTROW drops rows that repeat whole records of the tables shown:
    // the same as DISTINCT when some table of the join shows no column, and
    // nothing at all otherwise.
    if (distinctRow && !grouped && info.fromNames.size() > 1) {
        const bool allShown =
            !info.unqualified &&
            std::all_of(info.fromNames.begin(), info.fromNames.end(),
                        [&](const std::string& n) { return info.qualifiers.count(n); });
        if (!allShown) {
            distinct = true;
            notes_.push_back(
                "DISTINCTROW を DISTINCT にしました (表示する列の値が同じ行は1行に"
                "なります)");
        }
    }
    std::string sql = std::string("SELECT ") + (distinct ? "DISTINCT " : "") + list + "\nFROM " +
                      from + tail + orderBy;
    if (!topCount.empty())
        sql += "\nFETCH FIRST " + topCount + (percent ? " PERCENT" : "") + " ROWS " +
               (orderBy.empty() ? "ONLY" : "WITH TIES");
    return sql;
}

std::string Parser::tailClauses(std::string& orderBy) {
    std::string tail;
    if (acceptWord("where"))
        tail += "\nWHERE " + expression().text;
    if (isWord("group") && isWord("by", 1)) {
        pos_ += 2;
        tail += "\nGROUP BY " + expression().text;
        while (acceptSymbol(","))
            tail += ", " + expression().text;
    }
    if (acceptWord("having"))
        tail += "\nHAVING " + expression().text;
    if (isWord("order") && isWord("by", 1)) {
        pos_ += 2;
        do {
            orderBy += (orderBy.empty() ? "\nORDER BY " : ", ") + expression().text;
            if (acceptWord("desc"))
                orderBy += " DESC";
            else
                acceptWord("asc");
        } while (acceptSymbol(","));
    }
    return tail;
}

std::string Parser::selectList(bool top, SelectInfo& info) {
    std::vector<SelectItem> items;
    SelectInfo* outer = columns_;
    columns_ = &info;
    do {
        SelectItem item;
        if (acceptSymbol("*")) {
            item.expr = {"*"};
            info.unqualified = true;
        } else {
            item.expr = expression();
            if (acceptWord("as"))
                item.alias = name();
        }
        items.push_back(std::move(item));
    } while (acceptSymbol(","));
    columns_ = outer;

    // A view's columns need names, and distinct ones: Access names an
    // expression Expr1000, Expr1001... and a column shown twice by its table.
    std::map<std::string, int> uses;
    for (const auto& item : items)
        if (item.alias.empty() && !item.expr.column.empty())
            ++uses[lower(item.expr.column)];
    int unnamed = 0;
    std::string list;
    for (auto& item : items) {
        const Expr& e = item.expr;
        std::string alias = item.alias;
        if (top && alias.empty() && e.text != "*" && e.column != "*") {
            if (e.column.empty())
                alias = "Expr" + std::to_string(1000 + unnamed++);
            else if (uses[lower(e.column)] > 1 && !e.qualifier.empty())
                alias = e.qualifier + "." + e.column;
        }
        list +=
            (list.empty() ? "" : ", ") + e.text + (alias.empty() ? "" : " AS " + oracleName(alias));
    }
    return list;
}

std::string Parser::fromItem(SelectInfo& info) {
    std::string text = fromPrimary(info);
    for (;;) {
        std::string kind;
        if (isWord("inner"))
            kind = "INNER JOIN";
        else if (isWord("left"))
            kind = "LEFT JOIN";
        else if (isWord("right"))
            kind = "RIGHT JOIN";
        else
            return text;
        ++pos_;
        acceptWord("outer");
        expectWord("join");
        const std::string right = fromPrimary(info);
        expectWord("on");
        text += " " + kind + " " + right + " ON " + expression().text;
    }
}

std::string Parser::fromPrimary(SelectInfo& info) {
    if (acceptSymbol("(")) {
        if (isWord("select")) {
            const std::string sub = statement(false);
            expectSymbol(")");
            acceptWord("as");
            const std::string alias = nameAhead() ? name() : std::string();
            info.fromNames.push_back(lower(alias));
            return "(" + sub + ")" + (alias.empty() ? "" : " " + oracleName(alias));
        }
        const std::string inner = fromItem(info);
        expectSymbol(")");
        return "(" + inner + ")";
    }
    const std::string table = name();
    sources_.push_back(table);
    std::string alias;
    if (acceptWord("as") || nameAhead())
        alias = name();
    if (isWord("in"))
        throw TranslationRefused("別のデータベースのテーブルを読みます: " + table);
    info.fromNames.push_back(lower(alias.empty() ? table : alias));
    // Oracle takes a table's alias without AS.
    return oracleName(table) + (alias.empty() ? "" : " " + oracleName(alias));
}

}  // namespace access

OracleTranslation translateAccessSql(const std::string& accessSql) {
    return access::Parser(accessSql).run();
}

}  // namespace malvorn::convert
