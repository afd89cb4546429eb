#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace malvorn::cli {

// Rows done of a total, shown while a long command runs. On a terminal a bar
// on stderr, redrawn a few times a second, with the rate and the time left;
// otherwise (a log, a pipe) one line every few seconds.
class ProgressLine {
  public:
    using Clock = std::chrono::steady_clock;

    explicit ProgressLine(std::FILE* out = stderr);
    // `label` goes in front (a table name); `done` may pass `total`.
    void update(const std::string& label, std::int64_t done, std::int64_t total);
    // Ends the bar's line on a terminal, so later output starts clean.
    void finish();

    // One line of progress as shown, for `seconds` since the start.
    static std::string text(const std::string& label, std::int64_t done, std::int64_t total,
                            double seconds, bool bar);

  private:
    std::FILE* out_;
    bool terminal_;
    Clock::time_point start_;
    Clock::time_point lastShown_;
    bool shown_ = false;
};

}  // namespace malvorn::cli
