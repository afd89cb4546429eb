#pragma once

// Progress of several tables copied at once (migrate --jobs): one line per
// running table. On a terminal the lines are redrawn in place a few times a
// second, a finished table's message printed above them; otherwise (a log, a
// pipe) each table's line is written every few seconds, as ProgressLine does.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace malvorn::cli {

class ProgressBoard {
  public:
    using Clock = std::chrono::steady_clock;

    explicit ProgressBoard(std::FILE* out = stderr);
    explicit ProgressBoard(std::FILE* out, bool terminal);
    void started(const std::string& label);
    void update(const std::string& label, std::int64_t done, std::int64_t total);
    // The table's line goes; `message` is printed in its place for good.
    void finished(const std::string& label, const std::string& message);

  private:
    struct Entry {
        std::string label;
        std::int64_t done = 0;
        std::int64_t total = 0;
        Clock::time_point start;
        Clock::time_point lastLogged;
        bool logged = false;
    };
    Entry* find(const std::string& label);
    void redraw(bool now);
    void clear();

    std::FILE* out_;
    bool terminal_;
    std::vector<Entry> running_;  // in the order they began
    std::size_t drawn_ = 0;       // lines of the block on the screen
    Clock::time_point lastDrawn_;
};

}  // namespace malvorn::cli
