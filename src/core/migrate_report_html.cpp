#include "core/migrate_report_html.h"

#include <algorithm>
#include <cstdio>

#include "convert/script_text.h"
#include "core/linked_source.h"
#include "core/migrate_report.h"
#include "encoding/ascii.h"

namespace malvorn::core {
namespace {

// Kept inside the page: a report is mailed and opened where nothing else is.
constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:2em;color:#222}"
    "table{border-collapse:collapse}"
    "th,td{border:1px solid #ccc;padding:.3em .6em;vertical-align:top}"
    "th{background:#eee;text-align:left}"
    "td.n{text-align:right;font-variant-numeric:tabular-nums}"
    "tr.failed td.result{color:#a00;white-space:pre-wrap}"
    "tr.interrupted td.result{color:#a60}"
    ".bar{width:12em;background:#eee;height:.9em}"
    ".bar div{background:#4a7;height:100%}"
    "ul.notes{margin:.2em 0 .8em 0}";

std::string fixed(double value, const char* format) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string cell(const std::string& text, const char* cls = nullptr) {
    return std::string("<td") + (cls ? std::string(" class=\"") + cls + "\"" : "") + ">" +
           htmlText(text) + "</td>";
}

std::string number(std::int64_t value) {
    return cell(convert::formatGrouped(value), "n");
}

// The share of the run's table time, as a bar and as a figure.
std::string shareCell(double seconds, double total) {
    const double percent = total > 0 ? std::clamp(seconds / total * 100.0, 0.0, 100.0) : 0.0;
    const std::string figure = fixed(percent, "%.1f");
    return "<td class=\"share\"><div class=\"bar\" title=\"" + figure +
           "%\"><div style=\"width:" + figure + "%\"></div></div>" + figure + "%</td>";
}

std::string tableRow(const TableOutcome& t, bool verified, double total) {
    const char* state = t.interrupted ? "interrupted" : t.ok ? "ok" : "failed";
    std::string row = std::string("<tr class=\"") + state + "\">" + cell(t.table, "table") +
                      number(static_cast<std::int64_t>(t.columns)) + number(t.rowsRead) +
                      (t.rowsOnServer ? number(*t.rowsOnServer) : cell("-", "n"));
    if (verified)
        row += number(t.rowsVerified) + cell(verifiedByLabel(t), "method");
    return row + cell(fixed(t.seconds, "%.2f"), "n") + cell(t.result, "result") +
           shareCell(t.seconds, total) + "</tr>\n";
}

std::string notesPart(const MigrateReport& report) {
    std::string out;
    for (const auto& t : report.tables) {
        if (t.notes.empty())
            continue;
        out += "<h3>" + htmlText(t.table) + "</h3>\n<ul class=\"notes\">";
        for (const auto& note : t.notes)
            out += "<li>" + htmlText(note) + "</li>";
        out += "</ul>\n";
    }
    return out.empty() ? out : "<h2>注記</h2>\n" + out;
}

}  // namespace

std::string htmlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                // Control characters other than tab and line breaks are not
                // allowed in the page; shown as U+FFFD.
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                    out += "\xEF\xBF\xBD";
                else
                    out += c;
        }
    }
    return out;
}

std::string migrateReportHtml(const MigrateReport& report, bool verified) {
    double tableSeconds = 0;
    std::int64_t rows = 0;
    std::size_t ok = 0;
    for (const auto& t : report.tables) {
        tableSeconds += t.seconds;
        rows += t.rowsRead;
        ok += t.ok ? 1 : 0;
    }
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\"/>\n"
        "<title>Malvorn 移行レポート: " +
        htmlText(report.database) + "</title>\n<style>" + kStyle +
        "</style>\n</head>\n<body>\n<h1>移行レポート</h1>\n<p class=\"database\">" +
        htmlText(report.database) + "</p>\n<p class=\"totals\">" +
        std::to_string(report.tables.size()) + " 表中 " + std::to_string(ok) + " 表 ok、" +
        convert::formatGrouped(rows) + " 行、" + fixed(report.seconds, "%.2f") + " 秒" +
        htmlText(serverLabel(report)) + (report.interrupted ? "（途中で中断しました）" : "") +
        "</p>\n<table>\n<tr><th>テーブル</th><th>列</th><th>読んだ行</th><th>サーバー</th>" +
        (verified ? "<th>検証済み</th><th>照合</th>" : "") +
        "<th>秒</th><th>結果</th><th>時間の割合</th></tr>\n";
    for (const auto& t : report.tables)
        out += tableRow(t, verified, tableSeconds);
    return out + "</table>\n" + notesPart(report) + linksHtml(report.links) +
           nameMappingsHtml(report.tables) + "</body>\n</html>\n";
}

std::string migrateReportFor(const std::string& path, const MigrateReport& report, bool verified) {
    if (encoding::endsWithIgnoringAsciiCase(path, ".html") ||
        encoding::endsWithIgnoringAsciiCase(path, ".htm"))
        return migrateReportHtml(report, verified);
    return migrateReportJson(report);
}

}  // namespace malvorn::core
