#include "core/migrate_report.h"

#include <cstdio>

#include "convert/script_text.h"
#include "core/linked_source.h"
#include "core/verify_schema.h"
#include "encoding/display_width.h"
#include "encoding/utf8.h"

namespace malvorn::core {
namespace {

// At most `width` columns; a cut text ends in "...".
std::string fitted(const std::string& text, std::size_t width) {
    if (displayWidth(text) <= width)
        return text;
    std::string out;
    std::size_t used = 0;
    for (const char32_t c : encoding::decodeUtf8(text)) {
        const auto w = static_cast<std::size_t>(encoding::displayWidth(c));
        if (used + w > width - 3)
            break;
        used += w;
        encoding::appendUtf8(out, c);
    }
    return out + "...";
}

std::string padded(const std::string& text, std::size_t width, bool right = false) {
    const std::size_t w = displayWidth(text);
    const std::string spaces(w < width ? width - w : 0, ' ');
    return right ? spaces + text : text + spaces;
}

}  // namespace

std::string jsonText(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (b < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

namespace {

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", seconds);
    return text;
}

}  // namespace

std::string verifiedByLabel(const TableOutcome& table) {
    if (table.verifiedBy == verifyMethodName(VerifyMethod::kKeyOrder))
        return "キー順";
    if (table.verifiedBy == verifyMethodName(VerifyMethod::kChecksum))
        return "チェックサム";
    return "-";
}

std::string serverLabel(const MigrateReport& report) {
    if (report.serverRelease.empty() && report.serverCharacterSet.empty())
        return {};
    std::string label =
        "、サーバー Oracle " + (report.serverRelease.empty() ? "(版不明)" : report.serverRelease);
    if (!report.serverCharacterSet.empty())
        label += " (" + report.serverCharacterSet + ")";
    return label;
}

std::size_t displayWidth(const std::string& text) {
    return encoding::displayWidth(encoding::decodeUtf8(text));
}

std::string migrateSummary(const MigrateReport& report, bool verified, std::size_t resultWidth) {
    std::size_t nameWidth = displayWidth("テーブル");
    for (const auto& t : report.tables)
        nameWidth = std::max(nameWidth, displayWidth(t.table));
    const auto line = [&](const std::string& name, const std::string& columns,
                          const std::string& read, const std::string& server,
                          const std::string& checked, const std::string& how,
                          const std::string& result) {
        std::string text = padded(name, nameWidth) + "  " + padded(columns, 4, true) + "  " +
                           padded(read, 10, true) + "  " + padded(server, 10, true);
        if (verified)
            text += "  " + padded(checked, 10, true) + "  " + padded(how, 12);
        return text + "  " + fitted(result, resultWidth) + "\n";
    };
    std::string out = line("テーブル", "列", "読んだ行", "サーバー", "検証済み", "照合", "結果");
    std::int64_t rows = 0;
    std::size_t ok = 0;
    for (const auto& t : report.tables) {
        out += line(t.table, std::to_string(t.columns), convert::formatGrouped(t.rowsRead),
                    t.rowsOnServer ? convert::formatGrouped(*t.rowsOnServer) : "-",
                    convert::formatGrouped(t.rowsVerified), verifiedByLabel(t), t.result);
        rows += t.rowsRead;
        ok += t.ok ? 1 : 0;
    }
    for (const auto& t : report.tables) {
        for (const auto& note : t.notes)
            out += t.table + ": " + note + "\n";
    }
    for (const auto& note : report.notes)
        out += note + "\n";
    return out + std::to_string(report.tables.size()) + " 表中 " + std::to_string(ok) + " 表 ok、" +
           convert::formatGrouped(rows) + " 行、" + secondsText(report.seconds) + " 秒" +
           serverLabel(report) + "\n" + schemaSummary(report.tables) + linksSummary(report.links) +
           viewsSummary(report.views);
}

std::string migrateReportJson(const MigrateReport& report) {
    std::string out = "{\"database\": " + jsonText(report.database) +
                      ", \"seconds\": " + secondsText(report.seconds) +
                      ", \"interrupted\": " + (report.interrupted ? "true" : "false") +
                      ", \"tables\": [";
    for (std::size_t i = 0; i < report.tables.size(); ++i) {
        const TableOutcome& t = report.tables[i];
        out += (i ? ",\n  " : "\n  ") + std::string("{\"table\": ") + jsonText(t.table) +
               ", \"columns\": " + std::to_string(t.columns) +
               ", \"rowsRead\": " + std::to_string(t.rowsRead) + ", \"rowsOnServer\": " +
               (t.rowsOnServer ? std::to_string(*t.rowsOnServer) : "null") +
               ", \"rowsVerified\": " + std::to_string(t.rowsVerified);
        if (!t.verifiedBy.empty())
            out += ", \"verifiedBy\": " + jsonText(t.verifiedBy);
        // Only a run that made the schema after the rows has these.
        if (!t.schema.empty())
            out += ", \"indexes\": " + std::to_string(t.indexes) +
                   ", \"foreignKeys\": " + std::to_string(t.foreignKeys) +
                   ", \"schema\": " + jsonText(t.schema);
        if (!t.names.empty())
            out += ", \"names\": " + nameMappingsJson(t.names);
        out += ", \"result\": " + jsonText(t.result) + ", \"notes\": [";
        for (std::size_t n = 0; n < t.notes.size(); ++n)
            out += (n ? ", " : "") + jsonText(t.notes[n]);
        out += "], \"seconds\": " + secondsText(t.seconds) + "}";
    }
    out += report.tables.empty() ? "]" : "\n]";
    if (!report.views.empty())
        out += ",\n\"views\": " + viewsJson(report.views);
    if (!report.links.empty())
        out += ",\n\"links\": " + linksJson(report.links);
    // Only a run that reached a server has read it.
    if (!report.serverRelease.empty() || !report.serverCharacterSet.empty() ||
        !report.notes.empty()) {
        out += ",\n\"server\": {\"release\": " + jsonText(report.serverRelease) +
               ", \"characterSet\": " + jsonText(report.serverCharacterSet) + "}, \"notes\": [";
        for (std::size_t n = 0; n < report.notes.size(); ++n)
            out += (n ? ", " : "") + jsonText(report.notes[n]);
        out += "]";
    }
    return out + "}\n";
}

}  // namespace malvorn::core
