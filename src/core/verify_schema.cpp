#include "core/verify_schema.h"

#include <algorithm>
#include <map>
#include <set>

#include "convert/safe_names.h"
#include "core/command.h"
#include "encoding/ascii.h"

namespace malvorn::core {
namespace {

using convert::dictionaryName;
using convert::SchemaStatement;
using convert::SchemaStep;

struct IndexEntry {
    std::string table;
    std::string uniqueness;
    std::vector<std::pair<std::string, std::string>> columns;  // name, ASC or DESC
};

struct ConstraintEntry {
    std::string type;
    std::string table;
    std::string referenced;  // R: the key it refers to
    std::string deleteRule;
    std::vector<std::string> columns;
};

// What the dictionary holds of the user's schema, read once.
struct Dictionary {
    std::map<std::string, IndexEntry> indexes;
    std::map<std::string, ConstraintEntry> constraints;
    std::set<std::pair<std::string, std::string>> identity;
    std::map<std::pair<std::string, std::string>, std::string> comments;  // column "" = table

    explicit Dictionary(oracle::Session& session) {
        each(session, "SELECT INDEX_NAME, TABLE_NAME, UNIQUENESS FROM USER_INDEXES",
             [&](const std::vector<std::string>& r) {
                 indexes[r[0]] = {r[1], r[2], {}};
             });
        each(session,
             "SELECT INDEX_NAME, COLUMN_NAME, DESCEND FROM USER_IND_COLUMNS ORDER BY INDEX_NAME, "
             "COLUMN_POSITION",
             [&](const std::vector<std::string>& r) {
                 indexes[r[0]].columns.emplace_back(r[1], r[2]);
             });
        each(session,
             "SELECT CONSTRAINT_NAME, CONSTRAINT_TYPE, TABLE_NAME, R_CONSTRAINT_NAME, DELETE_RULE "
             "FROM USER_CONSTRAINTS",
             [&](const std::vector<std::string>& r) {
                 constraints[r[0]] = {r[1], r[2], r[3], r[4], {}};
             });
        each(session,
             "SELECT CONSTRAINT_NAME, COLUMN_NAME FROM USER_CONS_COLUMNS WHERE POSITION IS NOT "
             "NULL ORDER BY CONSTRAINT_NAME, POSITION",
             [&](const std::vector<std::string>& r) { constraints[r[0]].columns.push_back(r[1]); });
        each(session, "SELECT TABLE_NAME, COLUMN_NAME FROM USER_TAB_IDENTITY_COLS",
             [&](const std::vector<std::string>& r) { identity.emplace(r[0], r[1]); });
        each(session,
             "SELECT TABLE_NAME, COMMENTS FROM USER_TAB_COMMENTS WHERE COMMENTS IS NOT NULL",
             [&](const std::vector<std::string>& r) {
                 comments[{r[0], ""}] = r[1];
             });
        each(session,
             "SELECT TABLE_NAME, COLUMN_NAME, COMMENTS FROM USER_COL_COMMENTS WHERE COMMENTS IS "
             "NOT NULL",
             [&](const std::vector<std::string>& r) {
                 comments[{r[0], r[1]}] = r[2];
             });
    }

    template <typename Row>
    static void each(oracle::Session& session, const std::string& query, Row row) {
        const auto rows = session.query(query);
        while (rows->next()) {
            std::vector<std::string> values;
            for (std::size_t i = 0; i < rows->columnNames().size(); ++i)
                values.push_back(rows->value(i).value_or(""));
            row(values);
        }
    }
};

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::vector<std::string> dictionaryNames(const std::vector<std::string>& jetNames) {
    std::vector<std::string> names;
    for (const auto& name : jetNames)
        names.push_back(dictionaryName(name));
    return names;
}

// The checks of one table against the dictionary; each difference in words.
class TableCheck {
  public:
    TableCheck(const Dictionary& dictionary, const convert::SchemaTable& table)
        : d_(dictionary), t_(table), name_(dictionaryName(table.definition.name)) {}

    std::vector<std::string> differences;

    void key() {
        if (!t_.definition.primaryIndex)
            return;
        const auto wanted = dictionaryNames(t_.definition.primaryIndex->fieldNames);
        const bool there = std::any_of(d_.constraints.begin(), d_.constraints.end(), [&](auto& c) {
            return c.second.type == "P" && c.second.table == name_ && c.second.columns == wanted;
        });
        if (!there)
            differences.push_back("主キー (" + joined(wanted) + ") がありません");
    }

    void statement(const SchemaStatement& s) {
        switch (s.step) {
            case SchemaStep::kIdentity:
                if (!d_.identity.count({name_, dictionaryName(s.jetName)}))
                    differences.push_back("列 " + s.jetName + " が識別列ではありません");
                return;
            case SchemaStep::kNotNull:
            case SchemaStep::kCheck:
                constraint(s, "C", {});
                return;
            case SchemaStep::kIndex:
                index(s);
                return;
            case SchemaStep::kForeignKey:
                foreignKey(s);
                return;
            case SchemaStep::kComment:
                comment(s);
                return;
        }
    }

  private:
    const ConstraintEntry* constraint(const SchemaStatement& s, const std::string& type,
                                      const std::vector<std::string>& columns) {
        const auto found = d_.constraints.find(dictionaryName(s.name));
        if (found == d_.constraints.end() || found->second.table != name_ ||
            found->second.type != type) {
            differences.push_back("制約 " + s.name + " がありません");
            return nullptr;
        }
        if (!columns.empty() && found->second.columns != columns) {
            differences.push_back("制約 " + s.name + " の列が (" + joined(columns) +
                                  ") ではなく (" + joined(found->second.columns) + ") です");
            return nullptr;
        }
        return &found->second;
    }

    void index(const SchemaStatement& s) {
        const auto jet = std::find_if(t_.schema.indexes.begin(), t_.schema.indexes.end(),
                                      [&](const auto& i) { return i.name == s.jetName; });
        const auto found = d_.indexes.find(dictionaryName(s.name));
        if (found == d_.indexes.end() || found->second.table != name_) {
            differences.push_back("索引 " + s.name + " がありません");
            return;
        }
        if (jet == t_.schema.indexes.end())
            return;
        const std::string unique = jet->unique ? "UNIQUE" : "NONUNIQUE";
        if (found->second.uniqueness != unique)
            differences.push_back("索引 " + s.name + " が " + unique + " ではなく " +
                                  found->second.uniqueness + " です");
        std::vector<std::string> wanted;
        std::vector<std::string> held;
        for (const auto& column : jet->columns)
            wanted.push_back(column.descending ? "DESC" : dictionaryName(column.field));
        // A descending column is an expression Oracle names itself (SYS_NC...).
        for (const auto& [column, descend] : found->second.columns)
            held.push_back(descend == "DESC" ? "DESC" : column);
        if (wanted != held)
            differences.push_back("索引 " + s.name + " の列が (" + joined(wanted) + ") ではなく (" +
                                  joined(held) + ") です");
    }

    void foreignKey(const SchemaStatement& s) {
        const auto& all = t_.schema.relationships;
        const auto jet = std::find_if(all.begin(), all.end(), [&](const auto& r) {
            return r.name == s.jetName &&
                   encoding::equalsIgnoringAsciiCase(r.table, t_.definition.name);
        });
        if (jet == all.end()) {
            constraint(s, "R", {});
            return;
        }
        const ConstraintEntry* fk = constraint(s, "R", dictionaryNames(jet->columns));
        if (fk == nullptr)
            return;
        const auto key = d_.constraints.find(fk->referenced);
        const std::string parent = dictionaryName(jet->referencedTable);
        if (key == d_.constraints.end() || key->second.table != parent ||
            key->second.columns != dictionaryNames(jet->referencedColumns))
            differences.push_back("外部キー " + s.name + " が " + parent + " (" +
                                  joined(dictionaryNames(jet->referencedColumns)) +
                                  ") を参照していません");
        const std::string rule = jet->cascadeDeletes() ? "CASCADE" : "NO ACTION";
        if (fk->deleteRule != rule)
            differences.push_back("外部キー " + s.name + " の削除規則が " + rule + " ではなく " +
                                  fk->deleteRule + " です");
    }

    void comment(const SchemaStatement& s) {
        const bool ofTable = s.sql.rfind("COMMENT ON TABLE ", 0) == 0;
        std::string wanted = t_.schema.description;
        if (!ofTable) {
            const auto field = std::find_if(t_.schema.fields.begin(), t_.schema.fields.end(),
                                            [&](const auto& f) { return f.name == s.jetName; });
            wanted = field == t_.schema.fields.end() ? std::string() : field->description;
        }
        const auto found = d_.comments.find({name_, ofTable ? "" : dictionaryName(s.jetName)});
        const std::string subject = ofTable ? "表の説明" : "列 " + s.jetName + " の説明";
        if (found == d_.comments.end())
            differences.push_back(subject + "がありません");
        else if (found->second != wanted)
            differences.push_back(subject + "が「" + wanted + "」ではなく「" + found->second +
                                  "」です");
    }

    const Dictionary& d_;
    const convert::SchemaTable& t_;
    std::string name_;
};

}  // namespace

void verifySchema(oracle::Session& session, const std::vector<convert::SchemaTable>& tables,
                  const convert::SchemaPlan& plan, std::vector<TableOutcome>& outcomes) {
    std::optional<Dictionary> dictionary;
    std::string unreadable;
    try {
        dictionary.emplace(session);
    } catch (...) {
        unreadable =
            "スキーマの辞書を読めません: " + reportedError(std::current_exception()).description();
    }
    for (const auto& table : tables) {
        const auto outcome = std::find_if(outcomes.begin(), outcomes.end(), [&](const auto& o) {
            return o.table == table.definition.name;
        });
        if (outcome == outcomes.end() || !outcome->ok || outcome->schema != "ok")
            continue;
        std::vector<std::string> differences;
        if (dictionary) {
            TableCheck check(*dictionary, table);
            check.key();
            for (const auto& statement : plan.statements) {
                if (statement.table == table.definition.name)
                    check.statement(statement);
            }
            differences = std::move(check.differences);
        } else {
            differences.push_back(unreadable);
        }
        if (differences.empty())
            continue;
        std::string text;
        for (const auto& difference : differences)
            text += (text.empty() ? "" : "; ") + difference;
        outcome->ok = false;
        outcome->schema = text;
        outcome->result = outcome->result == "ok" ? text : outcome->result + "; " + text;
    }
}

std::string schemaSummary(const std::vector<TableOutcome>& tables) {
    std::string text;
    for (const auto& t : tables) {
        if (t.schema.empty())
            continue;
        text += "  " + t.table + ": 索引 " + std::to_string(t.indexes) + "、外部キー " +
                std::to_string(t.foreignKeys) + "、" + t.schema + "\n";
    }
    return text.empty() ? text : "スキーマ:\n" + text;
}

}  // namespace malvorn::core
