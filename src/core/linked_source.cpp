#include "core/linked_source.h"

#include "core/migrate_report.h"
#include "core/migrate_report_html.h"
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

const char* linkStatusName(LinkStatus status) {
    switch (status) {
        case LinkStatus::kFollowed:
            return "followed";
        case LinkStatus::kNotFollowed:
            return "not followed";
        case LinkStatus::kBackEndMissing:
            return "back end not found";
        case LinkStatus::kOdbc:
            return "odbc";
    }
    return "not followed";
}

std::vector<LinkOutcome> LinkedSource::outcomes() const {
    std::vector<LinkOutcome> out;
    for (const auto& link : links_) {
        LinkOutcome& o = out.emplace_back(LinkOutcome{link});
        if (link.odbc) {
            o.status = LinkStatus::kOdbc;
        } else if (!follow_) {
            o.status = LinkStatus::kNotFollowed;
        } else if (const auto path = jet::findBackEnd(link, frontPath_)) {
            o.status = LinkStatus::kFollowed;
            o.backEnd = *path;
        } else {
            o.status = LinkStatus::kBackEndMissing;
        }
    }
    return out;
}

namespace {

std::string pointsTo(const jet::LinkedTable& link) {
    return link.odbc ? link.connect : link.database;
}

std::string statusWords(const LinkOutcome& o) {
    switch (o.status) {
        case LinkStatus::kFollowed:
            return "リンク先 " + o.backEnd + " から読みました (結果はその表の行に)";
        case LinkStatus::kNotFollowed:
            return "移行しません (--follow-links でリンク先から移行します)";
        case LinkStatus::kBackEndMissing:
            return "リンク先のファイルが見つからず、移行できません";
        case LinkStatus::kOdbc:
            return "ODBC のリンクは移行しません";
    }
    return "";
}

}  // namespace

std::string linksSummary(const std::vector<LinkOutcome>& links) {
    std::string out;
    for (const auto& o : links)
        out += "リンク " + o.link.name + " → " + pointsTo(o.link) + " の " + o.link.foreignName +
               ": " + statusWords(o) + "\n";
    return out;
}

std::string linksJson(const std::vector<LinkOutcome>& links) {
    std::string out = "[";
    for (std::size_t i = 0; i < links.size(); ++i) {
        const LinkOutcome& o = links[i];
        out += (i ? ",\n  " : "\n  ") + std::string("{\"link\": ") + jsonText(o.link.name) +
               (o.link.odbc ? ", \"connect\": " : ", \"database\": ") + jsonText(pointsTo(o.link)) +
               ", \"foreignName\": " + jsonText(o.link.foreignName) +
               ", \"status\": " + jsonText(linkStatusName(o.status));
        if (!o.backEnd.empty())
            out += ", \"backEnd\": " + jsonText(o.backEnd);
        out += "}";
    }
    return out + (links.empty() ? "]" : "\n]");
}

std::string linksHtml(const std::vector<LinkOutcome>& links) {
    if (links.empty())
        return "";
    std::string out =
        "<h2>リンクテーブル</h2>\n<table class=\"links\">\n<tr><th>リンク</th>"
        "<th>リンク先</th><th>テーブル</th><th>結果</th></tr>\n";
    for (const auto& o : links)
        out += "<tr><td>" + htmlText(o.link.name) + "</td><td>" + htmlText(pointsTo(o.link)) +
               "</td><td>" + htmlText(o.link.foreignName) + "</td><td>" + htmlText(statusWords(o)) +
               "</td></tr>\n";
    return out + "</table>\n";
}

}  // namespace malvorn::core
