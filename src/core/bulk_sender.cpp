#include "core/bulk_sender.h"

#include <exception>
#include <future>

#include "transfer/row_values.h"

namespace malvorn::core {
namespace {

// One batch as read: its rows, and the failure that ended the reading early.
struct Chunk {
    std::vector<oracle::BoundRow> rows;
    std::exception_ptr unreadable;
    bool last = false;  // nothing follows
};

// Reads the rows one batch at a time, counting them from 1.
class BatchReader {
  public:
    BatchReader(jet::JetRowCursor& rows, std::size_t size, bool safe,
                const transfer::RowPlace* place)
        : rows_(rows), size_(size), safe_(safe), placed_(place != nullptr) {
        if (place)
            at_ = *place;
        at_.row = 0;
    }

    Chunk read() {
        Chunk chunk;
        chunk.rows.reserve(size_);
        try {
            while (chunk.rows.size() < size_) {
                if (!rows_.next(row_)) {
                    chunk.last = true;
                    break;
                }
                ++at_.row;
                chunk.rows.push_back(
                    transfer::rowValues(rows_.columns(), row_, safe_, placed_ ? &at_ : nullptr));
            }
        } catch (...) {
            chunk.unreadable = std::current_exception();
            chunk.last = true;
        }
        return chunk;
    }
    // Rows read so far, the one that failed included when it was read whole.
    std::int64_t rowsRead() const { return at_.row; }

  private:
    jet::JetRowCursor& rows_;
    std::size_t size_;
    bool safe_;
    bool placed_;
    transfer::RowPlace at_;
    jet::JetRow row_;
};

void stopAt(const BulkProgress& progress, std::int64_t row) {
    if (progress.stoppedAt)
        progress.stoppedAt(row);
}

}  // namespace

std::int64_t sendInBatches(oracle::Session& session, const std::string& head,
                           jet::JetRowCursor& rows, std::size_t batchSize, bool safe,
                           const transfer::RowPlace* place, const BulkProgress& progress) {
    const std::string insert = transfer::placeholderStatement(head, rows.columns().size());
    BatchReader reader(rows, batchSize, safe, place);
    // The next batch is read while this one is sent: one reader at a time,
    // and waited for (the future's end) before anything it uses goes.
    std::future<Chunk> next = std::async(std::launch::async, [&] { return reader.read(); });
    std::int64_t sent = 0;
    for (;;) {
        Chunk chunk = next.get();
        if (!chunk.last)
            next = std::async(std::launch::async, [&] { return reader.read(); });
        // The rows read before a failure go first, as they would one by one.
        try {
            if (!chunk.rows.empty())
                session.insertRows(insert, chunk.rows);
        } catch (const oracle::BatchRowError& e) {
            stopAt(progress, sent + static_cast<std::int64_t>(e.row()) + 1);
            throw;
        } catch (...) {
            // Refused as a whole: as the row-by-row copy, at its first row.
            stopAt(progress, sent + 1);
            throw;
        }
        sent += static_cast<std::int64_t>(chunk.rows.size());
        if (!chunk.rows.empty() && progress.sent)
            progress.sent(sent);
        if (chunk.unreadable) {
            stopAt(progress, reader.rowsRead());
            std::rethrow_exception(chunk.unreadable);
        }
        if (chunk.last)
            return sent;
        // The batch being read is dropped; `next` waits for it on the way out.
        if (stopWanted(progress.stop))
            throw Interrupted(sent);
    }
}

}  // namespace malvorn::core
