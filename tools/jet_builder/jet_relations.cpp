#include "jet_builder/jet_relations.h"

#include <stdexcept>

#include "model/jet_table.h"

namespace malvorn::testing {

std::vector<JetBuildTable> withRelationships(
    std::vector<JetBuildTable> tables, const std::vector<JetBuildRelationship>& relationships) {
    JetBuildTable catalog;
    catalog.name = "MSysRelationships";
    catalog.catalogFlags = 0x80000002u;
    // The engine's columns in its order (nwind.mdb's, Jet 3 and Jet 4 alike).
    const auto text = [](const char* name) {
        return JetBuildField{.name = name, .type = model::kJetText, .size = 255};
    };
    const auto number = [](const char* name) {
        return JetBuildField{.name = name, .type = model::kJetLong};
    };
    catalog.fields = {text("szRelationship"),     number("grbit"),           number("ccolumn"),
                      number("icolumn"),          text("szObject"),          text("szColumn"),
                      text("szReferencedObject"), text("szReferencedColumn")};
    for (const JetBuildRelationship& r : relationships) {
        if (r.columns.empty() || r.columns.size() != r.referencedColumns.size())
            throw std::runtime_error("relationship " + r.name + ": column lists do not pair up");
        const auto count = static_cast<std::int64_t>(r.columns.size());
        for (std::size_t i = 0; i < r.columns.size(); ++i) {
            // grbit is a signed Long: the high bits are stored as a negative.
            catalog.rows.push_back({r.name, std::int64_t{static_cast<std::int32_t>(r.attributes)},
                                    count, static_cast<std::int64_t>(i), r.table, r.columns[i],
                                    r.referencedTable, r.referencedColumns[i]});
        }
    }
    tables.push_back(std::move(catalog));
    return tables;
}

}  // namespace malvorn::testing
