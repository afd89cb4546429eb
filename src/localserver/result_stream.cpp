#include "localserver/result_stream.h"

#include <utility>

#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/values.h"

namespace malvorn::localserver {
namespace {

oracle::Value toValue(const SqlValue& v, BinaryKind kind) {
    if (std::holds_alternative<std::monostate>(v))
        return std::nullopt;
    if (const auto* n = std::get_if<Number>(&v); n && kind != BinaryKind::kNone)
        return binaryText(*n, kind);
    return formatNumber(v);
}

[[noreturn]] void outOfSequence() {
    throw oracle::OracleError(oracle::kServerErrorNumber, oraMessage(1002, "fetch out of sequence"),
                              kServerSource);
}

}  // namespace

ResultStream::ResultStream(std::vector<std::string> names,
                           std::unique_ptr<SqliteStatement> statement,
                           std::shared_ptr<OpenStreams> streams, std::vector<BinaryKind> kinds)
    : names_(std::move(names)),
      kinds_(std::move(kinds)),
      statement_(std::move(statement)),
      streams_(std::move(streams)) {
    streams_->open.insert(this);
    onRow_ = step();
    ahead_ = true;
}

ResultStream::~ResultStream() {
    release();
}

void ResultStream::release() {
    statement_.reset();
    streams_->open.erase(this);
}

void ResultStream::close() {
    release();
    closed_ = true;
}

bool ResultStream::fetch(std::vector<oracle::Value>& row) {
    if (!statement_) {
        release();
        return false;
    }
    try {
        if (!statement_->step()) {
            release();  // done: the statement's read lock goes now
            return false;
        }
    } catch (const SqliteError& e) {
        release();
        throwServerError(e, nullptr);
    } catch (...) {
        release();
        throw;
    }
    row.clear();
    const int n = statement_->columnCount();
    row.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const auto column = static_cast<std::size_t>(i);
        row.push_back(toValue(statement_->column(i),
                              column < kinds_.size() ? kinds_[column] : BinaryKind::kNone));
    }
    return true;
}

bool ResultStream::step() {
    if (statement_ || (held_.empty() && !heldError_))
        return fetch(row_);
    if (held_.empty())
        std::rethrow_exception(std::exchange(heldError_, nullptr));
    row_ = std::move(held_.front());
    held_.pop_front();
    return true;
}

void ResultStream::hold() {
    std::vector<oracle::Value> row;
    try {
        while (fetch(row))
            held_.push_back(std::move(row));
    } catch (...) {
        heldError_ = std::current_exception();  // met where the walk reaches it
    }
}

void OpenStreams::holdAll() {
    const std::set<ResultStream*> walks = open;
    for (ResultStream* stream : walks)
        stream->hold();
}

bool ResultStream::next() {
    if (closed_) {
        throw oracle::OracleError(oracle::kServerErrorNumber,
                                  oraMessage(3114, "not connected to ORACLE"), kServerSource);
    }
    if (ahead_) {
        ahead_ = false;
        return onRow_;
    }
    onRow_ = false;
    onRow_ = step();
    return onRow_;
}

oracle::Value ResultStream::value(std::size_t column) const {
    if (ahead_ || !onRow_ || column >= row_.size())
        outOfSequence();
    return row_[column];
}

void runToEnd(SqliteStatement& statement) {
    try {
        while (statement.step()) {
        }
    } catch (const SqliteError& e) {
        throwServerError(e, nullptr);
    }
}

LocalSession::~LocalSession() {
    const std::set<ResultStream*> open = streams_->open;
    for (ResultStream* stream : open)
        stream->close();
}

}  // namespace malvorn::localserver
