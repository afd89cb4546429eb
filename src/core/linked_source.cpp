#include "core/linked_source.h"

#include "jet/jet_error.h"

namespace malvorn::core {

LinkedSource::LinkedSource(jet::JetSource& front, std::string frontPath, JetOpener open,
                           bool follow)
    : front_(front),
      frontPath_(std::move(frontPath)),
      open_(std::move(open)),
      follow_(follow),
      links_(jet::readLinkedTables(front)) {}

std::vector<std::string> LinkedSource::userTableNames() {
    std::vector<std::string> names = front_.userTableNames();
    if (!follow_)
        return names;
    for (const auto& link : links_) {
        if (!link.odbc)
            names.push_back(link.name);
    }
    return names;
}

const jet::LinkedTable* LinkedSource::followed(const std::string& name) const {
    if (!follow_)
        return nullptr;
    for (const auto& link : links_) {
        if (!link.odbc && link.name == name)
            return &link;
    }
    return nullptr;
}

jet::JetSource& LinkedSource::backEnd(const jet::LinkedTable& link) {
    const auto path = jet::findBackEnd(link, frontPath_);
    if (!path)
        throw jet::makeJetError(
            jet::JetErrorKind::kNoSuchTable, link.name,
            "リンク先のファイル " + link.database +
                " が、その場所にもフロントエンドと同じフォルダーにもありません");
    auto& source = opened_[*path];
    if (!source)
        source = open_(*path);
    return *source;
}

model::JetTableDef LinkedSource::readTable(const std::string& name) {
    const jet::LinkedTable* link = followed(name);
    if (!link)
        return front_.readTable(name);
    model::JetTableDef table = backEnd(*link).readTable(link->foreignName);
    table.name = name;
    return table;
}

std::unique_ptr<jet::JetRowCursor> LinkedSource::openRows(const std::string& name) {
    const jet::LinkedTable* link = followed(name);
    return link ? backEnd(*link).openRows(link->foreignName) : front_.openRows(name);
}

std::unique_ptr<jet::JetRowCursor> LinkedSource::openFlatRows(const std::string& name) {
    return front_.openFlatRows(name);
}

model::JetTableSchema LinkedSource::readSchema(const std::string& name) {
    const jet::LinkedTable* link = followed(name);
    if (!link)
        return front_.readSchema(name);
    model::JetTableSchema schema = backEnd(*link).readSchema(link->foreignName);
    schema.name = name;
    // The back end's relationships name its own tables, which this run
    // knows by other names or not at all: they are left to the back end.
    schema.relationships.clear();
    return schema;
}

std::string linksSummary(const std::vector<jet::LinkedTable>& links, bool followed) {
    std::string out;
    for (const auto& link : links) {
        out += "リンク " + link.name + " → " + (link.odbc ? link.connect : link.database) + " の " +
               link.foreignName;
        if (link.odbc)
            out += ": ODBC のリンクは移行しません\n";
        else
            out += followed ? ": リンク先から移行 (結果は上の表)\n"
                            : ": 移行しません (--follow-links でリンク先から移行します)\n";
    }
    return out;
}

}  // namespace malvorn::core
