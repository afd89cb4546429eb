#pragma once

// A small shop database for the schema tests: three tables built as Jet
// files, with the schema facts (AutoNumber, Required, a validation rule,
// descriptions, relationships, a descending key column) added to what is read
// of them, so each rule can be varied without building a file; the builder
// writes these facts too (built_schema_migrate_test reads them from a file).
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "jet/jet_source.h"
#include "jet/mdb_database.h"
#include "jet_builder/jet_builder.h"
#include "model/jet_schema.h"

namespace malvorn::testing {

// A source that adds schema facts to those of the file it reads.
class DescribedSource : public jet::JetSource {
  public:
    using Extra = std::function<void(model::JetTableSchema&)>;
    DescribedSource(std::unique_ptr<jet::JetSource> inner, std::map<std::string, Extra> extra)
        : inner_(std::move(inner)), extra_(std::move(extra)) {}
    std::vector<std::string> tableNames() override { return inner_->tableNames(); }
    std::vector<std::string> userTableNames() override { return inner_->userTableNames(); }
    model::JetTableDef readTable(const std::string& name) override {
        return inner_->readTable(name);
    }
    std::unique_ptr<jet::JetRowCursor> openRows(const std::string& name) override {
        return inner_->openRows(name);
    }
    model::JetTableSchema readSchema(const std::string& name) override {
        model::JetTableSchema schema = inner_->readSchema(name);
        if (const auto it = extra_.find(name); it != extra_.end())
            it->second(schema);
        return schema;
    }
    std::vector<model::StoredQueryRows> queryCatalog() override { return inner_->queryCatalog(); }

  private:
    std::unique_ptr<jet::JetSource> inner_;
    std::map<std::string, Extra> extra_;
};

inline model::JetFieldSchema* field(model::JetTableSchema& schema, const std::string& name) {
    for (auto& f : schema.fields) {
        if (f.name == name)
            return &f;
    }
    throw std::runtime_error("no field " + name);
}

inline std::vector<JetBuildTable> shop() {
    JetBuildTable customers{"Kunden",
                            {{.name = "ID", .type = 4},
                             {.name = "Name", .type = 10, .size = 40},
                             {.name = "Stadt", .type = 10, .size = 30}},
                            {},
                            {{std::int64_t{1}, "Ada", "Bonn"}, {std::int64_t{2}, "Bo", "Köln"}}};
    customers.indexes = {{.name = "PrimaryKey", .columns = {"ID"}, .primary = true},
                         {.name = "Name", .columns = {"Name"}, .unique = true},
                         {.name = "StadtName", .columns = {"Stadt", "Name"}},
                         {.name = "SameAsKey", .columns = {"ID"}, .unique = true}};
    JetBuildTable sales{
        "Umsätze",
        {{.name = "Nr", .type = 4}, {.name = "KundeID", .type = 4}, {.name = "Betrag", .type = 5}},
        {},
        {{std::int64_t{10}, std::int64_t{1}, std::int64_t{12300}},
         {std::int64_t{11}, std::int64_t{2}, std::int64_t{500}}}};
    sales.indexes = {{.name = "PrimaryKey", .columns = {"Nr"}, .primary = true},
                     {.name = "KundeBetrag", .columns = {"KundeID", "Betrag"}}};
    JetBuildTable details{"Order Details",
                          {{.name = "Nr", .type = 4}, {.name = "Pos", .type = 3}},
                          {},
                          {{std::int64_t{10}, std::int64_t{1}}}};
    details.indexes = {{.name = "PrimaryKey", .columns = {"Nr", "Pos"}, .primary = true}};
    return {customers, sales, details};
}

inline std::map<std::string, DescribedSource::Extra> shopSchema() {
    const model::JetRelationship sold{.name = "KundenUmsätze",
                                      .table = "Umsätze",
                                      .columns = {"KundeID"},
                                      .referencedTable = "Kunden",
                                      .referencedColumns = {"ID"},
                                      .attributes = model::kRelationCascadeDeletes};
    const model::JetRelationship lines{.name = "UmsätzeOrder Details",
                                       .table = "Order Details",
                                       .columns = {"Nr"},
                                       .referencedTable = "Umsätze",
                                       .referencedColumns = {"Nr"}};
    return {
        {"Kunden",
         [=](model::JetTableSchema& s) {
             field(s, "ID")->autoIncrement = true;
             field(s, "Name")->required = true;
             field(s, "Stadt")->description = "Wohnort & Sitz";
             s.description = "Die Kunden";
             s.relationships = {sold};
         }},
        {"Umsätze",
         [=](model::JetTableSchema& s) {
             field(s, "Nr")->autoIncrement = true;
             field(s, "Betrag")->validationRule = ">=0";
             for (auto& index : s.indexes) {
                 if (index.name == "KundeBetrag")
                     index.columns.at(1).descending = true;
             }
             s.relationships = {sold, lines};
         }},
        {"Order Details", [=](model::JetTableSchema& s) { s.relationships = {lines}; }},
    };
}

// Opens a Jet file in this process with `extra` added to its schema.
inline std::function<std::unique_ptr<jet::JetSource>(const std::string&)> describedOpener(
    std::map<std::string, DescribedSource::Extra> extra) {
    return [extra](const std::string& path) -> std::unique_ptr<jet::JetSource> {
        return std::make_unique<DescribedSource>(jet::openJetFileHere(path), extra);
    };
}

}  // namespace malvorn::testing
