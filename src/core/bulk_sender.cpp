#include "core/bulk_sender.h"

#include <exception>

#include "core/read_ahead.h"
#include "transfer/row_values.h"

namespace malvorn::core {
namespace {

// One batch as read: its rows, and the failure that ended the reading early.
// A chunk is filled again for a later batch, so that its rows' vectors and
// texts keep their memory instead of going back and forth between threads.
struct Chunk {
    std::vector<oracle::BoundRow> rows;
    std::unique_ptr<oracle::PreparedRows> prepared;  // the rows as the session's preparer made them
    std::exception_ptr unreadable;
    bool last = false;  // nothing follows
};

// Reads the rows one batch at a time, counting them from 1.
class BatchReader {
  public:
    BatchReader(jet::JetRowCursor& rows, std::size_t size, bool safe,
                const transfer::RowPlace* place, const oracle::RowPreparer* preparer)
        : rows_(rows),
          size_(size),
          safe_(safe),
          placed_(place != nullptr),
          preparer_(preparer),
          exactText_(preparer && preparer->readsUnitsOnly() ? transfer::ExactText::kLeftOut
                                                            : transfer::ExactText::kWritten) {
        if (place)
            at_ = *place;
        at_.row = 0;
    }

    void read(Chunk& chunk) {
        std::size_t filled = 0;
        chunk.unreadable = nullptr;
        chunk.last = false;
        try {
            for (; filled < size_; ++filled) {
                if (!rows_.next(row_)) {
                    chunk.last = true;
                    break;
                }
                ++at_.row;
                if (filled == chunk.rows.size())
                    chunk.rows.emplace_back();
                transfer::rowValuesInto(rows_.columns(), row_, safe_, placed_ ? &at_ : nullptr,
                                        chunk.rows[filled], exactText_);
            }
        } catch (...) {
            chunk.unreadable = std::current_exception();
            chunk.last = true;
        }
        chunk.rows.resize(filled);
        prepare(chunk);
    }
    // Rows read so far, the one that failed included when it was read whole.
    std::int64_t rowsRead() const { return at_.row; }

  private:
    void prepare(Chunk& chunk) const {
        if (!preparer_)
            return;
        try {
            preparer_->prepare(chunk.rows, chunk.prepared);
        } catch (...) {
            chunk.prepared.reset();  // the session does it all, as without a preparer
        }
    }

    jet::JetRowCursor& rows_;
    std::size_t size_;
    bool safe_;
    bool placed_;
    const oracle::RowPreparer* preparer_;
    transfer::ExactText exactText_;  // numbers' texts only for a driver that reads them
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
    // What can be made ready for the server away from it is made so on
    // the reading thread.
    const std::unique_ptr<oracle::RowPreparer> preparer = session.rowPreparer(insert);
    BatchReader reader(rows, batchSize, safe, place, preparer.get());
    // The next batch is read while this one is sent.
    ReadAhead<Chunk> ahead([&reader](Chunk& chunk) { reader.read(chunk); });
    std::int64_t sent = 0;
    for (;;) {
        const Chunk& chunk = ahead.take();
        // The rows read before a failure go first, as they would one by one.
        try {
            if (!chunk.rows.empty())
                session.insertPreparedRows(insert, chunk.rows, chunk.prepared.get());
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
        // The batch being read is dropped; `ahead` waits for it on the way out.
        if (stopWanted(progress.stop))
            throw Interrupted(sent);
    }
}

}  // namespace malvorn::core
