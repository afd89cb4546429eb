#pragma once

#include <string>

#include "core/command.h"
#include "core/interruption.h"
#include "model/connection.h"

namespace malvorn::core {

// The fields of the "JET=>Oracle" tab the data copy reads.
struct CopyFields {
    std::string table;   // cboTable's text: the Jet table and the Oracle table, as typed
    std::string dbPath;  // txtDbPath
    bool clear = false;  // chkClear checked (value 1 only)
    model::ConnectionFields connection;
    // Rows per batch of bound values; 0 (the window's way): one INSERT with
    // literals per row.
    std::size_t bulkBatch = 0;
    // Fewer rows read than the table records is shown in the last status
    // (the window's way); false makes it a failure after the rows were sent.
    bool acceptShortTables = true;
    // Looked at before each row (each batch with bulkBatch); when true the
    // copy ends there as kInterrupted, every row sent before it committed.
    StopRequested stopRequested = {};
};

// The data copy (開始 of "JETからOracleへデータセット"): settings saved, then
// every row of the Jet table sent as its own INSERT over one session, after
// "DELETE FROM <table>" when `clear` is set. The status line shows "k / N"
// (repaint now) before row k is sent, "0 / N" first. The first failure is
// shown as the error report and ends the copy; rows sent before it stay, and
// the status line keeps the row it stopped at. Beeps only when every row went.
// With `bulkBatch`, the rows go in batches and the status line moves once
// per batch; a failure ends in the same state and shows the same report.
// A table name that is not one plain name is refused before anything is done.
Outcome copyTable(const CopyFields& fields, Services& services);

}  // namespace malvorn::core
