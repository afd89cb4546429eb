#include "convert/access_sql_text.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace malvorn::convert {
namespace {

using model::CrosstabRole;
using model::JoinKind;
using model::QueryKind;

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string parameterType(std::int64_t type) {
    static const std::map<std::int64_t, std::string> names = {
        {0, "Value"},    {1, "Bit"},      {2, "Byte"},       {3, "Short"},
        {4, "Long"},     {5, "Currency"}, {6, "IEEESingle"}, {7, "IEEEDouble"},
        {8, "DateTime"}, {9, "Binary"},   {10, "Text"},      {11, "LongBinary"},
        {12, "Memo"},    {15, "Guid"},    {16, "BigBinary"}, {20, "Decimal"}};
    const auto it = names.find(type);
    return it == names.end() ? "Value" : it->second;
}

// A parameter that names a form's control keeps its parts: [Forms]![F]![C].
std::string parameterName(const std::string& name) {
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bang = name.find('!', start);
        const std::string part =
            name.substr(start, bang == std::string::npos ? bang : bang - start);
        out += "[" + part + "]";
        if (bang == std::string::npos)
            return out;
        out += "!";
        start = bang + 1;
    }
}

std::string parametersLine(const model::StoredQuery& query) {
    if (query.parameters.empty())
        return std::string();
    std::string line = "PARAMETERS ";
    for (std::size_t i = 0; i < query.parameters.size(); ++i) {
        const auto& parameter = query.parameters[i];
        line +=
            (i ? ", " : "") + parameterName(parameter.name) + " " + parameterType(parameter.type);
    }
    return line + ";\n";
}

std::string outputText(const model::QueryOutput& output) {
    return output.alias.empty() ? output.expression
                                : output.expression + " AS " + accessName(output.alias);
}

std::string selectHead(const model::StoredQuery& query) {
    std::string head = "SELECT ";
    if (query.flags & model::kQueryDistinctRow)
        head += "DISTINCTROW ";
    else if (query.flags & model::kQueryDistinct)
        head += "DISTINCT ";
    if (query.flags & (model::kQueryTop | model::kQueryTopPercent)) {
        head += "TOP " + query.topCount + " ";
        if (query.flags & model::kQueryTopPercent)
            head += "PERCENT ";
    }
    return head;
}

// The select list; `role` keeps only a crosstab's row headings.
std::string selectList(const model::StoredQuery& query, std::optional<CrosstabRole> role) {
    std::vector<std::string> items;
    if (query.flags & model::kQuerySelectStar)
        items.emplace_back("*");
    for (const auto& output : query.outputs)
        if (!role || output.flag == static_cast<std::int64_t>(*role))
            items.push_back(outputText(output));
    std::string list;
    for (std::size_t i = 0; i < items.size(); ++i)
        list += (i ? ", " : "") + items[i];
    return list;
}

// The FROM list as a forest: leaves are inputs, inner nodes joins.
struct FromNode {
    std::string leaf{};
    int left = -1;
    int right = -1;
    JoinKind kind = JoinKind::kInner;
    std::vector<std::string> conditions{};
};

std::string nodeText(const std::vector<FromNode>& nodes, int at, bool nested) {
    const FromNode& node = nodes[static_cast<std::size_t>(at)];
    if (node.left < 0)
        return node.leaf;
    static const char* const kinds[] = {"", " INNER JOIN ", " LEFT JOIN ", " RIGHT JOIN "};
    std::string on;
    if (node.conditions.size() == 1) {
        on = node.conditions.front();
    } else {
        for (std::size_t i = 0; i < node.conditions.size(); ++i)
            on += (i ? " AND (" : "(") + node.conditions[i] + ")";
    }
    const std::string text = nodeText(nodes, node.left, true) + kinds[static_cast<int>(node.kind)] +
                             nodeText(nodes, node.right, true) + " ON " + on;
    return nested ? "(" + text + ")" : text;
}

std::string inputText(const model::QueryInput& input) {
    return input.alias.empty() ? accessName(input.table)
                               : accessName(input.table) + " AS " + accessName(input.alias);
}

}  // namespace

std::string queryKindName(const model::StoredQuery& query) {
    switch (query.kind) {
        case QueryKind::kSelect:
            return "選択クエリ";
        case QueryKind::kMakeTable:
            return "テーブル作成クエリ";
        case QueryKind::kAppend:
            return "追加クエリ";
        case QueryKind::kUpdate:
            return "更新クエリ";
        case QueryKind::kDelete:
            return "削除クエリ";
        case QueryKind::kCrosstab:
            return "クロス集計クエリ";
        case QueryKind::kDataDefinition:
            return "データ定義クエリ";
        case QueryKind::kPassThrough:
            return "パススルークエリ";
        case QueryKind::kUnion:
            return "ユニオンクエリ";
        case QueryKind::kUnknown:
            break;
    }
    return "種類 " + std::to_string(query.kindNumber) + " のクエリ";
}

std::string accessName(const std::string& name) {
    const bool plain = !name.empty() && !(name[0] >= '0' && name[0] <= '9') &&
                       std::all_of(name.begin(), name.end(), [](char c) {
                           const auto u = static_cast<unsigned char>(c);
                           return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                                  (u >= '0' && u <= '9') || u == '_';
                       });
    return plain ? name : "[" + name + "]";
}

std::string accessFromClause(const model::StoredQuery& query) {
    std::vector<FromNode> nodes;
    std::vector<int> roots;                 // in the order of the inputs
    std::map<std::string, int> nodeOfName;  // an input's name (its alias, if any): its root
    for (const auto& input : query.inputs) {
        nodes.push_back({inputText(input)});
        const int at = static_cast<int>(nodes.size()) - 1;
        roots.push_back(at);
        nodeOfName[lowerAscii(input.alias.empty() ? input.table : input.alias)] = at;
    }
    const auto rootOf = [&](const std::string& name) {
        const auto it = nodeOfName.find(lowerAscii(name));
        return it == nodeOfName.end() ? -1 : it->second;
    };
    for (const auto& join : query.joins) {
        const int left = rootOf(join.left);
        const int right = rootOf(join.right);
        if (left < 0 || right < 0)
            continue;  // a side that is no input: the text shows the input list as stored
        if (left == right) {
            nodes[static_cast<std::size_t>(left)].conditions.push_back(join.condition);
            continue;
        }
        nodes.push_back({std::string(), left, right, join.kind, {join.condition}});
        const int joined = static_cast<int>(nodes.size()) - 1;
        for (auto& [name, root] : nodeOfName)
            if (root == left || root == right)
                root = joined;
        // The joined group takes the place of its left side's first input.
        std::replace(roots.begin(), roots.end(), left, joined);
        roots.erase(std::remove(roots.begin(), roots.end(), right), roots.end());
    }
    std::string from;
    std::vector<int> seen;
    for (const int root : roots) {
        if (std::find(seen.begin(), seen.end(), root) != seen.end())
            continue;
        seen.push_back(root);
        from += (from.empty() ? "" : ", ") + nodeText(nodes, root, false);
    }
    if (!query.externalDatabase.empty())
        from += " IN '" + query.externalDatabase + "'";
    return from;
}

namespace {

std::string tail(const model::StoredQuery& query, bool crosstab) {
    std::string text;
    if (!query.where.empty())
        text += "\nWHERE " + query.where;
    std::vector<std::string> groups;
    for (const auto& group : query.groupBy)
        if (!crosstab || group.flag == static_cast<std::int64_t>(CrosstabRole::kRowHeading))
            groups.push_back(group.expression);
    for (std::size_t i = 0; i < groups.size(); ++i)
        text += (i ? ", " : "\nGROUP BY ") + groups[i];
    if (!query.having.empty())
        text += "\nHAVING " + query.having;
    if (crosstab) {
        for (const auto& output : query.outputs)
            if (output.flag == static_cast<std::int64_t>(CrosstabRole::kColumnHeading))
                text += "\nPIVOT " + output.expression;
    }
    for (std::size_t i = 0; i < query.orderBy.size(); ++i)
        text += (i ? ", " : "\nORDER BY ") + query.orderBy[i].expression +
                (query.orderBy[i].descending ? " DESC" : "");
    if (query.flags & model::kQueryOwnerAccess)
        text += "\nWITH OWNERACCESS OPTION";
    return text + ";";
}

std::string unionText(const model::StoredQuery& query) {
    const bool distinct = (query.flags & model::kQueryDistinct) != 0;
    std::string text;
    for (const auto& input : query.inputs) {
        // The engine keeps a part's line breaks as CR LF; the text is written with LF.
        std::string part;
        for (std::size_t i = 0; i < input.unionPart.size(); ++i)
            if (!(input.unionPart[i] == '\r' && i + 1 < input.unionPart.size() &&
                  input.unionPart[i + 1] == '\n'))
                part += input.unionPart[i];
        while (!part.empty() && (part.back() == '\n' || part.back() == '\r' || part.back() == ' '))
            part.pop_back();
        text += (text.empty() ? "" : distinct ? "\nUNION " : "\nUNION ALL ") + part;
    }
    for (std::size_t i = 0; i < query.orderBy.size(); ++i)
        text += (i ? ", " : "\nORDER BY ") + query.orderBy[i].expression +
                (query.orderBy[i].descending ? " DESC" : "");
    return text + ";";
}

}  // namespace

std::optional<std::string> accessSqlText(const model::StoredQuery& query) {
    switch (query.kind) {
        case QueryKind::kSelect:
            return parametersLine(query) + selectHead(query) + selectList(query, std::nullopt) +
                   "\nFROM " + accessFromClause(query) + tail(query, false);
        case QueryKind::kUnion:
            return parametersLine(query) + unionText(query);
        case QueryKind::kCrosstab: {
            std::string value;
            for (const auto& output : query.outputs)
                if (output.flag == static_cast<std::int64_t>(CrosstabRole::kValue))
                    value = outputText(output);
            return parametersLine(query) + "TRANSFORM " + value + "\n" + selectHead(query) +
                   selectList(query, CrosstabRole::kRowHeading) + "\nFROM " +
                   accessFromClause(query) + tail(query, true);
        }
        default:
            return std::nullopt;
    }
}

}  // namespace malvorn::convert
