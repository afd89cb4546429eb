#include "cli/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace malvorn::cli {
namespace {

constexpr auto kTerminalEvery = std::chrono::milliseconds(200);
constexpr auto kLogEvery = std::chrono::seconds(5);
constexpr int kBarWidth = 30;

}  // namespace

ProgressLine::ProgressLine(std::FILE* out)
    : out_(out), terminal_(::isatty(::fileno(out)) == 1), start_(Clock::now()) {}

std::string ProgressLine::text(const std::string& label, std::int64_t done, std::int64_t total,
                               double seconds, bool bar) {
    std::string line = label.empty() ? std::string() : label + " ";
    if (bar && total > 0) {
        const auto filled = static_cast<int>(
            std::min<std::int64_t>(kBarWidth, done * kBarWidth / std::max<std::int64_t>(total, 1)));
        line += "[" + std::string(static_cast<std::size_t>(filled), '#') +
                std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] ";
    }
    line += std::to_string(done) + " / " + std::to_string(total) + " 行";
    if (seconds > 0 && done > 0) {
        const double rate = static_cast<double>(done) / seconds;
        line += ", " + std::to_string(std::lround(rate)) + " 行/秒";
        if (total > done)
            line += ", 残り " + std::to_string(std::lround((total - done) / rate)) + " 秒";
    }
    return line;
}

void ProgressLine::update(const std::string& label, std::int64_t done, std::int64_t total) {
    const auto now = Clock::now();
    const bool last = done == total;
    if (shown_ && !last && now - lastShown_ < (terminal_ ? kTerminalEvery : kLogEvery))
        return;
    lastShown_ = now;
    shown_ = true;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const std::string line = text(label, done, total, seconds, terminal_);
    // On a terminal the line is drawn over itself; "\033[K" clears what a
    // longer line before it left.
    std::fprintf(out_, terminal_ ? "\r%s\033[K" : "%s\n", line.c_str());
    std::fflush(out_);
}

void ProgressLine::finish() {
    if (terminal_ && shown_)
        std::fputc('\n', out_);
    std::fflush(out_);
}

}  // namespace malvorn::cli
