#include "core/name_map.h"

#include <algorithm>

#include "convert/safe_names.h"
#include "core/migrate.h"
#include "core/migrate_report.h"
#include "core/migrate_report_html.h"

namespace malvorn::core {
namespace {

using convert::SchemaStep;

// A name's kind is its step's word; identity and comments give no name.
const char* kindOf(SchemaStep step) {
    return step == SchemaStep::kIdentity || step == SchemaStep::kComment
               ? nullptr
               : convert::schemaStepName(step);
}

const char* kindWords(const std::string& kind) {
    static const std::pair<const char*, const char*> kWords[] = {
        {"table", "表"},          {"childTable", "子表"},    {"column", "列"},
        {"primaryKey", "主キー"}, {"index", "索引"},         {"notNull", "NOT NULL 制約"},
        {"check", "CHECK 制約"},  {"foreignKey", "外部キー"}};
    for (const auto& [key, words] : kWords) {
        if (kind == key)
            return words;
    }
    return "";
}

}  // namespace

std::vector<NameMapping> tableNameMappings(const model::JetTableDef& table,
                                           const std::string& keyName,
                                           const std::string& complexColumn) {
    std::vector<NameMapping> names;
    if (complexColumn.empty())
        names.push_back({"table", table.name, convert::oracleName(table.name)});
    else
        names.push_back({"childTable", complexColumn, convert::oracleName(table.name)});
    for (const auto& field : table.fields)
        names.push_back({"column", field.name, convert::oracleName(field.name)});
    if (table.primaryIndex && !keyName.empty())
        names.push_back({"primaryKey", table.primaryIndex->name, keyName});
    return names;
}

void addSchemaNames(const convert::SchemaPlan& plan, std::vector<TableOutcome>& outcomes) {
    for (const auto& statement : plan.statements) {
        const char* kind = kindOf(statement.step);
        const auto outcome = std::find_if(outcomes.begin(), outcomes.end(), [&](const auto& o) {
            return o.table == statement.table;
        });
        if (kind != nullptr && outcome != outcomes.end())
            outcome->names.push_back({kind, statement.jetName, statement.name});
    }
}

std::string nameMappingsJson(const std::vector<NameMapping>& names) {
    std::string json = "[";
    for (std::size_t i = 0; i < names.size(); ++i)
        json += std::string(i ? ", " : "") + "{\"kind\": " + jsonText(names[i].kind) +
                ", \"access\": " + jsonText(names[i].access) +
                ", \"oracle\": " + jsonText(names[i].oracle) + "}";
    return json + "]";
}

std::string nameMappingsHtml(const std::vector<TableOutcome>& tables) {
    std::string out;
    for (const auto& t : tables) {
        if (t.names.empty())
            continue;
        out += "<h3>" + htmlText(t.table) +
               "</h3>\n<table class=\"names\">\n<tr><th>種類</th><th>Access</th><th>Oracle</th>"
               "</tr>\n";
        for (const auto& name : t.names)
            out += "<tr><td>" + htmlText(kindWords(name.kind)) + "</td><td>" +
                   htmlText(name.access) + "</td><td>" + htmlText(name.oracle) + "</td></tr>\n";
        out += "</table>\n";
    }
    return out.empty() ? out : "<h2>名前の対応 (Access → Oracle)</h2>\n" + out;
}

}  // namespace malvorn::core
