#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/interruption.h"
#include "jet/jet_source.h"
#include "oracle/session.h"

namespace malvorn::core {

// What a copy one statement per row does around each row: `sending(k)`
// before row k (from 1) is sent, `sent(k)` once the server took it.
struct RowProgress {
    std::function<void(std::int64_t row)> sending;
    std::function<void(std::int64_t row)> sent;
    // Looked at before each row; when true the copy ends there with
    // Interrupted carrying the rows sent.
    StopRequested stop = {};
};

// Sends each row of `rows` as its own statement, `statementFor(row, k)`,
// committed as the session commits it: the rows are read and their
// statements made on a thread of their own a few rows ahead of the one
// sent. The end state is that of reading and sending one row after the
// other: a row that cannot be read ends the copy after the rows before it
// were sent (no `sending`), one whose statement cannot be made after its
// `sending`, one the server refuses after the rows before it; the failure is
// thrown on. Returns the rows sent.
std::int64_t sendRowByRow(
    oracle::Session& session, jet::JetRowCursor& rows,
    const std::function<std::string(const jet::JetRow& row, std::int64_t k)>& statementFor,
    const RowProgress& progress);

}  // namespace malvorn::core
