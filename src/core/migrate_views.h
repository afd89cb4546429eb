#pragma once

// The saved queries of a Jet file as Oracle views: which become views, in
// what order, and what the server made of each. Run by migrate after the
// tables under --oracle-safe.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/jet_source.h"
#include "model/stored_query.h"
#include "oracle/session.h"

namespace malvorn::core {

enum class ViewStatus {
    kPlanned,  // translated, not yet sent
    kCreated,
    kLeftOut,      // not translated, or built on a query that is not a view
    kRefused,      // the server refused its CREATE VIEW
    kFailedCheck,  // created, but selecting from it failed (--verify)
};

struct ViewOutcome {
    std::string query;  // the saved query's name
    std::string view;   // the view's name as statements write it
    std::string kind;   // the query's kind, as the user knows it
    ViewStatus status = ViewStatus::kPlanned;
    std::string reason;                  // left out: why; refused or failed: the server's message
    std::vector<std::string> notes;      // where the view may answer otherwise than Access
    std::vector<std::string> dependsOn;  // saved queries it reads
    std::string sql;                     // the CREATE VIEW statement, when translated
    std::optional<std::int64_t> rows;    // counted under --verify
};

// Each saved query decided: a CREATE [OR REPLACE] VIEW in an order where a
// view comes after the views it reads, or left out with the reason (its
// kind, parameters, a form's control, a function with no translation, a
// query it reads that is left out, a circle). Left-out ones come last.
std::vector<ViewOutcome> planViews(const std::vector<model::StoredQuery>& queries, bool orReplace);

// Sends the planned views in order. A view whose source view was not
// created is left out; a refusal is kept with the server's message. With
// `verify`, counts each created view's rows: a failure there is a failed
// check.
void createViews(std::vector<ViewOutcome>& views, oracle::Session& session, bool verify);

// Views.sql: each planned view's statement ended by ';' (SQL*Plus runs it
// there; a '/' line after it would run it again), its notes as comments;
// left-out queries listed as comments.
std::string viewsScript(const std::vector<ViewOutcome>& views);

// One line per query: view, status and reason; then the notes.
std::string viewsSummary(const std::vector<ViewOutcome>& views);

// [{"query": ..., "view": ..., "kind": ..., "status": "created" | "left out" | "refused" |
// "failed check" | "planned", "reason": ..., "notes": [...], "rows": n or null}]
std::string viewsJson(const std::vector<ViewOutcome>& views);

struct ViewRun {
    bool wanted = false;     // false: nothing is read or sent
    bool orReplace = false;  // CREATE OR REPLACE VIEW
    bool verify = false;
};

// migrate's step after the tables: the saved queries read, planned and
// created into `views`. A query catalog that cannot be read is one refused
// entry with the reader's message.
void migrateViews(const ViewRun& run, jet::JetSource& source, oracle::Session& session,
                  std::vector<ViewOutcome>& views);

// True when no view was refused or failed its check.
bool viewsOk(const std::vector<ViewOutcome>& views);

}  // namespace malvorn::core
