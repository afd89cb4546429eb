#pragma once

// A stop asked for from outside while a copy runs (the command line's
// Ctrl-C). The copies look at it only between rows or batches, so what is on
// the server is always whole rows, committed.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace malvorn::core {

// True once a stop is wanted. Empty (the window's commands): never.
using StopRequested = std::function<bool()>;

inline bool stopWanted(const StopRequested& stop) {
    return stop && stop();
}

// Thrown at the boundary where a copy stopped on request; `rows` are the
// rows that copy had sent (and committed) by then.
class Interrupted : public std::runtime_error {
  public:
    explicit Interrupted(std::int64_t rows)
        : std::runtime_error("中断しました (" + std::to_string(rows) + " 行目まで)"), rows_(rows) {}
    std::int64_t rows() const { return rows_; }

  private:
    std::int64_t rows_;
};

}  // namespace malvorn::core
