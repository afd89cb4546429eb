#include "core/migrate_schema.h"

#include <algorithm>
#include <set>

#include "core/command.h"
#include "encoding/letter_case.h"

namespace malvorn::core {
namespace {

using convert::SchemaStatement;
using convert::SchemaStep;

TableOutcome* outcomeOf(std::vector<TableOutcome>& outcomes, const std::string& table) {
    const auto found = std::find_if(outcomes.begin(), outcomes.end(),
                                    [&](const TableOutcome& o) { return o.table == table; });
    return found == outcomes.end() ? nullptr : &*found;
}

void counted(const SchemaStatement& statement, TableOutcome& outcome) {
    if (statement.step == SchemaStep::kIndex)
        ++outcome.indexes;
    else if (statement.step == SchemaStep::kForeignKey)
        ++outcome.foreignKeys;
}

std::string what(const SchemaStatement& statement) {
    const std::string step = convert::schemaStepName(statement.step);
    return step + " " + (statement.name.empty() ? statement.jetName : statement.name);
}

// The rows that break the constraint; nullopt when they cannot be counted.
std::optional<std::int64_t> brokenRows(oracle::Session& session, const SchemaStatement& statement) {
    if (statement.brokenRowsSql.empty())
        return std::nullopt;
    try {
        const auto count = session.queryValue(statement.brokenRowsSql);
        return count ? std::optional<std::int64_t>(std::stoll(*count)) : std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

void fail(TableOutcome& outcome, const std::string& text) {
    outcome.ok = false;
    outcome.result =
        outcome.result.empty() || outcome.result == "ok" ? text : outcome.result + "; " + text;
    if (outcome.schema.empty() || outcome.schema == "ok")
        outcome.schema = text;
}

// One statement; false when it failed and the table's outcome says why.
bool runOne(oracle::Session& session, const SchemaStatement& statement, bool allowInvalid,
            TableOutcome& outcome) {
    std::string error;
    try {
        session.execute(statement.sql);
        return true;
    } catch (...) {
        error = reportedError(std::current_exception()).description();
    }
    const auto broken = brokenRows(session, statement);
    if (broken && *broken > 0 && allowInvalid && !statement.keepOldRowsSql.empty()) {
        try {
            session.execute(statement.keepOldRowsSql);
            outcome.notes.push_back(what(statement) + ": 既存の " + std::to_string(*broken) +
                                    " 行が規則を破るため ENABLE NOVALIDATE で作りました "
                                    "(新しい行だけが検査されます)");
            return true;
        } catch (...) {
            error = reportedError(std::current_exception()).description();
        }
    }
    if (broken && *broken > 0)
        fail(outcome, what(statement) + ": 既存の " + std::to_string(*broken) +
                          " 行が規則を破ります (--allow-invalid で新しい行だけを検査) " + error);
    else
        fail(outcome, what(statement) + ": " + error);
    return false;
}

}  // namespace

std::string schemaKey(const SchemaStatement& statement) {
    return std::string(convert::schemaStepName(statement.step)) + "\t" + statement.table + "\t" +
           statement.jetName;
}

void reserveSchemaNames(oracle::Session& session, const std::vector<std::string>& replaced,
                        convert::ConstraintNames& names) {
    const std::set<std::string> dropped(replaced.begin(), replaced.end());
    const auto reserve = [&](const std::string& query) {
        const auto rows = session.query(query);
        while (rows->next()) {
            const auto name = rows->value(0);
            const auto table = rows->value(1);
            if (name && (!table || dropped.count(*table) == 0))
                names.reserve(*name);
        }
    };
    reserve("SELECT TABLE_NAME, TABLE_NAME FROM USER_TABLES");
    try {
        reserve("SELECT INDEX_NAME, TABLE_NAME FROM USER_INDEXES");
    } catch (...) {
        // A server without the view has no index names of its own to keep.
    }
}

void runSchemaSteps(oracle::Session& session, const convert::SchemaPlan& plan, bool allowInvalid,
                    JournalFile* journal, std::vector<TableOutcome>& outcomes) {
    for (auto& outcome : outcomes) {
        if (outcome.ok && outcome.schema.empty())
            outcome.schema = "ok";
    }
    for (const auto& note : plan.notes) {
        if (TableOutcome* outcome = outcomeOf(outcomes, note.table))
            outcome->notes.push_back(note.text);
    }
    std::set<std::string> done;
    if (journal)
        done.insert(journal->journal().schemaDone.begin(), journal->journal().schemaDone.end());
    for (const auto& statement : plan.statements) {
        TableOutcome* outcome = outcomeOf(outcomes, statement.table);
        if (outcome == nullptr)
            continue;
        const std::string key = schemaKey(statement);
        if (done.count(key) != 0 || runOne(session, statement, allowInvalid, *outcome)) {
            counted(statement, *outcome);
            if (journal && done.insert(key).second)
                journal->recordSchema(key);
        }
    }
}

}  // namespace malvorn::core
