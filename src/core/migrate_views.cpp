#include "core/migrate_views.h"

#include <algorithm>
#include <map>
#include <set>

#include "convert/access_sql_text.h"
#include "convert/access_to_oracle.h"
#include "convert/safe_names.h"
#include "core/command.h"
#include "core/migrate_report.h"
#include "core/stored_queries.h"
#include "jet/jet_error.h"

namespace malvorn::core {
namespace {

std::string lowerName(const std::string& name) {
    std::string lower = name;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

bool selectLike(model::QueryKind kind) {
    return kind == model::QueryKind::kSelect || kind == model::QueryKind::kUnion;
}

// One query translated, or left out saying why.
ViewOutcome translated(const model::StoredQuery& query, bool orReplace) {
    ViewOutcome view;
    view.query = query.name;
    view.view = convert::oracleName(query.name);
    view.kind = convert::queryKindName(query);
    if (!selectLike(query.kind)) {
        view.status = ViewStatus::kLeftOut;
        view.reason = view.kind + "はビューになりません";
        return view;
    }
    if (!query.parameters.empty()) {
        view.status = ViewStatus::kLeftOut;
        view.reason = "パラメータを取るクエリです (ビューはパラメータを取れません)";
        return view;
    }
    if (!query.unknownAttributes.empty()) {
        view.status = ViewStatus::kLeftOut;
        view.reason = "クエリの定義に意味の分からない行があります (属性 " +
                      std::to_string(query.unknownAttributes.front()) + ")";
        return view;
    }
    try {
        const auto text = convert::accessSqlText(query);
        const convert::OracleTranslation oracle = convert::translateAccessSql(text.value_or(""));
        view.notes = oracle.notes;
        view.dependsOn = oracle.sources;  // narrowed to saved queries by the caller
        view.sql = std::string(orReplace ? "CREATE OR REPLACE VIEW " : "CREATE VIEW ") + view.view +
                   " AS\n" + oracle.sql;
    } catch (const convert::TranslationRefused& e) {
        view.status = ViewStatus::kLeftOut;
        view.reason = e.what();
    }
    return view;
}

}  // namespace

std::vector<ViewOutcome> planViews(const std::vector<model::StoredQuery>& queries, bool orReplace) {
    std::vector<ViewOutcome> all;
    std::map<std::string, std::size_t> byName;
    for (const auto& query : queries) {
        byName[lowerName(query.name)] = all.size();
        all.push_back(translated(query, orReplace));
    }
    // Only the saved queries among the sources, once each.
    for (auto& view : all) {
        std::vector<std::string> queriesRead;
        for (const auto& source : view.dependsOn) {
            const auto it = byName.find(lowerName(source));
            if (it != byName.end() && all[it->second].query != view.query &&
                std::find(queriesRead.begin(), queriesRead.end(), all[it->second].query) ==
                    queriesRead.end())
                queriesRead.push_back(all[it->second].query);
        }
        view.dependsOn = queriesRead;
    }
    std::vector<ViewOutcome> ordered;
    std::set<std::string> placed;
    for (bool progress = true; progress;) {
        progress = false;
        for (auto& view : all) {
            if (view.status != ViewStatus::kPlanned || placed.count(view.query))
                continue;
            bool ready = true;
            for (const auto& source : view.dependsOn) {
                const ViewOutcome& other = all[byName[lowerName(source)]];
                if (other.status == ViewStatus::kLeftOut) {
                    view.status = ViewStatus::kLeftOut;
                    view.reason = "元にするクエリ " + source + " がビューになりません";
                    progress = true;
                    ready = false;
                    break;
                }
                ready = ready && placed.count(source) != 0;
            }
            if (ready && view.status == ViewStatus::kPlanned) {
                placed.insert(view.query);
                ordered.push_back(view);
                progress = true;
            }
        }
    }
    for (auto& view : all) {
        if (view.status == ViewStatus::kPlanned && !placed.count(view.query)) {
            view.status = ViewStatus::kLeftOut;
            view.reason = "クエリが互いを元にしています (循環)";
        }
        if (view.status == ViewStatus::kLeftOut) {
            view.sql.clear();
            ordered.push_back(view);
        }
    }
    return ordered;
}

void createViews(std::vector<ViewOutcome>& views, oracle::Session& session, bool verify) {
    std::set<std::string> created;
    for (auto& view : views) {
        if (view.status != ViewStatus::kPlanned)
            continue;
        const auto missing = std::find_if(view.dependsOn.begin(), view.dependsOn.end(),
                                          [&](const auto& s) { return !created.count(s); });
        if (missing != view.dependsOn.end()) {
            view.status = ViewStatus::kLeftOut;
            view.reason = "元にするビュー " + *missing + " が作られていません";
            continue;
        }
        try {
            session.execute(view.sql);
        } catch (...) {
            view.status = ViewStatus::kRefused;
            view.reason = reportedError(std::current_exception()).description();
            continue;
        }
        view.status = ViewStatus::kCreated;
        created.insert(view.query);
        if (!verify)
            continue;
        try {
            const oracle::Value count = session.queryValue("SELECT COUNT(*) FROM " + view.view);
            view.rows = std::stoll(count.value_or("0"));
        } catch (...) {
            view.status = ViewStatus::kFailedCheck;
            view.reason = reportedError(std::current_exception()).description();
        }
    }
}

namespace {

const char* statusText(ViewStatus status) {
    switch (status) {
        case ViewStatus::kPlanned:
            return "planned";
        case ViewStatus::kCreated:
            return "created";
        case ViewStatus::kLeftOut:
            return "left out";
        case ViewStatus::kRefused:
            return "refused";
        case ViewStatus::kFailedCheck:
            return "failed check";
    }
    return "";
}

std::string commentLines(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find('\n', start);
        out += "-- " + text.substr(start, end == std::string::npos ? end : end - start) + "\n";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return out;
}

}  // namespace

std::string viewsScript(const std::vector<ViewOutcome>& views) {
    std::string script;
    for (const auto& view : views) {
        if (view.sql.empty()) {
            script += commentLines(view.query + ": " + view.reason) + "\n";
            continue;
        }
        script += commentLines(view.query);
        for (const auto& note : view.notes)
            script += commentLines(note);
        script += view.sql + ";\n\n";
    }
    return script;
}

std::string viewsSummary(const std::vector<ViewOutcome>& views) {
    if (views.empty())
        return std::string();
    std::string text = "\nビュー (保存されたクエリ):\n";
    for (const auto& view : views) {
        text += "  " + view.query + ": " + statusText(view.status);
        if (view.rows)
            text += " (" + std::to_string(*view.rows) + " 行)";
        if (!view.reason.empty())
            text += ": " + view.reason;
        text += "\n";
        for (const auto& note : view.notes)
            text += "      注: " + note + "\n";
    }
    return text;
}

std::string viewsJson(const std::vector<ViewOutcome>& views) {
    std::string json = "[";
    for (std::size_t i = 0; i < views.size(); ++i) {
        const auto& v = views[i];
        json += std::string(i ? ", " : "") + "{\"query\": " + jsonText(v.query) +
                ", \"view\": " + jsonText(v.view) + ", \"kind\": " + jsonText(v.kind) +
                ", \"status\": " + jsonText(statusText(v.status)) +
                ", \"reason\": " + jsonText(v.reason) + ", \"notes\": [";
        for (std::size_t n = 0; n < v.notes.size(); ++n)
            json += (n ? ", " : "") + jsonText(v.notes[n]);
        json += "], \"rows\": " + (v.rows ? std::to_string(*v.rows) : std::string("null")) + "}";
    }
    return json + "]";
}

void migrateViews(const ViewRun& run, jet::JetSource& source, oracle::Session& session,
                  std::vector<ViewOutcome>& views) {
    if (!run.wanted)
        return;
    try {
        views = planViews(storedQueries(source), run.orReplace);
    } catch (const jet::JetError& e) {
        ViewOutcome failed;
        failed.query = "(保存されたクエリ)";
        failed.status = ViewStatus::kRefused;
        failed.reason = std::string("クエリの定義を読めません: ") + e.what();
        views = {failed};
        return;
    }
    createViews(views, session, run.verify);
}

bool viewsOk(const std::vector<ViewOutcome>& views) {
    return std::none_of(views.begin(), views.end(), [](const ViewOutcome& v) {
        return v.status == ViewStatus::kRefused || v.status == ViewStatus::kFailedCheck;
    });
}

}  // namespace malvorn::core
