#include "cli/progress_board.h"

#include <unistd.h>

#include <algorithm>

#include "cli/progress.h"

namespace malvorn::cli {
namespace {

constexpr auto kTerminalEvery = std::chrono::milliseconds(200);
constexpr auto kLogEvery = std::chrono::seconds(5);

double since(ProgressBoard::Clock::time_point start, ProgressBoard::Clock::time_point now) {
    return std::chrono::duration<double>(now - start).count();
}

}  // namespace

ProgressBoard::ProgressBoard(std::FILE* out) : ProgressBoard(out, ::isatty(::fileno(out)) == 1) {}

ProgressBoard::ProgressBoard(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

ProgressBoard::Entry* ProgressBoard::find(const std::string& label) {
    const auto entry = std::find_if(running_.begin(), running_.end(),
                                    [&](const Entry& e) { return e.label == label; });
    return entry == running_.end() ? nullptr : &*entry;
}

void ProgressBoard::started(const std::string& label) {
    running_.push_back({label, 0, 0, Clock::now(), {}, false});
    redraw(true);
}

void ProgressBoard::update(const std::string& label, std::int64_t done, std::int64_t total) {
    Entry* entry = find(label);
    if (entry == nullptr)
        return;
    entry->done = done;
    entry->total = total;
    const auto now = Clock::now();
    if (terminal_) {
        redraw(done == total);
        return;
    }
    if (entry->logged && done != total && now - entry->lastLogged < kLogEvery)
        return;
    entry->logged = true;
    entry->lastLogged = now;
    const std::string line =
        ProgressLine::text(label, done, total, since(entry->start, now), false);
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

void ProgressBoard::finished(const std::string& label, const std::string& message) {
    clear();
    running_.erase(std::remove_if(running_.begin(), running_.end(),
                                  [&](const Entry& e) { return e.label == label; }),
                   running_.end());
    std::fprintf(out_, "%s\n", message.c_str());
    redraw(true);
}

// Up to the block's first line and everything below it cleared.
void ProgressBoard::clear() {
    if (!terminal_ || drawn_ == 0)
        return;
    std::fprintf(out_, "\033[%zuA\r\033[J", drawn_);
    drawn_ = 0;
}

void ProgressBoard::redraw(bool now) {
    if (!terminal_)
        return;
    const auto at = Clock::now();
    if (!now && drawn_ > 0 && at - lastDrawn_ < kTerminalEvery)
        return;
    lastDrawn_ = at;
    clear();
    for (const Entry& entry : running_) {
        const std::string line =
            ProgressLine::text(entry.label, entry.done, entry.total, since(entry.start, at), true);
        std::fprintf(out_, "%s\033[K\n", line.c_str());
    }
    drawn_ = running_.size();
    std::fflush(out_);
}

}  // namespace malvorn::cli
