#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/interruption.h"
#include "jet/jet_source.h"
#include "oracle/session.h"
#include "transfer/row_statements.h"

namespace malvorn::core {

// What a bulk copy reports as it goes: `sent` rows are on the server (after
// each batch); on a failure, the row (from 1) the copy stopped at, as the
// row-by-row copy would show it.
struct BulkProgress {
    std::function<void(std::int64_t sent)> sent;
    std::function<void(std::int64_t row)> stoppedAt;
    // Looked at after each committed batch; when true the copy ends there
    // with Interrupted.
    StopRequested stop = {};
};

// Sends every row of `rows` through one INSERT with placeholders in batches
// of `batchSize` rows, each committed. The end state of any failure is the
// row-by-row copy's: a row refused by the server, or one that cannot be read
// or has no value to send, leaves every row before it on the server and
// none after it; the failure is thrown on. `safe`: the Oracle-safe values;
// `place`, when given, goes into the message of a value that has none.
// Returns the rows read.
std::int64_t sendInBatches(oracle::Session& session, const std::string& head,
                           jet::JetRowCursor& rows, std::size_t batchSize, bool safe,
                           const transfer::RowPlace* place, const BulkProgress& progress);

}  // namespace malvorn::core
