#pragma once

// Complex columns (multi-value fields and attachments) under the Oracle-safe
// rules: the parent table keeps the column as the link number its rows hold,
// and each column's values become a child table of their own, one row per
// element with the link. Both are presented as tables of a Jet source, so the
// migration creates, copies, counts and verifies them as any other table.
#include <string>
#include <vector>

#include "jet/complex_columns.h"
#include "jet/jet_source.h"

namespace malvorn::core {

class ComplexTables : public jet::JetSource {
  public:
    // Reads the file's complex-column catalog and names the child tables:
    // "<table>_<field>", made unique against every table of the file (as the
    // server's dictionary compares names) with "_2", "_3", ...
    explicit ComplexTables(jet::JetSource& inner);

    // `tables` with each one's child tables right after it.
    std::vector<std::string> withChildTables(const std::vector<std::string>& tables) const;

    std::vector<std::string> tableNames() override { return inner_.tableNames(); }
    std::vector<std::string> userTableNames() override { return inner_.userTableNames(); }
    // A parent's complex columns come as Long (the link); a child table has
    // the link, named after the parent's column, then VALUE (multi-value) or
    // FILE_NAME, FILE_TYPE, FILE_TIMESTAMP, FILE_URL, FILE_FLAGS, FILE_DATA
    // (attachment, the file's bytes as attached).
    model::JetTableDef readTable(const std::string& name) override;
    std::unique_ptr<jet::JetRowCursor> openRows(const std::string& name) override;
    // A child table is ours: no index or property of the file's describes
    // it, only the relationship of its link to the parent's column, which
    // the parent's schema gets as a unique index (the engine gives each row
    // its own link; rows without elements may have none).
    model::JetTableSchema readSchema(const std::string& name) override;

    // For a child table, the complex column it holds: "<table>.<field>" as
    // the file names them; empty for any other table.
    std::string complexColumnOf(const std::string& name) const {
        const Child* c = child(name);
        return c ? c->column.table + "." + c->column.field : std::string();
    }

  private:
    struct Child {
        std::string name;
        jet::ComplexColumn column;
    };
    const Child* child(const std::string& name) const;
    bool isLink(const std::string& table, const std::string& field) const;
    // The relationship of a child's link to its parent's column.
    model::JetRelationship linkRelationship(const Child& child);
    // The flat table's column names in child order, and the child's names.
    std::vector<std::pair<std::string, std::string>> childColumns(const Child& child,
                                                                  const model::JetTableDef& flat);

    jet::JetSource& inner_;
    std::vector<Child> children_;
};

}  // namespace malvorn::core
