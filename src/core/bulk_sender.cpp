#include "core/bulk_sender.h"

#include <exception>

#include "transfer/row_values.h"

namespace malvorn::core {
namespace {

// The rows gathered so far and how many went before them.
class Batches {
  public:
    Batches(oracle::Session& session, std::string insert, std::size_t size,
            const BulkProgress& progress)
        : session_(session), insert_(std::move(insert)), size_(size), progress_(progress) {
        pending_.reserve(size_);
    }

    void add(oracle::BoundRow row) {
        pending_.push_back(std::move(row));
        if (pending_.size() >= size_)
            send();
    }

    void send() {
        if (pending_.empty())
            return;
        try {
            session_.insertRows(insert_, pending_);
        } catch (const oracle::BatchRowError& e) {
            refused(sent_ + static_cast<std::int64_t>(e.row()) + 1);
            throw;
        } catch (...) {
            // Refused as a whole: as the row-by-row copy, at its first row.
            refused(sent_ + 1);
            throw;
        }
        sent_ += static_cast<std::int64_t>(pending_.size());
        pending_.clear();
        if (progress_.sent)
            progress_.sent(sent_);
    }

  private:
    void refused(std::int64_t row) {
        if (progress_.stoppedAt)
            progress_.stoppedAt(row);
    }

    oracle::Session& session_;
    std::string insert_;
    std::size_t size_;
    const BulkProgress& progress_;
    std::vector<oracle::BoundRow> pending_;
    std::int64_t sent_ = 0;
};

}  // namespace

std::int64_t sendInBatches(oracle::Session& session, const std::string& head,
                           jet::JetRowCursor& rows, std::size_t batchSize, bool safe,
                           const transfer::RowPlace* place, const BulkProgress& progress) {
    Batches batches(session, transfer::placeholderStatement(head, rows.columns().size()), batchSize,
                    progress);
    transfer::RowPlace at = place ? *place : transfer::RowPlace{};
    at.row = 0;
    std::exception_ptr unreadable;
    jet::JetRow row;
    for (;;) {
        oracle::BoundRow values;
        try {
            if (!rows.next(row))
                break;
            ++at.row;
            values = transfer::rowValues(rows.columns(), row, safe, place ? &at : nullptr);
        } catch (...) {
            unreadable = std::current_exception();
            break;
        }
        batches.add(std::move(values));
    }
    // The rows read before a failure go first, as they would have one by one.
    batches.send();
    if (unreadable) {
        if (progress.stoppedAt)
            progress.stoppedAt(at.row);
        std::rethrow_exception(unreadable);
    }
    return at.row;
}

}  // namespace malvorn::core
