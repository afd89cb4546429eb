#include "core/row_sender.h"

#include <exception>
#include <vector>

#include "core/read_ahead.h"

namespace malvorn::core {
namespace {

// Statements made ahead: a few rows' worth, small beside the reader's own
// buffers, enough that the threads seldom wait for each other.
constexpr std::size_t kRowsAhead = 256;

// Statements of consecutive rows, and what ended them early.
struct Statements {
    std::vector<std::string> texts;  // the first `count` are this chunk's
    std::size_t count = 0;
    std::exception_ptr failure;
    bool failedRowRead = false;  // the row after them was read; its statement failed
    bool last = false;
};

}  // namespace

std::int64_t sendRowByRow(
    oracle::Session& session, jet::JetRowCursor& rows,
    const std::function<std::string(const jet::JetRow& row, std::int64_t k)>& statementFor,
    const RowProgress& progress) {
    jet::JetRow row;
    std::int64_t made = 0;
    const auto fill = [&](Statements& chunk) {
        chunk.texts.resize(kRowsAhead);
        chunk.count = 0;
        chunk.failure = nullptr;
        chunk.failedRowRead = false;
        chunk.last = false;
        try {
            for (; chunk.count < kRowsAhead; ++chunk.count) {
                if (!rows.next(row)) {
                    chunk.last = true;
                    return;
                }
                chunk.failedRowRead = true;
                chunk.texts[chunk.count] = statementFor(row, ++made);
                chunk.failedRowRead = false;
            }
        } catch (...) {
            chunk.failure = std::current_exception();
            chunk.last = true;
        }
    };
    const auto sendNext = [&](std::int64_t& k) {
        if (stopWanted(progress.stop))
            throw Interrupted(k);
        ++k;
        if (progress.sending)
            progress.sending(k);
    };
    ReadAhead<Statements> ahead(fill);
    std::int64_t k = 0;
    for (;;) {
        const Statements& chunk = ahead.take();
        for (std::size_t i = 0; i < chunk.count; ++i) {
            sendNext(k);
            session.execute(chunk.texts[i]);
            if (progress.sent)
                progress.sent(k);
        }
        if (chunk.failure) {
            if (chunk.failedRowRead)
                sendNext(k);
            std::rethrow_exception(chunk.failure);
        }
        if (chunk.last)
            return k;
    }
}

}  // namespace malvorn::core
